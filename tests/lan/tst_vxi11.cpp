// VXI-11 against the protocol, on loopback sockets: links known only on
// their own connection, locks as the protocol has them (a call that asks to
// wait for a lock another link holds is answered when the lock is given up,
// when its time, capped, is up, or when device_abort ends it, and holds its
// connection's later calls back meanwhile), the interrupt channel never
// holding the server up, the status byte, every error each call names, the
// RPC protocol's own refusals, and idle links giving way to newcomers.
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>
#include <fcntl.h>
#include <netinet/in.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ScpiDevice.h"
#include "ServerLimits.h"
#include "TestRegistry.h"
#include "Vxi11Client.h"
#include "Vxi11Dispatch.h"
#include "Vxi11Server.h"
#include "vxi11.h"

namespace NV815_TEST_UNIT {

using Client = Vxi11Client;

using namespace std::chrono_literals;

char kInst0[] = "inst0";

QByteArray Word(quint32 v) {
    QByteArray w(4, '\0');
    qToBigEndian(v, w.data());
    return w;
}

bool_t NoArguments(XDR*, int*) {
    return TRUE;
}

// A listener of the test's own on the loopback, with a small receive buffer
// and an accept queue of one, whose connections it takes only when asked.
class Listener {
public:
    explicit Listener(int receiveBuffer) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (receiveBuffer > 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        address_.sin_family = AF_INET;
        address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address_), sizeof address_);
        socklen_t length = sizeof address_;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length);
        ::listen(fd_, 0);
    }
    ~Listener() { ::close(fd_); }
    quint16 port() const { return ntohs(address_.sin_port); }
    const sockaddr* address() const { return reinterpret_cast<const sockaddr*>(&address_); }
    // A connection made to it, waiting a while for one.
    int take() {
        for (int i = 0; i < 500; ++i) {
            if (const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK); fd >= 0)
                return fd;
            QTest::qWait(5);
        }
        return -1;
    }
    // Whether the other end closed `fd` (what it sent read and thrown away).
    static bool closedByPeer(int fd) {
        char bytes[65536];
        for (;;) {
            const ssize_t n = ::recv(fd, bytes, sizeof bytes, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                return true;
            if (n < 0)
                return false;
        }
    }

private:
    int fd_;
    sockaddr_in address_{};
};
char kMessage[] = "*OPC?\n";

class TestVxi11 : public QObject {
    Q_OBJECT
    ScpiDevice device{[] { return nullptr; },
                      [] {
                          return scpi::Identity{"Norvale", "72-815", "1001", "1.46"};
                      }};
    std::unique_ptr<Vxi11Server> server;

    std::unique_ptr<Client> core() { return std::make_unique<Client>(server->port(), DEVICE_CORE); }
    // A link of `c` (locking the device when `lockTimeout` >= 0); its error.
    static long createLink(Client& c, long& lid, long lockTimeout = -1) {
        c.send(create_link, xdr_Create_LinkParms,
               Create_LinkParms{1, lockTimeout >= 0, static_cast<u_long>(std::max(lockTimeout, 0L)),
                                kInst0});
        return c.reply(5000, &lid);
    }
    static void lock(Client& c, long lid, long flags, u_long timeout) {
        c.send(device_lock, xdr_Device_LockParms, Device_LockParms{lid, flags, timeout});
    }
    static void write(Client& c, long lid, long flags, u_long timeout) {
        c.send(
            device_write, xdr_Device_WriteParms,
            Device_WriteParms{
                lid, 1000, timeout, flags | Vxi11Server::EndFlag, {sizeof kMessage - 1, kMessage}});
    }

