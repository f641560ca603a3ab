// Options > Remote Control: the window's card served while the operator
// watches; a client's change shows in the page, the strip and the log.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include "Captions.h"
#include "Credentials.h"
#include "HislipMessage.h"
#include "HislipServer.h"
#include "MainControls.h"
#include "OperationLog.h"
#include "PanelFixture.h"
#include "Remote_Unit.h"
#include "SessionMemory.h"
#include "TestRegistry.h"
#include "TlsIdentity.h"
#include "Transport.h"
#include "Users_Unit.h"
#include "nvsim.h"

namespace NV815_TEST_UNIT {

class TestRemoteWindow : public QObject, public PanelFixture {
    Q_OBJECT

    QLabel* remoteStatus() { return main().findChild<QLabel*>("RemoteStatus_Label"); }

    // Remote Control serving on a free port with `client` connected to it;
    // null when the client was not taken.
    TRemote_Form* serveTo(QTcpSocket& client) {
        main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = main().RemoteForm();
        form->Port_SpinEdit->setValue(FreePort());
        form->Listen_Button->click();
        client.connectToHost(QHostAddress::LocalHost, form->Port());
        return QTest::qWaitFor([&] { return form->Clients().size() == 1; }, 5000) ? form : nullptr;
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() {
        start();
        SessionMemory::SetRemote({});              // each test from the choices of a first run
        QFile::remove(Credentials::DefaultFile()); // and without users
    }
    void cleanup() { stop(); }

    void aClientsChangeShowsInTheWindow() {
        selectCard(false, 0);
        auto* action = main().findChild<QAction*>("RemoteControl1");
        QVERIFY(action);
        QCOMPARE(action->text(), QString("Remote &Control..."));
        action->trigger();
        TRemote_Form* form = main().RemoteForm();
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->objectName(), QString("Remote_Form"));
        QCOMPARE(form->Port_SpinEdit->value(), 5025); // the defaults: off, this computer only
        QVERIFY(!form->AllInterfaces_CheckBox->isChecked());
        QCOMPARE(form->Listen_Button->text(), QString("&Start"));

        const int port = FreePort();
        form->Port_SpinEdit->setValue(port);
        form->Listen_Button->click();
        QCOMPARE(form->Listen_Button->text(), QString("S&top"));
        QCOMPARE(remoteStatus()->text(), QString("Remote: 127.0.0.1:%1, 0 clients").arg(port));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        QTRY_COMPARE(remoteStatus()->text(), QString("Remote: 127.0.0.1:%1, 1 client").arg(port));
        QVERIFY(form->Clients_Label->text().contains("Clients: 127.0.0.1:"));
        QCOMPARE(CutButtons(form), QStringList()); // every caption whole
        form->resize(form->minimumSize());         // as small as the operator can make it
        QCoreApplication::processEvents();
        QCOMPARE(CutLabels(form), QStringList());
        if (const QString shots = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !shots.isEmpty())
            form->grab().save(shots + "/remote_form.png");

        // The operator's unsent edits and the page shown stay: the record
        // plays the Arbitrary page, the operator shows Basic with a symmetry of 30.
        record().Channel[1].Wave.ArbitraryFlag = true;
        ui().Wave_PageControl->setCurrentWidget(ui().TabSheet7);
        ui().Symm_SpinEdit->setValue(30);
        client.write("OUTP1:ATT 25;ATT?\n");
        QTRY_VERIFY(client.canReadLine());
        QCOMPARE(client.readLine(), QByteArray("25\n"));
        QCOMPARE(ui().Att_Slider->value(), 25); // at once, with the answer
        QCOMPARE(ui().Att_Edit->text(), QString("25"));
        QCOMPARE(ui().Wave_PageControl->currentWidget(), ui().TabSheet7);
        QCOMPARE(ui().Symm_SpinEdit->value(), 30);
        QVERIFY(main().MarkedUnsent(ui().Symm_SpinEdit));
        if (const QString shots = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !shots.isEmpty())
            ui().Wave_TabSheet->grab().save(shots + "/wave_page_unsent_beside_a_client.png");
        QVERIFY(
            main().findChild<QLabel*>("Channel1Status_Label")->text().startsWith("1 off, 25dB"));
        QVERIFY(LogTexts().last().startsWith("Set Attenuation - \r\n     Channel 1"));

        form->Listen_Button->click(); // Stop: the client is closed
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(!remoteStatus()->isVisible());
    }

