// The invariant every action keeps: for each field a command sets, the
// record holds what the simulated card last accepted. Returns the first
// difference, or an empty text.
#pragma once

#include <QString>
#include <QVariant>
#include <array>

#include "CardState.h"
#include "SimJournal.h"

struct InvariantOptions {
    // Per channel 1..3: false after a wave memory load whose counter step was
    // refused (the record keeps the new step, as specified).
    std::array<bool, 4> memStep{true, true, true, true};
    bool fskSource = false; // only the clock Update sends it
    bool waveform = false;  // right after a waveform Update: the generated waveform too
    // Per channel 1..3: the output may show on while the card's is off (a
    // switch-off refused when the card was selected: it may be live).
    std::array<bool, 4> outputMayShowOn{};
    // Per channel 1..3: false while the record's attenuation came from a file.
    std::array<bool, 4> attenuation{true, true, true, true};
};

inline QString CardDifference(const TCardInfo& record, const QByteArray& resource, int channels,
                              const InvariantOptions& options = {}) {
    QString difference;
    auto expect = [&](int c, const char* what, double record, double card) {
        if (difference.isEmpty() && record != card)
            difference = QString("channel %1: %2 is %3 in the record, %4 on the card")
                             .arg(c)
                             .arg(what)
                             .arg(record)
                             .arg(card);
    };
    for (int c = 1; c <= channels; ++c) {
        auto sim = [&](const char* field) { return SimValue(resource, c, field); };
        const TChannelInfo& r = record.Channel[c];
        if (!(options.outputMayShowOn[c] && r.OutputOn))
            expect(c, "output", r.OutputOn, sim("outputOn"));
        if (IsKnown(r.Wave.Attenuation) && options.attenuation[c]) // not known: no other card's
            expect(c, "attenuation", r.Wave.Attenuation, sim("attenuation"));
        expect(c, "offset in force", r.Wave.OffsetOn ? r.Wave.DCOffset : 0.0,
               sim("offsetApplied") ? sim("offset") : 0.0);
        expect(c, "AM", r.Wave.AMFlag, sim("amOn"));
        expect(c, "FSK level", r.FSKHigh, sim("fskPin"));
        expect(c, "trigger source", r.TrigSource, sim("triggerSource"));
        expect(c, "trigger mode", r.TrigMode, sim("triggerMode"));
        expect(c, "multiplier", r.Multiplier, sim("multiplier"));
        expect(c, "clock mode", r.SweepMode, sim("clockMode"));
        expect(c, "clock start", r.ClkStartF, sim("clockStart"));
        expect(c, "clock end", r.ClkEndF, sim("clockEnd"));
        expect(c, "clock step", r.ClkSweepStep, sim("clockStep"));
        expect(c, "clock step interval", r.ClkStepInterval, sim("clockStepInterval"));
        if (options.memStep[c])
            expect(c, "counter step", r.MemStep, sim("counterStep"));
        if (options.fskSource)
            expect(c, "FSK source", r.FSKSource, sim("fskSource"));
        if (options.waveform && !r.Wave.ArbitraryFlag && sim("generator") != 0) {
            expect(c, "sweeping", r.Wave.SweepFlag, sim("generator") == 2);
            expect(c, "wave type", r.Wave.WaveType, sim("waveType"));
            expect(c, "symmetry", r.Wave.Symmetry, sim("symmetry"));
            expect(c, "start frequency", r.Wave.StartF,
                   r.Wave.SweepFlag ? sim("sweepStart") : sim("frequency"));
        }
    }
    return difference;
}
