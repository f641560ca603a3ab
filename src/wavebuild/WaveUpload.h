// A waveform file sent to the program from elsewhere (the web front panel's
// upload), in the formats the window imports: text (a sample in percent a
// line), a column of a CSV or TSV file, a channel of a sound file. They are
// made into wave memory samples as the window makes them: a text file is
// checked as the import checks it, a table or a sound is brought to a length
// and scaled as the Waveform Builder does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class UploadFormat { Text, Csv, Sound };

struct UploadOptions {
    UploadFormat format = UploadFormat::Text;
    int pick = 1;           // the CSV column or the sound channel, from 1
    int length = 0;         // samples (a power of two, 2 .. 262144); 0: a text file's own
                            // count, or the largest power of two the source's values hold
    bool normalise = false; // scaled to 0 .. 100 % (else the values must lie there)
};

struct UploadedWave {
    std::vector<double> samples; // ready for the wave memory, in percent
    std::string source;          // what was read: "CSV, comma-delimited, ..., column 2 of 3"
    std::string error;           // empty when `samples` may be loaded
};

UploadedWave ReadUploadedWave(std::string_view bytes, const UploadOptions& options);

// "text", "csv", "wav" (a sound file) as an upload names its format.
bool UploadFormatNamed(std::string_view name, UploadFormat& format);
