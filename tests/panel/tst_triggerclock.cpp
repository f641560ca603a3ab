// Trigger and clock settings and the external clock dialog.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include "ExtClkFreq_Unit.h"
#include "PanelFixture.h"
#include "PanelWidgets.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

class TestTriggerClock : public QObject, public PanelFixture {
    Q_OBJECT

    TChannelInfo& channel1() { return record().Channel[1]; }

    void answerExternalClock(const QString& text, bool ok) {
        whenModal([=, this] {
            w->extClk->ExtClkFreq_Edit->setText(text);
            (ok ? w->extClk->OK_Button : w->extClk->Cancel_Button)->click();
        });
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() { start(); }
    void cleanup() { stop(); }

    void counterStepIsTwoToTheN() {
        selectCard(false, 0);
        MainControls& m = ui();
        for (int i = 0; i < 20; ++i)
            m.CounterStep_UpDown->upButton()->click();
        QCOMPARE(m.CounterStep_Edit->text(), QString("18"));
        m.SweepMode_ComboBox->setCurrentIndex(0);
        m.ClkUpdate_Button->click();
        QCOMPARE(channel1().MemStep, 262144u);
        QVERIFY(DriverSets().contains(QString("nv815_SetCounterStep(262144) = 00000000")));
        for (int i = 0; i < 20; ++i)
            m.CounterStep_UpDown->downButton()->click();
        QCOMPARE(m.CounterStep_Edit->text(), QString("0"));
        m.ClkUpdate_Button->click();
        QCOMPARE(channel1().MemStep, 1u);
    }

    void startAboveEndIsRefused() {
        selectCard(false, 0);
        MainControls& m = ui();
        {
            const QSignalBlocker a(m.SwpStartF_SpinEdit), b(m.SwpEndF_SpinEdit);
            m.SwpStartF_SpinEdit->setValue(3000);
            m.SwpEndF_SpinEdit->setValue(2000);
        }
        const TChannelInfo before = channel1();
        const int calls = nvsim_journal_count();
        m.ClkUpdate_Button->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, Dialogs::Kind::Error);
        QCOMPARE(dialogs.messages[0].text,
                 QString("Sweep end frequency value must always be greater or equal to \r\n"
                         "sweep start frequency."));
        QCOMPARE(nvsim_journal_count(), calls);
        QCOMPARE(channel1().ClkStartF, before.ClkStartF);
    }

    void rejectedModeRestoresItsFieldsOnly() {
        selectCard(false, 0);
        MainControls& m = ui();
        QCOMPARE(m.SweepMode_ComboBox->currentIndex(), -1);
        m.SwpStartF_SpinEdit->setValue(1500);
        m.CounterStep_UpDown->upButton()->click();
        m.ClkUpdate_Button->click();
        // Mode -1 is refused by the card: the five clock-mode fields go back.
        QCOMPARE(channel1().SweepMode, 0);
        QCOMPARE(channel1().ClkStartF, 1.0);
        QCOMPARE(channel1().ClkEndF, 1.0);
        QCOMPARE(channel1().ClkSweepStep, 0.001);
        QCOMPARE(channel1().ClkStepInterval, 1.0);
        // The other three commands were issued and kept.
        QCOMPARE(channel1().MemStep, 2u);
        QStringList sets = DriverSets();
        QVERIFY(sets.contains("nv815_SetClockSource(0, 10, 20) = 00000000"));
        QVERIFY(sets.contains("nv815_SetCounterStep(2) = 00000000"));
        QVERIFY(sets.contains("nv815_SetClockMode(-1, 1.5, 2, 0.001, 1) = BFFC080D"));
        QVERIFY(sets.contains("nv815_SetFSKSource(0) = 00000000"));
        QVERIFY(LogTexts().join("|").contains("Mode 4294967295"));
    }

    void acceptedClockSettingsReachTheCard() {
        selectCard(false, 0);
        MainControls& m = ui();
        m.SweepMode_ComboBox->setCurrentIndex(1);
        QVERIFY(m.SwpEndF_SpinEdit->isEnabled());
        QVERIFY(m.SwpInt_SpinEdit->isEnabled());
        QVERIFY(!m.FSKSource_ComboBox->isEnabled());
        m.SwpEndF_SpinEdit->setValue(5000);
        m.SwpStep_SpinEdit->setValue(10);
        m.SwpInt_SpinEdit->setValue(500);
        m.ClkX_SpinButton->downButton()->click();
        m.ClkUpdate_Button->click();
        QCOMPARE(channel1().SweepMode, 1);
        QCOMPARE(channel1().Multiplier, 19);
        QCOMPARE(channel1().ClkEndF, 5.0);
        QCOMPARE(channel1().ClkSweepStep, 0.01);
        QCOMPARE(channel1().ClkStepInterval, 0.5);
        QVERIFY(!channel1().Wave.SweepFlag);
        QCOMPARE(SimValue("PXI1::13::INSTR", 1, "clockMode"), 1.0);
        QCOMPARE(SimValue("PXI1::13::INSTR", 1, "multiplier"), 19.0);
    }

