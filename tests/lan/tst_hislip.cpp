// HiSLIP against the protocol, on a loopback socket, with a client of the
// test's own: initialization and every fatal and non-fatal error, responses
// (in the client's largest message), interrupted responses, device clear,
// the status byte and service requests, locks that hold other sessions off,
// remote and local control, and idle sessions giving way.
#include <QTcpSocket>
#include <QtTest>
#include <sys/socket.h>

#include "HislipMessage.h"
#include "HislipServer.h"
#include "ScpiDevice.h"
#include "ServerLimits.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

using namespace hislip;
using namespace std::chrono_literals;

struct Message {
    int type = -1; // -1: none came
    int control = 0;
    uint32_t parameter = 0;
    std::string payload;
};

// One channel of a client.
class Channel {
public:
    explicit Channel(quint16 port, const QHostAddress& from = {}) {
        if (!from.isNull())
            socket_.bind(from);
        socket_.connectToHost(QHostAddress::LocalHost, port);
        socket_.waitForConnected(5000);
    }
    void send(uint8_t type, uint8_t control = 0, uint32_t parameter = 0,
              std::string_view payload = {}) {
        socket_.write(QByteArray::fromStdString(Encode(type, control, parameter, payload)));
        socket_.flush();
    }
    void sendRaw(const QByteArray& bytes) {
        socket_.write(bytes);
        socket_.flush();
    }
    // The next message, waiting up to `ms` for it.
    Message next(int ms = 5000) {
        QElapsedTimer waited;
        waited.start();
        for (int turn = 0;; ++turn) {
            in_ += socket_.readAll();
            size_t taken = 0;
            if (reader_.take(in_.constData(), in_.size(), taken) == Reader::Result::Message) {
                in_.remove(0, static_cast<qsizetype>(taken));
                const Header& h = reader_.header();
                return {h.type, h.control, h.parameter, reader_.payload()};
            }
            in_.remove(0, static_cast<qsizetype>(taken));
            if (waited.elapsed() > ms)
                return {};
            // The server shares the test's thread: a few turns answer at once.
            if (turn < 4)
                QCoreApplication::processEvents();
            else
                QTest::qWait(1);
        }
    }
    // Closes with a reset (RST), not an orderly end.
    void reset() {
        const linger hard{1, 0};
        ::setsockopt(static_cast<int>(socket_.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                     sizeof hard);
        socket_.abort();
    }
    bool closed() {
        QTest::qWait(20);
        return socket_.state() == QAbstractSocket::UnconnectedState;
    }
    // The payloads of Data and DataEnd messages up to the DataEnd, however
    // many; how many messages they came in.
    std::string response(size_t& messages, int ms = 20000) {
        QElapsedTimer waited;
        waited.start();
        std::string payload;
        messages = 0;
        for (qsizetype at = 0; waited.elapsed() < ms;) {
            size_t taken = 0;
            const auto result = reader_.take(in_.constData() + at, in_.size() - at, taken);
            at += static_cast<qsizetype>(taken);
            if (result == Reader::Result::Message) {
                ++messages;
                payload += reader_.payload();
                if (reader_.header().type == DataEnd) {
                    in_.remove(0, at);
                    return payload;
                }
                continue;
            }
            in_.remove(0, at);
            at = 0;
            QTest::qWait(1);
            in_ += socket_.readAll();
        }
        return "(none)";
    }

private:
    QTcpSocket socket_;
    QByteArray in_;
    Reader reader_{1 << 24};
};

// A session: both channels initialized.
struct Client {
    Channel sync, async;
    uint32_t id = kFirstMessageId;
    uint16_t session = 0;
    Client(quint16 port, uint32_t version = 0x0100) : sync(port), async(port) {
        sync.send(Initialize, 0, (version << 16) | 0x5858, "hislip0");
        session = static_cast<uint16_t>(sync.next().parameter & 0xFFFF);
        async.send(AsyncInitialize, 0, session);
        async.next();
    }
    // A whole message (DataEnd), RMT delivered or not; its response's payload or "(none)".
    std::string ask(const std::string& text, bool delivered = true, int ms = 5000) {
        sync.send(DataEnd, delivered ? 1 : 0, id, text);
        const uint32_t sent = id;
        id += 2;
        for (Message m = sync.next(ms);; m = sync.next(ms)) {
            if (m.type == -1)
                return "(none)";
            if (m.type == DataEnd && m.parameter == sent)
                return m.payload;
        }
    }
};

std::string Big64(uint64_t v) {
    std::string s(8, '\0');
    for (int i = 7; i >= 0; --i, v >>= 8)
        s[i] = static_cast<char>(v & 0xFF);
    return s;
}

class TestHislip : public QObject {
    Q_OBJECT
    ScpiDevice device{[] { return nullptr; },
                      [] {
                          return scpi::Identity{"Norvale", "72-815", "1001", "1.46"};
                      }};
    std::unique_ptr<HislipServer> server;
    quint16 port() const { return server->port(); }

private slots:
    void init() {
        server = std::make_unique<HislipServer>();
        server->addDevice(device);
        QString error;
        QVERIFY2(server->listen(QHostAddress::LocalHost, 0, error), qPrintable(error));
    }
    void cleanup() { server.reset(); }

