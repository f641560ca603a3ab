// The card served on the network: the transports its options choose, all
// listening on one address, each resource string a client opens, and the
// announcement by mDNS. The command line and the Remote Control window
// both serve through it; what each makes of a transport that cannot
// listen is theirs.
#pragma once

#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

#include "Transport.h"

class Card;
class MdnsPublisher;
class QFileSystemWatcher;

struct ServeOptions {
    // Every transport listens on each of these, IPv4 and IPv6 (VXI-11 on
    // the IPv4 ones only).
    QList<QHostAddress> addresses{QHostAddress::LocalHost};
    // The transports served, by key, each with its port: -1 its preferred
    // one where it can be had, else any free one; 0 any free one.
    QMap<QString, int> transports;
    clients::AllowList allow; // the clients that may connect; empty: whoever reaches the port
    bool mdns = true;         // announced where an Avahi daemon runs
    QString files;            // the folder of MMEMory's configuration files; empty: none

    // Who may change the card: the users file (empty: none; sign-in is
    // required once it names a user), whether clients not signed in may
    // still ask the card, and whether SASL's ANONYMOUS is offered.
    QString users;
    bool queriesOpen = true;
    bool anonymous = false;
    // Secure mode: only the transports that carry TLS, each client
    // authenticated (the others chosen are left off, and said so).
    bool secure = false;
    // The operator's certificate and key; empty: the program's own, kept
    // in `tlsFolder` (empty: TlsIdentity::DefaultFolder()).
    QString tlsCertificate, tlsKey, tlsFolder;
};

class Serving : public QObject {
    Q_OBJECT
public:
    // `device` and `card` outlive it.
    Serving(ScpiDevice& device, const Card& card, QObject* parent = nullptr);
    ~Serving() override;

    // A transport chosen that could not listen, and the port it was given.
    struct Failure {
        const TransportKind* kind;
        int port;
        QString problem;
    };
    // Starts each transport chosen, in the table's order, then announces
    // them. A required one that cannot listen stops them all (false, with
    // the reason); any other that cannot is in failures() and the rest serve.
    bool start(const ServeOptions& options, QString& error);
    void stop();
    bool listening() const;
    const std::vector<Failure>& failures() const { return failures_; }

    // A transport serving now; null when it does not.
    const Transport* transport(const QString& key) const;
    quint16 port(const QString& key) const;
    QStringList hosts() const { return hosts_; }
    // Each host's resources, the transports in the table's order.
    QList<TransportResource> resources() const;
    QStringList resourceStrings() const;
    // Every transport's clients: the raw socket's, then "... (VXI-11)", ...
    QStringList clients() const;
    // What clients of the transports serving cannot do now.
    QStringList problems() const;
    // Newcomers turned away by the allow list since the start.
    int refusedCount() const { return door_ ? door_->refusedCount : 0; }
    // Failed sign-ins since the start.
    int failedSignIns() const { return access_ ? access_->guard.failures() : 0; }
    // The certificate served where TLS is; null: none.
    const TlsIdentity* tls() const {
        return access_ && access_->tls ? &access_->tls->identity() : nullptr;
    }
    bool signInRequired() const { return access_ && access_->signInRequired(); }
    // The users file read again while serving (done by itself when the file
    // changes): sign-in follows it, and a client signed in as a user no
    // longer in it may change the card no more. False, with the reason,
    // when it cannot be read (nothing changes).
    bool reloadUsers(QString& error);
    QStringList users() const { return access_ ? access_->users.users() : QStringList(); }
    // The transports chosen that secure mode left off (their titles).
    QStringList leftOff() const { return leftOff_; }
    // Whether it is announced; why not when it is not.
    bool announced() const { return mdns_ != nullptr; }
    QString announceProblem() const { return announceProblem_; }

signals:
    void clientsChanged();
    void clientCame(const QString& client);
    void clientLeft(const QString& client);
    // What `transport` can be reached by changed; the resources and the
    // announcement follow it already.
    void reachChanged(const Transport& transport);
    // A newcomer turned away: "192.0.2.7:40112", "HiSLIP", "not on the allow list".
    void clientRefused(const QString& peer, const QString& transport, const QString& why);
    // A client asked the card to show itself (SYSTem:IDENtify, the web page's Identify).
    void identifyAsked(const QString& who);
    // A client tried to sign in as `user`: `why` it failed, empty when it did not.
    void signInAttempted(const QString& peer, const QString& transport, const QString& user,
                         const QString& why);

private:
    void announce();
    bool startOne(const TransportKind& kind, int wanted, QString& problem);
    bool prepareAccess(QString& error);
    // What is secured and how, as the pages say it.
    QStringList security() const;

    ScpiDevice& device_;
    const Card& card_;
    ServeOptions options_;
    QStringList hosts_;
    struct Served {
        const TransportKind* kind;
        std::unique_ptr<Transport> transport;
    };
    std::unique_ptr<TransportContext> context_; // what the transports serve
    std::shared_ptr<clients::Door> door_;
    std::shared_ptr<Access> access_;
    std::unique_ptr<QFileSystemWatcher> usersWatch_;
    QStringList leftOff_;
    std::vector<Served> serving_;
    std::vector<Failure> failures_;
    std::unique_ptr<MdnsPublisher> mdns_;
    QString announceProblem_;
};
