// The maintenance tools on the simulated chassis: the wave memory test, the
// calibration date and the about box.
#include <QAction>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "About_Unit.h"
#include "MemTest_Unit.h"
#include "PanelFixture.h"
#include "TestRegistry.h"
#include "nv815_def.h"

namespace NV815_TEST_UNIT {

const char* const kCardA = "PXI1::13::INSTR";

class TestMaintenance : public QObject, public PanelFixture {
    Q_OBJECT
public slots:
    void opened(const QUrl& url) { openedUrls << url.toString(); }

private:
    QStringList openedUrls;

    TMemTest_Form& form() { return *w->memTest; }
    QStringList labels(int i) {
        return {form().Status_Label[i]->text(), form().ErrData_Label[i]->text(),
                form().ExpData_Label[i]->text(), form().ErrAdd_Label[i]->text()};
    }
    // Opens the test from the menu, runs `inside` in the dialog, then closes it.
    void runDialog(const std::function<void()>& inside) {
        whenModal([=, this] {
            inside();
            form().Close_Button->click();
        });
        ui().MemoryTest1->trigger();
    }
    QStringList aboutLines() { return w->about->About_Memo->toPlainText().split('\n'); }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() { start(); }
    void cleanup() {
        w->about->hide();
        stop();
    }

    void memoryTestOutcomes() {
        const QStringList ok = {"Status: OK", "Error Data: None", "Expected Data: None",
                                "Error Address: None"};
        const QStringList untested = {"Status: Not Tested", "Error Data: None",
                                      "Expected Data: None", "Error Address: None"};
        const QStringList mismatch = {"Status: Failed", "Error Data: 0012", "Expected Data: 0034",
                                      "Error Address: 00001A2C"};
        const struct {
            int mode1, mode2;
            bool cancel;
            QList<QStringList> shown;
            bool message;
        } cases[] = {
            {1, 0, false, {mismatch, ok, ok}, false},      // the test goes on
            {0, 2, false, {ok, untested, untested}, true}, // a hard failure stops it
            {0, 0, true, {ok, untested, untested}, false}, // cancelled during channel 1
        };
        for (const auto& c : cases) {
            cleanup();
            init();
            selectCard(false, 0);
            nvsim_set_memory_test(kCardA, 1, c.mode1, 0x1A2C, 0x12, 0x34);
            nvsim_set_memory_test(kCardA, 2, c.mode2, 0, 0, 0);
            nvsim_set_memory_test_duration(kCardA, c.cancel ? 30 : 0);
            runDialog([&] {
                QCOMPARE(labels(0), untested);
                if (c.cancel) // pressed while channel 1 is under test
                    QTimer::singleShot(5, form().Cancel_Button, &QPushButton::click);
                form().Test_Button->click();
                for (int i = 0; i < 3; ++i)
                    QCOMPARE(labels(i), c.shown[i]);
                QCOMPARE(dialogs.messages.size(), c.message ? 1 : 0);
                if (c.message)
                    QCOMPARE(dialogs.messages[0].text,
                             QString("An error occured while testing. The rest of the test "
                                     "will be cancelled."));
                QVERIFY(form().Test_Button->isEnabled());
                QVERIFY(form().Close_Button->isEnabled());
                QVERIFY(!form().Cancel_Button->isEnabled());
                if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR");
                    !dir.isEmpty() && c.mode1 == 1)
                    form().grab().save(dir + "/memtest_form.png");
            });
            // A hard failure is also named where the main window shows failures.
            QCOMPARE(ui()->Feedback().startsWith("Channel 2: Memory Test failed: "), c.message);
        }
    }

    void fullRunLogsAndResetsItsLabels() {
        selectCard(false, 0);
        for (int c = 1; c <= 3; ++c)
            record().Channel[c].OutputOn = true;
        nvsim_fail("nv815_SetInstrumentMode", VI_ERROR_TMO, 2, 0, nullptr); // channel 2 refuses
        LogLines->clear();
        runDialog([&] {
            QVERIFY(record().Channel[2].OutputOn); // its switch-off was refused
            nvsim_clear_faults();
            nvsim_set_memory_test(kCardA, 3, 1, 0xFF, 1, 2);
            form().Test_Button->click();
            QCOMPARE(form().Status_Label[2]->text(), QString("Status: Failed"));
            nvsim_set_memory_test(kCardA, 3, 0, 0, 0, 0);
            form().Test_Button->click(); // labels reset, then the new results
            QCOMPARE(labels(2), QStringList({"Status: OK", "Error Data: None",
                                             "Expected Data: None", "Error Address: None"}));
        });
        // The test itself switched channel 2 off: the record follows the card.
        for (int c = 1; c <= 3; ++c) {
            QVERIFY(!record().Channel[c].OutputOn);
            QCOMPARE(SimValue(kCardA, c, "outputOn"), 0.0);
        }
        // Per channel of a run: the selection (when it changes), output off, the test.
        QStringList titles;
        for (const QString& e : LogTexts())
            titles << e.section("\r\n", 0, 1).simplified();
        QCOMPARE(titles.mid(6, 7),
                 QStringList({"Set Active Channel Channel 1", "Switch Channel Mode - Channel 1",
                              "Memory Test - Channel 1", "Set Active Channel Channel 2",
                              "Switch Channel Mode - Channel 2", "Memory Test - Channel 2",
                              "Set Active Channel Channel 3"}));
        QCOMPARE(LogTexts()
                     .filter("Error Address 0FFH\r\n     Error Data 01H\r\n"
                             "     Expected Data 02H")
                     .size(),
                 1);
    }

