#include "WaveFile.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <algorithm>
#include <new>
#include <vector>

#include "OperationLog.h"
#include "SafeFile.h"
#include "WaveParse.h"

namespace {

char DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 128 ? static_cast<char>(point[0].unicode())
                                                         : '.';
}

const char* const kNegative =
    "The data imported contains negative values. This means the \r\ndata is not in 0% to 100% "
    "format. \r\nTo correct this the data must be 'normalised', to do this select \r\n'OK'. "
    "\r\nSelecting 'Abort' will abort the data importing operation.";
const char* const kAbove100 =
    "The data imported contains values greater than 100. This means the \r\ndata is not in 0% "
    "to 100% format. \r\nTo correct this the data must be 'normalised', to do this select "
    "\r\n'OK'. \r\nSelecting 'Abort' will abort the data importing operation.";

// The file is read, never mapped: a file that shrinks while it is read only
// ends early, and a huge one is read only as far as its samples go.
constexpr size_t kPiece = 256 * 1024;

WaveReadResult ReadText(FileReader& file, bool& failed) {
    TextWaveReader reader(DecimalSeparator(), static_cast<size_t>(std::max(file.size(), 0LL)));
    std::vector<char> piece(kPiece);
    for (;;) {
        const ssize_t n = file.read(piece.data(), piece.size());
        if (n < 0) {
            failed = true;
            return {};
        }
        if (n == 0)
            return reader.finish(false);
        if (!reader.feed(piece.data(), static_cast<size_t>(n))) {
            char next;
            return reader.finish(file.read(&next, 1) == 1);
        }
    }
}

WaveReadResult ReadBinary(FileReader& file, bool& failed) {
    // The words the wave memory holds, and one byte more to tell whether
    // the file goes on.
    std::vector<char> bytes(2 * static_cast<size_t>(WaveMemorySize) + 1);
    size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t n = file.read(bytes.data() + have, bytes.size() - have);
        if (n < 0) {
            failed = true;
            return {};
        }
        if (n == 0)
            break;
        have += static_cast<size_t>(n);
    }
    return ReadBinaryWave(reinterpret_cast<const unsigned char*>(bytes.data()), have);
}

std::string Missing(const std::string& name) {
    return "The selected file '" + name + "' does not exist.";
}

} // namespace

ViStatus ImportWaveFile(TArbWave& wave, const std::string& fileName, bool normalise, bool text,
                        WaveFileUi& ui) {
    // The name is used as the file system has it, byte for byte.
    if (!PathExists(fileName)) {
        ui.error(Missing(fileName));
        return VI_ERROR_FILE_IO;
    }
    FileReader file(fileName); // a directory, FIFO or device is not opened
    if (!file.isOpen()) {
        ui.error("The selected file '" + fileName + "' could not be read.");
        return VI_ERROR_FILE_IO;
    }
    bool readFailed = false;
    WaveReadResult read;
    try {
        read = text ? ReadText(file, readFailed) : ReadBinary(file, readFailed);
    } catch (const std::bad_alloc&) {
        read = WaveReadResult{};
        read.outcome = WaveReadResult::Outcome::OutOfMemory; // no room even to start
    }
    if (readFailed) {
        ui.error("The selected file '" + fileName + "' could not be read.");
        return VI_ERROR_FILE_IO;
    }

    using Outcome = WaveReadResult::Outcome;
    switch (read.outcome) {
    case Outcome::NonNumeric:
        ui.error("File contains non-numeric values!");
        return VI_ERROR_FILE_IO;
    case Outcome::ReadBeyondEnd:
        ui.error("Read beyond end of file");
        return VI_ERROR_FILE_IO;
    case Outcome::OutOfMemory:
        ui.error("An out of memory error occured while loading the waveform file.\r\nOnly the "
                 "first " +
                 std::to_string(read.samples.size()) + " values have been loaded.");
        if (read.samples.empty())
            return VI_ERROR_FILE_IO; // nothing read: the channel keeps its waveform
        break;
    case Outcome::Complete:
        if (read.dataLeft) {
            // Appended piece by piece: GCC 14 takes the sum of temporaries
            // for a copy beyond a string (a false -Warray-bounds).
            std::string text = "File is larger than waveform memory. Only the first ";
            text += std::to_string(WaveMemorySize);
            text += " will be \r\nloaded.";
            ui.warning(text);
        }
        break;
    }

    if (text && !read.samples.empty()) {
        const char* question = read.minimum < 0     ? kNegative
                               : read.maximum > 100 ? kAbove100
                                                    : nullptr;
        if (question) {
            if (!ui.confirm(question))
                return VI_ERROR_FILE_IO; // aborted: the channel keeps its waveform
            normalise = true;
        }
    }
    if (normalise)
        NormaliseSamples(read.samples, read.minimum, read.maximum);

    wave.Data = std::move(read.samples);
    wave.WaveLength = static_cast<int32_t>(wave.Data.size());
    return VI_SUCCESS;
}

