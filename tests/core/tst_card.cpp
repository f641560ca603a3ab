// The card object: the record's defaults and its subscribers.
#include <QtTest>

#include <functional>

#include "Card.h"
#include "TestRegistry.h"

namespace {
// Counts what it is told.
struct Counting : CardSubscriber {
    std::function<void()> onReset;
    int resets = 0;
    QStringList commands;
    void recordReset() override {
        ++resets;
        if (onReset)
            onReset();
    }
    void commandReported(const CommandOutcome& o) override {
        commands << QString::fromStdString(o.title);
    }
};
} // namespace

class TestCard : public QObject {
    Q_OBJECT
    Card card;
private slots:
    void defaultsForEveryChannel() {
        TCardInfo& CardInfo = card.record();
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
            card.pendingMultiplier(c) = 4;
        }
        card.link().channelSelected(2);
        Counting first, second;
        first.onReset = [&] {
            QCOMPARE(CardInfo.Channel[1].Wave.Symmetry, 50.0); // told last
        };
        card.subscribe(first);
        card.subscribe(second);
        card.subscribe(first); // once is enough

        card.resetRecord();

        QCOMPARE(first.resets, 1);
        QCOMPARE(second.resets, 1);
        QCOMPARE(card.link().selectedChannel(), 0);
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
            QCOMPARE(card.pendingMultiplier(c), 20);
            // Fields without a default keep what they held.
            QCOMPARE(w.DCOffset, 1.5);
            QCOMPARE(w.OffsetOn, true);
            QCOMPARE(w.RepRate, 5.0);
            QCOMPARE(w.Arb.Data.size(), size_t(3));
        }
        card.unsubscribe(first);
        card.resetRecord();
        QCOMPARE(first.resets, 1);
        QCOMPARE(second.resets, 2);
        card.unsubscribe(second);
    }

    void zeroFilledBeforeDefaults() {
        // A fresh record is all zero until the card sets its defaults.
        TChannelInfo fresh;
        QCOMPARE(fresh.Multiplier, 0);
        QCOMPARE(fresh.Wave.Symmetry, 0.0);
        QCOMPARE(fresh.Wave.Arb.TextFlag, false);
        QCOMPARE(Card().session(), 0u);
    }
};

NV815_TEST_GUILESS_MAIN(TestCard)
#include "tst_card.moc"
