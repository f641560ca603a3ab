#include "WaveShaping.h"

#include <algorithm>

#include "WaveParse.h"

int DefaultLength(size_t length) {
    int n = 2;
    while (n < WaveMemorySize && static_cast<size_t>(n) * 2 <= length)
        n *= 2;
    return n;
}

std::vector<double> ResampleLinear(const std::vector<double>& source, int count) {
    std::vector<double> out(static_cast<size_t>(std::max(count, 0)));
    if (out.empty() || source.empty())
        return std::vector<double>(out.size(), source.empty() ? 0.0 : source.front());
    if (source.size() == out.size())
        return source; // every value lands on a source value
    if (source.size() == 1 || count == 1) {
        std::fill(out.begin(), out.end(), source.front());
        return out;
    }
    const size_t last = source.size() - 1;
    const double step = static_cast<double>(last) / (count - 1);
    for (int i = 0; i < count; ++i) {
        const double x = i * step;
        const size_t k = std::min(static_cast<size_t>(x), last - 1);
        const double f = x - static_cast<double>(k);
        out[static_cast<size_t>(i)] = source[k] + (source[k + 1] - source[k]) * f;
    }
    out.back() = source.back(); // exactly, whatever the rounding of the step
    return out;
}

PercentCheck CheckPercent(const std::vector<double>& samples) {
    PercentCheck c;
    if (samples.empty())
        return c;
    const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
    c.minimum = *lo;
    c.maximum = *hi;
    for (size_t i = 0; i < samples.size(); ++i)
        if (!(samples[i] >= 0 && samples[i] <= 100)) { // a NaN too
            if (c.outside++ == 0)
                c.firstOutside = i;
        }
    return c;
}

void NormaliseToPercent(std::vector<double>& samples) {
    if (samples.empty())
        return;
    const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
    NormaliseSamples(samples, *lo, *hi);
}
