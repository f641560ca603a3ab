// The card object: the record's defaults and its subscribers.
#include <QtTest>

#include <array>
#include <cmath>
#include <functional>

#include "Card.h"
#include "SettingRanges.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

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
            // Every setting of the table away from its default.
            for (const SettingRange& r : SettingRanges())
                if (!r.cardWide && !std::isnan(r.recordDefault))
                    r.set(ch, r.recordDefault == r.maximum / r.scale ? r.minimum / r.scale
                                                                     : r.maximum / r.scale);
        }
        card.link().channelSelected(2);
        Counting first, second;
        first.onReset = [&] {
            QCOMPARE(CardInfo.Channel[1].Wave.Symmetry, 50.0); // told last
        };
        card.subscribe(first);
        card.subscribe(second);
        card.subscribe(first); // once is enough

        std::array<std::array<double, kSettingCount>, kChannelCount + 1> held{};
        for (int c = 1; c <= kChannelCount; ++c)
            for (const SettingRange& r : SettingRanges())
                if (!r.cardWide)
                    held[c][r.index()] = r.get(CardInfo.Channel[c]);
        card.resetRecord();

        QCOMPARE(first.resets, 1);
        QCOMPARE(second.resets, 1);
        QCOMPARE(card.link().selectedChannel(), 0);
        QCOMPARE(CardInfo.Resource, std::string());
        QCOMPARE(CardInfo.DDSSourceExtFlag, false);
        QCOMPARE(CardInfo.ExtFreq, 10.0);
        for (int c = 1; c <= kChannelCount; ++c) {
            TChannelInfo& ch = CardInfo.Channel[c];
            // Each setting of the table at its own default; those without
            // one (the offset) keep what they held.
            for (const SettingRange& r : SettingRanges())
                if (!r.cardWide)
                    QCOMPARE(r.get(ch),
                             std::isnan(r.recordDefault) ? held[c][r.index()] : r.recordDefault);
            QCOMPARE(ch.Wave.OffsetOn, true);
            // And what the table does not hold.
            QCOMPARE(ch.OutputOn, false);
            QCOMPARE(ch.FSKHigh, false);
            QCOMPARE(ch.Wave.Arb.ArbFile, std::string());
            QCOMPARE(ch.Wave.Arb.WaveLength, 0);
            QCOMPARE(card.pendingMultiplier(c), 20);
            QCOMPARE(ch.Wave.RepRate, 5.0); // kept, with the samples
            QCOMPARE(ch.Wave.Arb.Data.size(), size_t(3));
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
} // namespace NV815_TEST_UNIT

#include "tst_card.moc"
