// The trigger group, the Clock page and the DDS reference clock menu.
#include "Main_Unit.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <cmath>

#include "CardState.h"
#include "Commands.h"
#include "Dialogs.h"
#include "ExtClkFreq_Unit.h"
#include "Main_Controls.h"
#include "PanelWidgets.h"

// ---------------------------------------------------------------------------
// Trigger group

void TMain_Form::ApplyTrigger() {
    const int c = ActiveChannelNumber();
    TChannelInfo& ch = CardInfo.Channel[c];
    const int32_t savedSource = ch.TrigSource;
    const int32_t savedMode = ch.TrigMode;
    ch.TrigSource = TrigSource_ComboBox->currentIndex();
    ch.TrigMode = TrigMode_ComboBox->currentIndex();
    if (CmdSetTriggerMode(Session, ch.TrigSource, ch.TrigMode, c) != VI_SUCCESS) {
        ch.TrigSource = savedSource;
        ch.TrigMode = savedMode;
    }
}

void TMain_Form::TriggerModeChosen() {
    TrigSource_ComboBox->setEnabled(TrigMode_ComboBox->currentText() !=
                                    QLatin1String("Continuous"));
}

// ---------------------------------------------------------------------------
// Clock page

void TMain_Form::MultiplierUp() {
    int32_t& m = PendingMultiplier[ActiveChannelNumber()];
    if (m <= 1)
        m = 4;
    else if (m >= 20)
        m = 20;
    else
        m = m + 1;
    ClkX_Edit->setText(QString::number(m));
}

void TMain_Form::MultiplierDown() {
    int32_t& m = PendingMultiplier[ActiveChannelNumber()];
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
    if (!FrequenciesReadable({SwpStartF_SpinEdit, SwpEndF_SpinEdit, SwpStep_SpinEdit}))
        return;
    const int start = SpinEditValue(SwpStartF_SpinEdit);
    const int end = SpinEditValue(SwpEndF_SpinEdit);
    if (start > end) {
        AppDialogs().message(this, Dialogs::Kind::Error,
                             "Sweep end frequency value must always be greater or equal to "
                             "\r\nsweep start frequency.");
        return;
    }
    const int c = ActiveChannelNumber();
    TChannelInfo& ch = CardInfo.Channel[c];
    const TChannelInfo saved = ch;

    const int mode = SweepMode_ComboBox->currentIndex();
    ch.Wave.SweepFlag = mode == 2 || mode == 3;
    ch.Multiplier = PendingMultiplier[c];
    ch.SweepMode = mode;
    ch.ClkStartF = start / 1000.0;
    ch.ClkEndF = end / 1000.0;
    ch.ClkSweepStep = SpinEditValue(SwpStep_SpinEdit) / 1000.0;
    ch.ClkStepInterval = SpinEditValue(SwpInt_SpinEdit) / 1000.0;
    ch.FSKSource = ComboItemIndex(FSKSource_ComboBox);
    ch.MemStep = static_cast<uint32_t>(std::lround(std::pow(2.0, CounterStep_UpDown->position())));

    // All four commands are issued; each failure puts back only its own fields.
    if (CmdSetClockSource(Session, CardInfo.DDSSourceExtFlag ? 1 : 0, ch.Multiplier,
                          CardInfo.ExtFreq, c) != VI_SUCCESS) {
        ch.Multiplier = saved.Multiplier;
        PendingMultiplier[c] = saved.Multiplier;
    }
    if (CmdSetCounterStep(Session, ch.MemStep, c) != VI_SUCCESS)
        ch.MemStep = saved.MemStep;
    if (CmdSetClockMode(Session, ch.SweepMode, c, ch.ClkStartF, ch.ClkEndF, ch.ClkSweepStep,
                        ch.ClkStepInterval) != VI_SUCCESS) {
        ch.SweepMode = saved.SweepMode;
        ch.ClkStartF = saved.ClkStartF;
        ch.ClkEndF = saved.ClkEndF;
        ch.ClkSweepStep = saved.ClkSweepStep;
        ch.ClkStepInterval = saved.ClkStepInterval;
    }
    if (CmdSetFSKSource(Session, ch.FSKSource, c) != VI_SUCCESS)
        ch.FSKSource = saved.FSKSource;
    UpdateAllControls();
}

// ---------------------------------------------------------------------------
// DDS reference clock source

void TMain_Form::UpdateClockSourceChecks() {
    ExternalClk_MenuItem->setChecked(CardInfo.DDSSourceExtFlag);
    InternalClk_MenuItem->setChecked(!CardInfo.DDSSourceExtFlag);
}

void TMain_Form::UseInternalClock() {
    const int c = ActiveChannelNumber();
    const bool savedFlag = CardInfo.DDSSourceExtFlag;
    CardInfo.DDSSourceExtFlag = false;
    if (CmdSetClockSource(Session, 0, CardInfo.Channel[c].Multiplier, CardInfo.ExtFreq, c) !=
        VI_SUCCESS)
        CardInfo.DDSSourceExtFlag = savedFlag;
    UpdateClockSourceChecks();
}

void TMain_Form::UseExternalClock() {
    const int c = ActiveChannelNumber();
    const double savedFreq = CardInfo.ExtFreq;
    const bool savedFlag = CardInfo.DDSSourceExtFlag;
    if (extClkForm_) {
        extClkForm_->Freq = CardInfo.ExtFreq;
        if (extClkForm_->exec() == QDialog::Accepted) {
            CardInfo.ExtFreq = extClkForm_->Freq;
            // The typed text stands as typed ("&" is no mnemonic there).
            ExternalClk_MenuItem->setText("&External Clock (" +
                                          extClkForm_->ExtClkFreq_Edit->text().replace('&', "&&") +
                                          " MHz)");
            CardInfo.DDSSourceExtFlag = true;
        } else {
            CardInfo.DDSSourceExtFlag = false; // Cancel selects the internal reference
        }
    }
    if (CmdSetClockSource(Session, CardInfo.DDSSourceExtFlag ? 1 : 0,
                          CardInfo.Channel[c].Multiplier, CardInfo.ExtFreq, c) != VI_SUCCESS) {
        CardInfo.ExtFreq = savedFreq;
        CardInfo.DDSSourceExtFlag = savedFlag;
    }
    UpdateClockSourceChecks();
}
