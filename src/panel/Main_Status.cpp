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
#include "PanelWidgets.h"
#include "SettingRanges.h"
#include "StatusStripView.h"

namespace {

// One colour marks every unsent setting alike.
const QColor kUnsentColour(0xff, 0xe8, 0xa3);

const char* const kWaveButton = "Update on the Waveform page (Ctrl+Enter)";
const char* const kTriggerButton =
    "Update in the Trigger group (the Waveform page's Update sends it too)";
const char* const kClockButton = "Update on the Clock page (Ctrl+Enter)";
const char* const kAttButton = "Set beside it (Ctrl+Shift+A)";
const char* const kOffsetButton = "Set beside it (Ctrl+Shift+D)";

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

TMain_Form::BoundControl& TMain_Form::Bound(const QWidget* control) {
    for (BoundControl& b : bound_)
        if (b.control == control)
            return b;
    // A control marked without a setting of its own: the list holds it from now on.
    BoundControl b;
    b.control = const_cast<QWidget*>(control);
    b.plainTip = control->toolTip();
    bound_.push_back(b);
    return bound_.back();
}

bool TMain_Form::MarkedUnsent(const QWidget* control) const {
    for (const BoundControl& b : bound_)
        if (b.control == control)
            return b.unsent;
    return false;
}

QString TMain_Form::PlainToolTip(const QWidget* control) const {
    for (const BoundControl& b : bound_)
        if (b.control == control)
            return b.plainTip;
    return control->toolTip();
}

void TMain_Form::SetPlainToolTip(QWidget* control, const QString& text) {
    BoundControl& b = Bound(control);
    b.plainTip = text;
    ShowToolTip(b);
}

void TMain_Form::ShowToolTip(BoundControl& b) {
    const auto* frequency = qobject_cast<TFrequencySpinEdit*>(b.control);
    if (frequency && frequency->refused())
        return; // the refusal's own tooltip stands until the text is mended
    if (b.tipUnsent != b.unsent || b.tipButton != b.button || b.tipPlain != b.plainTip) {
        b.tip = b.unsent ? (b.plainTip.isEmpty() ? QString() : b.plainTip + "\n") +
                               "Not on the card yet: press " + b.button + " to send it."
                         : b.plainTip;
        b.tipUnsent = b.unsent;
        b.tipButton = b.button;
        b.tipPlain = b.plainTip;
    }
    if (b.control->toolTip() != b.tip)
        b.control->setToolTip(b.tip);
}

// A control whose value the card does not hold is drawn on the mark's
// colour, and its tooltip names the button that sends it. Only a change of
// the mark touches the control.
void TMain_Form::MarkUnsent(QWidget* control, bool unsent, const char* button) {
    MarkUnsent(Bound(control), unsent, button);
}

void TMain_Form::MarkUnsent(BoundControl& b, bool unsent, const char* button) {
    if (b.unsent != unsent) {
        b.unsent = unsent;
        if (unsent) {
            QPalette marked = b.control->palette();
            for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window})
                marked.setColor(role, kUnsentColour);
            b.control->setAutoFillBackground(true);
            b.control->setPalette(marked);
        } else {
            b.control->setPalette(QPalette()); // the parent's again
        }
    }
    b.button = button;
    ShowToolTip(b);
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
    for (BoundControl& b : bound_) {
        if (!b.setting)
            continue;
        const size_t row = b.setting->index();
        const bool onClockPage = b.area == Area::Clock;
        const QWidget* enabled = b.control == CounterStep_Edit ? CounterStep_UpDown : b.control;
        const bool changeable = card && enabled->isEnabled();
        switch (b.setting->step) {
        case Step::AM:
        case Step::Generator:
        case Step::Sweep:
            MarkUnsent(b, changeable && wu.Setting[row], kWaveButton);
            break;
        case Step::Trigger:
            MarkUnsent(b, changeable && trigger[row], kTriggerButton);
            break;
        case Step::ClockSource:
        case Step::CounterStep:
        case Step::ClockMode:
        case Step::FSKSource:
            if (onClockPage)
                MarkUnsent(b, changeable && clock[row], kClockButton);
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

    const bool att = card && UnsentAttenuation(Att_Slider->value(), a);
    MarkUnsent(Att_Slider, att, kAttButton);
    MarkUnsent(Att_Edit, att, kAttButton);
    const bool offset = card && UnsentOffset(V_Slider->value() / 100.0, a);
    MarkUnsent(V_Slider, offset, kOffsetButton);
    MarkUnsent(V_Edit, offset, kOffsetButton);
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
    for (QSlider* slider : {Att_Slider, V_Slider})
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
         [this] { return AttenSetButton; }},
        {"SetOffset_Action",
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
         [this] { return OffsetButton; }},
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
    TrigUpdate_Button->setToolTip("Sends the trigger mode and source to the channel.");
    AttenSetButton->setToolTip("Sends the attenuation to the channel (Ctrl+Shift+A).");
    OffsetButton->setToolTip("Sends the DC offset to the channel (Ctrl+Shift+D).");
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
    SetPlainToolTip(Att_Slider,
                    QString::fromStdString(RangeDescription(Setting("_Wave/Attenuation"))) + ".");
    const QString offset =
        QString("%1, %2 to %3, in steps of 0.01 V; type a value and press Enter.")
            .arg(Setting("_Wave/DCOffset").description)
            .arg(Att_Slider->locale().toString(V_Slider->minimum() / 100.0, 'f', 2))
            .arg(Att_Slider->locale().toString(V_Slider->maximum() / 100.0, 'f', 2));
    SetPlainToolTip(V_Slider, offset);
    SetPlainToolTip(V_Edit, offset);
    SetPlainToolTip(ClkX_Edit, "Clock multiplier, 1 or 4 to 20: the arrows beside it change it.");
    SetPlainToolTip(CounterStep_Edit,
                    "Memory counter step as a power of two: 0 to 18 (steps of 1 to 262144).");
}
