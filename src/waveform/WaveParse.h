// Reading and writing the two waveform file formats, without any file or
// locale handling: the caller reads the file and names the decimal separator.
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

// The longest line that can hold a number: a longer one whose first
// kMaxSampleLine bytes hold no "!" is not a number, without reading on.
constexpr size_t kMaxSampleLine = 8192;

// Text, read piece by piece so that a file is read only as far as its
// samples go: one sample per line; empty lines and lines holding "!" are
// skipped; lines end in LF, CR LF or CR alone; a UTF-8 byte-order mark
// before the first line is skipped.
class TextWaveReader {
public:
    // `expectedSize`: the file's size, to size the sample buffer.
    TextWaveReader(char decimalSeparator, size_t expectedSize);
    // Takes the next piece of the file. False once no more is wanted: the wave
    // memory is full or a line is not a number.
    bool feed(const char* data, size_t size);
    // The result, once everything was fed or feed() said no more;
    // `moreInFile` tells whether the file holds bytes that were not fed.
    WaveReadResult finish(bool moreInFile);

private:
    bool takeLine(const char* begin, const char* end);
    bool keepPartial(const char* begin, const char* end);
    bool fail(WaveReadResult::Outcome outcome);

    char separator_;
    std::string partial_;         // the start of a line not yet ended
    bool partialComment_ = false; // the unfinished line holds "!"
    bool afterCr_ = false;        // the last piece ended in CR: a LF next belongs to it
    size_t line_ = 0;             // lines taken so far
    bool done_ = false;
    bool leftover_ = false; // bytes were fed after the last sample wanted
    WaveReadResult r_;
};

// A whole text file at once.
WaveReadResult ReadTextWave(const char* data, size_t size, char decimalSeparator);

// Binary: 16-bit words, most significant byte first.
WaveReadResult ReadBinaryWave(const unsigned char* data, size_t size);

// Maps the smallest sample to exactly 0 and the largest to exactly 100, every
// other one within 0..100 (also for samples near the limits of a double); a
// constant waveform becomes all 0.
void NormaliseSamples(std::vector<double>& samples, double minimum, double maximum);

// A sample as the text format writes it: four decimals, at most seven
// significant digits (50 -> "50.0000", 12.345678 -> "12.3457").
void AppendTextSample(std::string& out, double value, char decimalSeparator);

// A sample as the binary format writes it: round(v x 655.2), half to even,
// held within 0..65535.
uint16_t BinaryWord(double value);
