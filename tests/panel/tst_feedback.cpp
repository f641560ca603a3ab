// The status bar's feedback field, the card dialog's hint, and the keyboard
// conventions of the menu.
#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenuBar>
#include <QSlider>
#include <QTableWidget>

#include "ExtClkFreq_Unit.h"
#include "LibraryBindings.h"
#include "Log_Unit.h"
#include "PanelFixture.h"
#include "PanelWidgets.h"
#include "TestRegistry.h"
#include "nv815_def.h"

namespace NV815_TEST_UNIT {

class TestFeedback : public QObject, public PanelFixture {
    Q_OBJECT

    void shot(const char* name) {
        QCoreApplication::processEvents(); // the status bar lays itself out again
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty())
            main().grab().save(dir + "/" + name);
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() { start(); }
    void cleanup() { stop(); }

    void lastFailureShownUntilASuccess() {
        MainControls& m = ui();
        QCOMPARE(m->Feedback(), QString());
        m.Ch1_Mode_Button->click(); // no card
        QCOMPARE(m->Feedback(), QString("No card selected: choose one with Card Select."));
        QCOMPARE(m.Feedback_Label->text(), m->Feedback());
        shot("feedback_no_card.png");
        m.MemoryTest1->trigger();
        QCOMPARE(m->Feedback(), QString("No card selected: choose one with Card Select."));

        selectCard(false, 0);
        QCOMPARE(m->Feedback(), QString());
        nvsim_fail("nv815_SetAttenuation", static_cast<ViStatus>(0xBFFC0802u), 0, 0, nullptr);
        m.Att_Slider->setValue(25);
        m.AttenSetButton->click();
        char text[NV815_MESSAGE_BUFLEN] = {};
        Driver.nv815_error_message(session(), static_cast<ViStatus>(0xBFFC0802u), text);
        QCOMPARE(m->Feedback(), "Channel 1: Set Attenuation failed: " + QString(text));
        QCOMPARE(m.Feedback_Label->palette().color(QPalette::WindowText), QColor(0xb0, 0, 0));
        shot("feedback_failed.png");
        // The offset "Set" calls the driver itself and reports as well.
        nvsim_fail("nv815_SetOutputOffsetVoltage", VI_ERROR_TMO, 0, 0, nullptr);
        m.OffsetButton->click();
        QVERIFY(m->Feedback().startsWith("Channel 1: Set dcOffset failed: "));
        // The driver's text cannot be had: the log says so, the field gives the status.
        nvsim_fail("nv815_error_message", VI_ERROR_TMO, 0, 0, nullptr);
        m.AttenSetButton->click();
        QVERIFY(LogTexts().last().endsWith("> ***FAILED***\r\nError: "));
        QCOMPARE(m->Feedback(), QString("Channel 1: Set Attenuation failed (status 0xBFFC0802)."));
        nvsim_clear_faults();
        // The same command accepted on another channel leaves it shown.
        m.Channel_PageControl->setCurrentIndex(1);
        m.AttenSetButton->click();
        QCOMPARE(m->Feedback(), QString("Channel 1: Set Attenuation failed (status 0xBFFC0802)."));
        m.Channel_PageControl->setCurrentIndex(0);
        m.AttenSetButton->click();
        QCOMPARE(m->Feedback(), QString());

        // A click on the field opens the log.
        bool shown = false;
        QTimer::singleShot(0, this, [&] {
            shown = w->log->isVisible();
            w->log->OK_Button->click();
        });
        QTest::mouseClick(m.Feedback_Label, Qt::LeftButton);
        QVERIFY(shown);
    }

