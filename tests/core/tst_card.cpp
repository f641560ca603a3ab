// Defaults of the card record.
#include <QtTest>

#include "CardState.h"
#include "Commands.h"

class TestCardState : public QObject {
    Q_OBJECT
private slots:
    void defaultsForEveryChannel() {
        // Scribble over the record first, as a long session would.
        CardInfo.Resource = "PXI1::13::INSTR";
        CardInfo.DDSSourceExtFlag = true;
        CardInfo.ExtFreq = 33;
        for (int c = 1; c <= kChannelCount; ++c) {
            TChannelInfo& ch = CardInfo.Channel[c];
            ch = TChannelInfo{};
            ch.OutputOn = ch.FSKHigh = true;
            ch.FSKSource = ch.TrigSource = ch.SweepMode = 3;
            ch.TrigMode = ch.Multiplier = 9;
            ch.MemStep = 64;
            ch.ClkStartF = ch.ClkEndF = ch.ClkSweepStep = ch.ClkStepInterval = 7;
            ch.Wave.ArbitraryFlag = ch.Wave.AMFlag = ch.Wave.SweepFlag = true;
            ch.Wave.Attenuation = 10;
            ch.Wave.WaveType = 2;
            ch.Wave.Symmetry = ch.Wave.StartF = ch.Wave.EndF = 9;
            ch.Wave.SweepStep = ch.Wave.StepInterval = 9;
            ch.Wave.Arb.ArbFile = "wave.txt";
            ch.Wave.Arb.TextFlag = false;
            ch.Wave.Arb.NormaliseFlag = true;
            ch.Wave.Arb.WaveLength = 3;
            ch.Wave.Arb.Data = {1, 2, 3};
            ch.Wave.RepRate = 5;
            ch.Wave.DCOffset = 1.5;
            ch.Wave.OffsetOn = true;
            PendingMultiplier[c] = 4;
        }
        ActiveChannel = 2;
        int refreshed = 0;
        SetCardInfoRefreshHook([&] {
            ++refreshed;
            QCOMPARE(CardInfo.Channel[1].Wave.Symmetry, 50.0); // refresh comes last
        });

        InitCardInfoRecord();

        QCOMPARE(refreshed, 1);
        QCOMPARE(ActiveChannel, 0);
        QCOMPARE(CardInfo.Resource, std::string());
        QCOMPARE(CardInfo.DDSSourceExtFlag, false);
        QCOMPARE(CardInfo.ExtFreq, 10.0);
        for (int c = 1; c <= kChannelCount; ++c) {
            const TChannelInfo& ch = CardInfo.Channel[c];
            QCOMPARE(ch.OutputOn, false);
            QCOMPARE(ch.FSKHigh, false);
            QCOMPARE(ch.FSKSource, 0);
            QCOMPARE(ch.TrigSource, 0);
            QCOMPARE(ch.TrigMode, 6);
            QCOMPARE(ch.Multiplier, 20);
            QCOMPARE(ch.SweepMode, 0);
            QCOMPARE(ch.ClkStartF, 1.0);
            QCOMPARE(ch.ClkEndF, 1.0);
            QCOMPARE(ch.ClkSweepStep, 0.001);
            QCOMPARE(ch.ClkStepInterval, 1.0);
            QCOMPARE(ch.MemStep, 1u);
            const TWaveSettings& w = ch.Wave;
            QCOMPARE(w.ArbitraryFlag, false);
            QCOMPARE(w.AMFlag, false);
            QCOMPARE(w.SweepFlag, false);
            QCOMPARE(w.Attenuation, 0.0);
            QCOMPARE(w.WaveType, 0);
            QCOMPARE(w.Symmetry, 50.0);
            QCOMPARE(w.StartF, 1.0);
            QCOMPARE(w.EndF, 1.0);
            QCOMPARE(w.SweepStep, 0.001);
            QCOMPARE(w.StepInterval, 1.0);
            QCOMPARE(w.Arb.ArbFile, std::string());
            QCOMPARE(w.Arb.TextFlag, true);
            QCOMPARE(w.Arb.NormaliseFlag, false);
            QCOMPARE(w.Arb.WaveLength, 0);
            QCOMPARE(PendingMultiplier[c], 20);
            // Fields without a default keep what they held.
            QCOMPARE(w.DCOffset, 1.5);
            QCOMPARE(w.OffsetOn, true);
            QCOMPARE(w.RepRate, 5.0);
            QCOMPARE(w.Arb.Data.size(), size_t(3));
        }
        SetCardInfoRefreshHook({});
    }

    void zeroFilledBeforeDefaults() {
        // A fresh record is all zero, as the program's global is before start-up.
        TChannelInfo fresh;
        QCOMPARE(fresh.Multiplier, 0);
        QCOMPARE(fresh.Wave.Symmetry, 0.0);
        QCOMPARE(fresh.Wave.Arb.TextFlag, false);
        QCOMPARE(Session, 0u);
    }
};

QTEST_GUILESS_MAIN(TestCardState)
#include "tst_cardstate.moc"
