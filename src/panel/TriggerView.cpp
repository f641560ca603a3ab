#include "TriggerView.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

#include "Main_Controls.h"
#include "Named.h"
#include "Operations.h"
#include "SettingRanges.h"

TriggerView::TriggerView(QWidget* page, Card& card, std::function<int()> channel, Operate operate)
    : QObject(page), card_(card), channel_(std::move(channel)), operate_(std::move(operate)) {
    GroupBox1 = Named(new QGroupBox("Trigger", page), "GroupBox1");
    TrigMode_ComboBox = DropDown(GroupBox1, "TrigMode_ComboBox",
                                 {"High level", "Low level", "Positive edge", "Negative edge",
                                  "Pos edge single shot", "Neg edge single shot", "Continuous"},
                                 6);
    TrigSource_ComboBox = DropDown(GroupBox1, "TrigSource_ComboBox",
                                   {"Front panel", "PXI 0", "PXI 1", "PXI 2", "PXI 3", "PXI 4",
                                    "PXI 5", "PXI 6", "PXI 7", "PXI Star"},
                                   0);
    Bind(TrigMode_ComboBox, Setting("_Trigger/Mode"));
    Bind(TrigSource_ComboBox, Setting("_Trigger/Source"));
    TrigUpdate_Button = Named(new QPushButton("Update", GroupBox1), "TrigUpdate_Button");
    TrigUpdate_Button->setToolTip("Sends the trigger mode and source to the channel.");
    auto* rows = new QFormLayout(GroupBox1);
    rows->setVerticalSpacing(4);
    rows->addRow("Trigger Mode", TrigMode_ComboBox);
    rows->addRow("Trigger Source", TrigSource_ComboBox);
    rows->addRow(TrigUpdate_Button);
    bound_.collect(GroupBox1);

    connect(TrigUpdate_Button, &QPushButton::clicked, this, [this] { apply(); });
    // The list closing, with or without a new choice, decides the source's enabling.
    connect(TrigMode_ComboBox, &QComboBox::activated, this, [this] { modeChosen(); });
    TrigMode_ComboBox->view()->window()->installEventFilter(this);
}

void TriggerView::apply() {
    operate_([this] {
        const int c = channel_();
        TChannelInfo draft = DraftOf(card_.channel(c));
        bound_.read(draft);
        ApplyTrigger(card_, c, draft);
    });
}

void TriggerView::modeChosen() {
    TrigSource_ComboBox->setEnabled(TrigMode_ComboBox->currentText() !=
                                    QLatin1String("Continuous"));
}

bool TriggerView::eventFilter(QObject* watched, QEvent* event) {
    // The mode's list closed: judge the choice once the combo box has taken it.
    if (watched == TrigMode_ComboBox->view()->window() && event->type() == QEvent::Hide)
        QTimer::singleShot(0, this, [this] { modeChosen(); });
    return QObject::eventFilter(watched, event);
}

QWidget* TriggerView::group() const {
    return GroupBox1;
}

void TriggerView::onEdited(std::function<void()> edited) {
    for (QComboBox* combo : {TrigMode_ComboBox, TrigSource_ComboBox})
        connect(combo, &QComboBox::currentIndexChanged, this, [edited] { edited(); });
}
