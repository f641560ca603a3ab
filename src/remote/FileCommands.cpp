#include "FileCommands.h"

#include <QDir>
#include <QFileInfo>

#include "ApplySettings.h"
#include "CommandHelpers.h"
#include "ConfigFile.h"
#include "WaveFile.h"

namespace scpi {

FileInFolder ResolveInFolder(const QString& folder, const std::string& name) {
    FileInFolder f;
    if (folder.isEmpty()) {
        f.error = SettingsConflict;
        f.detail = "no folder for configuration files: start the server with --files DIR, or "
                   "choose one in the Remote Control window";
        return f;
    }
    const QString base = QFileInfo(folder).canonicalFilePath();
    if (base.isEmpty() || !QFileInfo(base).isDir()) {
        f.error = SettingsConflict;
        f.detail = "the folder " + folder.toStdString() + " does not exist";
        return f;
    }
    bool plain = !name.empty() && name != "." && name != "..";
    for (unsigned char c : name)
        plain = plain && c >= 0x20 && c != 0x7F && c != '/' && c != '\\';
    if (!plain) {
        f.error = FileNameError;
        f.detail = "a name inside the folder, without / or \\ or control characters, not . or ..";
        return f;
    }
    f.path = base + "/" + QString::fromStdString(name);
    const QFileInfo file(f.path);
    if (file.isSymLink()) {
        const QString target = file.canonicalFilePath();
        if (target.isEmpty() || QFileInfo(target).absolutePath() != base) {
            f.error = FileNameError;
            f.detail = name + " is a link out of the folder";
        }
    }
    return f;
}

namespace {

// A string parameter naming a file of the folder; an error otherwise.
bool FileOf(Session& session, const Unit& u, const std::function<QString()>& folder,
            QString& path) {
    const Parameter& p = u.parameters.front();
    if (p.kind != Parameter::Kind::String) {
        session.error(IllegalValue, "a file name in quotes");
        return false;
    }
    const FileInFolder f = ResolveInFolder(folder(), p.text);
    if (f.error != NoError) {
        session.error(f.error, f.detail);
        return false;
    }
    path = f.path;
    return true;
}

// The file loaded into a copy of the record, checked, then the record
// replaced and every channel sent as --apply sends it; nothing is sent when
// the file, a waveform of it or a setting cannot be used.
void LoadAndApply(Session& session, Card& card, const QString& path) {
    if (!QFileInfo(path).isFile())
        return session.error(FileNameNotFound, QFileInfo(path).fileName().toStdString());
    TCardInfo loaded = card.record();
    OperationWatch watch(session, card);
    const ConfigLoad load =
        LoadConfiguration(loaded, path.toLocal8Bit().toStdString(), [&](int channel) {
            TArbWave& arb = loaded.Channel[static_cast<size_t>(channel)].Wave.Arb;
            ImportWaveFile(arb, arb.ArbFile, arb.NormaliseFlag, arb.TextFlag, watch);
        });
    if (!load.error.empty())
        return session.error(ExecutionError, load.error);
    if (watch.report())
        return;
    const int channels = ReadChannelCount(card.session()).value_or(kChannelCount);
    for (int c = 1; c <= channels; ++c)
        if (const std::string problem = ChannelSettingsProblem(loaded, c); !problem.empty())
            return session.error(SettingsConflict, "channel " + std::to_string(c) + ": " + problem);
    loaded.Resource = card.record().Resource;
    card.record() = std::move(loaded);
    for (int c = 1; c <= channels; ++c)
        ApplyChannel(card, c, watch);
    watch.report();
}

// The card's settings saved; a waveform a client sent, in no file, is
// saved first beside the configuration as a text waveform file
// ("NAME_channel2.txt"), which the configuration then names.
void Store(Session& session, Card& card, const QString& folder, const QString& path) {
    TCardInfo saved = card.record();
    const QString base = QFileInfo(path).completeBaseName();
    for (int c = 1; c <= kChannelCount; ++c) {
        TWaveSettings& w = card.channel(c).Wave;
        if (!w.ArbitraryFlag || w.Arb.WaveLength <= 0 || !w.Arb.ArbFile.empty())
            continue;
        const FileInFolder wave =
            ResolveInFolder(folder, (base + QString("_channel%1.txt").arg(c)).toStdString());
        if (wave.error != NoError)
            return session.error(wave.error, wave.detail);
        OperationWatch watch(session, card);
        const std::string name = wave.path.toLocal8Bit().toStdString();
        if (watch.report(SaveWaveFile(w.Arb, name, 0, true, w.Arb.WaveLength, watch)))
            return;
        w.Arb.ArbFile = name;
        w.Arb.TextFlag = true;
        w.Arb.NormaliseFlag = false; // percent already
        saved.Channel[static_cast<size_t>(c)].Wave.Arb = w.Arb;
    }
    if (!SaveConfiguration(saved, path.toLocal8Bit().toStdString()))
        session.error(ExecutionError,
                      "could not write " + QFileInfo(path).fileName().toStdString());
}

} // namespace

void AddFileCommands(Session& session, std::function<Card*()> card,
                     std::function<QString()> folder) {
    session.add("MMEMory:LOAD:STATe", false, 1,
                [&session, card, folder](const Unit& u, int, auto&) {
                    QString path;
                    if (!FileOf(session, u, folder, path))
                        return;
                    if (Card* c = OpenCardOf(session, card))
                        LoadAndApply(session, *c, path);
                });
    session.add("MMEMory:STORe:STATe", false, 1,
                [&session, card, folder](const Unit& u, int, auto&) {
                    QString path;
                    if (!FileOf(session, u, folder, path))
                        return;
                    if (Card* c = card())
                        Store(session, *c, folder(), path);
                });
}

} // namespace scpi
