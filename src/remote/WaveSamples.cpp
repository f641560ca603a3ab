#include "WaveSamples.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace scpi {

namespace {

// A signed 16-bit value as percent of full output: -32768 is 0 %, 32767 is 100 %.
double PercentOf(int16_t value) {
    return (static_cast<double>(value) + 32768.0) * 100.0 / 65535.0;
}

// The samples of a block: pairs of bytes, most significant first unless swapped.
Error BlockSamples(const std::string& bytes, bool swapped, std::vector<double>& samples,
                   std::string& why) {
    if (bytes.size() % 2 != 0) {
        why = "an odd number of bytes: the samples are 16-bit";
        return InvalidBlock;
    }
    samples.resize(bytes.size() / 2);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < samples.size(); ++i) {
        const unsigned high = b[2 * i + (swapped ? 1 : 0)], low = b[2 * i + (swapped ? 0 : 1)];
        samples[i] = PercentOf(static_cast<int16_t>(static_cast<uint16_t>(high << 8 | low)));
    }
    return NoError;
}

// The samples of a list of numbers in percent, each from 0 to 100.
Error ListSamples(const std::vector<Parameter>& list, std::vector<double>& samples,
                  std::string& why) {
    samples.reserve(list.size());
    for (const Parameter& p : list) {
        if (p.kind == Parameter::Kind::Block) {
            why = "one block, or numbers, not both";
            return ParameterError;
        }
        if (p.kind == Parameter::Kind::String)
            return StringNotAllowed;
        if (p.kind != Parameter::Kind::Number || (!p.unit.empty() && p.unit != "PCT")) {
            why = "samples in percent";
            return p.kind == Parameter::Kind::Number ? InvalidSuffix : IllegalValue;
        }
        if (!(p.number >= 0 && p.number <= 100)) {
            why = "sample " + std::to_string(samples.size() + 1) + " is not from 0 to 100 %";
            return DataOutOfRange;
        }
        samples.push_back(p.number);
    }
    return NoError;
}

} // namespace

std::string SampleBytes(const std::vector<double>& samples, size_t count, bool swapped) {
    std::string bytes(2 * std::min(count, samples.size()), '\0');
    for (size_t i = 0; i < bytes.size() / 2; ++i) {
        const double code = std::round(samples[i] * 65535.0 / 100.0 - 32768.0);
        const auto value = static_cast<uint16_t>(
            static_cast<int16_t>(std::clamp(std::isnan(code) ? 0.0 : code, -32768.0, 32767.0)));
        bytes[2 * i + (swapped ? 1 : 0)] = static_cast<char>(value >> 8);
        bytes[2 * i + (swapped ? 0 : 1)] = static_cast<char>(value & 0xFF);
    }
    return bytes;
}

Error WaveSamples(const std::vector<Parameter>& parameters, bool swapped,
                  std::vector<double>& samples, std::string& why) {
    if (parameters.size() == 1 && parameters.front().kind == Parameter::Kind::Block)
        return BlockSamples(parameters.front().bytes, swapped, samples, why);
    return ListSamples(parameters, samples, why);
}

} // namespace scpi
