// The operations without windows, against the simulated chassis: the record
// is committed or restored per command, and the picture of what the card
// accepted always matches the card, whichever call fails.
#include <QtTest>
#include <functional>

#include "ApplySettings.h"
#include "Card.h"
#include "CardInvariant.h"
#include "CardUse.h"
#include "Commands.h"
#include "Commit.h"
#include "DriverCalls.h"
#include "LibraryBindings.h"
#include "Operations.h"
#include "ProgramState.h"
#include "QuietUi.h"
#include "SettingRanges.h"
#include "TestRegistry.h"
#include "VISA_def_v2.h"

namespace NV815_TEST_UNIT {

const char* const kCard = "PXI1::13::INSTR";

// The card object the operations act on.
Card card;

// Every setting the picture holds equals the simulated card's; the first
// difference, or an empty text.
QString AcceptedDifference() {
    QString difference;
    for (int c = 1; c <= kChannelCount && difference.isEmpty(); ++c) {
        const TAcceptedChannel& a = card.accepted().Channel[c];
        auto expect = [&](const char* what, auto held, double card) {
            if (held && difference.isEmpty() && double(*held) != card)
                difference = QString("channel %1: %2 accepted %3, card %4")
                                 .arg(c)
                                 .arg(what)
                                 .arg(double(*held))
                                 .arg(card);
        };
        auto sim = [&](const char* field) { return SimValue(kCard, c, field); };
        auto part = [](const auto& setting, auto member) {
            return setting ? std::optional<double>((*setting).*member) : std::nullopt;
        };
        expect("output", a.OutputOn, sim("outputOn"));
        expect("attenuation", a.Attenuation, sim("attenuation"));
        expect("AM", a.AM, sim("amOn"));
        expect("FSK level", a.FSKHigh, sim("fskPin"));
        expect("FSK source", a.FSKSource, sim("fskSource"));
        expect("counter step", a.CounterStep, sim("counterStep"));
        expect("offset", part(a.Offset, &TOffsetSetting::Volts), sim("offset"));
        expect("offset power", part(a.Offset, &TOffsetSetting::PowerOn), sim("offsetApplied"));
        expect("trigger source", part(a.Trigger, &TTriggerSetting::Source), sim("triggerSource"));
        expect("trigger mode", part(a.Trigger, &TTriggerSetting::Mode), sim("triggerMode"));
        expect("multiplier", part(a.ClockSource, &TClockSourceSetting::Multiplier),
               sim("multiplier"));
        auto clock = [&](const char* key) {
            return a.ClockMode ? (*a.ClockMode)[Setting(key).index()] : std::nullopt;
        };
        expect("clock mode", clock("_Clock/SweepMode"), sim("clockMode"));
        expect("clock end", clock("_Clock/EndF"), sim("clockEnd"));
        if (const std::optional<TGeneratedWave>& g = a.Generated) {
            const bool sweep = g->value("_Wave/SweepFlag") == 1.0;
            expect("generator", std::optional<double>(sweep ? 2 : 1), sim("generator"));
            expect("wave type", g->value("_Wave/WaveType"), sim("waveType"));
            expect("start", g->value("_Wave/StartF"), sweep ? sim("sweepStart") : sim("frequency"));
        }
        if (a.Loaded) {
            expect("generator", std::optional<double>(3), sim("generator"));
            expect("wave length", part(a.Loaded, &TLoadedWave::Length), sim("waveLength"));
        }
    }
    return difference;
}

struct Operation {
    const char* name;
    std::function<void(QuietUi&)> run;
};

ViStatus OpenAndUse(TSelectedCard& selected, Card& into = card, const char* resource = kCard) {
    selected.Resource = resource;
    const ViStatus status = OpenCard(selected, true);
    if (status == VI_SUCCESS)
        UseCard(into, selected.Session, ReadChannelCount(selected.Session).value_or(kChannelCount));
    return status;
}

class TestCore : public QObject {
    Q_OBJECT
    TSelectedCard selected;