    // A client's change that replaces an unsent edit says who changed what
    // and what was replaced; Ctrl+Shift+R, or a click on the status field,
    // puts it back. A client's refused command names the client.
    void aClientsChangeToAnUnsentEditIsSaid() {
        selectCard(false, 0);
        QTcpSocket client;
        TRemote_Form* form = serveTo(client);
        QVERIFY(form);
        const QString who = form->Clients().front();
        const auto ask = [&](const QByteArray& line) {
            client.write(line + ";*OPC?\n");
            return QTest::qWaitFor([&] { return client.canReadLine(); }, 5000) ? client.readLine()
                                                                               : QByteArray();
        };
        MainControls& m = ui();
        for (bool byKey : {true, false}) {
            m.StartF_SpinEdit->setValue(7777);
            m.Symm_SpinEdit->setValue(40);
            QVERIFY(main().MarkedUnsent(m.StartF_SpinEdit));
            QCOMPARE(ask(byKey ? "FREQ 3KHZ" : "FREQ 4KHZ"), QByteArray("1\n"));
            const QString now = byKey ? "3000" : "4000";
            QCOMPARE(m.StartF_SpinEdit->text(), now);
            QCOMPARE(m.Symm_SpinEdit->value(), 40); // not changed: kept
            QCOMPARE(m->Feedback(), who + " set channel 1 start frequency " + now +
                                        " Hz; your unsent 7777 Hz was replaced (Ctrl+Shift+R or "
                                        "a click here puts it back)");
            QCOMPARE(m.Feedback_Label->property("tone").toString(), QString("advice"));
            QCoreApplication::processEvents(); // the bar lays itself out again
            QVERIFY(remoteStatus()->width() >=
                    remoteStatus()->fontMetrics().horizontalAdvance(remoteStatus()->text()));
            if (byKey)
                main().findChild<QAction*>("PutBackEdits_Action")->trigger();
            else
                QTest::mouseClick(m.Feedback_Label, Qt::LeftButton);
            QCOMPARE(m.StartF_SpinEdit->text(), QString("7777"));
            QVERIFY(main().MarkedUnsent(m.StartF_SpinEdit));
            QCOMPARE(m->Feedback(), QString("Put back (not sent): start frequency 7777 Hz."));
        }
        // The attenuation's slider, one of several fields at once.
        m.Att_Slider->setValue(30);
        QCOMPARE(ask("OUTP1:ATT 12"), QByteArray("1\n"));
        QVERIFY(m->Feedback().contains("set channel 1 attenuation 12 dB; your unsent 30 dB was"));

        nvsim_fail("nv815_SetAttenuation", static_cast<ViStatus>(0xBFFC0802u), 1, 0, nullptr);
        QCOMPARE(ask("OUTP1:ATT 5"), QByteArray("1\n"));
        nvsim_clear_faults();
        QVERIFY2(m->Feedback().startsWith("Client " + who + ": Channel 1: Set Attenuation failed"),
                 qPrintable(m->Feedback()));
        // Beside what happened, however long, it stays whole.
        m.StartF_SpinEdit->findChild<QLineEdit*>()->setText(QString("1x").repeated(60));
        m.WaveUpdate_Button->click();
        QVERIFY(m->Feedback().startsWith("Not sent: "));
        QCoreApplication::processEvents();
        QVERIFY(remoteStatus()->geometry().right() < m.StatusBar1->width());
        QVERIFY(remoteStatus()->width() >=
                remoteStatus()->fontMetrics().horizontalAdvance(remoteStatus()->text()));
        form->Listen_Button->click();
    }

