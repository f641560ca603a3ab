// The waveform, trigger, clock and reference clock Updates on a card object,
// from drafts as a front end reads them: each refused command puts back only
// the settings the table says it sends; the rest is kept and reaches the card.
#include <QtTest>

#include "Card.h"
#include "LibraryBindings.h"
#include "OperationLog.h"
#include "Operations.h"
#include "ProgramState.h"
#include "QuietUi.h"
#include "SimJournal.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

const char* const kCard = "PXI1::13::INSTR";
const ViStatus kRefused = static_cast<ViStatus>(0xBFFC0806u);

class TestUpdates : public QObject {
    Q_OBJECT
    Card card;
    TSelectedCard selected;

    TChannelInfo& ch() { return card.channel(1); }

    // A fresh chassis and card, every channel at the program's defaults.
    void fresh() {
        nvsim_load_chassis(nullptr, nullptr, 0);
        ResetProgramState();
        card.clear();
        card.resetRecord();
        selected.Resource = kCard;
        QCOMPARE(OpenCard(selected, true), VI_SUCCESS);
        UseCard(card, selected.Session, kChannelCount);
        nvsim_journal_clear();
    }

private slots:
    void initTestCase() { QVERIFY(BindAllLibraries().ok()); }
    void cleanup() { CloseCard(selected); }

    // Each refused command of the waveform Update puts back only its own
    // settings; the page's kept settings stay and the output still goes on
    // when the card accepts it.
    void waveformUpdateRestoresOnlyWhatWasRefused_data() {
        QTest::addColumn<QString>("function");
        QTest::addColumn<int>("nth");
        QTest::addColumn<bool>("sweep");
        QTest::newRow("output off") << "nv815_SetInstrumentMode" << 1 << false;
        QTest::newRow("AM") << "nv815_SetAMMode" << 1 << false;
        QTest::newRow("signal") << "nv815_GenerateSignal" << 1 << false;
        QTest::newRow("sweep") << "nv815_GenerateSweep" << 1 << true;
        QTest::newRow("output on") << "nv815_SetInstrumentMode" << 2 << false;
        QTest::newRow("trigger") << "nv815_SetTriggerMode" << 1 << false;
    }
    void waveformUpdateRestoresOnlyWhatWasRefused() {
        QFETCH(QString, function);
        QFETCH(int, nth);
        QFETCH(bool, sweep);
        fresh();
        SetOutput(card, 1, true);
        const TChannelInfo before = DraftOf(ch());
        TChannelInfo page = before;
        TWaveSettings& p = page.Wave;
        p.SweepFlag = sweep;
        p.AMFlag = true;
        p.RepRate = 777;
        p.WaveType = 2;
        p.Symmetry = 25;
        p.StartF = 3;
        p.EndF = 4;
        p.SweepStep = 0.007;
        p.StepInterval = 2000;
        p.Arb.TextFlag = false;
        p.Arb.NormaliseFlag = true;
        page.TrigMode = 2;
        nvsim_fail(function.toLatin1(), kRefused, nth, 0, nullptr);
        QuietUi ui;
        ApplyWaveform(card, 1, page, false, ui);
        nvsim_clear_faults();

        const TWaveSettings& w = ch().Wave;
        const bool generateRefused = function.startsWith("nv815_Generate");
        const TChannelInfo& generator = generateRefused ? before : page;
        QCOMPARE(w.AMFlag, function != "nv815_SetAMMode");
        QCOMPARE(w.RepRate, 777.0);
        QVERIFY(!w.Arb.TextFlag && w.Arb.NormaliseFlag);
        QCOMPARE(w.WaveType, generator.Wave.WaveType);
        QCOMPARE(w.Symmetry, generator.Wave.Symmetry);
        QCOMPARE(w.StartF, generator.Wave.StartF);
        QCOMPARE(w.EndF, generator.Wave.EndF);
        QCOMPARE(w.SweepStep, generator.Wave.SweepStep);
        QCOMPARE(w.StepInterval, generator.Wave.StepInterval);
        QCOMPARE(w.SweepFlag, generator.Wave.SweepFlag);
        QCOMPARE(ch().TrigMode, function == "nv815_SetTriggerMode" ? 6 : 2);
        // Switching the output on again refused after it went off: off, as the card is.
        const bool on = !(function == "nv815_SetInstrumentMode" && nth == 2);
        QCOMPARE(ch().OutputOn, on);
        QCOMPARE(SimValue(kCard, 1, "outputOn"), on ? 1.0 : 0.0);
        QCOMPARE(card.accepted().Channel[1].Generated.has_value(), !generateRefused);
    }