    void memoryTestNeedsACard() {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = form().isVisible();
            form().close();
        });
        ui().MemoryTest1->trigger();
        QTest::qWait(10);
        QVERIFY(!shown);
        QCOMPARE(nvsim_journal_count(), 0);
    }

    void calibrationDate() {
        ui().ReadCalibrationDate1->trigger(); // no card: no call, no entry, no box
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(nvsim_journal_count(), 0);
        QCOMPARE(LogTexts().size(), 0);
        selectCard(false, 0);
        for (const auto& [y, m, d, text] :
             {std::tuple{7u, 3u, 5u, "05-03-07"}, std::tuple{2013u, 12u, 25u, "25-12-2013"}}) {
            nvsim_set_calibration_date(kCardA, y, m, d);
            ui().ReadCalibrationDate1->trigger();
            QCOMPARE(dialogs.messages.last().kind, Dialogs::Kind::Information);
            QCOMPARE(dialogs.messages.last().text, QString("Calibration Date (dd-mm-yy): ") + text);
        }
        nvsim_fail("nv815_GetCalibrationDate", VI_ERROR_TMO, 0, 0, nullptr);
        ui().ReadCalibrationDate1->trigger();
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY(LogTexts().last().startsWith("Get Calibration Date \r\n> ***FAILED***"));
    }

    void aboutBoxLines() {
        TAbout_Form& about = *w->about;
        QVERIFY(!about.isModal());
        QCOMPARE(about.Image1->toolTip(), QString("Click Here To Visit ") + kMakerWebAddress);
        QCOMPARE(about.Image1->cursor().shape(), Qt::PointingHandCursor);
        QDesktopServices::setUrlHandler("https", this, "opened");
        QTest::mouseClick(about.Image1, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(openedUrls, QStringList({kMakerWebAddress}));
        const QString vendor = "Vendor " + QString(33, 'x'); // 40 characters
        nvsim_set_visa_identity(vendor.toLatin1(), 0x00500100);
        ui().About1->trigger();
        QVERIFY(about.isVisible());
        const QStringList first = aboutLines();
        QCOMPARE(first.mid(0, 5), QStringList({"This program is for the control of Norvale ",
                                               "72-815 and 82-815 Function Generator cards.", "",
                                               "For the latest drivers and software updates visit ",
                                               kMakerWebAddress}));
        QCOMPARE(first[5], QString(2 * (about.About_Memo->width() / 8) + 1, '-'));
        QCOMPARE(first[6], QString("SW Version 1.46 25-2-2013"));
        QCOMPARE(first[8], QString("Norvale Driver nv815_32.dll : Loaded"));
        QCOMPARE(first[10], "VISA Driver: " + vendor.left(33) + " V5.1.0");
        QCOMPARE(first[11], first[5]);
        QCOMPARE(first.size(), 12);
        QCOMPARE(about.Label1->text(), main().windowTitle());
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty())
            about.grab().save(dir + "/about_form.png");

        // An open box keeps what it showed; reopened, it is built once more.
        selectCard(false, 0);
        ui().About1->trigger();
        QCOMPARE(aboutLines(), first);
        about.OK_Button->click();
        QVERIFY(!about.isVisible());
        DriverLoaded = false;
        VisaLoaded = false;
        ui().About1->trigger();
        DriverLoaded = true;
        VisaLoaded = true;
        QCOMPARE(aboutLines()[8], QString("Norvale Driver nv815_32.dll : Not Loaded"));
        QCOMPARE(aboutLines()[10], QString("VISA Driver: Not Loaded "));
        QCOMPARE(aboutLines().size(), 12); // the design text once
        about.hide();
        ui().About1->trigger();
        QCOMPARE(aboutLines()[8], QString("Norvale Driver nv815_32.dll : V1.4.6"));
    }
};

NV815_TEST_MAIN(TestMaintenance)
} // namespace NV815_TEST_UNIT

#include "tst_maintenance.moc"