    void fresh() {
        nvsim_load_chassis(nullptr, nullptr, 0);
        ResetProgramState();
        card.clear();
        card.resetRecord();
        QCOMPARE(OpenAndUse(selected), VI_SUCCESS);
        TArbWave& arb = card.record().Channel[2].Wave.Arb;
        std::vector<double> samples(1024);
        for (int i = 0; i < 1024; ++i)
            samples[size_t(i)] = i % 101;
        arb.Data = samples;
        arb.WaveLength = 1024;
        nvsim_journal_clear();
    }

private slots:
    void initTestCase() { QVERIFY(BindAllLibraries().ok()); }

    // Taking a card into use: a card another card object has is refused with
    // nothing opened; the start-up calls' refusals are named; a file with a
    // problem sends nothing under AllOrNothing, and the other channels under
    // EachChannel.
    void takingACardAndApplyingAConfiguration() {
        fresh();
        CloseCard(selected); // the card free again
        card.clear();
        nvsim_journal_clear();
        Card first, second;
        nvsim_fail("nv815_SetAttenuation", ViStatus(0xBFFC0806u), 0, 2, nullptr);
        const TakenCard taken = TakeCard(first, kCard, {true, nullptr, true});
        nvsim_clear_faults();
        QVERIFY(taken.ok() && first.session() != 0);
        QCOMPARE(taken.unknownAttenuation, std::vector<int>{2});
        QCOMPARE(first.record().Resource, std::string(kCard));
        const int opens = nvsim_journal_count();
        const TakenCard refused = TakeCard(second, kCard, {});
        QVERIFY(refused.heldBy == &first && !refused.ok() && second.session() == 0);
        QCOMPARE(nvsim_journal_count(), opens); // nothing opened, nothing sent

        first.resetRecord(); // the window's defaults
        TChannelInfo& ch = first.channel(1);
        ch.ClkStartF = 2000;
        ch.ClkEndF = 1000; // a sweep ending below its start
        QuietUi ui;
        const std::vector<int> both = {1, 2};
        const auto problems = ApplyConfiguration(first, both, ui, ApplyRule::AllOrNothing);
        QVERIFY(problems.size() == 1 && problems[0].channel == 1);
        QCOMPARE(nvsim_journal_count(), opens);
        QVERIFY(ApplyConfiguration(first, both, ui, ApplyRule::EachChannel).empty());
        QCOMPARE(ui.messages.count(QString(kClockEndBeforeStart)), 1);
        QVERIFY(nvsim_journal_count() > opens); // the rest was sent
        first.close();
    }

    // A value beyond a setting's limits is held there, and said so; one
    // within them is only put at the setting's resolution.
    void settingsAreHeldWithinTheirLimits() {
        const struct {
            const char* key;
            double value, held;
            bool reported;
        } rows[] = {
            {"_Wave/Symmetry", 150, 100, true},
            {"_Wave/Symmetry", 33.4, 33, false},
            {"_Wave/StartF", 0.0004, 0.001, true},
            {"_Wave/StartF", 2.5005, 2.501, false},
            {"_Wave/Attenuation", 55, 40, true},
            {"_Wave/DCOffset", 9.5, 5, true},
            {"_Wave/DCOffset", -1.234, -1.23, false},
            {"_Wave/WaveType", 99, 2, true},
            {"_Clock/Multiplier", -20, 1, true},
            {"_Clock/Multiplier", 3, 4, true},
            {"_Clock/MemStep", 0, 1, true},
            {"_Clock/MemStep", 100, 64, true},
            {"_Clock/MemStep", 1 << 20, 262144, true},
            {"_Clock/SweepMode", 9, 3, true},
            {"_Clock/StepInterval", 0.0005, 0.001, true},
            {"_Clock/ExtFreq", 1e300, 10000, true},
            {"_Wave/SweepStep", 1e12, 2147483.647, true},
        };
        for (const auto& row : rows) {
            TCardInfo card;
            const SettingRange& r = Setting(row.key);
            for (const SettingRange& other : SettingRanges()) // everything else within limits
                for (int c = 1; c <= kChannelCount; ++c)
                    std::visit([&](auto* v) { *v = decltype(+*v)(other.minimum / other.scale); },
                               other.field(card, c));
            const int c = r.cardWide ? 3 : 2;
            std::visit([&](auto* v) { *v = decltype(+*v)(row.value); }, r.field(card, c));
            // Sent as it is, a value the table holds is refused before anything is sent.
            const std::string refused = ChannelSettingsProblem(card, c);
            QVERIFY2(refused.empty() != row.reported, refused.c_str());
            const std::vector<std::string> said = HoldInRange(card);
            const double held = std::visit([](auto* v) { return double(*v); }, r.field(card, c));
            const QString what = QString("%1 = %2: %3").arg(row.key).arg(row.value).arg(held);
            QVERIFY2(qFuzzyCompare(held, row.held), qPrintable(what));
            const std::string name = (r.cardWide ? "Channel3" : "Channel2") + std::string(row.key);
            QVERIFY2(said == (row.reported ? std::vector<std::string>{name}
                                           : std::vector<std::string>{}),
                     qPrintable(what));
        }
        QCOMPARE(SettingProblem(Setting("_Wave/Symmetry"), 150),
                 std::string("Symmetry in % must be from 0 to 100: 150 is not."));
        QCOMPARE(SettingProblem(Setting("_Clock/Multiplier"), 3),
                 std::string("Clock multiplier must be from 1 to 20 (1 or 4 to 20): 3 is not."));
        QCOMPARE(RangeDescription(Setting("_Wave/SweepStep")),
                 std::string("Sweep step in Hz, a whole number"));
        TCardInfo unknown;
        unknown.Channel[1].Wave.Attenuation = kNotKnown; // stays unknown, not held
        HoldInRange(unknown);
        QVERIFY(!IsKnown(unknown.Channel[1].Wave.Attenuation));
    }

