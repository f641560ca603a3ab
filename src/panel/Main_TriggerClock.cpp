// The trigger group, the Clock page and the DDS reference clock menu.
#include "Main_Unit.h"
#include "TriggerView.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <cmath>

#include "CardState.h"
#include "ExtClkFreq_Unit.h"
#include "Main_Controls.h"
#include "Operations.h"
#include "OperatorDialogs.h"
#include "PanelWidgets.h"

// ---------------------------------------------------------------------------
// Trigger group

void TMain_Form::ApplyTrigger() {
    trigger_->apply();
}

void TMain_Form::TriggerModeChosen() {
    trigger_->modeChosen();
}

// ---------------------------------------------------------------------------
// Clock page

void TMain_Form::MultiplierUp() {
    OwnOperation own(*this);
    int32_t& m = card_.pendingMultiplier(ActiveChannelNumber());
    if (m <= 1)
        m = 4;
    else if (m >= 20)
        m = 20;
    else
        m = m + 1;
    ClkX_Edit->setText(QString::number(m));
}

void TMain_Form::MultiplierDown() {
    OwnOperation own(*this);
    int32_t& m = card_.pendingMultiplier(ActiveChannelNumber());
    if (m <= 4)
        m = 1;
    else
        m = m - 1;
    ClkX_Edit->setText(QString::number(m));
}

void TMain_Form::CounterStepClicked() {
    CounterStep_Edit->setText(QString::number(CounterStep_UpDown->position()));
}

void TMain_Form::ClockSweepModeChanged() {
    // Which of start, end, step, interval and FSK source each mode uses.
    static const bool kEnabled[4][5] = {{true, false, false, false, false},
                                        {true, true, true, true, false},
                                        {true, true, true, true, true},
                                        {true, true, false, false, true}};
    const int mode = SweepMode_ComboBox->currentIndex();
    if (mode < 0 || mode > 3)
        return;
    QWidget* const controls[5] = {SwpStartF_SpinEdit, SwpEndF_SpinEdit, SwpStep_SpinEdit,
                                  SwpInt_SpinEdit, FSKSource_ComboBox};
    for (int i = 0; i < 5; ++i)
        controls[i]->setEnabled(kEnabled[mode][i]);
}

// Only while both fields hold a number they can read.
void TMain_Form::ClockStartChanged() {
    const std::optional<int> start = SwpStartF_SpinEdit->typedValue();
    const std::optional<int> end = SwpEndF_SpinEdit->typedValue();
    if (start && end && *end < *start)
        SwpEndF_SpinEdit->setValue(*start);
}

void TMain_Form::ClockEndChanged() {
    const std::optional<int> start = SwpStartF_SpinEdit->typedValue();
    const std::optional<int> end = SwpEndF_SpinEdit->typedValue();
    if (start && end && *start > *end)
        SwpStartF_SpinEdit->setValue(*end);
}

void TMain_Form::ApplyClock() {
    OwnOperation own(*this);
    if (!FrequenciesReadable({SwpStartF_SpinEdit, SwpEndF_SpinEdit, SwpStep_SpinEdit}))
        return;
    const int c = ActiveChannelNumber();
    const TChannelInfo draft = ReadClockDraft();
    DialogOperatorUi ui(this);
    if (::ApplyClock(card_, c, draft, ui))
        UpdateAllControls();
}

// After a load the Clock page and the trigger group show the record, as the
// Waveform page does: else their next Update would send what they showed
// before over what was loaded.
void TMain_Form::ShowLoadedClockAndTrigger() {
    const int c = ActiveChannelNumber();
    TChannelInfo& ch = card_.channel(c);
    for (const BoundControl& b : bound_)
        if (b.area != Area::Wave)
            ShowBoundValue(b.control, b, b.setting->get(ch));
    for (int channel = 1; channel <= kChannelCount; ++channel)
        card_.pendingMultiplier(channel) = card_.channel(channel).Multiplier;
    ClkX_Edit->setText(QString::number(ch.Multiplier));
    CounterStep_UpDown->setPosition(static_cast<int>(std::lround(std::log2(ch.MemStep))));
    CounterStepClicked();
    ClockSweepModeChanged();
    TriggerModeChosen();
}

TChannelInfo TMain_Form::ReadClockDraft() {
    TChannelInfo draft = ReadDraft({Area::Clock});
    // Shown in fields of text: the multiplier the arrows chose, the counter step 2^N.
    multiplierSetting_->set(draft, card_.pendingMultiplier(ActiveChannelNumber()));
    counterStepSetting_->set(draft, std::pow(2.0, CounterStep_UpDown->position()));
    return draft;
}

// ---------------------------------------------------------------------------
// DDS reference clock source

void TMain_Form::UpdateClockSourceChecks() {
    ExternalClk_MenuItem->setChecked(card_.record().DDSSourceExtFlag);
    InternalClk_MenuItem->setChecked(!card_.record().DDSSourceExtFlag);
}

void TMain_Form::UseInternalClock() {
    OwnOperation own(*this);
    const int c = ActiveChannelNumber();
    SetReferenceClock(card_, c, false, card_.record().ExtFreq);
    UpdateClockSourceChecks();
}

void TMain_Form::UseExternalClock() {
    OwnOperation own(*this);
    const int c = ActiveChannelNumber();
    bool external = card_.record().DDSSourceExtFlag;
    double freq = card_.record().ExtFreq;
    if (extClkForm_) {
        extClkForm_->Freq = card_.record().ExtFreq;
        if (extClkForm_->exec() == QDialog::Accepted) {
            freq = extClkForm_->Freq;
            // The typed text stands as typed ("&" is no mnemonic there).
            ExternalClk_MenuItem->setText("&External Clock (" +
                                          extClkForm_->ExtClkFreq_Edit->text().replace('&', "&&") +
                                          " MHz)");
            external = true;
        } else {
            external = false; // Cancel selects the internal reference
        }
    }
    SetReferenceClock(card_, c, external, freq);
    UpdateClockSourceChecks();
}
