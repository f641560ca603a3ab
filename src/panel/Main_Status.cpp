// What the card holds, where the operator looks: the channel status strip
// beside the channel tabs, the marks on settings the card does not hold yet,
// the controls' ranges in their tooltips, and the keys of the send buttons.
#include "ClockView.h"
#include "Main_Unit.h"
#include "WaveformView.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <climits>
#include <functional>
#include <vector>

#include "Accepted.h"
#include "CardState.h"
#include "ChannelStatus.h"
#include "Main_Controls.h"
#include "Named.h"
#include "OutputView.h"
#include "PanelWidgets.h"
#include "SettingRanges.h"
#include "StatusStripView.h"

void TMain_Form::CreateStatusStrip(QWidget* client) {
    QTabBar* tabs = Channel_PageControl->tabBar();
    const int left = Channel_PageControl->x() + tabs->sizeHint().width() + 4;
    strip_ = std::make_unique<StatusStripView>(client,
                                               QRect(left, Channel_PageControl->y() + 1,
                                                     kClientWidth - left - 2,
                                                     tabs->sizeHint().height() - 3),
                                               card_);
}

bool TMain_Form::MarkedUnsent(const QWidget* control) const {
    return marks_.marked(control);
}

QString TMain_Form::PlainToolTip(const QWidget* control) const {
    return marks_.plainToolTip(control);
}

void TMain_Form::RefreshUnsentMarks() {
    const int c = ActiveChannelNumber();
    wave_->refreshMarks(c);
    clock_->refreshMarks(c);
    output_->refreshMarks();
}

void TMain_Form::RefreshCardView() {
    if (!strip_ || ownOperations_ > 0)
        return; // still being built, or drawn when the window's operation ends
    strip_->refresh();
    RefreshUnsentMarks();
}

// Every edit of a setting the card may not hold refreshes the marks (the
// pages' views tell theirs).
void TMain_Form::WatchUnsentEdits() {
    output_->onEdited([this] { RefreshUnsentMarks(); });
}

// Ctrl+Enter sends the page shown (Waveform or Clock); Ctrl+Shift+A and
// Ctrl+Shift+D press the attenuation's and the offset's Set.
void TMain_Form::CreateSendKeys() {
    const struct {
        const char* name;
        QList<QKeySequence> keys;
        std::function<void()> press;
    } keys[] = {
        {"UpdatePage_Action",
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
         [this] {
             Settings_PageControl->currentWidget() == clock_->page() ? clock_->pressUpdate()
                                                                     : wave_->pressUpdate();
         }},
        {"SetAttenuation_Action",
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
         [this] { output_->pressSetAttenuation(); }},
        {"SetOffset_Action",
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
         [this] { output_->pressSetOffset(); }},
    };
    // Ctrl+Shift+R puts back the unsent edits another's change replaced.
    QAction* putBack = Named(new QAction(this), "PutBackEdits_Action");
    putBack->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    putBack->setShortcutContext(Qt::WindowShortcut);
    addAction(putBack);
    connect(putBack, &QAction::triggered, this, &TMain_Form::PutBackEdits);
    for (const auto& key : keys) {
        QAction* action = Named(new QAction(this), key.name);
        action->setShortcuts(key.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, key.press);
    }
}

void TMain_Form::SetRangeToolTips() {
    // Every field made from the settings table: what it is and its limits, as the table says.
    wave_->setToolTips();
    clock_->setToolTips();
    output_->setToolTips();
}
