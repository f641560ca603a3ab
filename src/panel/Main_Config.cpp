// The File menu's configuration files: every channel's settings saved to and
// loaded from an INI file. Loading sends nothing to the card; applying sends
// every channel of the loaded file.
#include "Main_Unit.h"
#include "WaveformView.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
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
#include "SafeFile.h"
#include "SessionMemory.h"
#include "WaveFile.h"

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

// The status field after a load: what to do next, and what the file held
// that could not be used.
QString TMain_Form::LoadReport(const std::vector<std::string>& unreadable,
                               const std::vector<std::string>& outOfRange) const {
    QString text;
    if (!unreadable.empty()) {
        QStringList names;
        for (const std::string& key : unreadable)
            names << QString::fromLocal8Bit(key.c_str());
        text += " Not readable, defaults used: " + SomeOf(names) + ".";
    }
    if (!outOfRange.empty()) {
        QStringList names;
        for (const std::string& key : outOfRange)
            names << QString::fromLocal8Bit(key.c_str());
        text += " Out of range, held at the limit: " + SomeOf(names) + ".";
    }
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
    OwnOperation own(*this);
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

TMain_Form::FiledWaves TMain_Form::FileBuiltWaveforms(const QString& config, TCardInfo& saved) {
    saved = card_.record();
    FiledWaves out;
    QStringList left, filed;
    const QFileInfo where(config);
    for (int c = 1; c <= kChannelCount; ++c) {
        // A remote client's samples are in no file either.
        const TWaveSettings& w = card_.channel(c).Wave;
        const bool sent = w.ArbitraryFlag && w.Arb.WaveLength > 0 && w.Arb.ArbFile.empty();
        if (!unfiled_[c] && !sent)
            continue;
        const QString wave = where.absoluteDir().filePath(where.completeBaseName() +
                                                          QString("_channel%1.txt").arg(c));
        const QString question =
            QString("The waveform of channel %1 came from %3 and is in no file.\r\nYes saves it "
                    "as the text waveform file %2 beside the configuration, which then names it; "
                    "No leaves it out of the configuration; Cancel saves nothing.")
                .arg(c)
                .arg(QFileInfo(wave).fileName())
                .arg(unfiled_[c] ? "the Waveform Builder" : "a remote client");
        const Dialogs::Answer answer =
            AppDialogs().message(this, Dialogs::Kind::QuestionOrCancel, question);
        if (answer == Dialogs::Answer::Cancel || answer == Dialogs::Answer::Closed) {
            out.cancelled = true;
            return out;
        }
        TArbWave& arb = saved.Channel[c].Wave.Arb;
        const std::string name = wave.toLocal8Bit().toStdString();
        std::optional<std::string> text;
        if (answer == Dialogs::Answer::Yes && (text = NameTextWaveFile(arb, name))) {
            out.files.emplace_back(name, std::move(*text));
            out.channels.push_back(c);
            filed << QString("channel %1's waveform as %2").arg(c).arg(QFileInfo(wave).fileName());
            continue;
        }
        arb.ArbFile.clear(); // a name that is no file is not written
        left << QString::number(c);
    }
    out.leftOut = !left.isEmpty();
    if (!filed.isEmpty())
        out.said += " Saved beside it: " + filed.join(", ") + ".";
    if (!left.isEmpty())
        out.said += QString(" The waveform of channel %1 is in no file and not named: save it with "
                            "Save as Text File in the Waveform Builder and import it to keep it.")
                        .arg(left.join(", "));
    return out;
}

void TMain_Form::SaveConfig1Click() {
    const QString chosen = AppDialogs().saveFileName(this, kIniFiles, "ini");
    if (chosen.isEmpty())
        return;
    TCardInfo saved;
    FiledWaves filed = FileBuiltWaveforms(chosen, saved);
    if (filed.cancelled)
        return; // nothing written
    // The configuration and the waveform files it names are written all or
    // none, each replaced only by a complete new one: a failed save keeps them.
    const std::string path = chosen.toLocal8Bit().toStdString();
    const std::optional<std::string> text = SavedConfigurationText(saved, path);
    if (text)
        filed.files.emplace_back(path, *text);
    if (!text || !ReplaceFiles(filed.files)) {
        AppDialogs().message(this, Dialogs::Kind::Error, "Unable to write to " + chosen);
        return;
    }
    for (int c : filed.channels) {
        card_.channel(c).Wave.Arb = saved.Channel[c].Wave.Arb;
        unfiled_[c] = false;
    }
    SessionMemory::AddRecentConfig(chosen);
    RefreshRecentConfigs();
    wave_->showSamplesInfo(ActiveChannelNumber());
    // Said, with each waveform written or left out after it.
    ShowFeedback("Configuration saved to " + QFileInfo(chosen).fileName() + ".",
                 filed.leftOut ? Tone::Failure : Tone::Advice, filed.said);
}

void TMain_Form::LoadConfig1Click() {
    OwnOperation own(*this);
    const QString chosen = AppDialogs().openFileName(this, kIniFiles, "ini");
    if (!chosen.isEmpty())
        LoadConfigFrom(chosen);
}

bool TMain_Form::LoadConfigFrom(const QString& chosen) {
    const ConfigLoad load =
        LoadConfiguration(card_.record(), chosen.toLocal8Bit().toStdString(), [this](int channel) {
            const TArbWave& arb = card_.channel(channel).Wave.Arb;
            ImportWaveFile(channel, arb.ArbFile, arb.NormaliseFlag, arb.TextFlag);
        });
    if (!load.error.empty()) {
        // Nothing was loaded: the controls keep what they show.
        ShowFeedback("Configuration not loaded: " + QString::fromLocal8Bit(load.error.c_str()));
        return false;
    }
    std::fill(std::begin(unfiled_), std::end(unfiled_), false); // every name is the file's
    UpdateControlValues();
    ShowLoadedClockAndTrigger();
    UpdateModeLEDs();
    UpdateAttControls(); // the output group shows the loaded attenuation and offset too
    RedrawPreview();
    SessionMemory::AddRecentConfig(chosen);
    RefreshRecentConfigs();
    loadReport_ = LoadReport(load.unreadable, load.outOfRange);
    ShowFeedback(card_.session() != 0 ? "Configuration loaded: press Update and Set on each "
                                        "channel, or use Apply Config to Card."
                                      : "Configuration loaded; no card is selected.",
                 loadReport_.isEmpty() ? Tone::Advice : Tone::Failure, loadReport_);
    return true;
}

void TMain_Form::ApplyConfig1Click() {
    OwnOperation own(*this);
    if (card_.session() == 0) {
        ShowNoCard();
        return;
    }
    const QString chosen = AppDialogs().openFileName(this, kIniFiles, "ini");
    if (chosen.isEmpty() || !LoadConfigFrom(chosen))
        return;
    std::vector<int> channels;
    for (int c = 1; c <= CardChannels(); ++c)
        channels.push_back(c);
    CommandTally tally;
    CommandTally* const outer = card_.link().setTally(&tally);
    DialogOperatorUi ui(this);
    ApplyConfiguration(card_, channels, ui, ApplyRule::EachChannel);
    card_.link().setTally(outer);
    UpdateAllControls();
    RedrawPreview();
    ShowFeedback(QString("Configuration applied: %1 commands sent, %2 refused%3")
                     .arg(tally.sent)
                     .arg(tally.refused)
                     .arg(tally.refused ? " (see the operation log)." : "."),
                 tally.refused == 0 && loadReport_.isEmpty() ? Tone::Advice : Tone::Failure,
                 loadReport_);
}
