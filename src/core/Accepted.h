// What each channel of the open card last accepted, kept apart from the card
// record: the record follows the operator (a configuration load fills it
// without sending anything, a refused counter step of a wave memory load
// keeps the new step), this picture only follows commands the card accepted.
// A setting never accepted since the card was opened is empty. Each card
// object holds its own (Card::accepted); only the operations change it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "CardState.h"
#include "DriverCalls.h" // WaveChecksum
#include "SettingRanges.h"

// The waveform the generator makes from its own shapes: the settings its
// command sent (the settings table's generator rows, and its sweep rows when
// it sweeps), in the record's units.
struct TGeneratedWave {
    SettingValues Values;
    bool Manual = false; // a sweep the operator steps; sweep only
    // A generator setting as the card holds it (nothing: not sent).
    std::optional<double> value(std::string_view key) const { return Values[Setting(key).index()]; }
    bool operator==(const TGeneratedWave&) const = default;
};

// A waveform loaded into wave memory: its length and the checksum of the
// samples sent (WaveChecksum).
struct TLoadedWave {
    int32_t Length = 0;
    uint64_t Checksum = 0;
    bool operator==(const TLoadedWave&) const = default;
};

struct TOffsetSetting {
    double Volts = 0.0;
    bool PowerOn = false;
    bool operator==(const TOffsetSetting&) const = default;
};

struct TTriggerSetting {
    int32_t Source = 0;
    int32_t Mode = 0;
    bool operator==(const TTriggerSetting&) const = default;
};

struct TClockSourceSetting {
    bool External = false;
    double ExtFreq = 0.0; // MHz
    int32_t Multiplier = 0;
    bool operator==(const TClockSourceSetting&) const = default;
};

struct TAcceptedChannel {
    std::optional<bool> OutputOn;
    // The last of the two the card accepted is what it plays: a generated
    // waveform clears the loaded one and the other way round.
    std::optional<TGeneratedWave> Generated;
    std::optional<TLoadedWave> Loaded;
    std::optional<bool> AM;
    std::optional<double> Attenuation; // dB
    std::optional<TOffsetSetting> Offset;
    std::optional<TTriggerSetting> Trigger;
    std::optional<TClockSourceSetting> ClockSource;
    // The clock's sweep: the settings table's clock mode rows.
    std::optional<SettingValues> ClockMode;
    std::optional<uint32_t> CounterStep;
    std::optional<int32_t> FSKSource;
    std::optional<bool> FSKHigh;
    bool operator==(const TAcceptedChannel&) const = default;
};

struct TAcceptedCard {
    // Channel[1] .. Channel[3]; element 0 is unused.
    std::array<TAcceptedChannel, kChannelCount + 1> Channel;
    bool operator==(const TAcceptedCard&) const = default;
};
