// The trigger group, the Clock page and the DDS reference clock menu.
#include "ClockView.h"
#include "Main_Unit.h"
#include "TriggerView.h"
#include "WaveformView.h"

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

void TMain_Form::TriggerModeChosen() {
    wave_->trigger->modeChosen();
}

// After a load the Clock page and the trigger group show the record, as the
// Waveform page does: else their next Update would send what they showed
// before over what was loaded.
void TMain_Form::ShowLoadedClockAndTrigger() {
    for (int channel = 1; channel <= kChannelCount; ++channel)
        card_.pendingMultiplier(channel) = card_.channel(channel).Multiplier;
    const int c = ActiveChannelNumber();
    clock_->show(c);
    wave_->trigger->bound().show(card_.channel(c));
    TriggerModeChosen();
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