    // A message of `text` (with END unless `flags` says otherwise); its error.
    static long say(Client& c, long lid, std::string text, long flags = Vxi11Server::EndFlag) {
        c.send(device_write, xdr_Device_WriteParms,
               Device_WriteParms{lid, 1000, 0, flags, {u_int(text.size()), text.data()}});
        return c.reply();
    }
    // What the link has to read (up to `size`); "(error N)" when the read fails.
    static std::string hear(Client& c, long lid, u_long size = 4096) {
        c.send(device_read, xdr_Device_ReadParms, Device_ReadParms{lid, size, 1000, 0, 0, 0});
        std::string data;
        const long error = c.readAnswer(data);
        return error == 0 ? data : "(error " + std::to_string(error) + ")";
    }
    static long statusByte(Client& c, long lid) {
        c.send(device_readstb, xdr_Device_GenericParms, Device_GenericParms{lid, 0, 0, 1000});
        long stb = -1;
        return c.reply(5000, &stb) == 0 ? stb : -1;
    }

private slots:
    void init() {
        server = std::make_unique<Vxi11Server>();
        server->setUsePortMapper(false); // this computer's own is left alone
        server->addDevice(device);
        QString error;
        QVERIFY2(server->listen(QHostAddress::LocalHost, 0, error), qPrintable(error));
    }
    void cleanup() { server.reset(); }

    void callsWaitForALockWhenTheyAsk() {
        auto a = core(), b = core();
        long la = 0, lb = 0;
        QCOMPARE(createLink(*a, la), 0L);
        QCOMPARE(createLink(*b, lb), 0L);
        lock(*a, la, 0, 0);
        QCOMPARE(a->reply(), 0L);
        // Not asked to wait, or with no time: refused at once.
        write(*b, lb, 0, 5000);
        QCOMPARE(b->reply(), long(Vxi11Server::LockedByAnother));
        lock(*b, lb, Vxi11Server::WaitLock, 0);
        QCOMPARE(b->reply(), long(Vxi11Server::LockedByAnother));
        // Asked to: it waits, and the connection's next call after it.
        lock(*b, lb, Vxi11Server::WaitLock, 10000);
        b->send(device_unlock, xdr_Device_Link, lb);
        QCOMPARE(b->reply(150), -1L);
        write(*a, la, 0, 0); // the holder goes on meanwhile
        QCOMPARE(a->reply(), 0L);
        a->send(device_unlock, xdr_Device_Link, la);
        QCOMPARE(a->reply(), 0L);
        QCOMPARE(b->reply(), 0L); // the lock is b's now,
        QCOMPARE(b->reply(), 0L); // and given up by the call that waited behind
        // A wait whose time is up; one that device_abort ends.
        lock(*a, la, 0, 0);
        QCOMPARE(a->reply(), 0L);
        QElapsedTimer took;
        took.start();
        write(*b, lb, Vxi11Server::WaitLock, 200);
        QCOMPARE(b->reply(), long(Vxi11Server::LockedByAnother));
        QVERIFY2(took.elapsed() >= 190, qPrintable(QString::number(took.elapsed())));
        write(*b, lb, Vxi11Server::WaitLock, 60000);
        QCOMPARE(b->reply(100), -1L);
        Client abortChannel(server->abortPort(), DEVICE_ASYNC);
        abortChannel.send(device_abort, xdr_Device_Link, lb);
        QCOMPARE(abortChannel.reply(), 0L);
        QCOMPARE(b->reply(), long(Vxi11Server::Abort));
        // A link asked to lock the device: made once it has the lock, or not at all.
        auto c = core();
        long lc = 0;
        QCOMPARE(createLink(*c, lc, 100), long(Vxi11Server::LockedByAnother));
        QCOMPARE(server->links().size(), 2);
        c->send(create_link, xdr_Create_LinkParms, Create_LinkParms{1, 1, 10000, kInst0});
        QCOMPARE(c->reply(100), -1L);
        a.reset(); // its connection closes: its lock is given up
        QCOMPARE(c->reply(5000, &lc), 0L);
        write(*b, lb, 0, 0); // c's lock holds b off
        QCOMPARE(b->reply(), long(Vxi11Server::LockedByAnother));
    }

