// What only a real X server shows, with real key and mouse events from
// xdotool and no window manager, at the scale and screen the run sets:
// typing into a field after a click on it, where the window lies, clicks on
// the status bar's fields, the channel tabs of a scrolled panel and the
// put-back key.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabBar>
#include <QTcpSocket>
#include <QTimer>

#include "Log_Unit.h"
#include "OperationLog.h"
#include "Remote_Unit.h"
#include "SessionMemory.h"

#include "Credentials.h"
#include "MainControls.h"
#include "PanelFixture.h"
#include "TestRegistry.h"
#include "Users_Unit.h"

namespace NV815_TEST_UNIT {

class TestXServer : public QObject {
    Q_OBJECT
    PanelFixture f;

    static void XDo(const QStringList& arguments) {
        QProcess p;
        p.start("xdotool", arguments);
        QVERIFY2(p.waitForFinished(10000) && p.exitCode() == 0,
                 qPrintable("xdotool " + arguments.join(' ')));
    }
    // Where X puts a point of the widget: device pixels from the screen's origin.
    static QPoint OnX(QWidget* w, QPoint at) {
        const QPoint global = w->mapToGlobal(at);
        const qreal ratio = w->devicePixelRatioF();
        return {qRound(global.x() * ratio), qRound(global.y() * ratio)};
    }

private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("runs on an X server only");
        QVERIFY(PanelFixture::bind());
    }
    void init() { f.start(); }
    void cleanup() { f.stop(); }

    // The window, menu to status bar, lies inside the screen's free area.
    void theWindowLiesOnTheScreen() {
        const QRect area = f.main().screen()->availableGeometry();
        QTRY_VERIFY2(area.contains(f.main().frameGeometry()),
                     qPrintable(QString("%1,%2 %3x%4 on %5x%6")
                                    .arg(f.main().frameGeometry().x())
                                    .arg(f.main().frameGeometry().y())
                                    .arg(f.main().frameGeometry().width())
                                    .arg(f.main().frameGeometry().height())
                                    .arg(area.width())
                                    .arg(area.height())));
    }

