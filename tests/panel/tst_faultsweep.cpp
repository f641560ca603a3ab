// Every operator action that reaches the driver, with each driver or VISA
// call it makes failing in turn: nothing crashes, the record keeps what the
// card last accepted, the controls show the record, and the failure shows.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <cmath>

#include "CardInvariant.h"
#include "ExtClkFreq_Unit.h"
#include "JournalRecording.h"
#include "MemTest_Unit.h"
#include "PanelFixture.h"
#include "PanelWidgets.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

class TestFaultSweep;

// A comparison that names the action and the failing call when it fails.
#define EXPECT(actual, expected)                                                                   \
    do {                                                                                           \
        if (!((actual) == (expected)))                                                             \
            QFAIL(qPrintable(where + ": " #actual " is " + QVariant(actual).toString() +           \
                             ", expected " + QVariant(expected).toString()));                      \
    } while (0)

const ViStatus kInjected = static_cast<ViStatus>(0xBFFC0806u); // "frequency out of range"

struct Action {
    const char* name;
    bool needsCard;
    std::function<void(TestFaultSweep&)> prepare; // not swept
    std::function<void(TestFaultSweep&)> act;     // swept
    QStringList unlogged;                         // driver calls it makes without a log entry
    bool refreshesPage = false;                   // the Waveform page shows the record after it
};

QString Name(const QString& journalLine) {
    return journalLine.section('(', 0, 0);
}

class TestFaultSweep : public QObject, public PanelFixture {
    Q_OBJECT
public:
    TChannelInfo& ch(int c) { return record().Channel[c]; }

    void setUp(const Action& a) {
        start();
        if (a.needsCard)
            selectCard(false, 0);
        if (a.prepare)
            a.prepare(*this);
        nvsim_journal_clear();
        LogLines->clear();
        dialogs.messages.clear();
    }

    // What the simulated card holds for every accepted field equals the record.
    void checkRecordMatchesCard(const Action& a, const QString& failing, const QString& where) {
        if (session() == 0)
            return;
        InvariantOptions options;
        // A refused counter step of a wave memory load keeps the new step.
        options.memStep[1] =
            !(QByteArray(a.name) == "update arbitrary" && failing == "nv815_SetCounterStep");
        options.fskSource = QByteArray(a.name) == "clock update";
        options.waveform = QByteArray(a.name).startsWith("update");
        if (QByteArray(a.name).startsWith("card"))
            options.outputMayShowOn = {true, true, true, true};
        const QString difference = CardDifference(
            record(), QByteArray::fromStdString(w->main->card().identity().resource), 3, options);
        if (!difference.isEmpty())
            QFAIL(qPrintable(where + ": " + difference));
    }

    void checkControlsShowRecord(const Action& a, const QString& where) {
        MainControls& m = ui();
        const TChannelInfo& r = ch(m->ActiveChannelNumber());
        if (IsKnown(r.Wave.Attenuation))
            EXPECT(m.Att_Slider->value(), int(std::lround(r.Wave.Attenuation)));
        else
            EXPECT(m.Att_Edit->text(), QString("--"));
        EXPECT(m.V_Slider->value(), int(std::lround(r.Wave.DCOffset * 100)));
        EXPECT(m.OffsetBut->lit(), r.Wave.OffsetOn);
        EXPECT(m.Ch1_Mode_Button->lit(), r.OutputOn);
        if (a.refreshesPage && m.Settings_PageControl->currentIndex() == 0) {
            EXPECT(m.StartF_SpinEdit->value(), int(std::lround(r.Wave.StartF * 1000)));
            EXPECT(m.Symm_SpinEdit->value(), int(std::lround(r.Wave.Symmetry)));
            EXPECT(m.WaveType_ComboBox->currentIndex(), r.Wave.WaveType);
            EXPECT(m.SweepF_RadioButton->isChecked(), r.Wave.SweepFlag);
            EXPECT(m.AM_CheckBox->isChecked(), r.Wave.AMFlag);
        }
    }

