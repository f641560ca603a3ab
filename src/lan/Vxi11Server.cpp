#include "Vxi11Server.h"

#include <QSocketNotifier>
#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>
#include <rpc/rpc_com.h>
#include <sys/socket.h>
#include <unistd.h>

#include "LineReader.h"
#include "ScpiDevice.h"
#include "vxi11.h"

extern "C" void device_core_1(struct svc_req* request, SVCXPRT* transport);
extern "C" void device_async_1(struct svc_req* request, SVCXPRT* transport);

namespace {

// A listening IPv4 TCP socket on `address`:`port` (0: any free one).
int ListenOn(const QHostAddress& address, quint16 port, quint16& bound, QString& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address.toIPv4Address());
    socklen_t length = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return -1;
    }
    bound = ntohs(a.sin_port);
    return fd;
}

// Whether something listens on the loopback's `port`.
bool Answers(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool yes = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0)
        ::close(fd);
    return yes;
}

} // namespace

// One link: a session of its device, the message it is sending (read as it
// comes), the answers it has not read yet, and its service request.
struct Vxi11Server::Link {
    long id = 0;
    int fd = -1; // the connection it was made on
    QString peer;
    ScpiDevice* device = nullptr;
    std::unique_ptr<scpi::Session> session;
    scpi::LineReader reader;
    std::string output;
    size_t outputAt = 0;
    bool srqEnabled = false;
    std::string srqHandle;
    bool requested = false; // the status byte's request bit was set at the last look
};

// The client's interrupt channel: an RPC client of its DEVICE_INTR program.
struct Vxi11Server::Interrupt {
    CLIENT* client = nullptr;
    ~Interrupt() {
        if (client)
            clnt_destroy(client);
    }
};

Vxi11Server* Vxi11Server::active_ = nullptr;

Vxi11Server::Vxi11Server(QObject* parent) : QObject(parent) {}

Vxi11Server::~Vxi11Server() {
    close();
}

void Vxi11Server::addDevice(ScpiDevice& device) {
    devices_.push_back(&device);
}

void Vxi11Server::removeDevice(ScpiDevice& device) {
    std::vector<long> gone;
    for (const auto& [id, l] : links_)
        if (l->device == &device)
            gone.push_back(id);
    for (long id : gone)
        destroyLink(id);
    // Its place stays, so that the others keep their names.
    std::replace(devices_.begin(), devices_.end(), &device, static_cast<ScpiDevice*>(nullptr));
}

QString Vxi11Server::deviceName(const ScpiDevice& device) const {
    const auto it = std::find(devices_.begin(), devices_.end(), &device);
    return it == devices_.end() ? QString() : "inst" + QString::number(it - devices_.begin());
}