    // A link that piles up more answers than the server keeps unread
    // (a whole write of queries never read) has its connection closed.
    void answersNeverReadCloseTheConnection() {
        auto c = core();
        long lid = 0;
        QCOMPARE(createLink(*c, lid), 0L);
        std::string queries;
        while (queries.size() + 6 <= Vxi11Server::kMaxRecvSize)
            queries += "*IDN?\n";
        c->send(device_write, xdr_Device_WriteParms,
                Device_WriteParms{
                    lid, 1000, 0, Vxi11Server::EndFlag, {u_int(queries.size()), queries.data()}});
        QCOMPARE(c->reply(20000), 0L);
        QTRY_VERIFY(!c->connected());
        QCOMPARE(server->links().size(), 0);
    }

    // A newcomer finding every link, or every connection, taken takes the
    // one idle longest, once that is long enough; a lock holder keeps its own.
    void idleLinksGiveWayToNewcomers() {
        server->setIdleLimits(ShortLimits(300ms, 500ms));
        auto c = core();
        std::vector<long> links(Vxi11Server::kMaxLinks);
        for (long& lid : links)
            QCOMPARE(createLink(*c, lid), 0L);
        lock(*c, links[0], 0, 0);
        QCOMPARE(c->reply(), 0L);
        long extra = 0;
        QCOMPARE(createLink(*c, extra), long(Vxi11Server::OutOfResources));
        QTest::qWait(600);
        for (size_t i = 2; i < links.size(); ++i) { // every link but the first two called again
            write(*c, links[i], 0, 0);
            QCOMPARE(c->reply(), long(Vxi11Server::LockedByAnother));
        }
        QCOMPARE(createLink(*c, extra), 0L); // links[1]'s place
        write(*c, links[1], 0, 0);
        QCOMPARE(c->reply(), long(Vxi11Server::InvalidLink));
        QCOMPARE(createLink(*c, extra), long(Vxi11Server::OutOfResources));

        std::vector<std::unique_ptr<Client>> others;
        while (others.size() < 2 * Vxi11Server::kMaxLinks - 1)
            others.push_back(core());
        auto refused = core();
        QTRY_VERIFY(!refused->connected());
        QTest::qWait(600);
        auto newcomer = core(); // an idle connection with no link gives way
        QTest::qWait(50);
        QVERIFY(newcomer->connected());
        QVERIFY(c->connected()); // its link holds the lock
        QCOMPARE(std::count_if(others.begin(), others.end(),
                               [](const auto& o) { return !o->connected(); }),
                 1L);
    }

