#include "SessionMemory.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <memory>

namespace {

QString storeFolder; // empty: the user's configuration folder

// The store, or nothing when its file must not be opened: reading a FIFO
// would wait for a writer, and a huge file would be read whole.
std::unique_ptr<QSettings> Store() {
    const QFileInfo file(SessionMemory::StoreFile());
    if (file.exists() && (!file.isFile() || file.size() > SessionMemory::kMaxStoreSize))
        return nullptr;
    auto store = std::make_unique<QSettings>(file.filePath(), QSettings::IniFormat);
    if (store->status() != QSettings::NoError)
        return nullptr;
    return store;
}

// A text read back from the store, or nothing when the store cannot be read.
QVariant Read(const QString& key) {
    const std::unique_ptr<QSettings> store = Store();
    return store ? store->value(key) : QVariant();
}

void Write(const QString& key, const QVariant& value) {
    if (const std::unique_ptr<QSettings> store = Store())
        store->setValue(key, value);
}

QString FolderKey(const QString& filter) {
    return "folders/" +
           QCryptographicHash::hash(filter.toUtf8(), QCryptographicHash::Md5).toHex().left(12);
}

} // namespace

namespace SessionMemory {

QString StoreFile() {
    const QString folder =
        storeFolder.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            : storeFolder;
    return folder + "/nv815-panel/nv815-panel.ini";
}

void SetStoreFolder(const QString& folder) {
    storeFolder = folder;
}

QString LastFolder(const QString& filter) {
    const QString folder = Read(FolderKey(filter)).toString();
    return QFileInfo(folder).isDir() ? folder : QString();
}

void SetLastFolder(const QString& filter, const QString& chosenFile) {
    Write(FolderKey(filter), QFileInfo(chosenFile).absolutePath());
}

QStringList RecentConfigs() {
    QStringList list = Read("recent/configurations").toStringList();
    list.removeAll(QString());
    return list.mid(0, kRecentConfigs);
}

void AddRecentConfig(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    QStringList list = RecentConfigs();
    list.removeAll(full);
    list.prepend(full);
    Write("recent/configurations", list.mid(0, kRecentConfigs));
}

void RemoveRecentConfig(const QString& path) {
    QStringList list = RecentConfigs();
    list.removeAll(path);
    Write("recent/configurations", list);
}

QString LastCard() {
    return Read("cards/last").toString();
}

QString LastCardModel() {
    return Read("cards/lastModel").toString();
}

void SetLastCard(const QString& resource, const QString& model) {
    Write("cards/last", resource);
    Write("cards/lastModel", model);
}

RemoteChoices Remote(const QMap<QString, bool>& keys) {
    RemoteChoices c;
    bool number = false;
    if (const int port = Read("remote/port").toInt(&number); number && port >= 1 && port <= 65535)
        c.port = port;
    c.allInterfaces = Read("remote/allInterfaces").toString() == "true";
    for (auto k = keys.begin(); k != keys.end(); ++k) {
        const QString value = Read("remote/" + k.key()).toString();
        c.transports[k.key()] = value == "true" || (value != "false" && k.value());
    }
    if (const QString folder = Read("remote/folder").toString(); QFileInfo(folder).isDir())
        c.folder = folder;
    c.serveAtStart = Read("remote/serveAtStart").toString() == "true";
    c.allow = Read("remote/allow").toString();
    c.secure = Read("remote/secure").toString() == "true";
    c.queriesOpen = Read("remote/queriesOpen").toString() != "false";
    return c;
}

void SetRemote(const RemoteChoices& c) {
    Write("remote/port", c.port);
    Write("remote/allInterfaces", c.allInterfaces ? "true" : "false");
    for (auto t = c.transports.begin(); t != c.transports.end(); ++t)
        Write("remote/" + t.key(), t.value() ? "true" : "false");
    Write("remote/folder", c.folder);
    Write("remote/serveAtStart", c.serveAtStart ? "true" : "false");
    Write("remote/allow", c.allow);
    Write("remote/secure", c.secure ? "true" : "false");
    Write("remote/queriesOpen", c.queriesOpen ? "true" : "false");
}

} // namespace SessionMemory