bool Vxi11Server::listen(const QHostAddress& address, quint16 port, QString& error) {
    if (active_) {
        error = "a VXI-11 server already runs in this program";
        return false;
    }
    if (address.protocol() != QAbstractSocket::IPv4Protocol) {
        error = "VXI-11 listens on an IPv4 address";
        return false;
    }
    // Connections read without blocking, each record up to this size.
    int maxRecord = static_cast<int>(kMaxRecvSize) + 4096;
    rpc_control(RPC_SVC_CONNMAXREC_SET, &maxRecord);
    coreFd_ = ListenOn(address, port, port_, error);
    if (coreFd_ < 0)
        return false;
    abortFd_ = ListenOn(address, 0, abortPort_, error);
    SVCXPRT* core = abortFd_ >= 0 ? svc_vc_create(coreFd_, 0, 0) : nullptr;
    SVCXPRT* abort = core ? svc_vc_create(abortFd_, 0, 0) : nullptr;
    coreTransport_ = core;
    abortTransport_ = abort;
    active_ = this;
    if (!core || !abort ||
        !svc_register(core, DEVICE_CORE, DEVICE_CORE_VERSION, device_core_1, 0) ||
        !svc_register(abort, DEVICE_ASYNC, DEVICE_ASYNC_VERSION, device_async_1, 0)) {
        if (error.isEmpty())
            error = "the RPC library could not serve the sockets";
        close();
        return false;
    }
    // An entry of a program that died is replaced; a live server's is kept.
    sockaddr_in mapper{};
    mapper.sin_family = AF_INET;
    mapper.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (const u_short held = pmap_getport(&mapper, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
        held != 0 && !Answers(held))
        pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
    registered_ = pmap_set(DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, port_);
    watch();
    return true;
}

void Vxi11Server::close() {
    if (active_ != this)
        return;
    std::vector<long> all;
    for (const auto& [id, l] : links_)
        all.push_back(id);
    for (long id : all)
        destroyLink(id);
    interrupts_.clear();
    if (registered_)
        pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
    registered_ = false;
    svc_unregister(DEVICE_CORE, DEVICE_CORE_VERSION);
    svc_unregister(DEVICE_ASYNC, DEVICE_ASYNC_VERSION);
    // Every connection the library holds ends; then the listeners go.
    std::vector<int> fds;
    for (int i = 0; i < svc_max_pollfd; ++i)
        if (const int fd = svc_pollfd[i].fd; fd >= 0 && fd != coreFd_ && fd != abortFd_)
            fds.push_back(fd);
    for (int fd : fds) {
        ::shutdown(fd, SHUT_RDWR);
        svc_getreq_common(fd); // the library sees the end and lets the transport go
    }
    notifiers_.clear();
    for (auto [transport, fd] :
         {std::pair{&coreTransport_, &coreFd_}, std::pair{&abortTransport_, &abortFd_}}) {
        if (*transport)
            svc_destroy(static_cast<SVCXPRT*>(*transport)); // closes its socket
        else if (*fd >= 0)
            ::close(*fd);
        *transport = nullptr;
        *fd = -1;
    }
    port_ = abortPort_ = 0;
    active_ = nullptr;
}

QStringList Vxi11Server::links() const {
    QStringList names;
    for (const auto& [id, l] : links_)
        names << l->peer + " " + deviceName(*l->device);
    return names;
}

// A notifier for each socket the library serves; the links of a connection
// that went are closed.
void Vxi11Server::watch() {
    std::map<int, bool> now;
    for (int i = 0; i < svc_max_pollfd; ++i)
        if (svc_pollfd[i].fd >= 0)
            now[svc_pollfd[i].fd] = true;
    for (auto it = notifiers_.begin(); it != notifiers_.end();) {
        if (now.count(it->first)) {
            ++it;
            continue;
        }
        const int fd = it->first;
        it->second->setEnabled(false);
        it->second.release()->deleteLater(); // it may be the one that called
        it = notifiers_.erase(it);
        dropConnection(fd);
    }
    for (const auto& [fd, yes] : now) {
        if (notifiers_.count(fd))
            continue;
        // Beyond the links' bound, a new connection is closed at once.
        if (fd != coreFd_ && fd != abortFd_ &&
            static_cast<int>(notifiers_.size()) >= kMaxLinks + 2) {
            ::shutdown(fd, SHUT_RDWR);
            svc_getreq_common(fd);
            continue;
        }
        auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this, [this, fd] { serve(fd); });
        notifiers_[fd] = std::move(notifier);
    }
}

void Vxi11Server::serve(int fd) {
    svc_getreq_common(fd);
    if (active_ == this)
        watch();
}

void Vxi11Server::dropConnection(int fd) {
    std::vector<long> gone;
    for (const auto& [id, l] : links_)
        if (l->fd == fd)
            gone.push_back(id);
    for (long id : gone)
        destroyLink(id);
    interrupts_.erase(fd);
}

Vxi11Server::Link* Vxi11Server::link(long id) {
    const auto it = links_.find(id);
    return it == links_.end() ? nullptr : it->second.get();
}

long Vxi11Server::createLink(int fd, const QString& peer, const char* device, int& error) {
    const QString name = QString::fromLatin1(device ? device : "").toLower();
    bool number = name.startsWith("inst");
    const int index = number ? name.mid(4).toInt(&number) : -1;
    if (!number || index < 0 || index >= static_cast<int>(devices_.size()) || !devices_[index]) {
        error = NotAccessible;
        return 0;
    }
    if (static_cast<int>(links_.size()) >= kMaxLinks) {
        error = OutOfResources;
        return 0;
    }
    auto l = std::make_unique<Link>();
    l->id = nextLink_++;
    l->fd = fd;
    l->peer = peer;
    l->device = devices_[index];
    l->session = l->device->openLink(peer + " (VXI-11)");
    const long id = l->id;
    links_[id] = std::move(l);
    error = NoError;
    emit linksChanged();
    return id;
}

int Vxi11Server::destroyLink(long id) {
    const auto it = links_.find(id);
    if (it == links_.end())
        return InvalidLink;
    Link& l = *it->second;
    if (const auto held = lockHolders_.find(l.device);
        held != lockHolders_.end() && held->second == id)
        lockHolders_.erase(held);
    l.device->closeLink(*l.session);
    links_.erase(it);
    emit linksChanged();
    return NoError;
}