    void commitKeepsOrPutsBack() {
        for (const ViStatus status : {ViStatus(VI_SUCCESS), ViStatus(0xBFFC0806u)}) {
            int mode = 1, source = 2; // two fields of one type
            double level = 3;
            std::string name = "old";
            int seen = 0;
            const ViStatus result = Commit(
                [&] {
                    seen = mode * 100 + source; // the command sees the new values
                    return status;
                },
                Set(mode, 7), Set(source, 8), Set(level, 9.5), Set(name, "new"));
            QCOMPARE(result, status);
            QCOMPARE(seen, 708);
            const bool kept = status == VI_SUCCESS;
            QCOMPARE(mode, kept ? 7 : 1);
            QCOMPARE(source, kept ? 8 : 2);
            QCOMPARE(level, kept ? 9.5 : 3.0);
            QCOMPARE(name, std::string(kept ? "new" : "old"));
        }
    }

    // Each operation with each of its calls failing in turn: the record and
    // the picture both match the card; a refusal never changes the picture.
    void everyCallOfEveryOperationFailsInTurn() {
        TChannelInfo sweep; // the drafts an operator's pages would give
        sweep.Wave.SweepFlag = true;
        sweep.Wave.WaveType = 2;
        sweep.Wave.StartF = 2;
        sweep.Wave.EndF = 5;
        sweep.Wave.SweepStep = 0.5;
        sweep.Wave.StepInterval = 1000;
        sweep.Wave.Arb.TextFlag = true;
        sweep.TrigSource = 3;
        sweep.TrigMode = 2;
        TChannelInfo arbitrary = sweep;
        arbitrary.Wave.ArbitraryFlag = true;
        TChannelInfo clock;
        clock.SweepMode = 2;
        clock.ClkEndF = 3;
        clock.Multiplier = 8;
        clock.MemStep = 16;
        clock.FSKSource = 4;
        const std::vector<Operation> operations = {
            {"output", [](QuietUi&) { SetOutput(card, 1, true); }},
            {"attenuation", [](QuietUi&) { SetAttenuation(card, 2, 25); }},
            {"offset", [](QuietUi&) { SetOffset(card, 1, -1.5); }},
            {"offset power", [](QuietUi&) { SetOffsetPower(card, 3, 2.25, true); }},
            {"fsk level", [](QuietUi&) { SetFskLevel(card, 1, true); }},
            {"sweep", [&](QuietUi& ui) { ApplyWaveform(card, 1, sweep, false, ui); }},
            {"arbitrary", [&](QuietUi& ui) { ApplyWaveform(card, 2, arbitrary, false, ui); }},
            {"clock", [&](QuietUi& ui) { ApplyClock(card, 3, clock, ui); }},
            {"reference clock", [](QuietUi&) { SetReferenceClock(card, 1, true, 25); }},
            {"memory test", [](QuietUi& ui) { TestChannelMemory(card, 2, ui); }},
            {"card again",
             [this](QuietUi&) {
                 CloseCard(selected);
                 OpenAndUse(selected);
             }},
        };
        int cases = 0;
        for (const Operation& op : operations) {
            fresh();
            QuietUi clean;
            op.run(clean);
            const QStringList calls = SimJournal();
            QVERIFY2(AcceptedDifference().isEmpty(), op.name);
            for (int k = 0; k < calls.size(); ++k) {
                const QString failing = calls[k].section('(', 0, 0);
                fresh();
                const TAcceptedCard before = card.accepted();
                nvsim_fail(failing.toLatin1(), ViStatus(0xBFFC0806u),
                           int(calls.mid(0, k + 1)
                                   .filter(QRegularExpression("^" + failing + "\\("))
                                   .size()),
                           0, nullptr);
                QuietUi ui;
                op.run(ui);
                nvsim_clear_faults();
                const QString where = QString("%1, %2 failing").arg(op.name, calls[k]);
                QVERIFY2(AcceptedDifference().isEmpty(),
                         qPrintable(where + ": " + AcceptedDifference()));
                InvariantOptions options;
                options.memStep[2] = !(QByteArray(op.name) == "arbitrary");
                options.outputMayShowOn = {true, true, true, true};
                QVERIFY2(
                    CardDifference(card.record(), kCard, 3, options).isEmpty(),
                    qPrintable(where + ": " + CardDifference(card.record(), kCard, 3, options)));
                // An operation that failed at its only command leaves the picture as it was.
                if (calls.size() == 1)
                    QVERIFY2(card.accepted() == before, qPrintable(where));
                ++cases;
            }
        }
        qInfo("%d failing calls over %d operations", cases, int(operations.size()));
    }

