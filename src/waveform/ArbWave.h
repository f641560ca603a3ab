// A channel's arbitrary waveform: the samples and where they came from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Samples.h"

struct TArbWave {
    std::string ArbFile;   // path of the waveform file last imported
    bool TextFlag = false; // text file (true) or binary MSB-LSB file (false)
    bool NormaliseFlag = false;
    Samples Data;           // samples, percent of full scale
    int32_t WaveLength = 0;   // number of samples in Data
    bool operator==(const TArbWave&) const = default;
};
