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

// The waveform the generator makes from its own shapes.
struct TGeneratedWave {
    int32_t WaveType = 0; // 0 sine, 1 triangle, 2 square
    double Symmetry = 0.0;
    bool Sweep = false;
    double StartF = 0.0;       // kHz
    double EndF = 0.0;         // kHz, sweep only
    double SweepStep = 0.0;    // kHz, sweep only
    double StepInterval = 0.0; // milliseconds, sweep only
    int32_t SweepMode = 0;     // 0 automatic, 1 manual; sweep only
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

struct TClockModeSetting {
    int32_t Mode = 0;
    double StartF = 0.0;       // kHz
    double EndF = 0.0;         // kHz
    double SweepStep = 0.0;    // kHz
    double StepInterval = 0.0; // milliseconds
    bool operator==(const TClockModeSetting&) const = default;
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
    std::optional<TClockModeSetting> ClockMode;
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