    void aLoadedWaveformIsKnownByItsChecksum() {
        fresh();
        TChannelInfo r = DraftOf(card.channel(2));
        r.Wave.ArbitraryFlag = true;
        QuietUi ui;
        ApplyWaveform(card, 2, r, false, ui);
        const std::vector<double> samples = card.record().Channel[2].Wave.Arb.Data;
        const TLoadedWave expected{1024, WaveChecksum(samples.data(), 1024)};
        QCOMPARE(card.accepted().Channel[2].Loaded, std::optional<TLoadedWave>(expected));
        // A changed, moved, added or dropped sample gives another checksum.
        auto sum = [](std::vector<double> v) { return WaveChecksum(v.data(), int(v.size())); };
        std::vector<double> changed = samples, moved = samples, added = samples;
        changed[700] += 1e-9;
        std::swap(moved[1], moved[5]);
        added.push_back(0.0);
        for (const auto& other :
             {changed, moved, added, std::vector<double>(samples.begin() + 1, samples.end())})
            QVERIFY(sum(other) != expected.Checksum);
        QVERIFY(!card.accepted().Channel[2].Generated);
        QVERIFY(ui.messages.isEmpty());
    }

    // Every driver call of the session is kept from its opening, loads of
    // equal samples share one copy, and beyond the limit a session can no
    // longer be replayed; closing the card forgets it.
    void theSessionsCallsAreKept() {
        fresh();
        SetSessionSampleLimit(2 * 1024 * sizeof(double));
        TChannelInfo& ch = card.record().Channel[2];
        QuietUi ui;
        for (double first : {1.0, 1.0, 2.0, 3.0}) { // A, A again, B, C
            std::vector<double> samples = ch.Wave.Arb.Data;
            samples[0] = first;
            ch.Wave.Arb.Data = samples;
            QCOMPARE(LoadWaveform(card, 2, ui), VI_SUCCESS);
            QCOMPARE(SessionComplete(card.session()), first < 3);
        }
        const std::vector<DriverCall> calls = SessionCalls(card.session());
        QCOMPARE(calls.front().function, std::string("nv815_init"));
        std::vector<const SampleSnapshot*> loads;
        for (const DriverCall& c : calls)
            if (c.function == "nv815_LoadArbitraryWaveform")
                loads.push_back(c.samples.get());
        QCOMPARE(int(loads.size()), 4);
        QVERIFY(loads[0] && loads[0] == loads[1] && loads[2] && loads[2] != loads[0]);
        QVERIFY(!loads[3]); // beyond the limit: the call without its samples
        QCOMPARE(loads[2]->samples[0], 2.0);
        CloseCard(selected);
        QVERIFY(SessionCalls(selected.Session).empty() && SessionCalls(card.session()).empty());
    }

