// From a source's values to wave memory samples: the length, then percent.
#pragma once

#include <cstddef>
#include <vector>

// The largest power of two from 2 to 262144 at or below `length` (2 below 2).
int DefaultLength(size_t length);

// `count` samples through the source's values by linear interpolation; the
// first and the last source values are kept exactly. Fewer than two source
// values repeat the one there is.
std::vector<double> ResampleLinear(const std::vector<double>& source, int count);

struct PercentCheck {
    double minimum = 0, maximum = 0;
    size_t outside = 0;      // samples outside 0 .. 100, or no number
    size_t firstOutside = 0; // the first of them (0-based)
};

// Minimum, maximum and the samples outside 0 .. 100 %.
PercentCheck CheckPercent(const std::vector<double>& samples);

// Normalised to 0 .. 100 % as the waveform import does.
void NormaliseToPercent(std::vector<double>& samples);
