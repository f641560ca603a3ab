// One step of an operation, written once for every setting the settings
// table says it sends: the step's settings are copied from a draft into the
// card's record, its command is sent, and when the card refuses it every one
// of them gets back the value it held; what the card accepted goes into its
// picture.
#pragma once

#include "Card.h"
#include "SettingRanges.h"

// `manual`: a generated sweep the operator steps with the FSK buttons.
ViStatus CommitStep(Card& card, int channel, const TChannelInfo& draft, Step step,
                    bool manual = false);

// The settings `step` sends or keeps, copied from the draft into the record;
// nothing is sent.
void KeepStep(Card& card, int channel, const TChannelInfo& draft, Step step);

// What the card accepted of a setting, from the card's picture; nothing when
// it never accepted one (or the setting is of no step the picture keeps).
std::optional<double> AcceptedValue(const TAcceptedChannel& a, const SettingRange& setting);
