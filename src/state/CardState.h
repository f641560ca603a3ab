// The card record: each channel's settings as the panel holds them (what the
// card last accepted, but for the exceptions the operations name). The card
// object of the core owns one per open card; the settings table gives its
// defaults.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ArbWave.h"
#include "visa_types.h"

struct TWaveSettings {
    double RepRate = 0.0; // kHz, kept but not sent
    bool ArbitraryFlag = false;
    bool AMFlag = false;
    bool SweepFlag = false;
    double Attenuation = 0.0;  // dB, whole numbers 0..40; kNotKnown after a refusal on a new card
    int32_t WaveType = 0;      // 0 sine, 1 triangle, 2 square
    double Symmetry = 0.0;     // percent
    double StartF = 0.0;       // kHz
    double EndF = 0.0;         // kHz
    double SweepStep = 0.0;    // kHz
    double StepInterval = 0.0; // microseconds
    TArbWave Arb;
    double DCOffset = 0.0; // volts, in hundredths
    bool OffsetOn = false;
    // Field by field; an attenuation not known (NaN) equals nothing, not even itself.
    bool operator==(const TWaveSettings&) const = default;
};

struct TChannelInfo {
    bool OutputOn = false;
    bool FSKHigh = false;
    int32_t FSKSource = 0;
    TWaveSettings Wave;
    int32_t TrigSource = 0;
    int32_t TrigMode = 0;
    int32_t Multiplier = 0;
    int32_t SweepMode = 0;
    double ClkStartF = 0.0;       // kHz
    double ClkEndF = 0.0;         // kHz
    double ClkSweepStep = 0.0;    // kHz
    double ClkStepInterval = 0.0; // milliseconds
    uint32_t MemStep = 0;         // 2^N, N = 0..18
    bool operator==(const TChannelInfo&) const = default;
};

constexpr int kChannelCount = 3;

// A setting whose value on the card is not known (a new card refused the
// value it was sent): never another card's value.
constexpr double kNotKnown = std::numeric_limits<double>::quiet_NaN();
inline bool IsKnown(double value) {
    return !std::isnan(value);
}

struct TCardInfo {
    std::string Resource;
    bool DDSSourceExtFlag = false; // card-wide: external DDS reference clock
    double ExtFreq = 0.0;          // MHz
    // Channel[1] .. Channel[3]; element 0 is unused so channel numbers index directly.
    std::array<TChannelInfo, kChannelCount + 1> Channel;
    bool operator==(const TCardInfo&) const = default;
};
