// The SCPI server on a loopback socket: lines and blocks as clients send
// them, in pieces; too long a line, too long a block; the ninth client; a
// client that leaves in the middle of a block or resets its connection;
// idle clients.
#include <QDir>
#include <QTcpSocket>
#include <QtTest>
#include <sys/socket.h>

#include "ScpiServer.h"
#include "ServerLimits.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

class TestScpiServer : public QObject {
    Q_OBJECT
    ScpiDevice device{[] { return nullptr; },
                      [] {
                          return scpi::Identity{"Norvale", "72-815", "1001", "1.46"};
                      }};
    std::unique_ptr<ScpiServer> server;

    std::unique_ptr<QTcpSocket> connectClient() {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server->port());
        if (!socket->waitForConnected(5000))
            return nullptr;
        return socket;
    }

    // Sends `data` (in pieces of `piece` bytes) and reads one answer line.
    static QByteArray ask(QTcpSocket& s, const QByteArray& data, qsizetype piece = 1 << 20) {
        for (qsizetype i = 0; i < data.size(); i += piece) {
            s.write(data.mid(i, piece));
            s.flush();
            QTest::qWait(1);
        }
        // The server runs in this thread: wait while its events are handled.
        for (int waited = 0; !s.canReadLine(); waited += 5)
            if (waited > 5000)
                return "(no answer)";
            else
                QTest::qWait(5);
        return s.readLine().trimmed();
    }

    // Closes the socket with a reset (RST) instead of an orderly end.
    static void Reset(QTcpSocket& s) {
        const linger hard{1, 0};
        ::setsockopt(static_cast<int>(s.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                     sizeof hard);
        s.abort();
    }

private slots:
    void init() {
        server = std::make_unique<ScpiServer>(device);
        QString error;
        QVERIFY2(server->listen(QHostAddress::LocalHost, 0, error), qPrintable(error));
    }
    void cleanup() { server.reset(); }

    void linesAndBlocksAsTheyCome() {
        auto client = connectClient();
        QVERIFY(client);
        QCOMPARE(ask(*client, "*IDN?\r\n"), QByteArray("Norvale,72-815,1001,1.46"));
        // One byte at a time; a block whose bytes hold LF and ';' is one line.
        QCOMPARE(ask(*client, "*ESE 4;*ESE?\n", 1), QByteArray("4"));
        QCOMPARE(ask(*client, QByteArray("DATA #14a\n;b;*OPC?\n"), 3), QByteArray("1"));
        // Two lines in one piece: two answers in order.
        QCOMPARE(ask(*client, "*OPC?\n*TST?\n"), QByteArray("1"));
        QCOMPARE(ask(*client, ""), QByteArray("0"));
        QVERIFY(server->clients().size() == 1);
    }

    void tooMuchIsRefusedWithoutGrowing() {
        auto client = connectClient();
        QVERIFY(client);
        const QByteArray longLine = "*OPC " + QByteArray(70 * 1024, '1') + "\n";
        QCOMPARE(ask(*client, longLine + "SYST:ERR?\n", 4096),
                 QByteArray("-223,\"Too much data;a line longer than 64 kB\""));
        // A block beyond the wave memory is skipped by its count, LFs and all.
        QByteArray block = "DATA #7" + QByteArray::number(600000).rightJustified(7, '0');
        block += QByteArray(600000, '\n');
        QCOMPARE(ask(*client, block + "\nSYST:ERR?\n", 65536),
                 QByteArray("-223,\"Too much data;a block longer than the wave memory\""));
        QCOMPARE(ask(*client, "*OPC?\n"), QByteArray("1"));
    }

    void aNinthClientIsClosedAndLeavingMidBlockChangesNothing() {
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i < ScpiServer::kMaxClients; ++i) {
            clients.push_back(connectClient());
            QVERIFY(clients.back());
        }
        QTRY_COMPARE(server->clients().size(), ScpiServer::kMaxClients);
        auto ninth = connectClient();
        QVERIFY(ninth);
        QTRY_COMPARE(ninth->state(), QAbstractSocket::UnconnectedState);
        // One leaves in the middle of a block; the others go on.
        clients[0]->write("DATA #3100abc");
        clients[0]->flush();
        clients[0]->disconnectFromHost();
        QTRY_COMPARE(server->clients().size(), ScpiServer::kMaxClients - 1);
        QCOMPARE(ask(*clients[1], "*OPC?\n"), QByteArray("1"));
    }

    // A connection reset (SO_LINGER 0: RST, not FIN) at any point of a line,
    // with answers still to write: the server closes it and serves the
    // others. One reset before it is taken is never announced.
    void resetsAtEveryPointOfALine() {
        const QByteArray line = "*IDN?;DATA #15ab\ncd;*OPC?\n";
        auto other = connectClient();
        QVERIFY(other);
        for (qsizetype cut = 0; cut <= line.size(); ++cut) {
            QTcpSocket client;
            client.connectToHost(QHostAddress::LocalHost, server->port());
            QVERIFY(client.waitForConnected(5000));
            QTRY_COMPARE(server->clients().size(), 2);
            client.write(line.left(cut));
            client.flush();
            QTest::qWait(2); // the server reads the first part
            client.write(line.mid(cut) + QByteArray("*IDN?\n").repeated(100));
            client.flush();
            Reset(client);
            QTRY_COMPARE(server->clients().size(), 1);
            QCOMPARE(ask(*other, "*OPC?\n"), QByteArray("1"));
        }
        QSignalSpy announced(server.get(), &ScpiServer::clientConnected);
        {
            QTcpSocket early;
            early.connectToHost(QHostAddress::LocalHost, server->port());
            QVERIFY(early.waitForConnected(5000));
            Reset(early);
        }
        QCOMPARE(ask(*other, "*OPC?\n"), QByteArray("1"));
        QCOMPARE(announced.size(), 0);
    }

    // Slots are not held for ever (short limits here): an unfinished line
    // with no byte for the limit is closed; a newcomer finding every slot
    // taken takes the slot of the client that ran no line for longest, once
    // that is long enough (one sending a byte now and then included); the
    // holder of the front panel's lock keeps its slot.
    void idleClientsGiveWayToNewcomers() {
        server->setIdleLimits(
            ShortLimits(std::chrono::milliseconds(300), std::chrono::milliseconds(1000)));
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i < ScpiServer::kMaxClients; ++i)
            clients.push_back(connectClient());
        QTRY_COMPARE(server->clients().size(), ScpiServer::kMaxClients);
        QCOMPARE(ask(*clients[0], "SYST:RWL;*OPC?\n"), QByteArray("1"));
        const QString holder = device.lockHolderName();
        auto refused = connectClient(); // no one idle long enough yet
        QTRY_COMPARE(refused->state(), QAbstractSocket::UnconnectedState);

        clients[1]->write("*OP"); // and nothing more
        QTimer trickle;           // a byte now and then, never a line's end
        connect(&trickle, &QTimer::timeout, [&] { clients[2]->write("1"); });
        clients[2]->write("*OPC ");
        trickle.start(50);
        QTRY_COMPARE(clients[1]->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(server->clients().size(), ScpiServer::kMaxClients - 1);
        QTest::qWait(1100);
        std::vector<std::unique_ptr<QTcpSocket>> newcomers;
        for (int i = 0; i < ScpiServer::kMaxClients - 1; ++i) { // a free slot, six idle ones
            newcomers.push_back(connectClient());
            QCOMPARE(ask(*newcomers.back(), "*OPC?\n"), QByteArray("1"));
        }
        refused = connectClient(); // the newcomers are not idle, the holder keeps its slot
        QTRY_COMPARE(refused->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(server->clients().size(), ScpiServer::kMaxClients);
        QCOMPARE(device.lockHolderName(), holder);
        QCOMPARE(clients[2]->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(ask(*clients[0], "*OPC?\n"), QByteArray("1"));
    }

    // 1000 clients, one after the other: no file descriptor left behind, and
    // the memory in use as it was after the first hundred.
    void manyConnectionsLeaveNothingBehind() {
        auto descriptors = [] { return QDir("/proc/self/fd").entryList(QDir::Files).size(); };
        auto resident = [] { // pages
            QFile statm("/proc/self/statm");
            return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLong()
                                                   : 0L;
        };
        // Turns of the event loop until `done` (QTRY's 50 ms steps would make
        // this minutes where a turn does not deliver a socket's event).
        const auto spin = [](const auto& done) {
            QElapsedTimer waited;
            waited.start();
            while (!done() && waited.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            return done();
        };
        const auto before = descriptors();
        [[maybe_unused]] long warm = 0; // read only without AddressSanitizer
        for (int i = 0; i < 1100; ++i) {
            if (i == 100)
                warm = resident();
            QTcpSocket client;
            client.connectToHost(QHostAddress::LocalHost, server->port());
            QVERIFY(client.waitForConnected(5000));
            QVERIFY(spin([&] { return server->clients().size() == 1; }));
            client.write("*IDN?;:SYST:ERR?\n");
            QVERIFY(spin([&] { return client.canReadLine(); }));
            client.disconnectFromHost();
            QVERIFY(spin([&] { return server->clients().isEmpty(); }));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QVERIFY2(descriptors() <= before + 2,
                 qPrintable(QString("%1 -> %2").arg(before).arg(descriptors())));
#ifndef __SANITIZE_ADDRESS__              // which keeps freed memory aside on purpose
        QVERIFY2(resident() - warm < 256, // 1 MB
                 qPrintable(QString("%1 -> %2 pages").arg(warm).arg(resident())));
#endif
    }
};

NV815_TEST_GUILESS_MAIN(TestScpiServer)
} // namespace NV815_TEST_UNIT

#include "tst_scpiserver.moc"
