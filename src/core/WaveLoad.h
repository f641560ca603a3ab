// Loading a channel's arbitrary waveform into the card's wave memory.
#pragma once

#include <cstdint>
#include <vector>

#include "Commands.h"
#include "Samples.h"
#include "WaveFile.h"
#include "visa_types.h"

// How far a load got with the card.
struct WaveLoadOutcome {
    ViStatus Status = 0;
    bool CounterStepAccepted = false; // the new step is on the card
    bool Loaded = false;              // the samples are in wave memory
    uint64_t Checksum = 0;            // WaveChecksum of the samples sent, once Loaded
};

// Why `length` samples of `held` cannot be loaded, in the words the load
// shows, or nothing: a length that is no power of two up to the wave memory,
// or longer than the samples held (VI_ERROR_USER_BUF in `status`, else 0).
const char* WaveLengthProblem(int32_t length, size_t held, ViStatus* status = nullptr);

// Selects the channel, sets the wave memory counter step to WaveMemorySize /
// length (kept in memStep whatever the card answers) and hands the samples to
// the driver. The length must be a power of two no larger than the wave
// memory; each refusal shows its own plain message. Status: the driver's, or
// 0 when the length was refused.
WaveLoadOutcome LoadWaveToCard(CommandLink& link, int32_t length, int32_t channel,
                               uint32_t& memStep, const Samples& samples, WaveFileUi& ui);