    // A link is its connection's: with its id, another connection (of the
    // same client or not) reaches nothing; device_abort only from the
    // address that made it. Ids are no count.
    void linksBelongToTheirConnection() {
        auto owner = core(), other = core();
        long lid = 0;
        QCOMPARE(createLink(*owner, lid), 0L);
        lock(*owner, lid, 0, 0);
        QCOMPARE(owner->reply(), 0L);
        QCOMPARE(say(*owner, lid, "*IDN?\n"), 0L);
        char handle[] = "h";
        const auto generic = [lid] { return Device_GenericParms{lid, 0, 0, 1000}; };
        const std::function<void(Client&)> calls[] = {
            [&](Client& c) { say(c, lid, "OUTP1:ATT 30\n"); },
            [&](Client& c) {
                c.send(device_read, xdr_Device_ReadParms, Device_ReadParms{lid, 99, 0, 0, 0, 0});
            },
            [&](Client& c) { c.send(device_readstb, xdr_Device_GenericParms, generic()); },
            [&](Client& c) { c.send(device_clear, xdr_Device_GenericParms, generic()); },
            [&](Client& c) { c.send(device_trigger, xdr_Device_GenericParms, generic()); },
            [&](Client& c) { c.send(device_remote, xdr_Device_GenericParms, generic()); },
            [&](Client& c) { lock(c, lid, 0, 0); },
            [&](Client& c) { c.send(device_unlock, xdr_Device_Link, lid); },
            [&](Client& c) {
                c.send(device_enable_srq, xdr_Device_EnableSrqParms,
                       Device_EnableSrqParms{lid, 1, {1, handle}});
            },
            [&](Client& c) { c.send(destroy_link, xdr_Device_Link, lid); },
        };
        for (const auto& call : calls) {
            if (&call == &calls[0]) {
                QCOMPARE(say(*other, lid, "OUTP1:ATT 30\n"), long(Vxi11Server::InvalidLink));
                continue;
            }
            call(*other);
            QCOMPARE(other->reply(), long(Vxi11Server::InvalidLink));
        }
        QCOMPARE(hear(*owner, lid), std::string("Norvale,72-815,1001,1.46\n")); // still its own
        QCOMPARE(device.lockHolderCount(), 1);

        // device_abort: from another address, the link is unknown; from its own, it is ended.
        write(*owner, lid, 0, 0);
        QCOMPARE(owner->reply(), 0L);
        auto waiter = core();
        long lw = 0;
        QCOMPARE(createLink(*waiter, lw), 0L);
        write(*waiter, lw, Vxi11Server::WaitLock, 60000);
        Client stranger(server->abortPort(), DEVICE_ASYNC, QHostAddress::LocalHost,
                        QHostAddress("127.0.0.2"));
        stranger.send(device_abort, xdr_Device_Link, lw);
        QCOMPARE(stranger.reply(), long(Vxi11Server::InvalidLink));
        QCOMPARE(waiter->reply(100), -1L);
        Client abortChannel(server->abortPort(), DEVICE_ASYNC);
        abortChannel.send(device_abort, xdr_Device_Link, lw);
        QCOMPARE(abortChannel.reply(), 0L);
        QCOMPARE(waiter->reply(), long(Vxi11Server::Abort));

        std::vector<long> ids(4);
        for (long& id : ids)
            QCOMPARE(createLink(*other, id), 0L);
        QVERIFY(std::adjacent_find(ids.begin(), ids.end(),
                                   [](long a, long b) { return b != a + 1; }) != ids.end());
    }

    // The client's interrupt channel never holds the server up: to a
    // listener that takes no connection, create_intr_chan is refused after a
    // short time; to one that never reads, the channel is dropped once its
    // bound is reached and the link goes on; to another address, refused.
    // Meanwhile another client is answered at once.
    void interruptChannelNeverHoldsTheServer() {
        auto c = core(), bystander = core();
        long lid = 0, lb = 0;
        QCOMPARE(createLink(*c, lid), 0L);
        QCOMPARE(createLink(*bystander, lb), 0L);
        const auto quick = [&] { // the bystander's *IDN? and how long it took
            QElapsedTimer took;
            took.start();
            say(*bystander, lb, "*IDN?\n");
            const bool answered = hear(*bystander, lb) == "Norvale,72-815,1001,1.46\n";
            return answered ? took.elapsed() : qint64(1) << 40;
        };
        const auto intrChan = [&](u_long address, u_short port) {
            c->send(create_intr_chan, xdr_Device_RemoteFunc,
                    Device_RemoteFunc{address, port, DEVICE_INTR, 1, DEVICE_TCP});
        };
        Listener full(0), reader(4096);
        std::vector<int> queued; // fill the accept queue: later connections are never answered
        for (int i = 0; i < 8; ++i) {
            queued.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            ::connect(queued.back(), full.address(), sizeof(sockaddr_in));
        }
        QTest::qWait(50);
        QElapsedTimer took;
        took.start();
        intrChan(INADDR_LOOPBACK, full.port());
        QVERIFY(quick() < 500); // served while the channel connects
        QCOMPARE(c->reply(10000), long(Vxi11Server::ChannelNotEstablished));
        QVERIFY2(took.elapsed() < Vxi11Server::kInterruptConnectMs + 1000,
                 qPrintable(QString::number(took.elapsed())));
        for (int fd : queued)
            ::close(fd);

        intrChan(INADDR_LOOPBACK + 1, reader.port()); // 127.0.0.2: not where the call comes from
        QCOMPARE(c->reply(), long(Vxi11Server::ChannelNotEstablished));
        intrChan(INADDR_LOOPBACK, reader.port());
        QCOMPARE(c->reply(), 0L);
        intrChan(INADDR_LOOPBACK, reader.port());
        QCOMPARE(c->reply(), long(Vxi11Server::ChannelEstablished));
        const int channel = reader.take();
        QVERIFY(channel >= 0);
        char handle[40] = "a handle of forty bytes, as long as can";
        c->send(device_enable_srq, xdr_Device_EnableSrqParms,
                Device_EnableSrqParms{lid, 1, {40, handle}});
        QCOMPARE(c->reply(), 0L);
        QCOMPARE(say(*c, lid, "*ESE 32;*SRE 32\n"), 0L);
        // A service request for each rise of the request bit, never read.
        bool dropped = false;
        for (int i = 0; i < 20000 && !dropped; ++i) {
            QCOMPARE(say(*c, lid, "*CLS\n"), 0L);
            QCOMPARE(say(*c, lid, "NO:SUCH\n"), 0L);
            if (i % 500 == 0) {
                QVERIFY(quick() < 500);
                dropped = Listener::closedByPeer(channel);
            }
        }
        QVERIFY(dropped);
        QCOMPARE(say(*c, lid, "*CLS;*IDN?\n"), 0L); // the link goes on
        QCOMPARE(hear(*c, lid), std::string("Norvale,72-815,1001,1.46\n"));
        ::close(channel);
    }