    // Each refused command of the clock Update puts back only its own
    // settings; the other three are sent and kept. A refused multiplier
    // takes the pending one back with it, a refused mode the sweep flag.
    void clockUpdateRestoresOnlyWhatWasRefused_data() {
        QTest::addColumn<QString>("function");
        QTest::newRow("clock source") << "nv815_SetClockSource";
        QTest::newRow("counter step") << "nv815_SetCounterStep";
        QTest::newRow("clock mode") << "nv815_SetClockMode";
        QTest::newRow("FSK source") << "nv815_SetFSKSource";
        QTest::newRow("none") << "";
    }
    void clockUpdateRestoresOnlyWhatWasRefused() {
        QFETCH(QString, function);
        fresh();
        const TChannelInfo before = DraftOf(ch());
        TChannelInfo page = before;
        page.SweepMode = 2;
        page.ClkStartF = 1.5;
        page.ClkEndF = 3;
        page.ClkSweepStep = 0.01;
        page.ClkStepInterval = 0.5;
        page.Multiplier = card.pendingMultiplier(1) = 19;
        page.MemStep = 2;
        page.FSKSource = 4;
        if (!function.isEmpty())
            nvsim_fail(function.toLatin1(), kRefused, 0, 0, nullptr);
        QuietUi ui;
        QVERIFY(ApplyClock(card, 1, page, ui));
        nvsim_clear_faults();

        auto kept = [&](const char* refusedBy) { return function != QLatin1String(refusedBy); };
        const TChannelInfo& source = kept("nv815_SetClockSource") ? page : before;
        const TChannelInfo& step = kept("nv815_SetCounterStep") ? page : before;
        const TChannelInfo& mode = kept("nv815_SetClockMode") ? page : before;
        const TChannelInfo& fsk = kept("nv815_SetFSKSource") ? page : before;
        QCOMPARE(ch().Multiplier, source.Multiplier);
        QCOMPARE(card.pendingMultiplier(1), source.Multiplier);
        QCOMPARE(ch().MemStep, step.MemStep);
        QCOMPARE(ch().SweepMode, mode.SweepMode);
        QCOMPARE(ch().ClkStartF, mode.ClkStartF);
        QCOMPARE(ch().ClkEndF, mode.ClkEndF);
        QCOMPARE(ch().ClkSweepStep, mode.ClkSweepStep);
        QCOMPARE(ch().ClkStepInterval, mode.ClkStepInterval);
        QCOMPARE(ch().FSKSource, fsk.FSKSource);
        // Swept FSK sweeps the generator, unless the card refused the mode.
        QVERIFY(!before.Wave.SweepFlag);
        QCOMPARE(bool(ch().Wave.SweepFlag), kept("nv815_SetClockMode"));
        QCOMPARE(SimValue(kCard, 1, "multiplier"), double(source.Multiplier));
        QCOMPARE(SimValue(kCard, 1, "clockMode"), double(mode.SweepMode));
        // All four commands reached the driver, one channel selection before them.
        QCOMPARE(
            SimJournal().filter(QRegularExpression("^nv815_Set(Clock|Counter|FSKSource)")).size(),
            4);
    }

    // The trigger and the reference clock commit on success only.
    void triggerAndReferenceClockCommitOnSuccessOnly() {
        fresh();
        TChannelInfo page = DraftOf(ch());
        page.TrigSource = 9;
        page.TrigMode = 2;
        QCOMPARE(ApplyTrigger(card, 1, page), VI_SUCCESS);
        QCOMPARE(SimCalls("nv815_SetTriggerMode").last().section(", ", 1),
                 QString("9, 2) = 00000000"));
        nvsim_fail("nv815_SetTriggerMode", VI_ERROR_TMO, 0, 0, nullptr);
        page.TrigSource = 0;
        page.TrigMode = 6;
        QCOMPARE(ApplyTrigger(card, 1, page), VI_ERROR_TMO);
        QCOMPARE(ch().TrigSource, 9);
        QCOMPARE(ch().TrigMode, 2);

        QCOMPARE(SetReferenceClock(card, 1, true, 12.5), VI_SUCCESS);
        QVERIFY(card.record().DDSSourceExtFlag);
        nvsim_fail("nv815_SetClockSource", VI_ERROR_TMO, 0, 0, nullptr);
        QCOMPARE(SetReferenceClock(card, 1, false, 33), VI_ERROR_TMO);
        QVERIFY(card.record().DDSSourceExtFlag);
        QCOMPARE(card.record().ExtFreq, 12.5);
        QCOMPARE(card.accepted().Channel[1].ClockSource->ExtFreq, 12.5);
        nvsim_clear_faults();
    }
};

NV815_TEST_GUILESS_MAIN(TestUpdates)
} // namespace NV815_TEST_UNIT

#include "tst_updates.moc"