bool Vxi11Server::lockedOut(const Link& l) const {
    const auto held = lockHolders_.find(l.device);
    return held != lockHolders_.end() && held->second != l.id;
}

// The message's lines run as they end; at END a line under way ends too.
int Vxi11Server::write(Link& l, const char* data, size_t size, bool end) {
    const auto take = [this, &l](const char* bytes, size_t count) {
        for (size_t i = 0; i < count;) {
            size_t taken = 0;
            const auto result = l.reader.take(bytes + i, count - i, taken);
            i += taken;
            if (result == scpi::LineReader::Result::Refused) {
                l.session->error(scpi::TooMuchData, l.reader.refusal());
            } else if (result == scpi::LineReader::Result::Line) {
                const std::string answer = l.device->run(*l.session, l.reader.line());
                if (!answer.empty())
                    l.output += answer + '\n';
            }
        }
    };
    take(data, size);
    if (end && l.reader.midLine())
        take("\n", 1);
    requestService(l);
    return NoError;
}

int Vxi11Server::read(Link& l, size_t requestSize, int termChar, std::string& data, long& reason) {
    if (l.outputAt >= l.output.size())
        return IoTimeout; // nothing to read: a query that failed answers nothing
    size_t count = std::min(requestSize, l.output.size() - l.outputAt);
    reason = 0;
    if (termChar >= 0) {
        const size_t at = l.output.find(static_cast<char>(termChar), l.outputAt);
        if (at != std::string::npos && at < l.outputAt + count) {
            count = at + 1 - l.outputAt;
            reason |= TermChar;
        }
    }
    data.assign(l.output, l.outputAt, count);
    l.outputAt += count;
    if (l.outputAt >= l.output.size()) {
        reason |= End;
        l.output.clear();
        l.outputAt = 0;
    } else if (count == requestSize) {
        reason |= RequestCount;
    }
    return NoError;
}

int Vxi11Server::lock(Link& l) {
    if (lockedOut(l))
        return LockedByAnother;
    lockHolders_[l.device] = l.id;
    return NoError;
}

int Vxi11Server::unlock(Link& l) {
    const auto held = lockHolders_.find(l.device);
    if (held == lockHolders_.end() || held->second != l.id)
        return NoLockHeld;
    lockHolders_.erase(held);
    return NoError;
}

// IEEE 488.2's device clear: what the link was sending and what it has not
// read are dropped; its status stays.
void Vxi11Server::clear(Link& l) {
    l.reader = scpi::LineReader();
    l.output.clear();
    l.outputAt = 0;
}

unsigned char Vxi11Server::statusByte(Link& l) {
    const unsigned char stb = l.session->statusByte();
    l.requested = (stb & 0x40) != 0;
    return stb;
}

void Vxi11Server::enableSrq(Link& l, bool enable, const std::string& handle) {
    l.srqEnabled = enable;
    l.srqHandle = handle;
}

int Vxi11Server::createInterruptChannel(int fd, unsigned long address, unsigned short port,
                                        unsigned long program, unsigned long version) {
    if (interrupts_.count(fd))
        return ChannelEstablished;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(static_cast<uint32_t>(address));
    int socket = RPC_ANYSOCK;
    auto interrupt = std::make_unique<Interrupt>();
    interrupt->client = clnttcp_create(&a, program, version, &socket, 0, 0);
    if (!interrupt->client)
        return OutOfResources;
    interrupts_[fd] = std::move(interrupt);
    return NoError;
}

void Vxi11Server::destroyInterruptChannel(int fd) {
    interrupts_.erase(fd);
}

// When the status byte's request bit rises, a client that asked is told
// through its interrupt channel (a call that waits for no reply).
void Vxi11Server::requestService(Link& l) {
    const bool was = l.requested;
    const bool now = (l.session->statusByte() & 0x40) != 0;
    l.requested = now;
    if (!now || was || !l.srqEnabled)
        return;
    const auto it = interrupts_.find(l.fd);
    if (it == interrupts_.end())
        return;
    Device_SrqParms parms{};
    parms.handle.handle_len = static_cast<u_int>(l.srqHandle.size());
    parms.handle.handle_val = l.srqHandle.data();
    timeval none{0, 0};
    clnt_call(it->second->client, device_intr_srq, reinterpret_cast<xdrproc_t>(xdr_Device_SrqParms),
              reinterpret_cast<caddr_t>(&parms),
              reinterpret_cast<xdrproc_t>(reinterpret_cast<void*>(xdr_void)), nullptr, none);
}