    // A lock is waited for the cap at most; waiters count as idle from their
    // call (and a waiter answered at its cap from that call too), so one
    // holder and a connection-full of waiters do not shut a newcomer out
    // beyond the takeover time.
    void lockWaitsAreCappedAndGiveWay_data() {
        QTest::addColumn<int>("capMs");
        QTest::newRow("waiting still") << 60000;
        QTest::newRow("answered at the cap") << 300;
    }
    void lockWaitsAreCappedAndGiveWay() {
        QFETCH(int, capMs);
        server->setIdleLimits(ShortLimits(10s, 400ms, 300ms));
        auto holder = core();
        long lh = 0;
        QCOMPARE(createLink(*holder, lh), 0L);
        lock(*holder, lh, 0, 0);
        QCOMPARE(holder->reply(), 0L);
        QElapsedTimer took;
        took.start();
        auto waiter = core();
        long lw = 0;
        QCOMPARE(createLink(*waiter, lw), 0L);
        write(*waiter, lw, Vxi11Server::WaitLock, 0xFFFFFFFF);
        QCOMPARE(waiter->reply(), long(Vxi11Server::LockedByAnother));
        QVERIFY2(took.elapsed() >= 290 && took.elapsed() < 2000,
                 qPrintable(QString::number(took.elapsed())));

        server->setIdleLimits(ShortLimits(10s, 400ms, std::chrono::milliseconds(capMs)));
        std::vector<std::unique_ptr<Client>> waiters;
        write(*waiter, lw, Vxi11Server::WaitLock, 0xFFFFFFFF); // waits again
        waiters.push_back(std::move(waiter));
        while (int(waiters.size()) < 2 * Vxi11Server::kMaxLinks - 1) {
            waiters.push_back(core());
            waiters.back()->send(create_link, xdr_Create_LinkParms,
                                 Create_LinkParms{1, 1, 0xFFFFFFFF, kInst0});
        }
        QTest::qWait(100);
        auto early = core();
        QTRY_VERIFY(!early->connected()); // every place taken, none idle long enough
        QTest::qWait(400);
        auto newcomer = core();
        long ln = 0;
        QCOMPARE(createLink(*newcomer, ln), 0L); // a waiter gave way
        QVERIFY(holder->connected());
    }

