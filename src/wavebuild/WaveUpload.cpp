#include "WaveUpload.h"

#include <cstdio>

#include "CsvTable.h"
#include "WavFile.h"
#include "WaveParse.h"
#include "WaveShaping.h"

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// "1 column", "3 columns".
std::string Counted(int n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// A text waveform file, read as the window's import reads it.
bool ReadText(std::string_view bytes, UploadedWave& out) {
    WaveReadResult read = ReadTextWave(bytes.data(), bytes.size(), '.');
    if (read.outcome == WaveReadResult::Outcome::NonNumeric)
        out.error = "Line " + std::to_string(read.failedLine) +
                    " of the file is not a number: nothing was loaded.";
    else if (read.samples.empty() || read.outcome != WaveReadResult::Outcome::Complete)
        out.error = "The file holds no samples: nothing was loaded.";
    else if (read.dataLeft)
        out.error = "The file holds more samples than the wave memory (262144): nothing was "
                    "loaded.";
    if (!out.error.empty())
        return false;
    out.source = "text, " + std::to_string(read.samples.size()) + " samples";
    out.samples = std::move(read.samples);
    return true;
}

bool ReadCsv(std::string_view bytes, int column, UploadedWave& out) {
    const CsvSniff sniff = SniffCsv(bytes);
    if (!sniff.error.empty()) {
        out.error = sniff.error;
        return false;
    }
    const int columns = int(sniff.columns.size());
    if (column < 1 || column > columns) {
        out.error = "The file has " + Counted(columns, "column") + ": there is no column " +
                    std::to_string(column) + ".";
        return false;
    }
    CsvColumnRead read = ReadCsvColumn(bytes, sniff.format, column - 1);
    if (!read.error.empty()) {
        out.error = read.error;
        return false;
    }
    out.source = std::string("CSV, ") + DelimiterName(sniff.format.delimiter) + "-delimited, " +
                 Counted(sniff.format.headerLines, "header line") + ", column " +
                 std::to_string(column) + " of " + std::to_string(columns) + " (" +
                 sniff.columns[size_t(column - 1)].title + "), " +
                 std::to_string(read.values.size()) + " values";
    out.samples = std::move(read.values);
    return true;
}

// A compressed sound may hold far more frames than its bytes: an upload's
// are read up to what 8 MB of 16-bit samples hold (32 MB of values).
constexpr int64_t kMaxUploadFrames = int64_t(1) << 22;

bool ReadSound(std::string_view bytes, int channel, UploadedWave& out) {
    WavRead read = ReadWavChannelBytes(bytes, channel - 1, kMaxUploadFrames);
    if (!read.error.empty()) {
        out.error = read.error;
        return false;
    }
    if (channel < 1 || channel > read.channels) {
        out.error = "The sound has " + Counted(read.channels, "channel") +
                    ": there is no channel " + std::to_string(channel) + ".";
        return false;
    }
    out.source = "sound, " + read.format + ", " + std::to_string(read.sampleRate) +
                 " Hz, channel " + std::to_string(channel) + " of " +
                 std::to_string(read.channels) + ", " + std::to_string(read.samples.size()) +
                 " samples" +
                 (read.cut ? " (the first " + std::to_string(kMaxUploadFrames) + " read)" : "");
    out.samples = std::move(read.samples);
    return true;
}

bool ValidLength(int length) {
    if (length == 0)
        return true;
    if (length < 2 || length > WaveMemorySize)
        return false;
    return (length & (length - 1)) == 0;
}

} // namespace

UploadedWave ReadUploadedWave(std::string_view bytes, const UploadOptions& options) {
    UploadedWave out;
    if (!ValidLength(options.length)) {
        out.error = "The length must be a power of two from 2 to 262144.";
        return out;
    }
    const bool read = options.format == UploadFormat::Text  ? ReadText(bytes, out)
                      : options.format == UploadFormat::Csv ? ReadCsv(bytes, options.pick, out)
                                                            : ReadSound(bytes, options.pick, out);
    if (!read)
        return out;
    if (out.samples.empty()) {
        out.error = "The file holds no samples: nothing was loaded.";
        return out;
    }
    // A table or a sound takes the builder's length; a text file keeps its own.
    int length = options.length;
    if (length == 0 && options.format != UploadFormat::Text)
        length = DefaultLength(out.samples.size());
    if (length != 0 && size_t(length) != out.samples.size()) {
        out.samples = ResampleLinear(out.samples, length);
        out.source += ", made " + std::to_string(length);
    }
    if (options.normalise) {
        NormaliseToPercent(out.samples);
        out.source += ", normalised";
        return out;
    }
    const PercentCheck check = CheckPercent(out.samples);
    if (check.outside > 0) {
        out.error = "The samples must be from 0 to 100 %: these go from " + Number(check.minimum) +
                    " to " + Number(check.maximum) +
                    ". Normalise them, or change the file. Nothing was loaded.";
        out.samples.clear();
    }
    return out;
}

bool UploadFormatNamed(std::string_view name, UploadFormat& format) {
    if (name == "text")
        format = UploadFormat::Text;
    else if (name == "csv")
        format = UploadFormat::Csv;
    else if (name == "wav")
        format = UploadFormat::Sound;
    else
        return false;
    return true;
}
