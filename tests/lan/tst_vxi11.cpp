// VXI-11 locks as the protocol has them, on a loopback socket: a call that
// asks to wait for a lock another link holds is answered when the lock is
// given up, when its time is up, or when device_abort ends it, and holds its
// connection's later calls back meanwhile; a link asked to lock its device
// is made only when it has the lock; idle links give way to newcomers.
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>
#include <rpc/rpc.h>

#include "ScpiDevice.h"
#include "TestRegistry.h"
#include "Vxi11Server.h"
#include "vxi11.h"

namespace {

template <class T> xdrproc_t Xdr(bool_t (*f)(XDR*, T*)) {
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void*>(f));
}

// An RPC client of one channel on the test's own event loop: calls sent
// whole, replies taken as they come.
class Client {
public:
    Client(quint16 port, u_long program) : program_(program) {
        socket_.connectToHost(QHostAddress::LocalHost, port);
        socket_.waitForConnected(5000);
    }
    template <class A> void send(u_long procedure, bool_t (*encode)(XDR*, A*), A arguments) {
        rpc_msg call{};
        call.rm_xid = ++xid_;
        call.rm_direction = CALL;
        call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
        call.rm_call.cb_prog = program_;
        call.rm_call.cb_vers = 1;
        call.rm_call.cb_proc = procedure;
        call.rm_call.cb_cred = call.rm_call.cb_verf = _null_auth;
        QByteArray bytes(4 + 64 + xdr_sizeof(Xdr(encode), &arguments), '\0');
        XDR out;
        xdrmem_create(&out, bytes.data() + 4, bytes.size() - 4, XDR_ENCODE);
        xdr_callmsg(&out, &call);
        encode(&out, &arguments);
        bytes.resize(4 + xdr_getpos(&out));
        xdr_destroy(&out);
        qToBigEndian<quint32>(0x80000000u | (bytes.size() - 4), bytes.data());
        socket_.write(bytes);
        socket_.flush();
    }
    // The error of the next reply (its first results' field), or -1 when none
    // came within `ms`; `lid` the second field (create_link's link).
    long reply(int ms = 5000, long* lid = nullptr) {
        QElapsedTimer waited;
        waited.start();
        while (!whole() && waited.elapsed() < ms)
            QTest::qWait(2);
        if (!whole())
            return -1;
        const quint32 length = qFromBigEndian<quint32>(in_.constData()) & 0x7FFFFFFF;
        const QByteArray record = in_.mid(4, length);
        in_.remove(0, 4 + length);
        const auto field = [&](int i) { // after the reply header of 24 bytes
            return static_cast<long>(qFromBigEndian<qint32>(record.constData() + 24 + 4 * i));
        };
        if (lid)
            *lid = field(1);
        return field(0);
    }
    bool connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

private:
    bool whole() {
        in_ += socket_.readAll();
        return in_.size() >= 4 &&
               in_.size() >= 4 + (qFromBigEndian<quint32>(in_.constData()) & 0x7FFFFFFF);
    }
    QTcpSocket socket_;
    u_long program_;
    u_long xid_ = 0;
    QByteArray in_;
};

char kInst0[] = "inst0";
char kMessage[] = "*OPC?\n";

} // namespace

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

private slots:
    void init() {
        server = std::make_unique<Vxi11Server>();
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
        QVERIFY(server->lockedOut(*server->link(lb)));
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
        server->setIdleLimits({std::chrono::milliseconds(300), std::chrono::milliseconds(500)});
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
};

NV815_TEST_GUILESS_MAIN(TestVxi11)
#include "tst_vxi11.moc"
