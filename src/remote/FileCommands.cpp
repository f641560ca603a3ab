#include "FileCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

#include "ApplySettings.h"
#include "CommandHelpers.h"
#include "ConfigFile.h"
#include "SafeFile.h"
#include "WaveFile.h"

namespace scpi {

namespace {

// The folder's own path, links resolved; empty with the error when there is none.
QString FolderPath(const QString& folder, FileInFolder& f) {
    if (folder.isEmpty()) {
        f.error = SettingsConflict;
        f.detail = "no folder for configuration files: start the server with --files DIR, or "
                   "choose one in the Remote Control window";
        return {};
    }
    const QString base = QFileInfo(folder).canonicalFilePath();
    if (base.isEmpty() || !QFileInfo(base).isDir()) {
        f.error = SettingsConflict;
        f.detail = "the folder for configuration files does not exist";
        return {};
    }
    return base;
}

bool Inside(const QString& base, const QString& path) {
    return path.startsWith(base + "/");
}

} // namespace

FileInFolder ResolveInFolder(const QString& folder, const std::string& name) {
    FileInFolder f;
    const QString base = FolderPath(folder, f);
    if (base.isEmpty())
        return f;
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

FileInFolder ResolveWaveInFolder(const QString& folder, const std::string& name) {
    FileInFolder f;
    const QString base = FolderPath(folder, f);
    if (base.isEmpty())
        return f;
    if (name.empty()) {
        f.error = FileNameNotFound;
        f.detail = "a channel plays an arbitrary waveform and names no waveform file";
        return f;
    }
    const QString given = QString::fromLocal8Bit(name.c_str());
    const QString path = QDir::isAbsolutePath(given) ? given : base + "/" + given;
    const QString shown = Inside(base, QDir::cleanPath(path))
                              ? QDir::cleanPath(path).mid(base.size() + 1)
                              : QFileInfo(given).fileName();
    f.path = QFileInfo(path).canonicalFilePath();
    if (f.path.isEmpty()) {
        f.error = FileNameNotFound;
        f.detail = "the waveform file " + shown.toStdString();
    } else if (!Inside(base, f.path)) {
        f.error = FileNameError;
        f.detail = "the waveform file " + shown.toStdString() + " is outside the folder";
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

// The file loaded into a copy of the record, its waveform files read from
// the folder only, checked, then the record replaced and every channel sent
// as --apply sends it; nothing is sent when the file, a waveform of it or
// a setting cannot be used.
void LoadAndApply(Session& session, Card& card, const QString& path) {
    const QString base = QFileInfo(path).absolutePath();
    if (!QFileInfo(path).isFile())
        return session.error(FileNameNotFound, QFileInfo(path).fileName().toStdString());
    TCardInfo loaded = card.record();
    OperationWatch watch(session, card, (base + "/").toStdString());
    FileInFolder unusable;
    const ConfigLoad load =
        LoadConfiguration(loaded, path.toLocal8Bit().toStdString(), [&](int channel) {
            TArbWave& arb = loaded.Channel[static_cast<size_t>(channel)].Wave.Arb;
            const FileInFolder wave = ResolveWaveInFolder(base, arb.ArbFile);
            if (wave.error != NoError) {
                if (unusable.error == NoError)
                    unusable = wave;
                return;
            }
            arb.ArbFile = wave.path.toLocal8Bit().toStdString();
            ImportWaveFile(arb, arb.ArbFile, arb.NormaliseFlag, arb.TextFlag, watch);
        });
    if (!load.error.empty()) { // why, naming the file as the client does
        const std::string quoted = "'" + path.toLocal8Bit().toStdString() + "' ";
        const std::string why =
            load.error.rfind(quoted, 0) == 0 ? load.error.substr(quoted.size()) : load.error;
        return session.error(ExecutionError, QFileInfo(path).fileName().toStdString() + " " + why);
    }
    if (unusable.error != NoError)
        return session.error(unusable.error, unusable.detail);
    if (watch.report())
        return;
    std::vector<int> channels;
    for (int c = 1; c <= card.channels(); ++c)
        channels.push_back(c);
    // Nothing of a file whose settings cannot all be sent (checked before the record is taken).
    if (const auto problems = ConfigurationProblems(loaded, channels); !problems.empty())
        return session.error(SettingsConflict, "channel " + std::to_string(problems[0].channel) +
                                                   ": " + problems[0].text);
    loaded.Resource = card.record().Resource;
    card.record() = std::move(loaded);
    ApplyConfiguration(card, channels, watch, ApplyRule::AllOrNothing);
    watch.report();
}

// The card's settings saved with a text waveform file of its own for each
// channel that plays an arbitrary waveform ("NAME_channel2.txt"), named
// relative to the folder; all of them are written, or none.
void Store(Session& session, Card& card, const QString& path) {
    const QFileInfo config(path);
    const QString base = config.absolutePath();
    const std::string folder = (base + "/").toLocal8Bit().toStdString();
    TCardInfo saved = card.record();
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<int> written;
    for (int c = 1; c <= kChannelCount; ++c) {
        TWaveSettings& w = saved.Channel[static_cast<size_t>(c)].Wave;
        const std::string wave = (config.completeBaseName() + QString("_channel%1.txt").arg(c))
                                     .toLocal8Bit()
                                     .toStdString();
        std::optional<std::string> text;
        if (w.ArbitraryFlag && (text = NameTextWaveFile(w.Arb, wave))) {
            files.emplace_back(folder + wave, std::move(*text));
            written.push_back(c);
            continue;
        }
        // Another waveform file it names: by its name in the folder.
        const QString named = QDir::cleanPath(QString::fromLocal8Bit(w.Arb.ArbFile.c_str()));
        if (Inside(base, named))
            w.Arb.ArbFile = named.mid(base.size() + 1).toLocal8Bit().toStdString();
    }
    const std::string target = path.toLocal8Bit().toStdString();
    const std::optional<std::string> text = SavedConfigurationText(saved, target);
    if (text)
        files.emplace_back(target, *text);
    if (!text || !ReplaceFiles(files))
        return session.error(ExecutionError,
                             "could not write " + config.fileName().toStdString() +
                                 (files.size() > 1 ? " and its waveform files" : "") +
                                 ": nothing was changed");
    // The card's record names the files now written, as an import names its file.
    for (int c : written) {
        TArbWave& arb = card.channel(c).Wave.Arb;
        const TArbWave& filed = saved.Channel[static_cast<size_t>(c)].Wave.Arb;
        arb.ArbFile = folder + filed.ArbFile;
        arb.TextFlag = filed.TextFlag;
        arb.NormaliseFlag = filed.NormaliseFlag;
    }
}

// MMEMory:CATalog?: the bytes the folder's files use and the bytes free
// where it lies, then each file as "<name>,<type>,<size>" (STAT for a
// configuration, ASC for any other file).
std::string Catalog(const QString& base) {
    const QFileInfoList files =
        QDir(base).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    qint64 used = 0;
    std::string entries;
    for (const QFileInfo& file : files) {
        used += file.size();
        std::string name = file.fileName().toStdString();
        std::string quoted;
        for (char c : name)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        entries += ",\"" + quoted + "," +
                   (file.suffix().compare("ini", Qt::CaseInsensitive) == 0 ? "STAT" : "ASC") + "," +
                   std::to_string(file.size()) + "\"";
    }
    return std::to_string(used) + "," +
           std::to_string(std::max<qint64>(QStorageInfo(base).bytesAvailable(), 0)) + entries;
}

} // namespace

void AddFileCommands(CommandSet& commands, std::function<Card*()> card,
                     std::function<QString()> folder) {
    commands.add("MMEMory:CATalog", true, 0, [folder](Session& session, const Unit&, int, auto& a) {
        FileInFolder f;
        const QString base = FolderPath(folder(), f);
        if (base.isEmpty())
            return session.error(f.error, f.detail);
        a.push_back(Catalog(base));
    });
    commands.add("MMEMory:LOAD:STATe", false, 1,
                 [card, folder](Session& session, const Unit& u, int, auto&) {
                     QString path;
                     if (!FileOf(session, u, folder, path))
                         return;
                     if (Card* c = OpenCardOf(session, card))
                         LoadAndApply(session, *c, path);
                 });
    commands.add("MMEMory:STORe:STATe", false, 1,
                 [card, folder](Session& session, const Unit& u, int, auto&) {
                     QString path;
                     if (!FileOf(session, u, folder, path))
                         return;
                     if (Card* c = card())
                         Store(session, *c, path);
                 });
}

} // namespace scpi
