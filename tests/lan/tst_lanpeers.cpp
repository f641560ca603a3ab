// The LAN servers among hosts, in the network namespace netns.sh makes
// (with a port mapper of its own and a peer host behind a veth pair): a
// lock holder whose host vanishes without a word (no FIN, no RST) is found
// by TCP keepalive and its locks freed, on VXI-11, HiSLIP and the raw
// socket's front panel lock alike; a second VXI-11 server does not take the
// port mapper's entry of a live one, and registers once it goes.
#include <QProcess>
#include <QTcpSocket>
#include <QtTest>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include "HislipMessage.h"
#include "HislipServer.h"
#include "ScpiDevice.h"
#include "ScpiServer.h"
#include "ServerLimits.h"
#include "TestRegistry.h"
#include "Vxi11Client.h"
#include "Vxi11Server.h"

namespace NV815_TEST_UNIT {

using namespace std::chrono_literals;

// A TCP connection from the peer host to the host's `port`: its socket is
// made in the peer's namespace, then used from here.
qintptr FromPeer(quint16 port) {
    const int self = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int peer = ::open(qgetenv("NV815_PEER_NETNS").constData(), O_RDONLY | O_CLOEXEC);
    int fd = -1;
    if (self >= 0 && peer >= 0 && ::setns(peer, CLONE_NEWNET) == 0) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::setns(self, CLONE_NEWNET);
    }
    ::close(self);
    ::close(peer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    ::inet_pton(AF_INET, qgetenv("NV815_HOST_ADDRESS").constData(), &to.sin_addr);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        fd = -1;
    }
    return fd;
}

// The peer's link up or down: down, it answers nothing and says nothing.
bool PeerLink(bool up) {
    return QProcess::execute("ip", {"-n", "nv815peer", "link", "set",
                                    qEnvironmentVariable("NV815_PEER_LINK"), up ? "up" : "down"}) ==
           0;
}

// A HiSLIP message's type and control code, read whole from `s`.
std::pair<int, int> HislipNext(QTcpSocket& s) {
    for (int i = 0; i < 500 && s.bytesAvailable() < qint64(hislip::kHeaderSize); ++i)
        QTest::qWait(5);
    const QByteArray h = s.read(hislip::kHeaderSize);
    return h.size() == qsizetype(hislip::kHeaderSize)
               ? std::pair<int, int>{h[2], static_cast<unsigned char>(h[3])}
               : std::pair<int, int>{-1, -1};
}

void HislipSend(QTcpSocket& s, uint8_t type, uint8_t control, uint32_t parameter,
                std::string_view payload = {}) {
    s.write(QByteArray::fromStdString(hislip::Encode(type, control, parameter, payload)));
    s.flush();
}

char kInst0[] = "inst0";