    // The status byte has message-available while an answer waits (and a
    // request when *SRE lets it through); a new message interrupts an
    // answer not read (-410), as IEEE 488.2 has it.
    void statusByteAndInterruptedQueries() {
        auto c = core();
        long lid = 0;
        QCOMPARE(createLink(*c, lid), 0L);
        QCOMPARE(say(*c, lid, "*OPC?\n"), 0L);
        QCOMPARE(statusByte(*c, lid), 16L);
        QCOMPARE(say(*c, lid, "*SRE 16\n"), 0L); // interrupts the *OPC? answer
        QCOMPARE(statusByte(*c, lid), 4L);       // -410 in the queue, nothing to read
        QCOMPARE(say(*c, lid, "*OPC?\n"), 0L);
        QCOMPARE(statusByte(*c, lid), 4L + 16 + 64);
        QCOMPARE(hear(*c, lid), std::string("1\n"));
        QCOMPARE(say(*c, lid, "SYST:ERR?\n"), 0L);
        QCOMPARE(hear(*c, lid), std::string("-410,\"Query INTERRUPTED\"\n"));
        QCOMPARE(statusByte(*c, lid), 0L);
        // A message in several writes is one message: its answers are not interrupted.
        QCOMPARE(say(*c, lid, "*IDN?\n*OPC?", 0), 0L);
        QCOMPARE(say(*c, lid, "\n"), 0L);
        QCOMPARE(hear(*c, lid), std::string("Norvale,72-815,1001,1.46\n1\n"));
        QCOMPARE(hear(*c, lid), std::string("(error 15)"));
    }

    // Each error the protocol (and the remote control documentation) names for each call.
    void everyErrorEachCallNames() {
        auto c = core(), d = core();
        long lid = 0, other = 0;
        QCOMPARE(createLink(*c, lid), 0L);
        QCOMPARE(createLink(*d, other), 0L);
        char unknown[] = "inst7";
        c->send(create_link, xdr_Create_LinkParms, Create_LinkParms{1, 0, 0, unknown});
        QCOMPARE(c->reply(), long(Vxi11Server::NotAccessible));
        const auto generic = [&](u_long procedure, long link) {
            c->send(procedure, xdr_Device_GenericParms, Device_GenericParms{link, 0, 0, 1000});
            return c->reply();
        };
        c->send(device_unlock, xdr_Device_Link, lid);
        QCOMPARE(c->reply(), long(Vxi11Server::NoLockHeld));
        QCOMPARE(hear(*c, lid), std::string("(error 15)")); // nothing to read
        QCOMPARE(generic(device_trigger, lid), long(Vxi11Server::NotSupported));
        c->send(device_docmd, xdr_Device_DocmdParms,
                Device_DocmdParms{lid, 0, 1000, 0, 0x68000, 0, 0, {0, nullptr}});
        QCOMPARE(c->reply(), long(Vxi11Server::NotSupported));
        c->send(create_intr_chan, xdr_Device_RemoteFunc,
                Device_RemoteFunc{INADDR_LOOPBACK, 1, DEVICE_INTR, 1, DEVICE_UDP});
        QCOMPARE(c->reply(), long(Vxi11Server::NotSupported));
        lock(*d, other, 0, 0);
        QCOMPARE(d->reply(), 0L);
        for (u_long procedure : {device_readstb, device_clear, device_remote, device_local})
            QCOMPARE(generic(procedure, lid), long(Vxi11Server::LockedByAnother));
        lock(*d, other, 0, 0);
        QCOMPARE(d->reply(), 0L); // its own lock again
        for (u_long procedure :
             {device_readstb, device_trigger, device_clear, device_remote, device_local})
            QCOMPARE(generic(procedure, 12345), long(Vxi11Server::InvalidLink));
        c->send(destroy_link, xdr_Device_Link, lid);
        QCOMPARE(c->reply(), 0L);
        c->send(destroy_link, xdr_Device_Link, lid);
        QCOMPARE(c->reply(), long(Vxi11Server::InvalidLink));
        c->send(destroy_intr_chan, NoArguments, 0);
        QCOMPARE(c->reply(), 0L);
        Client abortChannel(server->abortPort(), DEVICE_ASYNC);
        abortChannel.send(device_abort, xdr_Device_Link, lid);
        QCOMPARE(abortChannel.reply(), long(Vxi11Server::InvalidLink));
        std::vector<long> links(Vxi11Server::kMaxLinks - 1);
        for (long& l : links)
            QCOMPARE(createLink(*c, l), 0L);
        long extra = 0;
        QCOMPARE(createLink(*c, extra), long(Vxi11Server::OutOfResources));
    }

