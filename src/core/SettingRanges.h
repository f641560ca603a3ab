// The table of settings: every setting a front end can change, written once
// below every front end: the record field, its unit, its limits and
// resolution as the operator sees them, how a value beyond them is held, its
// configuration key and the value a file without it loads, the operation
// that sends it to the card, and what it is in words. The window's controls
// take their ranges and tooltips from here, the configuration file its keys;
// a loaded configuration is held by it before the window shows it or the
// command line sends it, so both send the same; the operations refuse a
// value beyond it (SettingProblem).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "CardState.h"
#include "Commands.h"

// How a value beyond the limits, or between the values allowed, is held.
enum class Hold {
    Clamp,      // to the nearer limit, then to the resolution
    Multiplier, // 1 or 4 to 20: 2 and 3 become 4
    PowerOfTwo, // the nearest power of two within the limits, not above the value
};

using SettingField = std::variant<double*, int32_t*, uint32_t*, bool*>;

// How many settings the table holds.
constexpr size_t kSettingCount = 25;

// The driver command that sends a setting, and the operation it is part of
// (Operations.h).
enum class Step {
    Kept,           // the waveform Update keeps it in the record; nothing sends it
    AM,             // the waveform Update: AM mode
    Generator,      // the waveform Update: the generated waveform
    Sweep,          // the waveform Update: the generated waveform, when it sweeps
    Trigger,        // the trigger Update (and the waveform Update after it)
    ClockSource,    // the clock Update: clock source and multiplier
    CounterStep,    // the clock Update: the wave memory counter step
    ClockMode,      // the clock Update: the clock's sweep
    FSKSource,      // the clock Update: the FSK source
    ReferenceClock, // the DDS reference clock (and the clock source of every Update)
    Attenuation,    // Set attenuation
    Offset,         // Set offset, offset power
};

struct SettingRange {
    // The setting's name, as a configuration names it: a channel section's
    // suffix and the key ("_Wave/Symmetry"). A setting of the whole card is
    // kept in every channel's section, the last one counting.
    const char* key;
    const char* unit; // as shown
    // Limits in the shown unit. An unbounded field's limits are what its
    // control can hold (whole hertz in 32 bits).
    double minimum, maximum;
    bool bounded;
    double resolution; // in the shown unit: 1 for whole numbers, 0.01 V
    double scale;      // shown units per record unit: 1000 Hz per kHz
    Hold hold;
    SettingField (*field)(TCardInfo& card, int channel);
    // The same field of one channel's settings (a draft); null for a setting
    // of the whole card.
    SettingField (*inChannel)(TChannelInfo& channel);
    bool cardWide;
    // The command that sends it, and the step (if any) that keeps it in the
    // record beside its own settings without sending it (the waveform Update
    // keeps the FSK source it shows).
    Step step, keptWith;
    // Its place among a channel's keys when a configuration is saved, and
    // when one is loaded; and the value it loads when the file lacks it.
    int saveOrder, loadOrder;
    double fileDefault;
    // The record's own default, in the record's unit; NaN for a setting the
    // record keeps when it takes its defaults (the offset).
    double recordDefault;
    // What it is, for tooltips and messages ("Sweep step in Hz"); empty for a
    // setting that shows no number.
    const char* description;

    // The configuration's section suffix ("_Wave") and key ("Symmetry").
    std::string section() const;
    std::string name() const;
    // Its place in the table.
    size_t index() const;
    // The value of the field as a number (a flag is 0 or 1), and set from one.
    double get(TChannelInfo& channel) const;
    void set(TChannelInfo& channel, double value) const;
    // The limits as a control shows them, in whole steps of its resolution.
    int controlMinimum() const;
    int controlMaximum() const;
};

std::span<const SettingRange> SettingRanges();

// One value per setting of the table, where there is one.
using SettingValues = std::array<std::optional<double>, kSettingCount>;
using SettingFlags = std::array<bool, kSettingCount>;

// A channel's settings without its samples: what a front end reads its
// controls into before an operation takes them (no copy of the samples).
TChannelInfo DraftOf(TChannelInfo& channel);

// Sends the command of `step` with the record's values (manual: a sweep the
// operator steps with the FSK buttons); the driver's status.
ViStatus SendStep(Step step, CommandLink& link, const TCardInfo& card, int channel, bool manual);
// The row of `key`; the program's own keys only (a wrong key is a fault).
const SettingRange& Setting(std::string_view key);

// `shown` (in the shown unit) rounded to the setting's resolution, as an
// instrument rounds what it is sent; its limits are not applied.
double AtResolution(const SettingRange& setting, double shown);

// Why `shown` (in the shown unit) cannot be sent for the setting: "Symmetry in %
// must be from 0 to 100: 150 is not." and the like; empty when it can.
std::string SettingProblem(const SettingRange& setting, double shown);

// "Symmetry in %, 0 to 100" or, unbounded, "Sweep step in Hz, a whole number".
std::string RangeDescription(const SettingRange& setting);

// A setting's names in remote control (SCPI): its headers ('|' between two
// names of one setting; # the channel), the unit a number is sent in and how
// many of the setting's shown units one of it is, and the words that stand for
// its values in order ('|' between them; empty: a number, or ON|OFF for a flag).
struct ScpiName {
    const SettingRange* setting;
    const char* headers;
    const char* unit;
    double shownPerUnit;
    const char* words;
};
std::span<const ScpiName> ScpiNames();

// Gives every field of the record its default: the table's settings theirs,
// the card's name, the waveform file and its length empty, every output and
// FSK level off. The offset, its power, the repetition rate and the samples
// keep what they hold.
void InitCardInfoRecord(TCardInfo& card);

// Holds every setting of the record within its limits and at its
// resolution; a setting not known (a NaN attenuation) stays unknown.
// Returns the names of the values that were beyond their limits, as a
// configuration names them ("Channel1_Wave/Symmetry"; a setting of the whole
// card by the last channel's section, "Channel3_Clock/ExtFreq").
std::vector<std::string> HoldInRange(TCardInfo& card);