    // SYSTem:IDENtify from a client: the caption and the strip flash (on,
    // off, on again), the status field says who asked.
    void identifyFlashesThePanel() {
        main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = main().RemoteForm();
        form->Port_SpinEdit->setValue(FreePort());
        form->Listen_Button->click();
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, form->Port());
        QVERIFY(client.waitForConnected(2000));
        const QString plain = main().windowTitle();
        client.write("SYST:IDEN\n");
        QTRY_VERIFY(main().windowTitle().startsWith(QString::fromUtf8("\u25C6 Identify \u25C6 ")));
        auto* strip = main().findChild<QFrame*>("ChannelStatus_Panel");
        QVERIFY(strip->property("identify").toBool());
        QVERIFY2(main().Feedback().endsWith("asks this card to show itself (Identify)."),
                 qPrintable(main().Feedback()));
        QTRY_COMPARE(main().windowTitle(), plain);
        QVERIFY(!strip->property("identify").toBool());
        QTRY_VERIFY(strip->property("identify").toBool());
    }

    // SYSTem:RWLock takes the controls until SYSTem:LOCal, the Local button
    // or the client's leaving; the folder for MMEMory is the operator's choice.
    void aClientLocksThePanelOut() {
        selectCard(false, 0);
        main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = main().RemoteForm();
        QTemporaryDir folder;
        dialogs.fileNames = {folder.path()};
        form->Files_Button->click();
        QCOMPARE(form->FilesFolder(), folder.path());
        const int port = FreePort();
        form->Port_SpinEdit->setValue(port);
        form->Listen_Button->click();
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        QVERIFY(client.waitForConnected(5000));
        auto ask = [&client](const QByteArray& line) {
            client.write(line + "\n");
            for (int i = 0; i < 500 && !client.canReadLine(); ++i)
                QTest::qWait(10);
            return client.readLine().trimmed();
        };
        QWidget* page = main().findChild<QWidget*>("Wave_TabSheet");
        auto* loadConfig = main().findChild<QAction*>("LoadConfig1");
        QCOMPARE(ask("SYST:RWL;:MMEM:STOR:STAT 'b.ini';*OPC?"), QByteArray("1"));
        QVERIFY(QFile::exists(folder.filePath("b.ini")));
        QVERIFY(!page->isEnabled() && !ui().AttenSetButton->isEnabled() &&
                !loadConfig->isEnabled());
        const QString clientName = form->LockHolder();
        QCOMPARE(remoteStatus()->text(), "Remote: locked by " + clientName);
        QVERIFY(form->Local_Button->isEnabled());
        if (const QString shots = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !shots.isEmpty())
            main().grab().save(shots + "/main_locked.png");
        QCOMPARE(ask("SYST:LOC;*OPC?"), QByteArray("1"));
        QVERIFY(page->isEnabled() && ui().AttenSetButton->isEnabled() && loadConfig->isEnabled());

        ask("SYST:RWL;*OPC?");
        form->Local_Button->click(); // the operator takes the panel back
        QVERIFY(page->isEnabled() && form->LockHolder().isEmpty());
        ask("SYST:RWL;*OPC?");
        client.disconnectFromHost(); // and a client that leaves gives it back
        QTRY_VERIFY(page->isEnabled());
        QCOMPARE(remoteStatus()->text(), QString("Remote: 127.0.0.1:%1, 0 clients").arg(port));
    }

