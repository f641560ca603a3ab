// The File menu's configuration files: every channel's settings saved to and
// loaded from an INI file. Loading sends nothing to the card.
#include "Main_Unit.h"

#include "CardState.h"
#include "ConfigFile.h"
#include "Dialogs.h"

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
    if (chosen.isEmpty())
        return;
    const ConfigLoad load =
        LoadConfiguration(CardInfo, chosen.toLocal8Bit().toStdString(), [this](int channel) {
            const TArbWave& arb = CardInfo.Channel[channel].Wave.Arb;
            ImportWaveFile(channel, arb.ArbFile, arb.NormaliseFlag, arb.TextFlag);
        });
    if (!load.error.empty()) {
        // Nothing was loaded: the controls keep what they show.
        ShowFeedback("Configuration not loaded: " + QString::fromLocal8Bit(load.error.c_str()));
        return;
    }
    UpdateControlValues();
    UpdateModeLEDs();
    UpdateAttControls(); // the output group shows the loaded attenuation and offset too
}
