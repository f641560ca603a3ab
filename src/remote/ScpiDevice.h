// The card as one SCPI device behind every transport: its commands declared
// once (IEEE 488.2's common commands, the card's settings, shapes, switches
// and samples, the configuration files, the front panel's lock), its
// identity, the folder of its files and the front panel's lock. A transport
// opens a link for each client; each link has a session of its own (error
// queue, status registers, byte order), and the transport only carries its
// messages to the device and the answers back.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Card.h"
#include "LineReader.h"
#include "ScpiSession.h"

class ScpiDevice : public QObject {
    Q_OBJECT
public:
    ScpiDevice(std::function<Card*()> card, std::function<scpi::Identity()> identity,
               QObject* parent = nullptr);
    ~ScpiDevice() override;

    // A link's own session; `name` says who it is ("127.0.0.1:50122").
    std::unique_ptr<scpi::Session> openLink(const QString& name);
    // The link is gone: the front panel is given back if it held it.
    void closeLink(const scpi::Session& link);

    // One program message of a link, run as one operation on the card
    // (whoever shows the card is told once what it changed, as the
    // device's): the answer to send, empty when none.
    std::string run(scpi::Session& link, std::string_view message);
    // Bytes of a link's messages as a transport receives them, read by the
    // link's reader: each line runs as it ends, and one under way ends with
    // the bytes when they carry END. The answers, each ending with LF.
    std::string feed(scpi::Session& link, scpi::LineReader& reader, const char* data, size_t size,
                     bool end);

    // The folder MMEMory's file names are in; empty: none.
    void setFilesFolder(const QString& folder) { folder_ = folder; }
    QString filesFolder() const { return folder_; }

    // The link that locked the front panel out (SYSTem:RWLock) until it sends
    // SYSTem:LOCal or SYSTem:REMote, closes, or unlock() (the operator's
    // Local button): its session and its name; none when none.
    const scpi::Session* lockHolder() const { return lockHolder_; }
    QString lockHolderName() const;
    void unlock() { setLock(nullptr); }
    // The same lock-out asked for by a transport (HiSLIP's remote and local control).
    void lockFrontPanel(const scpi::Session& link) { setLock(&link); }

    // The device's locks, for the transports that carry them (VXI-11,
    // HiSLIP): an exclusive lock holds every other link off; links sharing
    // a lock (by its key) hold off every link that does not share it. A
    // link may hold a shared lock and an exclusive one; closing gives both up.
    enum class Grant { Granted, Busy, AlreadyHeld };
    Grant lockExclusive(const scpi::Session& link);
    Grant lockShared(const scpi::Session& link, const std::string& key);
    bool unlockExclusive(const scpi::Session& link);
    bool unlockShared(const scpi::Session& link);
    // Whether another link's lock holds this one off, and the names of
    // those holding it (empty: none); whether it holds one.
    bool heldOff(const scpi::Session& link) const;
    std::string holdersOf(const scpi::Session& link) const;
    bool holdsLock(const scpi::Session& link) const;
    // Every link holding the front panel or a device lock, by name; empty: none.
    QString lockHolders() const;
    bool exclusivelyLocked() const;
    int lockHolderCount() const;

    const scpi::CommandSet& commands() const { return commands_; }
    // Asks whatever shows the card to show itself for a while (the window
    // flashes, the command line says so); `who` asked.
    void identify(const QString& who) { emit identifyAsked(who); }
    std::string NameOf(const scpi::Session& link) const;

    // The card it drives; null while there is none.
    Card* card() const { return card_(); }

    // Whether changing the device asks for a link signed in as a user who
    // may, and whether the others may still ask it (queries). Refused
    // commands get -203 saying so; the session's own ones always run.
    void setSignIn(bool required, bool queriesOpen);
    bool signInRequired() const { return signInRequired_; }
    // The link authenticated as `user`; `mayChange` false for one signed in
    // as nobody in particular (SASL's ANONYMOUS), who may only ask.
    void signIn(const scpi::Session& link, const QString& user, bool mayChange);
    QString userOf(const scpi::Session& link) const;
    // Links signed in as any other user than these are signed out.
    void signOutAllBut(const QStringList& users);

signals:
    void identifyAsked(const QString& who);
    // The front panel was locked out or given back.
    void lockChanged();
    // A device lock was given up: links held off may go on.
    void accessChanged();
    // A device lock was taken.
    void lockTaken();

private:
    void setLock(const scpi::Session* holder);
    // Why the link may not run a command on the device now; empty: it may.
    std::string refusal(const scpi::Session& link, bool query) const;

    std::function<Card*()> card_;
    std::function<scpi::Identity()> identity_;
    scpi::CommandSet commands_;
    QString folder_;
    struct Link {
        const scpi::Session* session;
        QString name;
        bool exclusive = false, shared = false;
        std::string key; // of the shared lock
        QString user;    // signed in as; empty: nobody
        bool mayChange = false;
    };
    Link* find(const scpi::Session& link);
    const Link* find(const scpi::Session& link) const;
    std::vector<Link> links_;
    const scpi::Session* lockHolder_ = nullptr;
    bool signInRequired_ = false, queriesOpen_ = true;
};
