// One step of an operation, written once for every setting the settings
// table says it sends: the step's settings are copied from a draft into the
// card's record, its command is sent, and when the card refuses it every one
// of them gets back the value it held; what the card accepted goes into its
// picture.
#pragma once

#include <initializer_list>
#include <string>

#include "Card.h"
#include "SettingRanges.h"

// `manual`: a generated sweep the operator steps with the FSK buttons.
ViStatus CommitStep(Card& card, int channel, const TChannelInfo& draft, Step step,
                    bool manual = false);

// The card accepted the command of `step` with the record's values: its
// picture says so (a generator's also forgets a loaded waveform).
void NoteAccepted(Card& card, int channel, Step step, bool manual = false);

// The settings `step` sends or keeps, copied from the draft into the record;
// nothing is sent.
void KeepStep(Card& card, int channel, const TChannelInfo& draft, Step step);

// One setting changed alone, as a remote client changes it (`value` in the
// record's unit): only its own command is sent, with the channel's other
// settings of that command as the card last accepted them (the record's
// where it accepted none); nothing is sent for a value the table refuses
// (its words returned in `problem`). The attenuation and the offset go
// through their own operations; a flag the Update only keeps is kept. A
// generated waveform the card accepts is what the channel plays: the
// record's ArbitraryFlag goes off.
ViStatus ApplySetting(Card& card, int channel, const SettingRange& setting, double value,
                      std::string& problem);

// The channel's record with the settings of each step's command as the card
// last accepted them (a draft for a change of one of them).
TChannelInfo AcceptedDraft(Card& card, int channel, std::initializer_list<Step> steps);

// The generated waveform the card last accepted sent again, swept
// automatically or stepped by the operator (`manual`); the record's where
// the card accepted none.
ViStatus SetSweepManual(Card& card, int channel, bool manual);

// What the card accepted of a setting, from the card's picture; nothing when
// it never accepted one (or the setting is one the Update only keeps). The
// reference clock is the one the channel's clock source was sent with, the
// offset the volts the channel accepted (whatever its power).
std::optional<double> AcceptedValue(const TAcceptedChannel& a, const SettingRange& setting);
