// Saving the card record to a configuration file (INI text) and loading it
// back: one section for the card and three for each channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CardState.h"

// Saves every saved field of the record into the INI file at `path`, keeping
// the file's other sections and keys. The file is replaced only by a complete
// new one; false (the old file untouched) when it could not be read or written.
bool SaveConfiguration(const TCardInfo& card, const std::string& path);

// The text SaveConfiguration writes: the record over `existing` INI text.
std::string ConfigurationText(const TCardInfo& card, const std::string& existing);

// Re-reads a channel's samples (1..3) after its keys were loaded.
using ReimportWave = std::function<void(int channel)>;

// Loads the record from the INI file at `path`; a missing or unreadable file
// reads as one without keys, so every field takes its default. After each
// channel's keys, `reimport` runs for a channel whose ArbitraryFlag is set:
// WaveLength changes only through it, so it never exceeds the samples held.
// Returns the keys present but unreadable ("Section/Key"), which took their
// defaults.
std::vector<std::string> LoadConfiguration(TCardInfo& card, const std::string& path,
                                           const ReimportWave& reimport);
std::vector<std::string> LoadConfigurationText(TCardInfo& card, const char* text, size_t size,
                                               const ReimportWave& reimport);

// The value encodings. Reals: general notation, up to 15 significant
// digits, the locale's decimal separator, no group separator.
std::string ConfigReal(double value);
// Integers: decimal, or hexadecimal after "0x" / "0X"; false for anything else.
bool ParseConfigInteger(const std::string& text, int32_t& value);
// Reals in the locale's format; false for anything else or a value that is
// not finite.
bool ParseConfigReal(const std::string& text, double& value);
