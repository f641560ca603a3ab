// What the program remembers between runs: the folder last used for each
// kind of file, the configurations used last, and the card used last. Kept
// with QSettings in nv815-panel/nv815-panel.ini of the user's configuration
// folder; a settings file that is missing or cannot be read is ignored
// (everything starts empty), one that cannot be written only forgets. A file
// that is no regular file (a FIFO, a device) or is larger than
// kMaxStoreSize is neither read nor written.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace SessionMemory {

constexpr qint64 kMaxStoreSize = 64 * 1024;

// The settings file; SetStoreFolder (for tests) puts it in another folder.
QString StoreFile();
void SetStoreFolder(const QString& folder);

// The folder a file dialog of this filter last chose a file in; empty when none.
QString LastFolder(const QString& filter);
void SetLastFolder(const QString& filter, const QString& chosenFile);

constexpr int kRecentConfigs = 4;
// The configurations last loaded, applied or saved, the latest first.
QStringList RecentConfigs();
void AddRecentConfig(const QString& path);
void RemoveRecentConfig(const QString& path);

// The resource of the card last opened and its model ("72-815", "82-815");
// empty when none.
QString LastCard();
QString LastCardModel();
void SetLastCard(const QString& resource, const QString& model);

// The Remote Control window's choices. A stored value out of range, or a
// folder that is gone, reads as the default.
struct RemoteChoices {
    int port = 5025;
    bool allInterfaces = false;
    QMap<QString, bool> transports; // each chosen beside the raw socket, by its key
    QString folder;                 // of the configuration files clients may use
    bool serveAtStart = false;      // serving starts with the program
    QString allow;                  // the clients let in; empty: whoever reaches the port
    bool secure = false;            // secure mode: HiSLIP with TLS and HTTPS only
    bool queriesOpen = true;        // clients not signed in may ask the card
};
// The transports named by `keys`, each on or off as its value says unless
// chosen otherwise.
RemoteChoices Remote(const QMap<QString, bool>& keys = {});
void SetRemote(const RemoteChoices& choices);

} // namespace SessionMemory