    // The RPC protocol's own answers: a call of another RPC version, or with
    // credentials or a verifier beyond its bound; arguments whose lengths
    // go beyond what the server takes are garbage, refused before anything
    // is made of them; what is no call gets nothing.
    void rpcFaultsGetTheProtocolsAnswer() {
        const auto call = [](quint32 rpcVersion, quint32 procedure, quint32 credLength,
                             quint32 verfLength, const QByteArray& arguments) {
            QByteArray r;
            for (quint32 v :
                 {7u, 0u, rpcVersion, quint32(DEVICE_CORE), 1u, procedure, 0u, credLength})
                r += Word(v);
            r += QByteArray(credLength > 400 ? 0 : (credLength + 3) / 4 * 4, 'c');
            r += Word(0) + Word(verfLength);
            r += QByteArray(verfLength > 400 ? 0 : (verfLength + 3) / 4 * 4, 'v');
            return (r + arguments).toStdString();
        };
        const QByteArray inst0 = Word(5) + "inst0" + QByteArray(3, '\0');
        const QByteArray longName = Word(257) + QByteArray(260, 'i');
        const QByteArray lying = Word(0xFFFFFFF0u);
        const QByteArray bigWrite =
            Word(1) + Word(0) + Word(0) + Word(8) + Word(1048577) + QByteArray(1048580, 'x');
        const struct {
            std::string record;
            QList<quint32> reply; // the words after xid and REPLY; empty: no reply
        } rows[] = {
            {call(3, create_link, 0, 0, {}), {1, 0, 2, 2}}, // RPC_MISMATCH 2..2
            {call(2, create_link, 401, 0, {}), {1, 1, 1}},  // AUTH_ERROR BADCRED
            {call(2, create_link, 0, 4000, {}), {1, 1, 3}}, // AUTH_ERROR BADVERF
            {call(2, create_link, 0, 0, Word(1) + Word(0) + Word(0) + inst0), {0, 0, 0, 0, 0}},
            {call(2, create_link, 0, 0, Word(1) + Word(0) + Word(0) + lying), {0, 0, 0, 4}},
            {call(2, create_link, 0, 0, Word(1) + Word(0) + Word(0) + longName), {0, 0, 0, 4}},
            {call(2, device_write, 0, 0, bigWrite), {0, 0, 0, 4}}, // GARBAGE_ARGS
            {call(2, 99, 0, 0, {}), {0, 0, 0, 3}},                 // PROC_UNAVAIL
            {(Word(7) + Word(1) + Word(0)).toStdString(), {}},     // a reply: none
            {(Word(7) + Word(0)).toStdString(), {}},               // cut short: none
        };
        Vxi11Server bare;
        bare.addDevice(device);
        for (const auto& row : rows) {
            const QByteArray reply =
                QByteArray::fromStdString(Vxi11Reply(bare, 1, false, row.record));
            QList<quint32> words;
            for (qsizetype at = 8; at + 4 <= reply.size() && words.size() < row.reply.size();
                 at += 4)
                words << qFromBigEndian<quint32>(reply.constData() + at);
            QCOMPARE(words, row.reply);
            QCOMPARE(reply.isEmpty(), row.reply.isEmpty());
        }
    }
};

NV815_TEST_GUILESS_MAIN(TestVxi11)
} // namespace NV815_TEST_UNIT

#include "tst_vxi11.moc"
