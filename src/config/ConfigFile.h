// Saving the card record to a configuration file (INI text) and loading it
// back: one section for the card and three for each channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CardState.h"

// The largest configuration file read: anything larger is no configuration.
constexpr size_t kMaxConfigurationSize = 16 * 1024 * 1024;

// Saves every saved field of the record into the INI file at `path`. An
// existing file keeps every other line where it stands; it is replaced only
// by a complete new one. False (the old file untouched) when it could not be
// read or written, is no configuration text (too large, or holding a NUL
// byte), or a text value of the record holds a control character.
bool SaveConfiguration(const TCardInfo& card, const std::string& path);

// The text SaveConfiguration would write at `path` (for a save of several
// files at once); empty where it would refuse.
std::optional<std::string> SavedConfigurationText(const TCardInfo& card, const std::string& path);

// The text SaveConfiguration writes: the record's keys set in `existing`,
// every other line of it kept. Empty when `existing` holds a NUL byte or a
// text value of the record holds a control character (a line end would
// write keys of its own).
std::optional<std::string> ConfigurationText(const TCardInfo& card, const std::string& existing);

// Re-reads a channel's samples (1..3) after its keys were loaded.
using ReimportWave = std::function<void(int channel)>;

struct ConfigLoad {
    // Why nothing was loaded (the record unchanged), naming the file (from
    // LoadConfiguration); empty when it was loaded.
    std::string error;
    // The keys present but unreadable ("Section/Key"), which took their defaults.
    std::vector<std::string> unreadable;
    // The values beyond what the setting may hold, held at its limit
    // (HoldInRange): the record holds them as a front end can show and send them.
    std::vector<std::string> outOfRange;
};

// Loads the record from the INI file at `path`; a missing file reads as one
// without keys, so every field takes its default. A file that exists but
// cannot be read, is no regular file, is larger than kMaxConfigurationSize or
// holds a NUL byte is refused, and so is a load that runs out of memory: the
// record stays as it was. After each channel's keys, `reimport` runs for a
// channel whose ArbitraryFlag is set: WaveLength changes only through it, so
// it never exceeds the samples held. With duplicated keys the first counts.
ConfigLoad LoadConfiguration(TCardInfo& card, const std::string& path,
                             const ReimportWave& reimport);
ConfigLoad LoadConfigurationText(TCardInfo& card, const std::string& text,
                                 const ReimportWave& reimport);

// The card the configuration file at `path` names ([Card] Resource, which
// a load does not apply); empty when it names none or cannot be read.
std::string ConfigurationResource(const std::string& path);

// The value encodings. Reals: general notation, up to 15 significant digits,
// ASCII digits, sign and exponent, the locale's decimal separator, no group
// separator.
std::string ConfigReal(double value);
// Integers: decimal, or hexadecimal after "0x" / "0X"; false for anything else.
bool ParseConfigInteger(const std::string& text, int32_t& value);
// Reals as ConfigReal writes them (or in the locale's own digits); false for
// anything else or a value that is not finite. A value just beyond the
// largest double, as 15 digits round it, reads as the largest double.
bool ParseConfigReal(const std::string& text, double& value);