    // A client's samples are in no file: Save Config offers to save them.
    void saveConfigKeepsAClientsWaveform() {
        selectCard(false, 0);
        QTcpSocket client;
        TRemote_Form* form = serveTo(client);
        QVERIFY(form);
        client.write("DATA 0,100;:SYST:ERR?\n");
        QTRY_VERIFY(client.canReadLine());
        QCOMPARE(client.readLine(), QByteArray("0,\"No error\"\n"));
        QTemporaryDir dir;
        dialogs.fileNames = {dir.filePath("kept.ini")};
        main().findChild<QAction*>("SaveConfig1")->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.last().text.startsWith(
            "The waveform of channel 1 came from a remote client and is in no file."));
        QVERIFY(QFile::exists(dir.filePath("kept_channel1.txt")));
    }

    // Exit with clients connected asks first; then every connection is
    // closed before the window goes, so a client sees it at once.
    void exitWithClientsAsksAndClosesThem() {
        selectCard(false, 0);
        main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = main().RemoteForm();
        const int port = FreePort();
        form->Port_SpinEdit->setValue(port);
        form->Listen_Button->click();
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        client.write("SYST:RWL;*OPC?\n");
        QTRY_VERIFY(client.canReadLine());
        for (const Dialogs::Answer answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
            dialogs.answers = {answer};
            ui().Exit1->trigger();
            QCOMPARE(dialogs.messages.last().kind, Dialogs::Kind::Question);
            QVERIFY2(dialogs.messages.last().text.startsWith(
                         "1 remote client is connected (127.0.0.1:") &&
                         dialogs.messages.last().text.contains("holding the front panel"),
                     qPrintable(dialogs.messages.last().text));
            const bool gone = answer == Dialogs::Answer::Yes;
            QCOMPARE(main().isVisible(), !gone);
            QCOMPARE(form->Listening(), !gone);
        }
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QAbstractSocket::UnconnectedState, 1000);
    }

    // "Let in only": a list that is none is said and nothing serves; a
    // client from elsewhere is closed at once and counted, the list remembered.
    void onlyTheClientsAllowedAreLetIn() {
        main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = main().RemoteForm();
        form->Port_SpinEdit->setValue(FreePort());
        form->Allow_LineEdit->setText("10.9.0.0/16, lab-pc");
        form->Listen_Button->click();
        QVERIFY(!form->Listening());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, Dialogs::Kind::Error);
        QCOMPARE(dialogs.messages[0].text,
                 QString("Not served: in \"Let in only\", 'lab-pc' is no address or network "
                         "(such as 10.1.0.0/16 or ::1)."));
        form->Allow_LineEdit->setText("10.9.0.0/16");
        emit form->Allow_LineEdit->editingFinished();
        form->Listen_Button->click();
        QVERIFY(form->Listening() && !form->Allow_LineEdit->isEnabled());
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, form->Port());
        QVERIFY(client.waitForConnected(2000));
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
        const QString said = form->Clients_Label->text();
        QVERIFY2(said.contains("Only 10.9.0.0/16 let in. ") &&
                     said.contains("Refused 1 (the last: 127.0.0.1:") &&
                     said.contains(" over raw socket: not on the allow list)."),
                 qPrintable(said));
        QCOMPARE(SessionMemory::Remote().allow, QString("10.9.0.0/16"));
    }

    // Every interface only when the operator confirms it.
    // Users: added with a password typed twice (a mismatch said, nothing
    // added), listed, said in the window; a raw client may then only ask.
    // Secure mode serves HiSLIP and HTTPS only, the certificate said.
    void usersAndSecureMode() {
        main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = main().RemoteForm();
        form->Port_SpinEdit->setValue(FreePort());
        form->Users_Button->click();
        auto* users = form->findChild<TUsers_Form*>("Users_Form");
        QVERIFY(users && users->isVisible());
        users->UserName_LineEdit->setText("alice");
        users->Password_LineEdit->setText("s3cret");
        users->Repeat_LineEdit->setText("s3creT");
        users->Add_Button->click();
        QCOMPARE(dialogs.messages.last().text, QString("Not added: the two passwords differ."));
        QVERIFY(users->Password_LineEdit->text().isEmpty() && users->Users_List->count() == 0);
        users->Password_LineEdit->setText("s3cret");
        users->Repeat_LineEdit->setText("s3cret");
        users->Add_Button->click();
        QCOMPARE(dialogs.messages.last().text, QString("Added alice."));
        QCOMPARE(users->Users_List->count(), 1);
        QVERIFY(form->Users_Label->text().startsWith("Only alice, signed in"));
        form->Listen_Button->click();
        QTcpSocket raw;
        raw.connectToHost(QHostAddress::LocalHost, form->Port());
        QVERIFY(raw.waitForConnected(2000));
        raw.write("OUTP1 ON;:SYST:ERR?\n");
        QTRY_VERIFY(raw.canReadLine());
        QVERIFY(raw.readLine().startsWith("-203,\"Command protected;sign in first"));
        QVERIFY(form->Clients_Label->text().contains("TLS certificate SHA256 "));
        // A wrong password over HiSLIP's secure connection: said and logged.
        const QString hislip = QRegularExpression("hislip0(?:,(\\d+))?")
                                   .match(form->ResourceStrings().join(" "))
                                   .captured(1);
        QProcess client;
        client.start(NV815_SYSTEM_PYTHON, {NV815_HISLIP_CLIENT, hislip.isEmpty() ? "4880" : hislip,
                                           TlsIdentity::DefaultFolder() + "/tls-certificate.pem",
                                           "PLAIN", "alice", "guess"});
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QProcess::NotRunning, 20000);
        QCOMPARE(client.readAllStandardOutput(), QByteArray("38 0 wrong user or password\n"));
        QVERIFY2(form->Clients_Label->text().contains(
                     "Failed sign-ins: 1 (the last: alice from 127.0.0.1:"),
                 qPrintable(form->Clients_Label->text()));
        QVERIFY(LogLinesOf(0).back().find("Sign-in failed: alice from 127.0.0.1:") !=
                std::string::npos);
        form->Listen_Button->click();
        form->Secure_CheckBox->setChecked(true);
        form->Listen_Button->click();
        QVERIFY(form->Listening() && !form->Secure_CheckBox->isEnabled());
        const QString strings = form->ResourceStrings().join(" ");
        QVERIFY2(!strings.contains("SOCKET") && strings.contains("hislip0") &&
                     strings.contains("https://"),
                 qPrintable(strings));
        QVERIFY(SessionMemory::Remote().secure);
        if (const QString shots = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !shots.isEmpty()) {
            form->grab().save(shots + "/remote_form_secure.png");
            users->grab().save(shots + "/users_form.png");
        }
        form->Listen_Button->click();
        form->Secure_CheckBox->setChecked(false);
    }

    void allInterfacesAsksFirst() {
        main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = main().RemoteForm();
        form->Port_SpinEdit->setValue(FreePort());
        form->AllInterfaces_CheckBox->setChecked(true);
        dialogs.answers = {Dialogs::Answer::No};
        form->Listen_Button->click();
        QVERIFY(!form->Listening());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, Dialogs::Kind::Question); // Yes or No
        QVERIFY(dialogs.messages[0].text.contains("will control the card"));
        form->Listen_Button->click(); // answered Yes this time
        QVERIFY(form->Listening());
        // Which port on which addresses: never "0.0.0.0".
        QVERIFY2(remoteStatus()->text().startsWith(
                     QString("Remote: port %1 on all interfaces").arg(form->Port())),
                 qPrintable(remoteStatus()->text()));
        QVERIFY(form->ResourceStrings().size() >= 2); // the loopback's at least
        // One choice for every transport: the raw socket listens where the
        // others do (IPv4), and so only where a resource string is listed.
        QTcpSocket v6;
        v6.connectToHost(QHostAddress::LocalHostIPv6, form->Port());
        QVERIFY(!v6.waitForConnected(1000));
        QVERIFY(!form->ResourceStrings().join(" ").contains("[")); // no IPv6 string
    }

    // While serving, what serves is shown and fixed: each resource string,
    // copyable; the status field opens the window; the choices are
    // remembered, serving at start included.
    void whatServesIsShownAndRemembered() {
        main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = main().RemoteForm();
        const int port = FreePort();
        form->Port_SpinEdit->setValue(port);
        form->ServeAtStart_CheckBox->setChecked(true);
        form->Listen_Button->click();
        QVERIFY(form->Listening());
        // Every transport of the table has its choice, fixed while serving.
        for (const TransportKind& kind : Transports())
            QVERIFY(kind.required || !form->findChild<QCheckBox*>(kind.checkBoxName)->isEnabled());
        for (QWidget* fixed :
             std::initializer_list<QWidget*>{form->Port_SpinEdit, form->AllInterfaces_CheckBox})
            QVERIFY(!fixed->isEnabled());
        const QStringList strings = form->ResourceStrings();
        QCOMPARE(strings.mid(0, 2), QStringList({QString("TCPIP0::127.0.0.1::%1::SOCKET").arg(port),
                                                 "TCPIP0::127.0.0.1::inst0::INSTR"}));
        // HiSLIP on its own port 4880, or on another where a test beside this one has it.
        QVERIFY(strings.size() == 4 && strings[2].startsWith("TCPIP0::127.0.0.1::hislip0") &&
                strings[2].endsWith("::INSTR") && strings[3].startsWith("http://127.0.0.1:"));
        QCOMPARE(form->Resources_List->count(), 4);
        QTcpSocket web; // the page says which card it serves
        web.connectToHost(QHostAddress::LocalHost, QUrl(strings[3]).port());
        QVERIFY(web.waitForConnected(5000));
        web.write("GET / HTTP/1.0\r\n\r\n");
        QByteArray page; // served by this thread's event loop
        QTRY_VERIFY_WITH_TIMEOUT((page += web.readAll()).contains("</html>"), 5000);
        QVERIFY(page.startsWith("HTTP/1.1 200") && page.contains("72-815"));
        // A HiSLIP session is one of the window's clients, named as such.
        const QRegularExpressionMatch hislipPort =
            QRegularExpression(",(\\d+)::").match(strings[2]);
        QTcpSocket sync, async;
        for (QTcpSocket* channel : {&sync, &async})
            channel->connectToHost(QHostAddress::LocalHost, hislipPort.hasMatch()
                                                                ? hislipPort.captured(1).toUShort()
                                                                : HislipServer::kPort);
        sync.write(QByteArray::fromStdString(hislip::Encode(hislip::Initialize, 0, 0x01000000)));
        QTRY_VERIFY(sync.bytesAvailable() >= 16);
        const QByteArray session = sync.readAll().mid(6, 2);
        async.write(QByteArray::fromStdString(hislip::Encode(
            hislip::AsyncInitialize, 0, (uchar(session[0]) << 8) | uchar(session[1]))));
        QTRY_VERIFY(form->Clients().size() == 1 && form->Clients()[0].endsWith(" (HiSLIP)"));
        QVERIFY(form->Clients_Label->text().contains(" (HiSLIP)"));
        form->CopyResources_Button->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), strings.join('\n'));
        QCOMPARE(main().Feedback(), QString("Copied %1 resource strings.").arg(strings.size()));
        form->hide();
        QTest::mouseClick(remoteStatus(), Qt::LeftButton);
        QVERIFY(form->isVisible());
        form->Listen_Button->click();
        QVERIFY(form->Port_SpinEdit->isEnabled() && form->Resources_List->count() == 0);
        form->findChild<QCheckBox*>("Hislip_CheckBox")->setChecked(false);

        stop();
        start(); // a new run: the window remembers, and serves at start
        main().ServeAtStart();
        form = main().RemoteForm();
        QVERIFY(form && form->Listening());
        QCOMPARE(form->Port(), port);
        QVERIFY(!form->findChild<QCheckBox*>("Hislip_CheckBox")->isChecked());
        QCOMPARE(form->ResourceStrings().size(), 3);
        QVERIFY(remoteStatus()->isVisible());
    }
};

NV815_TEST_MAIN(TestRemoteWindow)
} // namespace NV815_TEST_UNIT

#include "tst_remotewindow.moc"
