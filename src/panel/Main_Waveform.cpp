// The "Waveform" page: Update, the single/sweep and auto/manual choices, the
// software sweep buttons and the start-frequency stepping keys.
#include "Main_Unit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>

#include "CardState.h"
#include "Main_Controls.h"
#include "Operations.h"
#include "OperatorDialogs.h"
#include "PanelWidgets.h"

void TMain_Form::CollectBoundControls() {
    bound_.clear();
    for (QWidget* control : Settings_PageControl->findChildren<QWidget*>()) {
        const Binding binding = BindingOf(control);
        if (!binding.setting)
            continue;
        BoundControl b;
        static_cast<Binding&>(b) = binding;
        b.control = control;
        b.area = Clk_TabSheet->isAncestorOf(control) ? Area::Clock
                 : GroupBox1->isAncestorOf(control)  ? Area::Trigger
                                                     : Area::Wave;
        bound_.push_back(b);
    }
    if (ClkX_Edit) { // shown as text: the multiplier the arrows chose, the counter step 2^N
        multiplierSetting_ = SettingOf(ClkX_Edit);
        counterStepSetting_ = SettingOf(CounterStep_Edit);
    }
}

TChannelInfo TMain_Form::ReadDraft(std::initializer_list<Area> areas) {
    TChannelInfo draft = DraftOf(card_.channel(ActiveChannelNumber()));
    for (const BoundControl& b : bound_)
        if (std::find(areas.begin(), areas.end(), b.area) != areas.end())
            if (const std::optional<double> value = BoundValue(b.control, b))
                b.setting->set(draft, *value);
    return draft;
}

TChannelInfo TMain_Form::ReadWaveformDraft() {
    TChannelInfo draft = ReadDraft({Area::Wave, Area::Trigger});
    draft.Wave.ArbitraryFlag = Wave_PageControl->currentWidget() == TabSheet8;
    draft.Wave.RepRate = SpinEditValue(repRate1);
    return draft;
}

bool TMain_Form::ManualSweep() const {
    return !AutoRadioButton->isChecked();
}

void TMain_Form::ApplyWaveform() {
    OwnOperation own(*this);
    if (!FrequenciesReadable({StartF_SpinEdit, EndF_SpinEdit, SweepStep_SpinEdit, repRate1}))
        return;
    const int c = ActiveChannelNumber();
    const TChannelInfo draft = ReadWaveformDraft();
    DialogOperatorUi ui(this);
    failureThisAction_ = false;
    ui.onProblem(
        [&](const std::string& problem) { ShowProblem(c, "waveform not loaded", problem); });
    ::ApplyWaveform(card_, c, draft, ManualSweep(), ui);
    UpdateModeLEDs();
    UpdateControlValues();
}

// Choosing single or swept frequency takes effect in the record at once; the
// refresh puts every other control of the page back to the record.
void TMain_Form::SelectSingleFrequency() {
    OwnOperation own(*this);
    card_.channel(ActiveChannelNumber()).Wave.SweepFlag = false;
    UpdateControlValues();
}

void TMain_Form::SelectSweep() {
    OwnOperation own(*this);
    card_.channel(ActiveChannelNumber()).Wave.SweepFlag = true;
    UpdateControlValues();
}

// The sweep mode reaches the card with the next Update; only the enabling
// of the Up and Down buttons follows the choice.
void TMain_Form::SelectSweepAuto() {
    OwnOperation own(*this);
    UpdateControlValues();
}

void TMain_Form::SelectSweepManual() {
    OwnOperation own(*this);
    UpdateControlValues();
}

// The Up and Down buttons drive the channel's software FSK level. The click
// has already toggled the clicked button's lamp.
void TMain_Form::SweepUp() {
    OwnOperation own(*this);
    const int c = ActiveChannelNumber();
    if (SetFskLevel(card_, c, true) == VI_SUCCESS)
        ManualDownButton->setLit(false);
    else
        ManualUpButton->setLit(false);
}

void TMain_Form::SweepDown() {
    OwnOperation own(*this);
    const int c = ActiveChannelNumber();
    if (SetFskLevel(card_, c, false) == VI_SUCCESS)
        ManualUpButton->setLit(false);
    else
        ManualDownButton->setLit(false);
}

// ---------------------------------------------------------------------------
// Start-frequency stepping keys: Shift steps by 10, Ctrl by 100, Alt by 1000.

void TMain_Form::FormKeyDown(const QKeyEvent* event) {
    constexpr Qt::KeyboardModifiers kHeld =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    Qt::KeyboardModifiers held = event->modifiers() & kHeld;
    // The press of a modifier key counts that key as held, whichever way the
    // platform reports it.
    switch (event->key()) {
    case Qt::Key_Shift:
        held |= Qt::ShiftModifier;
        break;
    case Qt::Key_Control:
        held |= Qt::ControlModifier;
        break;
    case Qt::Key_Alt:
        held |= Qt::AltModifier;
        break;
    case Qt::Key_Meta:
        held |= Qt::MetaModifier;
        break;
    default:
        break;
    }
    // What is being typed in the field stays as typed.
    if (held == Qt::ShiftModifier)
        StartF_SpinEdit->setStepKeepingText(10);
    else if (held == Qt::ControlModifier)
        StartF_SpinEdit->setStepKeepingText(100);
    else if (held == Qt::AltModifier)
        StartF_SpinEdit->setStepKeepingText(1000);
}

void TMain_Form::FormKeyUp(const QKeyEvent*) {
    StartF_SpinEdit->setStepKeepingText(1);
}

namespace {

// Shows the window every key meant for one of its controls before the control
// sees it (once per key: not again as the key travels up to the parents).
class KeyPreviewFilter final : public QObject {
public:
    explicit KeyPreviewFilter(TMain_Form* form) : QObject(form), form_(form) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
            return false;
        QWidget* target = QApplication::focusWidget();
        if (!target)
            target = form_;
        if (watched != target || target->window() != form_)
            return false;
        if (type == QEvent::KeyPress)
            form_->FormKeyDown(static_cast<QKeyEvent*>(event));
        else
            form_->FormKeyUp(static_cast<QKeyEvent*>(event));
        return false;
    }

private:
    TMain_Form* form_;
};

} // namespace

void TMain_Form::WatchStepKeyClicks() {
    for (QSpinBox* spin : {StartF_SpinEdit, repRate1}) {
        spin->installEventFilter(this);
        if (auto* edit = spin->findChild<QLineEdit*>())
            edit->installEventFilter(this);
    }
}

// A click on the start frequency or the repetition rate switches the key
// preview on for the rest of the run. Before it, the window sees keys only
// when no control has the focus.
void TMain_Form::NoteStepKeyClick(QObject* watched, QEvent* event) {
    if (keyPreview_ || event->type() != QEvent::MouseButtonPress)
        return;
    for (QSpinBox* spin : {StartF_SpinEdit, repRate1})
        if (watched == spin || watched->parent() == spin) {
            keyPreview_ = true;
            qApp->installEventFilter(new KeyPreviewFilter(this));
            return;
        }
}

void TMain_Form::keyPressEvent(QKeyEvent* event) {
    if (!keyPreview_ && (!focusWidget() || focusWidget() == this))
        FormKeyDown(event);
    QMainWindow::keyPressEvent(event);
}

void TMain_Form::keyReleaseEvent(QKeyEvent* event) {
    if (!keyPreview_ && (!focusWidget() || focusWidget() == this))
        FormKeyUp(event);
    QMainWindow::keyReleaseEvent(event);
}