    // What happened and its counts are never shortened: the card's text
    // gives way first, and only a list of names after them may be cut, at
    // its end. Only failures are red.
    void whatHappenedIsNeverShortened() {
        MainControls& m = ui();
        selectCard(false, 0);
        const QColor normal = main().palette().color(QPalette::WindowText);
        const QString bad = file("bad.ini", "[Channel1_Wave]\nStartF=x\nEndF=y\n"
                                            "[Channel2_Wave]\nSymmetry=z\nAttenuation=w\n"
                                            "[Channel3_Clock]\nMultiplier=v\n");
        const QString good = file("good.ini", "[Channel1_Wave]\nAttenuation=5\n");
        const struct {
            std::function<void()> act;
            QString head;
            bool names, red;
        } cases[] = {
            {[&] { dialogs.fileNames = {bad}, m.LoadConfig1->trigger(); },
             "Configuration loaded: press Update and Set on each channel, or use Apply Config "
             "to Card.",
             true, true},
            {[&] { dialogs.fileNames = {bad}, m.ApplyConfig1->trigger(); },
             "Configuration applied: ", true, true},
            {[&] { dialogs.fileNames = {good}, m.ApplyConfig1->trigger(); },
             "Configuration applied: ", false, false},
        };
        for (const auto& c : cases) {
            c.act();
            QCoreApplication::processEvents();
            const QString shown = m.Feedback_Label->text();
            const QString full = m->Feedback();
            const QString head = full.left(full.indexOf('.') + 1); // the counts included
            QVERIFY2(head.startsWith(c.head) && shown.startsWith(head), qPrintable(shown));
            QVERIFY2(shown == full || (c.names && shown.endsWith(QChar(0x2026)) &&
                                       full.startsWith(shown.chopped(1))),
                     qPrintable(shown));
            QCOMPARE(m.Feedback_Label->accessibleName(), full);
            QVERIFY(m.Feedback_Label->toolTip().startsWith(full));
            QCOMPARE(m.Feedback_Label->palette().color(QPalette::WindowText),
                     c.red ? QColor(0xb0, 0, 0) : normal);
            // The card's text and the field fill the bar between them; the
            // card's text keeps its resource in view.
            QVERIFY(m.Feedback_Label->geometry().right() > main().width() - 30);
            QVERIFY(m.StatusText->text().endsWith("PXI1::13::INSTR"));
            if (&c == &cases[1])
                shot("feedback_names.png");
        }
        shot("feedback_long.png");
    }

    // A click on a failure opens the log at that failure's entry, with the
    // field's whole text above the log; on other text, at the log's end.
    void aClickShowsTheFailureWhole() {
        MainControls& m = ui();
        selectCard(false, 0);
        nvsim_fail("nv815_SetAttenuation", static_cast<ViStatus>(0xBFFC0802u), 0, 0, nullptr);
        m.AttenSetButton->click();
        nvsim_clear_faults();
        m.Ch1_Mode_Button->click(); // later entries
        m.Ch1_Mode_Button->click();
        const QString failure = m->Feedback();
        QVERIFY(failure.startsWith("Channel 1: Set Attenuation failed: "));
        for (const bool failed : {true, false}) {
            if (!failed)
                m.AttenSetButton->click(); // accepted: the field is empty
            QString message, row;
            bool shown = false;
            whenModal([&] {
                TLog_Form* log = w->log;
                shown = log->isVisible();
                message = log->Message_Label->isVisible() ? log->Message_Label->text() : "";
                const QList<QTableWidgetItem*> selected = log->Log_StringGrid->selectedItems();
                row = selected.isEmpty() ? QString() : selected.first()->text();
                log->OK_Button->click();
            });
            QTest::mouseClick(m.Feedback_Label, Qt::LeftButton);
            QVERIFY(shown);
            QCOMPARE(message, failed ? failure : QString());
            QVERIFY2(failed ? row.contains("Set Attenuation") && row.contains("FAILED")
                            : row.isEmpty(),
                     qPrintable(row));
        }
    }

