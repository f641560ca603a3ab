// The File menu's configuration files: every channel's settings saved to and
// loaded from an INI file. Loading sends nothing to the card; applying sends
// every channel of the loaded file.
#include "Main_Unit.h"

#include "ApplySettings.h"
#include "CardState.h"
#include "Commands.h"
#include "ConfigFile.h"
#include "Dialogs.h"
#include "OperatorDialogs.h"

namespace {
const char* const kIniFiles = "Ini files (*.ini)|*.INI|All Files (*.*)|*.*";
} // namespace

void TMain_Form::SaveConfig1Click() {
    const QString chosen = AppDialogs().saveFileName(this, kIniFiles, "ini");
    if (chosen.isEmpty())
        return;
    // The file is replaced only by a complete new one: a failed save keeps it.
    if (!SaveConfiguration(CardInfo, chosen.toLocal8Bit().toStdString()))
        AppDialogs().message(this, Dialogs::Kind::Error, "Unable to write to " + chosen);
}

void TMain_Form::LoadConfig1Click() {
    const QString chosen = AppDialogs().openFileName(this, kIniFiles, "ini");
    if (!chosen.isEmpty())
        LoadConfigFrom(chosen);
}

bool TMain_Form::LoadConfigFrom(const QString& chosen) {
    const ConfigLoad load =
        LoadConfiguration(CardInfo, chosen.toLocal8Bit().toStdString(), [this](int channel) {
            const TArbWave& arb = CardInfo.Channel[channel].Wave.Arb;
            ImportWaveFile(channel, arb.ArbFile, arb.NormaliseFlag, arb.TextFlag);
        });
    if (!load.error.empty()) {
        // Nothing was loaded: the controls keep what they show.
        ShowFeedback("Configuration not loaded: " + QString::fromLocal8Bit(load.error.c_str()));
        return false;
    }
    UpdateControlValues();
    UpdateModeLEDs();
    UpdateAttControls(); // the output group shows the loaded attenuation and offset too
    return true;
}

void TMain_Form::ApplyConfig1Click() {
    if (Session == 0) {
        ShowNoCard();
        return;
    }
    const QString chosen = AppDialogs().openFileName(this, kIniFiles, "ini");
    if (chosen.isEmpty() || !LoadConfigFrom(chosen))
        return;
    const int channels = Channel_PageControl->isTabVisible(2) ? kChannelCount : 2;
    CommandTally tally;
    CommandTally* const outer = SetCommandTally(&tally);
    DialogOperatorUi ui(this, [this](int) { UpdateModeLEDs(); });
    for (int c = 1; c <= channels; ++c)
        ApplyChannel(Session, c, CardInfo, PendingMultiplier[c], ui);
    SetCommandTally(outer);
    UpdateAllControls();
    ShowFeedback(QString("Configuration applied: %1 commands sent, %2 refused%3")
                     .arg(tally.sent)
                     .arg(tally.refused)
                     .arg(tally.refused ? " (see the operation log)." : "."));
}