    void startAndEndPullEachOther() {
        MainControls& m = ui();
        m.SwpStartF_SpinEdit->setValue(2500);
        QCOMPARE(m.SwpEndF_SpinEdit->value(), 2500);
        m.SwpEndF_SpinEdit->setValue(1200);
        QCOMPARE(m.SwpStartF_SpinEdit->value(), 1200);
        m.SwpEndF_SpinEdit->setValue(4000);
        QCOMPARE(m.SwpStartF_SpinEdit->value(), 1200);
    }

    void fskClockModeShowsSweepOnTheWaveformPage() {
        selectCard(false, 0);
        MainControls& m = ui();
        m.Settings_PageControl->setCurrentIndex(1);
        m.SweepMode_ComboBox->setCurrentIndex(3);
        m.FSKSource_ComboBox->setCurrentIndex(4);
        m.ClkUpdate_Button->click();
        QVERIFY(channel1().Wave.SweepFlag);
        QCOMPARE(channel1().FSKSource, 4);
        m.Settings_PageControl->setCurrentIndex(0);
        QVERIFY(m.SweepF_RadioButton->isChecked());
        QCOMPARE(m.FSK_ComboBox->currentText(), QString("PXI 2"));
        // A typed source that names no item is stored as -1.
        m.Settings_PageControl->setCurrentIndex(1);
        m.FSKSource_ComboBox->setEditText("PXI 9");
        m.ClkUpdate_Button->click();
        QVERIFY(DriverSets().contains("nv815_SetFSKSource(-1) = BFFC0809"));
        QCOMPARE(channel1().FSKSource, 4);
    }

    void triggerUpdateCommitsOnSuccessOnly() {
        selectCard(false, 0);
        MainControls& m = ui();
        m.TrigMode_ComboBox->setCurrentIndex(2);
        emit m.TrigMode_ComboBox->activated(2);
        QVERIFY(m.TrigSource_ComboBox->isEnabled());
        m.TrigSource_ComboBox->setCurrentIndex(9);
        m.TrigUpdate_Button->click();
        QCOMPARE(channel1().TrigSource, 9);
        QCOMPARE(channel1().TrigMode, 2);
        QVERIFY(DriverSets().contains("nv815_SetTriggerMode(9, 2) = 00000000"));
        nvsim_fail("nv815_SetTriggerMode", VI_ERROR_TMO, 0, 0, nullptr);
        m.TrigMode_ComboBox->setCurrentIndex(6);
        emit m.TrigMode_ComboBox->activated(6);
        QVERIFY(!m.TrigSource_ComboBox->isEnabled());
        m.TrigUpdate_Button->click();
        QCOMPARE(channel1().TrigSource, 9);
        QCOMPARE(channel1().TrigMode, 2);
        // The trigger controls are not reloaded from another channel's record.
        m.Channel_PageControl->setCurrentIndex(1);
        QCOMPARE(m.TrigMode_ComboBox->currentText(), QString("Continuous"));
        QCOMPARE(m.TrigSource_ComboBox->currentText(), QString("PXI Star"));
        QVERIFY(!m.TrigSource_ComboBox->isEnabled());
    }

    void externalClockChosenAndCancelled() {
        selectCard(false, 0);
        MainControls& m = ui();
        answerExternalClock("12.5", true);
        m.ExternalClk_MenuItem->trigger();
        QCOMPARE(m.ExternalClk_MenuItem->iconText(), QString("External Clock (12.5 MHz)"));
        QVERIFY(record().DDSSourceExtFlag);
        QCOMPARE(record().ExtFreq, 12.5);
        QVERIFY(m.ExternalClk_MenuItem->isChecked());
        QVERIFY(!m.InternalClk_MenuItem->isChecked());
        QVERIFY(DriverSets().contains("nv815_SetClockSource(1, 12.5, 20) = 00000000"));

        // The dialog opens with the frequency in use; Cancel means internal.
        QString shown;
        whenModal([&, this] {
            shown = w->extClk->ExtClkFreq_Edit->text();
            w->extClk->Cancel_Button->click();
        });
        m.ExternalClk_MenuItem->trigger();
        QCOMPARE(shown, QString("12.5"));
        QVERIFY(!record().DDSSourceExtFlag);
        QVERIFY(m.InternalClk_MenuItem->isChecked());
        QVERIFY(!m.ExternalClk_MenuItem->isChecked());
        QCOMPARE(DriverSets().last(), QString("nv815_SetClockSource(0, 12.5, 20) = 00000000"));
    }

