// The File menu's configuration files: every channel's settings saved to and
// loaded from an INI file. Loading sends nothing to the card; applying sends
// every channel of the loaded file.
#include "Main_Unit.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <cmath>
#include <functional>

#include "ApplySettings.h"
#include "CardState.h"
#include "Commands.h"
#include "ConfigFile.h"
#include "Dialogs.h"
#include "OperatorDialogs.h"
#include "PanelWidgets.h"
#include "SessionMemory.h"

namespace {

const char* const kIniFiles = "Ini files (*.ini)|*.INI|All Files (*.*)|*.*";

// "A, B, C and 4 more"
QString SomeOf(const QStringList& names) {
    constexpr int kShown = 3;
    QString text = names.mid(0, kShown).join(", ");
    if (names.size() > kShown)
        text += QString(" and %1 more").arg(names.size() - kShown);
    return text;
}

} // namespace

// Values beyond what a control can show are held at its limits, and every
// value is made what its control shows, so that the record, the controls and
// the next Update agree. Returns the keys whose values were out of range.
QStringList TMain_Form::FitLoadedValues() {
    struct Fit {
        const char* key;
        std::function<double&(TChannelInfo&)> field;
        double minimum, maximum, scale; // the control's range, and its units per record unit
    };
    auto spin = [](const QSpinBox* s) {
        return std::pair<double, double>(s->minimum(), s->maximum());
    };
    const std::pair<double, double> symm = spin(Symm_SpinEdit), start = spin(StartF_SpinEdit),
                                    end = spin(EndF_SpinEdit), step = spin(SweepStep_SpinEdit),
                                    interval = spin(StepInt_SpinEdit);
    const Fit fits[] = {
        {"_Wave/Symmetry", [](TChannelInfo& c) -> double& { return c.Wave.Symmetry; }, symm.first,
         symm.second, 1},
        {"_Wave/StartF", [](TChannelInfo& c) -> double& { return c.Wave.StartF; }, start.first,
         start.second, 1000},
        {"_Wave/EndF", [](TChannelInfo& c) -> double& { return c.Wave.EndF; }, end.first,
         end.second, 1000},
        {"_Wave/SweepStep", [](TChannelInfo& c) -> double& { return c.Wave.SweepStep; }, step.first,
         step.second, 1000},
        {"_Wave/StepInterval", [](TChannelInfo& c) -> double& { return c.Wave.StepInterval; },
         interval.first, interval.second, 1},
        {"_Wave/DCOffset", [](TChannelInfo& c) -> double& { return c.Wave.DCOffset; },
         double(V_Slider->minimum()), double(V_Slider->maximum()), 100},
    };
    QStringList outOfRange;
    for (int c = 1; c <= kChannelCount; ++c) {
        TChannelInfo& ch = CardInfo.Channel[c];
        for (const Fit& fit : fits) {
            double& value = fit.field(ch);
            const double units = std::clamp(value * fit.scale, fit.minimum, fit.maximum);
            if (units != value * fit.scale)
                outOfRange << QString("Channel%1%2").arg(c).arg(fit.key);
            value = std::round(units) / fit.scale;
        }
        const double att = std::clamp(ch.Wave.Attenuation, double(Att_Slider->minimum()),
                                      double(Att_Slider->maximum()));
        if (IsKnown(ch.Wave.Attenuation) && att != ch.Wave.Attenuation) {
            outOfRange << QString("Channel%1_Wave/Attenuation").arg(c);
            ch.Wave.Attenuation = att;
        }
        if (ch.Wave.WaveType < 0 || ch.Wave.WaveType >= WaveType_ComboBox->count()) {
            outOfRange << QString("Channel%1_Wave/WaveType").arg(c);
            ch.Wave.WaveType = std::clamp(ch.Wave.WaveType, 0, WaveType_ComboBox->count() - 1);
        }
    }
    return outOfRange;
}

// The status field after a load: what to do next, and what the file held
// that could not be used.
QString TMain_Form::LoadReport(const std::vector<std::string>& unreadable,
                               const QStringList& outOfRange) const {
    QString text;
    if (!unreadable.empty()) {
        QStringList names;
        for (const std::string& key : unreadable)
            names << QString::fromLocal8Bit(key.c_str());
        text += " Not readable, defaults used: " + SomeOf(names) + ".";
    }
    if (!outOfRange.isEmpty())
        text += " Out of range, held at the limit: " + SomeOf(outOfRange) + ".";
    return text;
}

void TMain_Form::RefreshRecentConfigs() {
    const QStringList recent = SessionMemory::RecentConfigs();
    for (int i = 0; i < SessionMemory::kRecentConfigs; ++i) {
        QAction* item = RecentConfig[i];
        const bool listed = i < recent.size();
        item->setVisible(listed);
        if (!listed)
            continue;
        QString name = QFileInfo(recent[i]).fileName();
        item->setText(QString("&%1 %2").arg(i + 1).arg(name.replace('&', "&&")));
        item->setToolTip(recent[i]);
        item->setStatusTip(recent[i]);
    }
}

void TMain_Form::RecentConfigClick(int index) {
    const QStringList recent = SessionMemory::RecentConfigs();
    if (index >= recent.size())
        return;
    // A file that is gone would load as all defaults: say so instead.
    if (!QFileInfo(recent[index]).isFile()) {
        ShowFeedback("Configuration not loaded: " + recent[index] + " no longer exists.");
        SessionMemory::RemoveRecentConfig(recent[index]);
        RefreshRecentConfigs();
        return;
    }
    LoadConfigFrom(recent[index]);
}

void TMain_Form::SaveConfig1Click() {
    const QString chosen = AppDialogs().saveFileName(this, kIniFiles, "ini");
    if (chosen.isEmpty())
        return;
    // The file is replaced only by a complete new one: a failed save keeps it.
    if (!SaveConfiguration(CardInfo, chosen.toLocal8Bit().toStdString())) {
        AppDialogs().message(this, Dialogs::Kind::Error, "Unable to write to " + chosen);
        return;
    }
    SessionMemory::AddRecentConfig(chosen);
    RefreshRecentConfigs();
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
    const QStringList outOfRange = FitLoadedValues();
    UpdateControlValues();
    UpdateModeLEDs();
    UpdateAttControls(); // the output group shows the loaded attenuation and offset too
    SessionMemory::AddRecentConfig(chosen);
    RefreshRecentConfigs();
    loadReport_ = LoadReport(load.unreadable, outOfRange);
    ShowFeedback((Session != 0 ? "Configuration loaded: press Update and Set on each channel, or "
                                 "use Apply Config to Card."
                               : "Configuration loaded; no card is selected.") +
                     loadReport_,
                 loadReport_.isEmpty() ? Tone::Advice : Tone::Failure);
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
    const int channels = CardChannels();
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
                         .arg(tally.refused ? " (see the operation log)." : ".") +
                     loadReport_,
                 tally.refused == 0 && loadReport_.isEmpty() ? Tone::Advice : Tone::Failure);
}
