#include "Serving.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHostInfo>

#include "LxiWebServer.h"
#include "MdnsPublisher.h"
#include "ScpiDevice.h"

Serving::Serving(ScpiDevice& device, const Card& card, QObject* parent)
    : QObject(parent), device_(device), card_(card) {
    connect(&device_, &ScpiDevice::identifyAsked, this, &Serving::identifyAsked);
}

Serving::~Serving() {
    stop();
}

bool Serving::start(const ServeOptions& options, QString& error) {
    stop();
    options_ = options;
    hosts_.clear();
    for (const QHostAddress& address : options.addresses)
        for (const QString& host : HostsReaching(address))
            if (!hosts_.contains(host))
                hosts_ << host;
    device_.setFilesFolder(options.files);
    door_ = std::make_shared<clients::Door>();
    door_->allow = options.allow;
    door_->refused = [this](const QString& peer, const QString& transport, const QString& why) {
        emit clientRefused(peer, transport, why);
    };
    const auto page = [this] {
        QStringList visa;
        for (const TransportResource& r : resources())
            if (r.visa)
                visa << r.string;
        LxiPage p = LxiPageOf(card_, hosts_, visa);
        p.security = security();
        return p;
    };
    if (!prepareAccess(error))
        return false;
    context_ = std::make_unique<TransportContext>(TransportContext{device_, page, door_, access_});
    for (const TransportKind& kind : Transports()) {
        if (!options.transports.contains(kind.key))
            continue;
        if (options.secure && !kind.secure) {
            leftOff_ << kind.title;
            continue;
        }
        QString problem;
        if (startOne(kind, options.transports.value(kind.key), problem))
            continue;
        if (kind.required || options.secure) {
            stop();
            error = problem;
            return false;
        }
    }
    if (serving_.empty()) {
        error = "secure mode serves only HiSLIP and HTTPS, and neither is chosen";
        return false;
    }
    if (options.mdns)
        announce();
    return true;
}

// The users, and TLS where it is asked for or needed (secure mode, HTTPS,
// users to sign in over HiSLIP's secure connection, a certificate given).
bool Serving::prepareAccess(QString& error) {
    access_ = std::make_shared<Access>();
    access_->queriesOpen = options_.queriesOpen;
    access_->anonymous = options_.anonymous;
    access_->secure = options_.secure;
    if (!options_.users.isEmpty() && !access_->users.load(options_.users, error))
        return false;
    const bool https = options_.transports.contains("https");
    if (options_.secure || https || !access_->users.empty() || !options_.tlsCertificate.isEmpty()) {
        const auto identity =
            options_.tlsCertificate.isEmpty()
                ? TlsIdentity::Own(options_.tlsFolder.isEmpty() ? TlsIdentity::DefaultFolder()
                                                                : options_.tlsFolder,
                                   {QHostInfo::localHostName()}, hosts_, error)
                : TlsIdentity::Load(options_.tlsCertificate, options_.tlsKey, error);
        if (!identity)
            return false;
        access_->tls = TlsCredentials::Make(*identity, error);
        if (!access_->tls)
            return false;
    }
    access_->attempted = [this](const QString& peer, const QString& transport, const QString& user,
                                const QString& why) {
        emit signInAttempted(peer, transport, user, why);
    };
    device_.setSignIn(access_->signInRequired(), options_.queriesOpen);
    // The file changed elsewhere (--add-user beside --serve): taken at once.
    // It is replaced by a rename, so its folder is watched too.
    if (!options_.users.isEmpty()) {
        usersWatch_ = std::make_unique<QFileSystemWatcher>();
        usersWatch_->addPath(QFileInfo(options_.users).absolutePath());
        if (QFileInfo::exists(options_.users))
            usersWatch_->addPath(options_.users);
        const auto reload = [this] {
            QString ignored; // a file half-written or refused: the users stay as they were
            if (QFileInfo::exists(options_.users))
                usersWatch_->addPath(options_.users);
            reloadUsers(ignored);
        };
        connect(usersWatch_.get(), &QFileSystemWatcher::directoryChanged, this, reload);
        connect(usersWatch_.get(), &QFileSystemWatcher::fileChanged, this, reload);
    }
    return true;
}