    // A click into the start frequency (which switches the window's key
    // preview on), then keys typed: the field takes them, Backspace deletes,
    // and the stepping keys still step by 10, 100 and 1000.
    void typingAfterAClickReachesTheField() {
        MainControls& m = f.ui();
        QSpinBox* start = m.StartF_SpinEdit;
        QLineEdit* edit = start->findChild<QLineEdit*>();
        const QPoint at = OnX(edit, edit->rect().center());
        XDo({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
        QTRY_VERIFY(m->KeyPreview());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(start));
        XDo({"key", "ctrl+a"});
        XDo({"type", "--delay", "20", "7500"});
        QTRY_COMPARE(edit->text(), QString("7500"));
        XDo({"key", "BackSpace"});
        QTRY_COMPARE(edit->text(), QString("750"));
        XDo({"type", "0"});
        const struct {
            const char* keys;
            int value;
        } steps[] = {{"shift+Up", 7510}, {"ctrl+Up", 7610}, {"alt+Down", 6610}, {"Up", 6611}};
        for (const auto& s : steps) {
            XDo({"key", s.keys});
            QTRY_COMPARE(start->value(), s.value);
            QCOMPARE(edit->text(), QString::number(s.value));
        }
    }

    // Ctrl+N, a real key, opens a second panel on the screen; the first
    // stays, and closing the second leaves it working.
    void ctrlNOpensAnotherPanel() {
        QWidget* preview = f.main().findChild<QWidget*>("Panel1"); // a click does nothing there
        const QPoint at = OnX(preview, QPoint(4, 4));
        XDo({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
        QTRY_VERIFY(f.main().isActiveWindow());
        XDo({"key", "ctrl+n"});
        QPointer<TMain_Form> other;
        QTRY_VERIFY([&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* panel = qobject_cast<TMain_Form*>(top);
                    panel && panel != &f.main() && panel->isVisible())
                    other = panel;
            return !other.isNull();
        }());
        const QRect area = other->screen()->availableGeometry();
        QTRY_VERIFY(area.contains(other->frameGeometry()));
        QVERIFY(f.main().isVisible());
        other->close();
        QTRY_VERIFY(other.isNull());
        QVERIFY(f.main().isVisible() && LogLines);
    }

    // A real click on the status field opens the log with the field's
    // whole text above it.
    void aClickOnTheStatusFieldShowsItWhole() {
        MainControls& m = f.ui();
        m.Ch1_Mode_Button->click(); // no card: the field says so
        const QString said = m->Feedback();
        QVERIFY(!said.isEmpty());
        QString shown;
        QTimer waiter;
        waiter.setInterval(10);
        QObject::connect(&waiter, &QTimer::timeout, [&] {
            TLog_Form* log = f.w->log;
            if (QApplication::activeModalWidget() != log || !log->isVisible())
                return;
            waiter.stop();
            shown = log->Message_Label->isVisible() ? log->Message_Label->text() : QString();
            if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty())
                log->grab().save(dir + "/log_form_message.png");
            log->OK_Button->click();
        });
        waiter.start();
        QLabel* field = m.Feedback_Label;
        const QPoint at = OnX(field, QPoint(8, field->height() / 2));
        XDo({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
        QTRY_COMPARE(shown, said);
    }

    // A real click on the status bar's remote field, while serving, opens
    // the Remote Control window that says what serves.
    void aClickOnTheRemoteFieldOpensTheWindow() {
        SessionMemory::SetRemote({}); // the choices of a first run
        f.main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = f.main().RemoteForm();
        form->Port_SpinEdit->setValue(PanelFixture::FreePort());
        form->Listen_Button->click();
        QVERIFY(form->Listening());
        form->hide();
        auto* field = f.main().findChild<QLabel*>("RemoteStatus_Label");
        QTRY_VERIFY(field->isVisible() && field->width() > 0);
        const QPoint at = OnX(field, QPoint(field->width() / 2, field->height() / 2));
        XDo({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
        QTRY_VERIFY(form->isVisible());
        form->StopListening();
        // Stopped, the protocols can be chosen again, by real clicks and keys:
        // a click on VXI-11, Tab to HiSLIP, Space; both remembered.
        auto* vxi11 = form->findChild<QCheckBox*>("Vxi11_CheckBox");
        const QPoint box = OnX(vxi11, QPoint(8, vxi11->height() / 2));
        XDo({"mousemove", QString::number(box.x()), QString::number(box.y()), "click", "1"});
        QTRY_VERIFY(!vxi11->isChecked());
        XDo({"key", "Tab", "space"});
        QTRY_VERIFY(!form->findChild<QCheckBox*>("Hislip_CheckBox")->isChecked());
        const auto remembered =
            SessionMemory::Remote({{"vxi11", true}, {"hislip", true}}).transports;
        QVERIFY(!remembered["vxi11"] && !remembered["hislip"]);
        // Alt+I reaches "Let in only", which takes what is typed.
        XDo({"key", "alt+i"});
        XDo({"type", "--delay", "20", "10.9.0.0/16"});
        QTRY_COMPARE(form->Allow_LineEdit->text(), QString("10.9.0.0/16"));
        // Alt+U opens Users: a name and the password twice typed, Tab between
        // them, Alt+A adds the user (said in a box, answered at once here).
        QFile::remove(Credentials::DefaultFile());
        XDo({"key", "alt+u"});
        TUsers_Form* users = nullptr;
        QTRY_VERIFY((users = form->findChild<TUsers_Form*>("Users_Form")) &&
                    users->isActiveWindow());
        XDo({"key", "alt+n"});
        XDo({"type", "--delay", "20", "alice"});
        XDo({"key", "Tab"});
        XDo({"type", "--delay", "20", "s3cret"});
        XDo({"key", "Tab"});
        XDo({"type", "--delay", "20", "s3cret"});
        XDo({"key", "alt+a"});
        QTRY_COMPARE(users->Users_List->count(), 1);
        QVERIFY(users->Password_LineEdit->text().isEmpty());
        users->close();
        QFile::remove(Credentials::DefaultFile());
    }

    // Scrolled to the output group (where the panel scrolls at all), the
    // channel tabs are still there to click; Ctrl+Shift+R, a real key, puts
    // back an edit a client's change replaced.
    void tabsStayAndAReplacedEditComesBack() {
        SessionMemory::SetRemote({});
        f.selectCard(false, 0);
        MainControls& m = f.ui();
        auto* scroll = f.main().findChild<QScrollArea*>("Client_ScrollArea");
        scroll->ensureWidgetVisible(f.main().findChild<QWidget*>("GroupBox7"));
        QTabBar* tabs = m.Channel_PageControl->tabBar();
        const QPoint tab = OnX(tabs, tabs->tabRect(1).center());
        XDo({"mousemove", QString::number(tab.x()), QString::number(tab.y()), "click", "1"});
        QTRY_COMPARE(m.Channel_PageControl->currentIndex(), 1);
        m.Channel_PageControl->setCurrentIndex(0);

        f.main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* form = f.main().RemoteForm();
        form->Port_SpinEdit->setValue(PanelFixture::FreePort());
        form->Listen_Button->click();
        form->hide();
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, form->Port());
        m.StartF_SpinEdit->setValue(7777);
        client.write("FREQ 3KHZ;*OPC?\n");
        QTRY_VERIFY(client.canReadLine());
        QCOMPARE(m.StartF_SpinEdit->text(), QString("3000"));
        QWidget* card =
            f.main().findChild<QWidget*>("StatusBar1_Panel0"); // a click does nothing there
        const QPoint quiet = OnX(card, QPoint(card->width() / 2, card->height() / 2));
        XDo({"mousemove", QString::number(quiet.x()), QString::number(quiet.y()), "click", "1"});
        QTRY_VERIFY(f.main().isActiveWindow());
        XDo({"key", "ctrl+shift+r"});
        QTRY_COMPARE(m.StartF_SpinEdit->text(), QString("7777"));
        form->StopListening();
    }
};

NV815_TEST_MAIN(TestXServer)
} // namespace NV815_TEST_UNIT

#include "tst_xserver.moc"
