#include "SessionMemory.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSettings>

namespace {

QSettings Store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "nv815-panel", "nv815-panel");
}

// A text read back from the store, or nothing when the store cannot be read.
QVariant Read(const QString& key) {
    QSettings store = Store();
    if (store.status() != QSettings::NoError)
        return {};
    return store.value(key);
}

void Write(const QString& key, const QVariant& value) {
    QSettings store = Store();
    if (store.status() == QSettings::NoError)
        store.setValue(key, value);
}

QString FolderKey(const QString& filter) {
    return "folders/" +
           QCryptographicHash::hash(filter.toUtf8(), QCryptographicHash::Md5).toHex().left(12);
}

} // namespace

namespace SessionMemory {

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

} // namespace SessionMemory