    void rejectedClockSourceRestoresFrequencyAndFlag() {
        selectCard(false, 0);
        MainControls& m = ui();
        nvsim_fail("nv815_SetClockSource", VI_ERROR_TMO, 0, 0, nullptr);
        answerExternalClock("33", true);
        m.ExternalClk_MenuItem->trigger();
        QCOMPARE(m.ExternalClk_MenuItem->iconText(), QString("External Clock (33 MHz)"));
        QCOMPARE(record().ExtFreq, 10.0);
        QVERIFY(!record().DDSSourceExtFlag);
        QVERIFY(m.InternalClk_MenuItem->isChecked());

        record().DDSSourceExtFlag = true;
        m.InternalClk_MenuItem->trigger();
        QVERIFY(record().DDSSourceExtFlag);
        QVERIFY(m.ExternalClk_MenuItem->isChecked());
    }

    void rejectedMultiplierGoesBackButTheEditKeepsIt() {
        selectCard(false, 0);
        MainControls& m = ui();
        m.SweepMode_ComboBox->setCurrentIndex(0);
        m.ClkX_SpinButton->downButton()->click();
        nvsim_fail("nv815_SetClockSource", VI_ERROR_TMO, 0, 0, nullptr);
        m.ClkUpdate_Button->click();
        QCOMPARE(channel1().Multiplier, 20);
        QCOMPARE(card().pendingMultiplier(1), 20);
        QCOMPARE(m.ClkX_Edit->text(), QString("19"));
    }

    void externalClockDialogParsesTheFrequency() {
        TExternalClk_Form& d = *w->extClk;
        d.Freq = 10.0;
        d.show();
        QCOMPARE(d.ExtClkFreq_Edit->text(), QString("10"));
        d.ExtClkFreq_Edit->setText("ten");
        d.OK_Button->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text,
                 QString("Please enter a floating point number using only 0..9 characters \r\n"
                         "and \".\" (fullstop)"));
        QVERIFY(d.isVisible());
        QCOMPARE(d.ExtClkFreq_Edit->text(), QString("ten"));
        QCOMPARE(d.Freq, 10.0);
        d.ExtClkFreq_Edit->setText("1e300"); // beyond what a loaded file is held to
        d.OK_Button->click();
        QCOMPARE(dialogs.messages.last().text,
                 QString("The external clock frequency must lie from 0.000001 to 10000 MHz."));
        QVERIFY(d.isVisible());
        d.ExtClkFreq_Edit->setText("123.456789012");
        d.OK_Button->click();
        QVERIFY(!d.isVisible());
        QCOMPARE(d.Freq, 123.456789012);
        d.show();
        QCOMPARE(d.ExtClkFreq_Edit->text(), QString("123.45679"));
        d.Cancel_Button->click();
        QCOMPARE(d.Freq, 123.456789012);
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty()) {
            d.show();
            d.grab().save(dir + "/extclk_form.png");
            d.hide();
        }
    }

    void externalClockGroupSeparatorsAreNoNumber() {
        TExternalClk_Form& d = *w->extClk;
        struct Case {
            const char* locale;
            double freq;
            const char* shown;
            const char* typed;
            double parsed; // 0: refused with the dialog's message
        };
        const Case cases[] = {
            {"en_US", 1234.5, "1234.5", "1,234.5", 0},
            {"en_US", 1234.5, "1234.5", "1234.5", 1234.5},
            {"de_DE", 1234.5, "1234,5", "1.234,5", 0},
            {"de_DE", 1234.5, "1234,5", "1234,5", 1234.5},
            {"de_DE", 1234.5, "1234,5", "1.500", 1.5}, // the full stop the message asks for
        };
        for (const Case& c : cases) {
            QLocale::setDefault(QLocale(c.locale));
            dialogs.messages.clear();
            d.Freq = c.freq;
            d.show();
            QCOMPARE(d.ExtClkFreq_Edit->text(), QString(c.shown));
            d.ExtClkFreq_Edit->setText(c.typed);
            d.OK_Button->click();
            QCOMPARE(dialogs.messages.size(), c.parsed == 0 ? 1 : 0);
            QCOMPARE(d.Freq, c.parsed == 0 ? c.freq : c.parsed);
            d.hide();
        }
        QLocale::setDefault(QLocale::c());
    }
};

NV815_TEST_MAIN(TestTriggerClock)
} // namespace NV815_TEST_UNIT

#include "tst_triggerclock.moc"