// On the port asked for, or the transport's preferred one and any free one after it.
bool Serving::startOne(const TransportKind& kind, int wanted, QString& problem) {
    auto transport = kind.make();
    const quint16 first = static_cast<quint16>(wanted < 0 ? kind.preferredPort : wanted);
    if (!transport->listen(*context_, options_.addresses, first, problem) &&
        (wanted >= 0 || first == 0 ||
         !transport->listen(*context_, options_.addresses, 0, problem))) {
        failures_.push_back({&kind, first, problem});
        return false;
    }
    Transport* t = transport.get();
    connect(t, &Transport::clientsChanged, this, &Serving::clientsChanged);
    connect(t, &Transport::clientCame, this, &Serving::clientCame);
    connect(t, &Transport::clientLeft, this, &Serving::clientLeft);
    connect(t, &Transport::reachChanged, this, [this, t] {
        if (mdns_)
            announce();
        emit reachChanged(*t);
    });
    serving_.push_back({&kind, std::move(transport)});
    return true;
}

// Announced where an Avahi daemon runs, on the interface served.
void Serving::announce() {
    QList<MdnsService> services;
    for (const Served& s : serving_)
        services << s.transport->services();
    MdnsPublisher::Services all = MdnsPublisher::Services::Of(scpi::IdentityOf(card_), services);
    MdnsPublisher::Follow(options_.addresses, all);
    if (!mdns_)
        mdns_ = std::make_unique<MdnsPublisher>();
    announceProblem_.clear();
    if (!mdns_->start(all, announceProblem_))
        mdns_.reset();
}

void Serving::stop() {
    mdns_.reset(); // withdrawn first
    announceProblem_.clear();
    // The last started first: the raw socket, whose clients may hold the
    // front panel, goes last.
    while (!serving_.empty()) {
        serving_.back().transport->stop(); // its clients' going said
        serving_.back().transport->disconnect(this);
        serving_.pop_back();
    }
    failures_.clear();
    leftOff_.clear();
    usersWatch_.reset();
    context_.reset();
    device_.setSignIn(false, true);
    if (access_)
        access_->attempted = nullptr; // a shared server may keep it
    if (door_)
        door_->refused = nullptr; // a shared server may keep it: it tells nobody now
}

bool Serving::reloadUsers(QString& error) {
    if (!access_ || options_.users.isEmpty())
        return true;
    Credentials users;
    if (!users.load(options_.users, error))
        return false;
    access_->users = users;
    device_.setSignIn(access_->signInRequired(), options_.queriesOpen);
    device_.signOutAllBut(users.users());
    return true;
}

QStringList Serving::security() const {
    QStringList lines;
    if (!access_)
        return lines;
    if (access_->secure)
        lines << "Secure mode: only HiSLIP with TLS and HTTPS are served, to clients that "
                 "authenticate.";
    if (const TlsIdentity* id = tls())
        lines << "TLS certificate " + id->fingerprint + ", public key " + id->publicKeyPin +
                     (id->selfSigned ? " (made by the program: pin it)." : ".");
    if (transport("https"))
        lines << QString("HTTPS on port %1.").arg(port("https"));
    if (transport("hislip") && access_->tls)
        lines << "HiSLIP's secure connection (TLS), with sign-in by SASL (" +
                     QString::fromLatin1(
                         SaslServer::Mechanisms(access_->anonymous).replace(' ', ", ")) +
                     ").";
    if (access_->signInRequired())
        lines << (access_->queriesOpen ? "Changing the card asks for a signed-in user; other "
                                         "clients may only ask it."
                                       : "Changing or asking the card asks for a signed-in user.");
    if (!options_.allow.empty())
        lines << "Clients let in: " + options_.allow.text() + ".";
    return lines;
}

bool Serving::listening() const {
    return !serving_.empty();
}

const Transport* Serving::transport(const QString& key) const {
    for (const Served& s : serving_)
        if (s.kind->key == key)
            return s.transport.get();
    return nullptr;
}

quint16 Serving::port(const QString& key) const {
    const Transport* t = transport(key);
    return t ? t->port() : 0;
}

QList<TransportResource> Serving::resources() const {
    QList<TransportResource> all;
    for (const QString& host : hosts_)
        for (const Served& s : serving_)
            all << s.transport->resources(host);
    return all;
}

QStringList Serving::resourceStrings() const {
    QStringList strings;
    for (const TransportResource& r : resources())
        strings << r.string;
    return strings;
}

QStringList Serving::clients() const {
    QStringList all;
    for (const Served& s : serving_)
        all << s.transport->clients();
    return all;
}

QStringList Serving::problems() const {
    QStringList all;
    for (const Served& s : serving_)
        if (const QString p = s.transport->problem(); !p.isEmpty())
            all << p;
    return all;
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_Serving.cpp"