std::string WaveFileText(const std::vector<double>& samples, size_t first, size_t count,
                         const std::string& fileName) {
    const std::string stars = "!" + std::string(80, '*');
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    const std::string stamp = locale.toString(now.date(), QLocale::ShortFormat).toStdString() +
                              " " + LogTimeText(now.time());
    std::string out;
    out.reserve(count * 10 + 512);
    for (const std::string& line :
         {stars, "! " + BaseName(fileName), "! " + stamp,
          std::string("! Wave file produced by Norvale 72-815 Soft Front Panel V1.46"),
          std::string("! Normalised values between 0% and 100% of full output."),
          "! Data Length - " + std::to_string(count), stars}) {
        out += line;
        out += "\r\n";
    }
    const char separator = DecimalSeparator();
    for (size_t i = first; i < first + count; ++i) {
        AppendTextSample(out, samples[i], separator);
        out += "\r\n";
    }
    return out;
}

std::optional<std::string> NameTextWaveFile(TArbWave& wave, const std::string& fileName) {
    if (wave.WaveLength <= 0 || static_cast<size_t>(wave.WaveLength) > wave.Data.size())
        return std::nullopt;
    std::string text = WaveFileText(wave.Data, 0, static_cast<size_t>(wave.WaveLength), fileName);
    wave.ArbFile = fileName;
    wave.TextFlag = true;
    wave.NormaliseFlag = false; // percent already
    return text;
}

ViStatus SaveWaveFile(const TArbWave& wave, const std::string& fileName, int first, bool text,
                      int count, WaveFileUi& ui) {
    if (count < 1) {
        ui.error("The waveform memory contains no data.");
        return VI_ERROR_FILE_IO;
    }
    if (fileName.empty()) {
        ui.error(Missing(fileName));
        return VI_ERROR_FILE_IO;
    }
    // Checked before the file is touched, so an existing file is never lost.
    if (first < 0 || static_cast<size_t>(first) + static_cast<size_t>(count) > wave.Data.size()) {
        ui.warning("The number of bytes selected to save exceeds the length of the wave data!");
        return VI_ERROR_FILE_IO;
    }

    std::string content;
    if (text) {
        content = WaveFileText(wave.Data, first, count, fileName);
    } else {
        content.resize(static_cast<size_t>(count) * 2);
        char* out = content.data();
        for (int i = 0; i < count; ++i) {
            const uint16_t word = BinaryWord(wave.Data[first + i]);
            *out++ = static_cast<char>(word >> 8);
            *out++ = static_cast<char>(word & 0xFF);
        }
    }

    // The new file replaces the old one only when it is complete.
    if (!ReplaceFile(fileName, content)) {
        ui.error("The file '" + fileName + "' could not be written.");
        return VI_ERROR_FILE_IO;
    }
    return VI_SUCCESS;
}