    void missingLibrariesAreNamed() {
        stop();
        VisaLoaded = false;
        DriverLoaded = false;
        start();
        const QString missing = QString::fromStdString(MissingLibraryText());
        QVERIFY(missing.contains("libvisa.so") && missing.contains("libnv815_32.so"));
        QCOMPARE(main().Feedback(), missing);
        shot("feedback_missing_library.png");
        whenModal([this] {
            w->card->Find_Button->click();
            const QString hint = w->card->Hint_Label->text();
            if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty())
                w->card->grab().save(dir + "/card_form_hint.png");
            w->card->Cancel_Button->click();
            QCOMPARE(hint, QString::fromStdString(MissingLibraryText()));
        });
        ui().Card1->trigger();
        VisaLoaded = true;
        DriverLoaded = true;
        whenModal([this] {
            w->card->Set82815->setChecked(true);
            nvsim_load_chassis(nullptr, nullptr, 0);
            w->card->Find_Button->click();
            QCOMPARE(w->card->Hint_Label->text(), QString());
            w->card->Cancel_Button->click();
        });
        ui().Card1->trigger();
    }

    // Where the keyboard is shows: a slider with the focus is drawn
    // otherwise than without it, and the card grid frames its current row.
    void focusIsVisible() {
        MainControls& m = ui();
        main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        for (QSlider* slider : {m.Att_Slider, m.V_Slider}) {
            m.WaveUpdate_Button->setFocus();
            const QImage without = slider->grab().toImage();
            slider->setFocus();
            QVERIFY(slider->hasFocus());
            // Plainly: a frame of strong contrast, not a tint.
            const QImage with = slider->grab().toImage();
            int changed = 0;
            for (int x = 0; x < with.width(); ++x)
                for (int y : {0, with.height() - 1})
                    changed += std::abs(qGray(with.pixel(x, y)) - qGray(without.pixel(x, y))) > 96;
            QVERIFY2(changed > with.width() / 2, qPrintable(QString::number(changed)));
        }
        whenModal([&] {
            QTableWidget* grid = w->card->Card_StringGrid;
            grid->setCurrentCell(2, 1);
            const QImage shot = grid->viewport()->grab().toImage();
            const QRect row = grid->visualRect(grid->model()->index(2, 0));
            int dark = 0;
            for (int x = row.left(); x <= row.right(); ++x)
                dark += qGray(shot.pixel(x, row.top())) < 128;
            QVERIFY2(dark > row.width() / 4, qPrintable(QString::number(dark)));
            w->card->Cancel_Button->click();
        });
        ui().Card1->trigger();
    }

    void menuKeysAndTheClockRadioPair() {
        MainControls& m = ui();
        for (QAction* a : m->menuBar()->actions()) {
            QVERIFY2(a->text().contains('&'), qPrintable(a->text()));
            if (a->menu())
                for (QAction* item : a->menu()->actions())
                    QVERIFY2(item->isSeparator() || !item->isVisible() ||
                                 item->text().contains('&'),
                             qPrintable(item->text()));
        }
        QCOMPARE(m.LoadConfig1->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(m.SaveConfig1->shortcut(), QKeySequence(QKeySequence::Save));
        QCOMPARE(m.Exit1->shortcut(), QKeySequence("Ctrl+Q"));

        QActionGroup* group = m.InternalClk_MenuItem->actionGroup();
        QVERIFY(group && group == m.ExternalClk_MenuItem->actionGroup());
        QCOMPARE(group->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);
        QVERIFY(!m.InternalClk_MenuItem->isChecked() && !m.ExternalClk_MenuItem->isChecked());
        selectCard(false, 0);
        whenModal([this] { w->extClk->OK_Button->click(); });
        m.ExternalClk_MenuItem->trigger();
        QVERIFY(m.ExternalClk_MenuItem->isChecked() && !m.InternalClk_MenuItem->isChecked());
        m.InternalClk_MenuItem->trigger();
        QVERIFY(m.InternalClk_MenuItem->isChecked() && !m.ExternalClk_MenuItem->isChecked());
    }
};

NV815_TEST_MAIN(TestFeedback)
} // namespace NV815_TEST_UNIT

#include "tst_feedback.moc"