    void sweep(const Action& a, int& cases) {
        setUp(a);
        a.act(*this);
        const QStringList clean = SimJournal();
        stop();
        for (int k = 0; k < clean.size(); ++k) {
            const QString failing = Name(clean[k]);
            int nth = 0;
            for (int i = 0; i <= k; ++i)
                nth += Name(clean[i]) == failing;
            setUp(a);
            nvsim_fail(failing.toLatin1(), kInjected, nth, 0, nullptr);
            a.act(*this);
            const QString where = QString("%1, call %2 (%3)").arg(a.name).arg(k).arg(clean[k]);
            const QStringList journal = SimJournal();
            // The same calls up to the failing one, which failed as told.
            QVERIFY2(journal.size() > k, qPrintable(where));
            for (int i = 0; i < k; ++i)
                QVERIFY2(Name(journal[i]) == Name(clean[i]), qPrintable(where));
            QVERIFY2(journal[k].endsWith("= BFFC0806"), qPrintable(where));
            checkRecordMatchesCard(a, failing, where);
            checkControlsShowRecord(a, where);
            if (QTest::currentTestFailed())
                return;
            // A logged call leaves its failure in the log; every other failure
            // of the panel's own commands shows in a message or the status field.
            if (failing.startsWith("nv815_") && failing != "nv815_init" &&
                failing != "nv815_GetCardId" && !a.unlogged.contains(failing))
                QVERIFY2(LogTexts().filter("***FAILED***\r\nError: ").size() > 0,
                         qPrintable(where));
            else if (a.unlogged.contains(failing))
                QVERIFY2(!dialogs.messages.isEmpty() || !main().Feedback().isEmpty(),
                         qPrintable(where));
            nvsim_clear_faults();
            stop();
            ++cases;
        }
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }

