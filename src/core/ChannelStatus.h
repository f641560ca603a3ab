// What a channel holds, in words, and which of an operator's pending
// settings the card does not hold yet: both read from what the card
// accepted (Accepted.h), never from the record.
#pragma once

#include <string>

#include "Accepted.h"
#include "Operations.h"

// A channel's place on the open card.
enum class ChannelPresence { NoCard, Absent, Present };

struct ChannelStatus {
    std::string line;     // short, for a strip: "1 on, 12dB, +1.50V, sine 1k"
    std::string sentence; // the same in full, every part named
    // Colour hint: the output is known to be on / known to be off.
    bool outputOn = false, outputOff = false;
};

ChannelStatus DescribeChannel(int channel, ChannelPresence presence, const TAcceptedChannel& a);

// A frequency in Hz with its unit prefix: 1000 -> "1 kHz", 2.5e6 -> "2.5 MHz".
std::string FrequencyWords(double hertz);
// The same briefly, to three significant digits: 1500 -> "1.5k", 9999999 -> "10M".
std::string BriefFrequency(double hertz);

// The waveform Update's settings the card does not hold yet. Only what the
// Update would send counts: the generator's settings for a generated
// waveform (the sweep's only when sweeping), the samples for a wave memory
// load.
struct WaveformUnsent {
    bool WaveType = false, Symmetry = false, Sweep = false, StartF = false, EndF = false,
         SweepStep = false, StepInterval = false, SweepMode = false, AM = false, Samples = false;
};
WaveformUnsent UnsentWaveform(const WaveformRequest& request, const TArbWave& samples,
                              const TAcceptedChannel& a);

struct TriggerUnsent {
    bool Source = false, Mode = false;
};
TriggerUnsent UnsentTrigger(const TriggerRequest& request, const TAcceptedChannel& a);

struct ClockUnsent {
    bool Multiplier = false, SweepMode = false, StartF = false, EndF = false, SweepStep = false,
         StepInterval = false, FSKSource = false, MemStep = false;
};
ClockUnsent UnsentClock(const ClockRequest& request, const TAcceptedChannel& a);

bool UnsentAttenuation(double dB, const TAcceptedChannel& a);
bool UnsentOffset(double volts, const TAcceptedChannel& a);