class TestLanPeers : public QObject {
    Q_OBJECT
    ScpiDevice device{[] { return nullptr; },
                      [] {
                          return scpi::Identity{"Norvale", "72-815", "1001", "1.46"};
                      }};
    QHostAddress host;

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("NV815_PEER_NETNS"))
            QSKIP("no peer host: run through tests/lan/netns.sh");
        host = QHostAddress(qEnvironmentVariable("NV815_HOST_ADDRESS"));
    }
    void cleanup() { PeerLink(true); }

    // Keepalive of one second, a probe a second, two probes: a vanished
    // holder is found in about three. Each transport's lock is freed then.
    void vanishedHoldersGiveTheirLocksBack_data() {
        QTest::addColumn<bool>("hislipLocks");
        QTest::newRow("VXI-11's lock") << false;
        QTest::newRow("HiSLIP's lock") << true;
    }
    void vanishedHoldersGiveTheirLocksBack() {
        QFETCH(bool, hislipLocks);
        ScpiServer::IdleLimits limits = ShortLimits(10s, 30s);
        limits.keepAlive = {1s, 1s, 2};
        Vxi11Server vxi11;
        vxi11.setUsePortMapper(false);
        HislipServer hislip;
        ScpiServer raw(device);
        vxi11.setIdleLimits(limits);
        hislip.setIdleLimits(limits);
        raw.setIdleLimits(limits);
        vxi11.addDevice(device);
        hislip.addDevice(device);
        QString error;
        QVERIFY(vxi11.listen(host, 0, error) && hislip.listen(host, 0, error) &&
                raw.listen(host, 0, error));

        // From the peer: the raw socket's front panel lock, a VXI-11 link and
        // a HiSLIP session, one of them holding the device's lock.
        QTcpSocket sync, async, panel;
        QVERIFY(panel.setSocketDescriptor(FromPeer(raw.port())));
        panel.write("SYST:RWL\n");
        panel.flush();
        QTRY_VERIFY(device.lockHolder());
        Vxi11Client core(FromPeer(vxi11.port()), DEVICE_CORE);
        core.send(create_link, xdr_Create_LinkParms, Create_LinkParms{1, !hislipLocks, 0, kInst0});
        long lid = 0;
        QCOMPARE(core.reply(5000, &lid), 0L);
        QVERIFY(sync.setSocketDescriptor(FromPeer(hislip.port())));
        QVERIFY(async.setSocketDescriptor(FromPeer(hislip.port())));
        HislipSend(sync, hislip::Initialize, 0, 0x0200'5858, "hislip0");
        for (int i = 0; i < 500 && sync.bytesAvailable() < 16; ++i)
            QTest::qWait(5);
        const QByteArray response = sync.read(16);
        QCOMPARE(response.size(), 16);
        HislipSend(async, hislip::AsyncInitialize, 0,
                   (uint8_t(response[6]) << 8) | uint8_t(response[7]));
        QCOMPARE(HislipNext(async).first, int(hislip::AsyncInitializeResponse));
        if (hislipLocks) {
            HislipSend(async, hislip::AsyncLock, 1, 0);
            QCOMPARE(HislipNext(async), std::pair(int(hislip::AsyncLockResponse), 1));
        }
        QCOMPARE(device.lockHolderCount(), 1);

        QVERIFY(PeerLink(false));
        QTest::qWait(1000);
        QCOMPARE(device.lockHolderCount(), 1); // not yet: the peer may come back
        QTRY_VERIFY_WITH_TIMEOUT(device.lockHolderCount() == 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            vxi11.links().isEmpty() && hislip.sessions().isEmpty() && !device.lockHolder(), 10000);
        QVERIFY(raw.clients().isEmpty());
    }

    // One port mapper entry per computer: a second server leaves a live
    // one's alone and says whose it is, and takes it once it is gone.
    void aSecondServerWaitsForThePortMapper() {
        Vxi11Server first, second;
        first.addDevice(device);
        second.addDevice(device);
        QString error;
        QVERIFY(first.listen(QHostAddress::LocalHost, 0, error));
        QCOMPARE(first.registration(), Vxi11Server::Registration::Registered);
        QVERIFY(second.listen(QHostAddress::LocalHost, 0, error));
        QCOMPARE(second.registration(), Vxi11Server::Registration::HeldByAnother);
        QCOMPARE(second.portMapperHolder(), first.port());
        QVERIFY(!second.reachable());
        sockaddr_in mapper{};
        mapper.sin_family = AF_INET;
        mapper.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(pmap_getport(&mapper, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP),
                 first.port());
        QSignalSpy registered(&second, &Vxi11Server::registrationChanged);
        first.close();
        QTRY_VERIFY_WITH_TIMEOUT(registered.count() == 1, 10000);
        QCOMPARE(second.registration(), Vxi11Server::Registration::Registered);
        QCOMPARE(pmap_getport(&mapper, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP),
                 second.port());
        second.close();
        QCOMPARE(pmap_getport(&mapper, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP), u_short(0));
    }
};

NV815_TEST_GUILESS_MAIN(TestLanPeers)
} // namespace NV815_TEST_UNIT

#include "tst_lanpeers.moc"
