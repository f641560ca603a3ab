// Reading and writing the two waveform file formats, without any file or
// locale handling: the caller maps the file and names the decimal separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The wave memory of one channel, and the most samples an import keeps.
constexpr int WaveMemorySize = 262144;

struct WaveReadResult {
    enum class Outcome {
        Complete,      // every sample read (or WaveMemorySize of them)
        NonNumeric,    // a text line that is not a number
        ReadBeyondEnd, // a binary file that is empty or ends inside a word
        OutOfMemory,   // the samples read before memory ran out are kept
    };
    Outcome outcome = Outcome::Complete;
    std::vector<double> samples;
    bool dataLeft = false; // stopped at WaveMemorySize with more of the file unread
    double minimum = 0, maximum = 0;
    size_t failedLine = 0; // 1-based line of a non-numeric value
};

// One line of a text file as a number: optional blanks, an optional sign,
// digits with an optional decimal separator and fraction, an optional
// exponent, optional blanks, and nothing else.
bool ParseSampleLine(const char* begin, const char* end, char decimalSeparator, double& value);

// Text: one sample per line; empty lines and lines holding "!" are skipped.
// Lines end in LF or CR LF.
WaveReadResult ReadTextWave(const char* data, size_t size, char decimalSeparator);

// Binary: 16-bit words, most significant byte first.
WaveReadResult ReadBinaryWave(const unsigned char* data, size_t size);

// Maps the smallest sample to 0 and the largest to 100; a constant waveform
// becomes all 0.
void NormaliseSamples(std::vector<double>& samples, double minimum, double maximum);

// A sample as the text format writes it: four decimals, at most seven
// significant digits (50 -> "50.0000", 12.345678 -> "12.3457").
void AppendTextSample(std::string& out, double value, char decimalSeparator);

// A sample as the binary format writes it: round(v x 655.2), half to even,
// held within 0..65535.
uint16_t BinaryWord(double value);
