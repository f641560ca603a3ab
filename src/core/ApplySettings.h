// A channel's settings from the record sent to the card as its buttons would
// send them: what applying a configuration does, from the window or the
// command line.
#pragma once

#include <string>
#include <vector>

#include "Operations.h"

// Why the channel's settings cannot be sent as they are, in the words the
// window would use, or empty: a value beyond the settings table's limits, a
// clock sweep that ends below its start, an
// arbitrary waveform whose length is not a power of two up to the wave
// memory, or longer than the samples held. Sends nothing.
std::string ChannelSettingsProblem(const TCardInfo& card, int channel);

// Sends channel `channel` of the record, in this order: the clock (as the
// clock Update), the waveform (as the waveform Update: output off, AM, the
// generated waveform or the samples, output on, the trigger), the attenuation
// (as Set) and the offset (the record holds no power state: a DCOffset other
// than 0 is sent with the power on, 0 with it off). A sweep runs automatically.
// Each refusal restores what it concerns, as the buttons do.
void ApplyChannel(Card& card, int channel, OperatorUi& ui);

// What applying a configuration does with a channel whose settings cannot
// be sent as they are.
enum class ApplyRule {
    // The window's: each channel sent as its buttons would send it, the
    // refusal said by the operation itself (the clock's box), the rest sent.
    EachChannel,
    // The command line's and a client's: nothing is sent while any channel
    // listed has a problem.
    AllOrNothing,
};

struct ChannelProblem {
    int channel;
    std::string text;
};

// Each listed channel's problem (ChannelSettingsProblem), in order.
std::vector<ChannelProblem> ConfigurationProblems(const TCardInfo& record,
                                                  const std::vector<int>& channels);

// Applies the record's `channels` in order (ApplyChannel), the operator
// interface told which channel each is; under AllOrNothing, nothing when
// any has a problem, which is returned.
std::vector<ChannelProblem> ApplyConfiguration(Card& card, const std::vector<int>& channels,
                                               OperatorUi& ui, ApplyRule rule);