    void initializationAndErrors() {
        Channel sync(port());
        sync.send(Initialize, 0, 0x0300'5858, ""); // a newer client: the server's 2.0; hislip0
        const Message r = sync.next();
        QCOMPARE(r.type, int(InitializeResponse));
        QCOMPARE(r.control, 0); // synchronized, no encryption
        QCOMPARE(r.parameter >> 16, 0x0200u);
        sync.send(DataEnd, 0, kFirstMessageId, "*IDN?\n"); // no asynchronous channel yet
        QCOMPARE(sync.next().control, int(ChannelsNotEstablished));
        QVERIFY(sync.closed());

        // Fatal at once: what cannot begin a channel; the stream cannot be followed.
        const struct {
            QByteArray bytes;
            int code;
        } fatal[] = {
            {QByteArray::fromStdString(Encode(Initialize, 0, 0x0100'0000, "hislip7")),
             InvalidInitialization},
            {QByteArray::fromStdString(Encode(DataEnd, 0, 0, "*IDN?")), InvalidInitialization},
            {QByteArray::fromStdString(Encode(AsyncInitialize, 0, 0xBEEF)), InvalidInitialization},
            {"GET / HTTP/1.1\r\n\r\n", BadHeader},
        };
        for (const auto& row : fatal) {
            Channel c(port());
            c.sendRaw(row.bytes);
            const Message m = c.next();
            QCOMPARE(m.type, int(FatalError));
            QCOMPARE(m.control, row.code);
            QVERIFY(c.closed());
        }

        // Errors that leave the session as it was.
        Client client(port());
        const struct {
            bool async;
            uint8_t type, control;
            int code;
        } errors[] = {
            {false, 99, 0, UnrecognizedType},
            {true, 200, 0, UnrecognizedVendorType},
            {true, AsyncLock, 7, UnrecognizedControlCode},
            {true, AsyncRemoteLocalControl, 9, UnrecognizedControlCode},
            {true, Data, 0, UnrecognizedType},
            {false, StartTLS, 0, UnrecognizedType},
        };
        for (const auto& row : errors) {
            Channel& c = row.async ? client.async : client.sync;
            c.send(row.type, row.control);
            const Message m = c.next();
            QCOMPARE(m.type, int(Error));
            QCOMPARE(m.control, row.code);
        }
        client.sync.send(DataEnd, 0, client.id, std::string(HislipServer::kMaxMessage, 'x'));
        QCOMPARE(client.sync.next().control, int(MessageTooLarge)); // skipped, not kept
        client.id += 2;
        QCOMPARE(client.ask("*IDN?\n"), std::string("Norvale,72-815,1001,1.46\n"));
        client.async.send(AsyncMaximumMessageSize, 0, 0, Big64(20));
        QCOMPARE(client.async.next().payload, Big64(HislipServer::kMaxMessage));
        client.async.send(AsyncStartTLS);
        QCOMPARE(client.async.next().control, 3); // no secure connection
        client.sync.send(GetDescriptors);
        QCOMPARE(client.sync.next().type, int(GetDescriptorsResponse));
        // The response in messages of 4 bytes at most: Data, then DataEnd, each with its id.
        client.sync.send(DataEnd, 1, client.id, "*IDN?\n");
        std::string response;
        for (Message m = client.sync.next(); m.type == Data || m.type == DataEnd;
             m = m.type == DataEnd ? Message() : client.sync.next()) {
            QCOMPARE(m.parameter, client.id);
            QVERIFY(m.payload.size() <= 4);
            response += m.payload;
        }
        QCOMPARE(response, std::string("Norvale,72-815,1001,1.46\n"));
    }

    void interruptsClearAndStatus() {
        Client c(port());
        // A message sent before the last response was read interrupts it.
        QCOMPARE(c.ask("*IDN?\n"), std::string("Norvale,72-815,1001,1.46\n"));
        c.async.send(AsyncStatusQuery, 0, c.id);
        QCOMPARE(c.async.next().control & 0x10, 0x10); // the response is not read yet
        const uint32_t interrupting = c.id;
        c.sync.send(DataEnd, 0, interrupting, "*OPC?\n");
        c.id += 2;
        const Message interrupted = c.sync.next();
        QCOMPARE(interrupted.type, int(Interrupted));
        QCOMPARE(interrupted.parameter, interrupting);
        QCOMPARE(c.async.next().type, int(AsyncInterrupted));
        QCOMPARE(c.sync.next().payload, std::string("1\n"));
        QCOMPARE(c.ask("SYST:ERR?\n"), std::string("-410,\"Query INTERRUPTED\"\n"));
        c.async.send(AsyncStatusQuery, 1, c.id);
        QCOMPARE(c.async.next().control & 0x10, 0);

        // Device clear: the unfinished message is dropped, and what comes on
        // the synchronous channel before DeviceClearComplete.
        c.sync.send(Data, 1, c.id, "*IDN");
        c.async.send(AsyncDeviceClear);
        QCOMPARE(c.async.next().type, int(AsyncDeviceClearAcknowledge));
        c.sync.send(DataEnd, 0, c.id + 2, "*OPC?\n");
        c.sync.send(DeviceClearComplete);
        QCOMPARE(c.sync.next().type, int(DeviceClearAcknowledge));
        c.id = kFirstMessageId;
        QCOMPARE(c.ask("*OPC?\n"), std::string("1\n"));

        // A service request when the request bit rises; Trigger is ignored.
        c.sync.send(DataEnd, 1, c.id, "*ESE 32;*SRE 32;FOO\n");
        const Message srq = c.async.next();
        QCOMPARE(srq.type, int(AsyncServiceRequest));
        QCOMPARE(srq.control & 0x40, 0x40);
        c.id += 2;
        c.sync.send(Trigger, 1, c.id);
        c.id += 2;
        QCOMPARE(c.ask("*CLS;SYST:ERR?\n"), std::string("0,\"No error\"\n"));
        c.sync.send(Trigger, 1, c.id);
        c.id += 2;
        QVERIFY(c.ask("SYST:ERR?\n").starts_with("-211,\"Trigger ignored"));
    }

    void locksHoldOtherSessionsOff() {
        Client a(port()), b(port()), c(port());
        const auto lock = [](Client& k, uint8_t control, uint32_t parameter,
                             std::string_view key = {}) {
            k.async.send(AsyncLock, control, parameter, key);
            return k.async.next().control;
        };
        QCOMPARE(lock(a, 1, 0), 1);                                   // exclusive
        QCOMPARE(lock(a, 1, 0), 3);                                   // held already
        QCOMPARE(lock(b, 1, 100, "key"), 0);                          // not within 100 ms
        QCOMPARE(b.ask("*OPC?\n", true, 150), std::string("(none)")); // held off: it waits
        a.async.send(AsyncLockInfo);
        const Message info = a.async.next();
        QCOMPARE(info.control, 1);
        QCOMPARE(info.parameter, 1u);
        b.async.send(AsyncLock, 1, 10000, "key");            // waits for the lock
        QCOMPARE(lock(a, 0, a.id), 1);                       // released
        QCOMPARE(b.async.next().control, 1);                 // b shares it now
        QCOMPARE(b.sync.next().payload, std::string("1\n")); // and its message ran
        b.id += 2;
        QCOMPARE(lock(a, 1, 0, "key"), 1); // the same key: shared
        QCOMPARE(lock(c, 1, 0, "other"), 0);
        QCOMPARE(lock(c, 1, 0), 0);
        QCOMPARE(c.ask("*OPC?\n", true, 100), std::string("(none)"));
        QCOMPARE(lock(a, 0, a.id), 2); // shared released
        QCOMPARE(lock(a, 0, a.id), 3); // none held
        QCOMPARE(lock(b, 0, b.id), 2);
        QCOMPARE(c.sync.next().payload, std::string("1\n"));

        // A device clear drops a message held off, and its channel reads on.
        QCOMPARE(lock(a, 1, 0), 1);
        c.sync.send(DataEnd, 1, c.id, "*OPC?\n");
        c.sync.send(DeviceClearComplete); // behind it, not yet read
        c.async.send(AsyncDeviceClear);
        QCOMPARE(c.async.next().type, int(AsyncDeviceClearAcknowledge));
        QCOMPARE(c.sync.next().type, int(DeviceClearAcknowledge));
        QCOMPARE(lock(a, 0, a.id), 1);

        // Local lockout locks the front panel out; going to local gives it back.
        a.async.send(AsyncRemoteLocalControl, 4, a.id);
        QCOMPARE(a.async.next().type, int(AsyncRemoteLocalResponse));
        QVERIFY(device.lockHolderName().contains("HiSLIP"));
        a.async.send(AsyncRemoteLocalControl, 6, a.id);
        a.async.next();
        QVERIFY(!device.lockHolder());
    }

    // A message that never ends, piling up more answers than the server
    // keeps, closes its session.
    void answersPiledUpCloseTheSession() {
        Client c(port());
        std::string queries;
        while (queries.size() + 6 <= HislipServer::kMaxMessage - kHeaderSize)
            queries += "*IDN?\n";
        c.sync.send(Data, 1, c.id, queries);
        QTRY_VERIFY_WITH_TIMEOUT(c.sync.closed() && c.async.closed(), 20000);
        QCOMPARE(server->sessions().size(), 0);
    }

    // Resets at every point of a message on either channel, one with its
    // response unsent, one holding the lock; a message a byte at a time.
    // The server serves the others throughout.
    void resetsAndSlowClients() {
        Client other(port());
        const std::string message = Encode(DataEnd, 1, kFirstMessageId, "*IDN?;*OPC?\n");
        for (size_t cut = 0; cut <= message.size(); cut += 5)
            for (bool async : {false, true}) {
                Client c(port());
                (async ? c.async : c.sync)
                    .sendRaw(QByteArray::fromStdString(message.substr(0, cut)));
                QTest::qWait(1);
                (async ? c.async : c.sync).reset();
            }
        {
            Client holder(port());
            holder.async.send(AsyncLock, 1, 0);
            QCOMPARE(holder.async.next().control, 1);
            holder.sync.reset();
        }
        QTRY_COMPARE(server->sessions().size(), 1);
        QCOMPARE(other.ask("*OPC?\n"), std::string("1\n")); // the lock went with its holder
        Client slow(port());
        for (char byte : Encode(DataEnd, 1, slow.id, "*IDN?\n")) {
            slow.sync.sendRaw(QByteArray(1, byte));
            QTest::qWait(1);
        }
        QCOMPARE(slow.sync.next().payload, std::string("Norvale,72-815,1001,1.46\n"));
    }

    void idleSessionsGiveWayToNewcomers() {
        server->setIdleLimits(ShortLimits(300ms, 500ms));
        std::vector<std::unique_ptr<Client>> clients;
        while (clients.size() < HislipServer::kMaxSessions)
            clients.push_back(std::make_unique<Client>(port()));
        QCOMPARE(server->sessions().size(), HislipServer::kMaxSessions);
        Channel refused(port());
        refused.send(Initialize, 0, 0x0100'0000);
        QCOMPARE(refused.next().control, int(TooManyClients));
        Channel silent(port()), partial(port());
        partial.sendRaw("HS\x06");
        QTest::qWait(600);
        QVERIFY(silent.closed() && partial.closed()); // nothing whole for 300 ms
        for (size_t i = 1; i < clients.size(); ++i)
            QCOMPARE(clients[i]->ask("*OPC?\n"), std::string("1\n"));
        Client newcomer(port()); // takes the place of the one idle for 500 ms
        QCOMPARE(newcomer.ask("*OPC?\n"), std::string("1\n"));
        QVERIFY(clients[0]->sync.closed());
    }

    // A session's asynchronous channel is taken only from the address of
    // its synchronous one; ids are drawn, not counted.
    void sessionsCannotBeTaken() {
        Channel victim(port());
        victim.send(Initialize, 0, 0x0200'5858, "hislip0");
        const uint16_t id = victim.next().parameter & 0xFFFF;
        Channel thief(port(), QHostAddress("127.0.0.2"));
        thief.send(AsyncInitialize, 0, id);
        QCOMPARE(thief.next().control, int(InvalidInitialization));
        QVERIFY(thief.closed());
        Channel async(port());
        async.send(AsyncInitialize, 0, id);
        QCOMPARE(async.next().type, int(AsyncInitializeResponse));
        std::vector<std::unique_ptr<Client>> clients;
        std::vector<int> ids;
        for (int i = 0; i < 5; ++i) {
            clients.push_back(std::make_unique<Client>(port()));
            ids.push_back(clients.back()->session);
        }
        QVERIFY(std::adjacent_find(ids.begin(), ids.end(),
                                   [](int a, int b) { return b != a + 1; }) != ids.end());
    }

    // However small the messages a client takes, a long response leaves a
    // slice at a time: another session is answered meanwhile, and the
    // response arrives whole.
    void tinyMessagesHoldNobodyUp() {
        Client big(port()), other(port());
        big.async.send(AsyncMaximumMessageSize, 0, 0, Big64(0));
        big.async.next();
        std::string queries = "*IDN?";
        while (queries.size() < 60000)
            queries += ";*IDN?";
        QElapsedTimer took;
        took.start();
        big.sync.send(DataEnd, 1, big.id, queries + "\n");
        QCOMPARE(other.ask("*OPC?\n"), std::string("1\n")); // sent right behind it
        QVERIFY2(took.elapsed() < 200, qPrintable(QString::number(took.elapsed())));
        size_t messages = 0;
        const std::string response = big.sync.response(messages);
        QCOMPARE(response.size(), (queries.size() / 6 + 1) * 25);
        QCOMPARE(messages, response.size()); // one byte each
        big.sync.send(DataEnd, 1, big.id + 2, "*OPC?\n");
        QCOMPARE(big.sync.response(messages), std::string("1\n"));
        // One that resets while its response goes out: the server's next
        // write fails, and the session goes without the server stumbling.
        for (int wait : {0, 1, 5}) {
            Client gone(port());
            gone.async.send(AsyncMaximumMessageSize, 0, 0, Big64(0));
            gone.async.next();
            gone.sync.send(DataEnd, 1, gone.id, queries + "\n");
            QTest::qWait(wait);
            gone.sync.reset();
            QTest::qWait(20);
        }
        QCOMPARE(other.ask("*OPC?\n"), std::string("1\n"));
    }

    // Message-available is in the status byte while a response is unread,
    // and makes a service request when *SRE lets it through. A lock is
    // waited for the cap at most, and sessions held off give way to a
    // newcomer as idle ones do.
    void statusByteLockCapAndWaiters() {
        server->setIdleLimits(ShortLimits(10s, 400ms, 300ms));
        Client a(port());
        QCOMPARE(a.ask("*SRE 16\n"), std::string("(none)"));
        a.sync.send(DataEnd, 0, a.id, "*OPC?\n");
        a.id += 2;
        const Message srq = a.async.next();
        QCOMPARE(srq.type, int(AsyncServiceRequest));
        QCOMPARE(srq.control, 0x50);
        QCOMPARE(a.sync.next().payload, std::string("1\n"));
        a.async.send(AsyncStatusQuery, 0, a.id);
        QCOMPARE(a.async.next().control, 0x50);

        a.async.send(AsyncLock, 1, 0);
        QCOMPARE(a.async.next().control, 1);
        std::vector<std::unique_ptr<Client>> waiting;
        while (waiting.size() < HislipServer::kMaxSessions - 1)
            waiting.push_back(std::make_unique<Client>(port()));
        QElapsedTimer took;
        took.start();
        waiting[0]->async.send(AsyncLock, 1, 0xFFFFFFFF);
        QCOMPARE(waiting[0]->async.next().control, 0); // not granted within the cap
        QVERIFY(took.elapsed() >= 290 && took.elapsed() < 2000);
        for (auto& w : waiting) // each held off by a's lock
            w->sync.send(DataEnd, 1, w->id, "*OPC?\n");
        QTest::qWait(500);
        Client newcomer(port()); // takes the place of a session that waits
        QCOMPARE(server->sessions().size(), HislipServer::kMaxSessions);
        a.async.send(AsyncLock, 0, 0);
        QCOMPARE(a.async.next().control, 1);
        QCOMPARE(newcomer.ask("*OPC?\n"), std::string("1\n"));
    }
};

NV815_TEST_GUILESS_MAIN(TestHislip)
} // namespace NV815_TEST_UNIT

#include "tst_hislip.moc"
