// What the card holds, where the operator looks: the channel status strip
// beside the channel tabs, the marks on settings the card does not hold yet,
// the controls' ranges in their tooltips, and the keys of the send buttons.
#include "Main_Unit.h"

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

namespace {

const char* const kWaveButton = "Update on the Waveform page (Ctrl+Enter)";
const char* const kTriggerButton =
    "Update in the Trigger group (the Waveform page's Update sends it too)";
const char* const kClockButton = "Update on the Clock page (Ctrl+Enter)";

} // namespace

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

void TMain_Form::SetPlainToolTip(QWidget* control, const QString& text) {
    marks_.setPlainToolTip(control, text);
}

void TMain_Form::MarkUnsent(QWidget* control, bool unsent, const char* button) {
    marks_.mark(control, unsent, button);
}

void TMain_Form::RefreshUnsentMarks() {
    const int c = ActiveChannelNumber();
    const TAcceptedChannel& a = card_.accepted().Channel[c];
    const bool card = card_.session() != 0;

    const TChannelInfo wave = ReadWaveformDraft();
    const WaveformUnsent wu = UnsentWaveform(wave, ManualSweep(), card_.channel(c).Wave.Arb, a);
    const SettingFlags trigger = UnsentSettings(wave, {Step::Trigger}, a);
    const SettingFlags clock =
        UnsentSettings(ReadClockDraft(),
                       {Step::ClockSource, Step::CounterStep, Step::ClockMode, Step::FSKSource}, a);
    // Every bound control of the pages, by the step that sends it: the Waveform
    // page's Update, its trigger group's, the Clock page's. Controls that cannot
    // be changed now are not marked; the counter step's field only shows what its
    // arrows set.
    for (const BoundControl& b : bound_) {
        const size_t row = b.setting->index();
        const bool onClockPage = b.area == Area::Clock;
        const QWidget* enabled = b.control == CounterStep_Edit ? CounterStep_UpDown : b.control;
        const bool changeable = card && enabled->isEnabled();
        switch (b.setting->step) {
        case Step::AM:
        case Step::Generator:
        case Step::Sweep:
            MarkUnsent(b.control, changeable && wu.Setting[row], kWaveButton);
            break;
        case Step::Trigger:
            MarkUnsent(b.control, changeable && trigger[row], kTriggerButton);
            break;
        case Step::ClockSource:
        case Step::CounterStep:
        case Step::ClockMode:
        case Step::FSKSource:
            if (onClockPage)
                MarkUnsent(b.control, changeable && clock[row], kClockButton);
            break;
        default:
            break;
        }
    }
    for (QWidget* control : std::initializer_list<QWidget*>{AutoRadioButton, ManualRadioButton})
        MarkUnsent(control, card && wu.Manual && control->isEnabled(), kWaveButton);
    for (QWidget* control :
         std::initializer_list<QWidget*>{ArbWave_Filename_Label, Arbwave_DataCount_Label})
        MarkUnsent(control, card && wu.Samples && control->isEnabled(), kWaveButton);

    output_->refreshMarks();
}

void TMain_Form::RefreshCardView() {
    if (!strip_ || ownOperations_ > 0)
        return; // still being built, or drawn when the window's operation ends
    strip_->refresh();
    RefreshUnsentMarks();
}

// Every edit of a setting the card may not hold refreshes the marks.
void TMain_Form::WatchUnsentEdits() {
    auto refresh = [this] { RefreshUnsentMarks(); };
    for (QComboBox* combo : {WaveType_ComboBox, TrigMode_ComboBox, TrigSource_ComboBox,
                             SweepMode_ComboBox, FSKSource_ComboBox})
        connect(combo, &QComboBox::currentIndexChanged, this, refresh);
    for (QSpinBox* spin : std::initializer_list<QSpinBox*>{
             Symm_SpinEdit, StartF_SpinEdit, EndF_SpinEdit, SweepStep_SpinEdit, StepInt_SpinEdit,
             SwpStartF_SpinEdit, SwpEndF_SpinEdit, SwpStep_SpinEdit, SwpInt_SpinEdit})
        connect(spin, &QSpinBox::valueChanged, this, refresh);
    for (QAbstractButton* button :
         std::initializer_list<QAbstractButton*>{SingleF_RadioButton, SweepF_RadioButton,
                                                 AutoRadioButton, ManualRadioButton, AM_CheckBox})
        connect(button, &QAbstractButton::toggled, this, refresh);
    for (QSlider* slider : {output_->Att_Slider, output_->V_Slider})
        connect(slider, &QSlider::valueChanged, this, refresh);
    for (QLineEdit* edit : {ClkX_Edit, CounterStep_Edit})
        connect(edit, &QLineEdit::textChanged, this, refresh);
    connect(Wave_PageControl, &QTabWidget::currentChanged, this, refresh);
}

// Ctrl+Enter sends the page shown (Waveform or Clock); Ctrl+Shift+A and
// Ctrl+Shift+D press the attenuation's and the offset's Set.
void TMain_Form::CreateSendKeys() {
    const struct {
        const char* name;
        QList<QKeySequence> keys;
        std::function<QPushButton*()> button;
    } keys[] = {
        {"UpdatePage_Action",
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
         [this] {
             return Settings_PageControl->currentWidget() == Clk_TabSheet ? ClkUpdate_Button
                                                                          : WaveUpdate_Button;
         }},
        {"SetAttenuation_Action",
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
         [this] { return output_->AttenSetButton; }},
        {"SetOffset_Action",
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
         [this] { return output_->OffsetButton; }},
    };
    for (const auto& key : keys) {
        QAction* action = Named(new QAction(this), key.name);
        action->setShortcuts(key.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [button = key.button] {
            if (QPushButton* b = button(); b->isEnabled() && b->isVisible())
                b->click();
        });
    }
    WaveUpdate_Button->setToolTip("Sends the waveform to the channel (Ctrl+Enter).");
    ClkUpdate_Button->setToolTip("Sends the clock settings to the channel (Ctrl+Enter).");
}

namespace {

const char* const kSuffixes = "; k (x 1000) or M (x 1000000) may follow the number.";

} // namespace

void TMain_Form::SetRangeToolTips() {
    // Every field made from the settings table: what it is and its limits, as the table says.
    for (QSpinBox* spin : findChildren<QSpinBox*>()) {
        const SettingRange* setting = SettingOf(spin);
        if (!setting)
            continue;
        QString text = QString::fromStdString(RangeDescription(*setting));
        text += QLatin1String(setting->unit) == QLatin1String("Hz") ? kSuffixes : ".";
        if (spin == StartF_SpinEdit)
            text += "\nWith the arrows, hold Shift to step by 10, Ctrl by 100, Alt by 1000.";
        SetPlainToolTip(spin, text);
    }
    SetPlainToolTip(repRate1, QString("Repetition rate in kHz, %1 to %2")
                                      .arg(repRate1->minimum())
                                      .arg(repRate1->maximum()) +
                                  kSuffixes);
    output_->setToolTips();
    SetPlainToolTip(ClkX_Edit, "Clock multiplier, 1 or 4 to 20: the arrows beside it change it.");
    SetPlainToolTip(CounterStep_Edit,
                    "Memory counter step as a power of two: 0 to 18 (steps of 1 to 262144).");
}