    void anEndBelowTheStartSendsNothing() {
        fresh();
        const TCardInfo before = card.record();
        TChannelInfo r = DraftOf(card.channel(1));
        r.ClkStartF = 2;
        r.ClkEndF = 1;
        QuietUi ui;
        QVERIFY(!ApplyClock(card, 1, r, ui));
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(nvsim_journal_count(), 0);
        QVERIFY(card.record() == before);
    }

    // Two card objects on two simulated cards: each sends on its own session,
    // selects its own channels and tells only its own subscribers.
    void twoCardsShareNothing() {
        fresh();
        Card other;
        TSelectedCard otherSelected;
        QCOMPARE(OpenAndUse(otherSelected, other, "PXI1::14::INSTR"), VI_SUCCESS);
        QStringList toldFirst, toldOther;
        const int k1 = card.link().addObserver(
            [&](const CommandOutcome& o) { toldFirst << QString::fromStdString(o.title); });
        const int k2 = other.link().addObserver(
            [&](const CommandOutcome& o) { toldOther << QString::fromStdString(o.title); });
        nvsim_journal_clear();
        SetAttenuation(card, 2, 5);
        SetAttenuation(other, 1, 7); // a two-channel card: channel 2 was its last selected
        SetOutput(card, 3, true);
        card.link().removeObserver(k1);
        other.link().removeObserver(k2);

        const auto on = [](ViSession s) {
            return SimJournal().filter(QRegularExpression(QString("^\\w+\\(%1[,)]").arg(s)));
        };
        const QStringList first = on(card.session()), second = on(other.session());
        QCOMPARE(first.size() + second.size(), nvsim_journal_count());
        QCOMPARE(first.size(), 4);  // channel 2, attenuation, channel 3, output
        QCOMPARE(second.size(), 2); // its own selection of channel 1, attenuation
        QVERIFY(second[0].startsWith("nv815_SetActiveChannel("));
        QCOMPARE(toldFirst.size(), 4);
        QCOMPARE(toldOther.size(), 2);
        QCOMPARE(SimValue(kCard, 2, "attenuation"), 5.0);
        QCOMPARE(SimValue("PXI1::14::INSTR", 1, "attenuation"), 7.0);
        QCOMPARE(SimValue(kCard, 1, "attenuation"), 10.0);
        QCOMPARE(card.accepted().Channel[2].Attenuation, std::optional<double>(5.0));
        QCOMPARE(other.accepted().Channel[1].Attenuation, std::optional<double>(7.0));
        QCOMPARE(card.accepted().Channel[1].Attenuation, std::optional<double>(10.0));
        QVERIFY(!other.accepted().Channel[3].OutputOn.value_or(false));
        QCOMPARE(other.record().Channel[3].OutputOn, false);
        CloseCard(otherSelected);
    }

    void openingClosingAndResetForgetTheCard() {
        fresh();
        SetAttenuation(card, 1, 33);
        QVERIFY(card.accepted().Channel[1].Attenuation == 33.0);
        CloseCard(selected);
        QCOMPARE(OpenAndUse(selected), VI_SUCCESS); // the same card again: nothing kept
        QCOMPARE(card.accepted().Channel[1].Attenuation, std::optional<double>(10.0));
        QVERIFY(!card.accepted().Channel[1].Trigger);
        card.useSession(card.session());
        QVERIFY(card.accepted() == TAcceptedCard{});

        SetAttenuation(card, 1, 20);
        card.clear();
        ResetProgramState();
        QVERIFY(card.record() == TCardInfo{});
        QVERIFY(card.accepted() == TAcceptedCard{});
        QCOMPARE(card.session(), ViSession(0));
        QCOMPARE(DefaultRM, ViSession(0));
        QCOMPARE(card.link().selectedChannel(), 0);
        QCOMPARE(card.pendingMultiplier(1), 0);
    }
};

NV815_TEST_GUILESS_MAIN(TestCore)
} // namespace NV815_TEST_UNIT

#include "tst_core.moc"