    void everyCallOfEveryActionFailsInTurn() {
        auto page = [](TestFaultSweep& t, bool sweep, bool manual) {
            MainControls& m = t.ui();
            (sweep ? m.SweepF_RadioButton : m.SingleF_RadioButton)->click();
            (manual ? m.ManualRadioButton : m.AutoRadioButton)->click();
            m.StartF_SpinEdit->setValue(2000);
            m.EndF_SpinEdit->setValue(4000);
            m.Symm_SpinEdit->setValue(30);
            m.WaveType_ComboBox->setCurrentIndex(1);
            m.AM_CheckBox->setChecked(true);
        };
        const QString ini =
            file("sweep.ini",
                 "[Channel1_Wave]\nStartF=2\nAttenuation=12\n[Channel1_Clock]\nMultiplier=8\n");
        const std::vector<Action> actions = {
            {"card selection", false, {}, [](TestFaultSweep& t) { t.selectCard(false, 0); }, {}},
            // Back to a card in use before, whose output is on at 0 dB: the
            // record never keeps the other card's values for it.
            {"card change",
             false,
             [](TestFaultSweep& t) {
                 t.selectCard(false, 0);
                 t.ui().Ch1_Mode_Button->click();
                 t.ui().Att_Slider->setValue(0);
                 t.ui().AttenSetButton->click();
                 t.selectCard(false, 1);
             },
             [](TestFaultSweep& t) { t.selectCard(false, 0); },
             {}},
            {"output", true, {}, [](TestFaultSweep& t) { t.ui().Ch1_Mode_Button->click(); }, {}},
            {"attenuation",
             true,
             [](TestFaultSweep& t) { t.ui().Att_Slider->setValue(25); },
             [](TestFaultSweep& t) { t.ui().AttenSetButton->click(); },
             {}},
            {"offset set",
             true,
             [](TestFaultSweep& t) {
                 t.ui().V_Slider->setValue(150);
                 t.ui().OffsetBut->click();
                 t.ui().V_Slider->setValue(-250);
             },
             [](TestFaultSweep& t) { t.ui().OffsetButton->click(); },
             {"nv815_SetOutputOffsetVoltage"}},
            {"offset power",
             true,
             [](TestFaultSweep& t) { t.ui().V_Slider->setValue(120); },
             [](TestFaultSweep& t) { t.ui().OffsetBut->click(); },
             {}},
            {"update single",
             true,
             [=](TestFaultSweep& t) {
                 t.ui().Channel_PageControl->setCurrentIndex(1);
                 page(t, false, false);
             },
             [](TestFaultSweep& t) { t.ui().WaveUpdate_Button->click(); },
             {},
             true},
            {"update sweep",
             true,
             [=](TestFaultSweep& t) { page(t, true, true); },
             [](TestFaultSweep& t) { t.ui().WaveUpdate_Button->click(); },
             {},
             true},
            {"update arbitrary",
             true,
             [](TestFaultSweep& t) {
                 TArbWave& arb = t.ch(1).Wave.Arb;
                 arb.Data.assign(1024, 40.0);
                 arb.WaveLength = 1024;
                 t.ui().Wave_PageControl->setCurrentWidget(t.ui().TabSheet8);
             },
             [](TestFaultSweep& t) { t.ui().WaveUpdate_Button->click(); },
             {"nv815_SetCounterStep", "nv815_LoadArbitraryWaveform"},
             true},
            {"up",
             true,
             [=](TestFaultSweep& t) { page(t, true, true); },
             [](TestFaultSweep& t) { t.ui().ManualUpButton->click(); },
             {}},
            {"down",
             true,
             [=](TestFaultSweep& t) {
                 page(t, true, true);
                 t.ui().ManualUpButton->click();
             },
             [](TestFaultSweep& t) { t.ui().ManualDownButton->click(); },
             {}},
            {"trigger update",
             true,
             [](TestFaultSweep& t) {
                 t.ui().TrigMode_ComboBox->setCurrentIndex(2);
                 t.ui().TrigSource_ComboBox->setCurrentIndex(3);
             },
             [](TestFaultSweep& t) { t.ui().TrigUpdate_Button->click(); },
             {}},
            {"clock update",
             true,
             [](TestFaultSweep& t) {
                 MainControls& m = t.ui();
                 m.Settings_PageControl->setCurrentIndex(1);
                 m.SweepMode_ComboBox->setCurrentIndex(2);
                 m.SwpEndF_SpinEdit->setValue(3000);
                 m.FSKSource_ComboBox->setCurrentIndex(4);
                 for (int i = 0; i < 3; ++i)
                     m.CounterStep_UpDown->upButton()->click();
                 m.ClkX_SpinButton->downButton()->click();
             },
             [](TestFaultSweep& t) { t.ui().ClkUpdate_Button->click(); },
             {},
             true},
            {"internal clock",
             true,
             {},
             [](TestFaultSweep& t) { t.ui().InternalClk_MenuItem->trigger(); },
             {}},
            {"external clock",
             true,
             {},
             [](TestFaultSweep& t) {
                 t.whenModal([&t] {
                     t.w->extClk->ExtClkFreq_Edit->setText("25");
                     t.w->extClk->OK_Button->click();
                 });
                 t.ui().ExternalClk_MenuItem->trigger();
             },
             {}},
            {"memory test",
             true,
             {},
             [](TestFaultSweep& t) {
                 t.whenModal([&t] {
                     t.w->memTest->Test_Button->click();
                     t.w->memTest->Close_Button->click();
                 });
                 t.ui().MemoryTest1->trigger();
             },
             {}},
            {"calibration date",
             true,
             {},
             [](TestFaultSweep& t) { t.ui().ReadCalibrationDate1->trigger(); },
             {}},
            {"configuration load",
             true,
             {},
             [ini](TestFaultSweep& t) {
                 t.dialogs.fileNames = {ini};
                 t.ui().LoadConfig1->trigger();
                 QCOMPARE(nvsim_journal_count(), 0); // loading sends nothing
             },
             {},
             true},
        };
        JournalRecording journal;
        int cases = 0;
        for (const Action& a : actions) {
            sweep(a, cases);
            if (QTest::currentTestFailed())
                return;
        }
        qInfo("%d failing calls over %d actions", cases, int(actions.size()));
        QVERIFY(cases > 80); // the sweep reached the calls it was meant to
        // The card receives exactly what it received when the sweep was recorded.
        const QString difference = journal.compareWith(SOURCE_DIR "/data/faultsweep.journal");
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        qInfo("%d calls compared", journal.size());
    }
};

NV815_TEST_MAIN(TestFaultSweep)
} // namespace NV815_TEST_UNIT

#include "tst_faultsweep.moc"
