// The samples of a DATA command: one definite-length block of signed 16-bit
// values (-32768 is 0 %, 32767 is 100 % of full output; most significant
// byte first unless swapped), or a list of numbers in percent, 0 to 100.
// Plain C++: the server and the fuzzer read the same code.
#pragma once

#include <string>
#include <vector>

#include "ScpiParser.h"

namespace scpi {

// The samples in percent, or the error and what it concerns (`why`).
Error WaveSamples(const std::vector<Parameter>& parameters, bool swapped,
                  std::vector<double>& samples, std::string& why);

// The first `count` samples (percent) as a DATA? block's bytes: signed
// 16-bit values, most significant byte first unless swapped.
std::string SampleBytes(const std::vector<double>& samples, size_t count, bool swapped);

} // namespace scpi
