// What a channel holds, in words, and which of an operator's pending
// settings the card does not hold yet: both read from what the card
// accepted (Accepted.h), never from the record.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

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

// A strip's line as it may be shortened, longest first: whole; the
// waveform's name left out (its numbers kept); then whole parts left out
// from the end behind an ellipsis ("1 on, 14dB, …"). A number is never cut.
std::vector<std::string> ShorterLines(const std::string& line);

// A frequency in Hz with its unit prefix: 1000 -> "1 kHz", 2.5e6 -> "2.5 MHz".
std::string FrequencyWords(double hertz);
// The same briefly, to three significant digits: 1500 -> "1.5k", 9999999 -> "10M".
std::string BriefFrequency(double hertz);

// The waveform Update's settings the card does not hold yet, by the settings
// table's rows. Only what the Update would send counts: the AM mode, the
// generator's settings for a generated waveform (the sweep's only when
// sweeping), the samples for a wave memory load.
struct WaveformUnsent {
    SettingFlags Setting{};
    bool Manual = false;  // automatic or manual stepping of a sweep
    bool Samples = false; // the samples of a wave memory load
};
WaveformUnsent UnsentWaveform(const TChannelInfo& draft, bool manual, const TArbWave& samples,
                              const TAcceptedChannel& a);

// The settings the commands of `steps` send that the card does not hold as
// the draft has them (the trigger Update's, the clock Update's).
SettingFlags UnsentSettings(const TChannelInfo& draft, std::initializer_list<Step> steps,
                            const TAcceptedChannel& a);

bool UnsentAttenuation(double dB, const TAcceptedChannel& a);
bool UnsentOffset(double volts, const TAcceptedChannel& a);
