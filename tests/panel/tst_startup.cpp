// The program start on the simulated chassis: binding, then the main window.
#include <QLabel>
#include <QStatusBar>
#include <QtTest>

#include "CardState.h"
#include "LibraryBinding.h"
#include "Main_Unit.h"
#include "RecordingDialogs.h"
#include "Startup.h"
#include "TestRegistry.h"
#include "VISA_def_v2.h"
#include "nv815_def.h"

namespace NV815_TEST_UNIT {

class TestStartup : public QObject {
    Q_OBJECT
    RecordingDialogs dialogs;

private slots:
    void initTestCase() { SetAppDialogs(&dialogs); }
    void cleanupTestCase() { SetAppDialogs(nullptr); }

    void bindsThenOpensTheMainWindow() {
        QVERIFY(BindLibrariesAtStartup());
        QVERIFY(VisaLoaded);
        QVERIFY(DriverLoaded);
        QVERIFY(dialogs.messages.isEmpty());

        TMain_Form form;
        QCOMPARE(form.metaObject()->className(), "TMain_Form");
        QCOMPARE(form.windowTitle(), QString("Norvale 815 Soft Front Panel v1.46"));
        // The client area holds the status bar, not the menu.
        QCOMPARE(form.centralWidget()->width(), 827);
        QCOMPARE(form.centralWidget()->height() + form.statusBar()->sizeHint().height(), 674);
        auto* status = form.findChild<QLabel*>("StatusBar1_Panel0");
        QVERIFY(status);
        QCOMPARE(status->text(), QString("Selected Card: No card selected"));
        QCOMPARE(form.card().record().ExtFreq, 10.0);
        QCOMPARE(form.card().record().Channel[3].Multiplier, 20);
        QCOMPARE(form.card().session(), 0u);

        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QString shot = qEnvironmentVariable("NV815_SCREENSHOT");
        if (!shot.isEmpty())
            form.grab().save(shot);
    }

    void releasesInReverseOrder() {
        RunExitHandlers();
        QCOMPARE(ReleasedLibraries(), std::vector<std::string>({"libnv815_32.so", "libvisa.so"}));
        QVERIFY(!VisaLoaded);
        QCOMPARE(GetDefaultRM(), 0u);
    }
};

NV815_TEST_MAIN(TestStartup)
} // namespace NV815_TEST_UNIT

#include "tst_startup.moc"
