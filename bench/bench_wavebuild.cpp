// The waveform builder: an expression of a full wave memory, a CSV column of
// 262144 rows against the text import of the same values, a sound file of
// 262144 samples, and resampling 1,000,000 values to 262144.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "CsvTable.h"
#include "WavFile.h"
#include "WaveExpression.h"
#include "WaveFile.h"
#include "WaveParse.h"
#include "WaveShaping.h"

namespace {

class QuietUi final : public WaveFileUi {
public:
    void error(const std::string&) override {}
    void warning(const std::string&) override {}
    void information(const std::string&) override {}
    bool confirm(const std::string&) override { return true; }
};

struct Files {
    QTemporaryDir dir;
    std::string text, csv, csv1, wav;
    Files() {
        std::string t, c = "Time,Level\r\n", c1 = "Level\r\n";
        for (int i = 0; i < WaveMemorySize; ++i) {
            char line[64];
            const double v = (i * 37) % 10000 / 100.0;
            t.append(line, std::snprintf(line, sizeof line, "%.4f\r\n", v));
            c.append(line, std::snprintf(line, sizeof line, "%d,%.4f\r\n", i, v));
            c1.append(line, std::snprintf(line, sizeof line, "%.4f\r\n", v));
        }
        text = write("wave.txt", t);
        csv = write("wave.csv", c);
        csv1 = write("level.csv", c1);
        wav = dir.filePath("wave.wav").toStdString();
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(wav.c_str(), SFM_WRITE, &info);
        std::vector<double> s(WaveMemorySize);
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = std::sin(0.001 * double(i));
        sf_writef_double(f, s.data(), sf_count_t(s.size()));
        sf_close(f);
    }
    std::string write(const char* name, const std::string& content) {
        const std::string path = dir.filePath(name).toStdString();
        QFile f(QString::fromStdString(path));
        f.open(QIODevice::WriteOnly);
        f.write(content.data(), qint64(content.size()));
        return path;
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

void BM_Expression(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            EvaluateExpression("50 + 40*sin(2*pi*t) + 5*square(8*t, 0.3)", WaveMemorySize));
}
BENCHMARK(BM_Expression)->Unit(benchmark::kMillisecond);

void BM_TextImport(benchmark::State& state) {
    QuietUi ui;
    for (auto _ : state) {
        TArbWave wave;
        ImportWaveFile(wave, TheFiles().text, false, true, ui);
        benchmark::DoNotOptimize(wave.Data.data());
    }
}
BENCHMARK(BM_TextImport)->Unit(benchmark::kMillisecond);

// As the builder does it: the whole file, its format, the column, the length.
void CsvColumn(benchmark::State& state, const std::string& path, int column) {
    for (auto _ : state) {
        QFile f(QString::fromStdString(path));
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        const std::string_view text(bytes.constData(), size_t(bytes.size()));
        const CsvSniff sniff = SniffCsv(text);
        const CsvColumnRead read = ReadCsvColumn(text, sniff.format, column);
        benchmark::DoNotOptimize(ResampleLinear(read.values, WaveMemorySize));
    }
}

// The text file's values under a header line.
void BM_CsvOneColumn(benchmark::State& state) {
    CsvColumn(state, TheFiles().csv1, 0);
}
BENCHMARK(BM_CsvOneColumn)->Unit(benchmark::kMillisecond);

// The same values after a time column.
void BM_CsvSecondColumn(benchmark::State& state) {
    CsvColumn(state, TheFiles().csv, 1);
}
BENCHMARK(BM_CsvSecondColumn)->Unit(benchmark::kMillisecond);

void BM_Wav(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadWavChannel(TheFiles().wav, 0));
}
BENCHMARK(BM_Wav)->Unit(benchmark::kMillisecond);

void BM_Resample(benchmark::State& state) {
    std::vector<double> source(1000000);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = std::sin(0.0001 * double(i));
    for (auto _ : state)
        benchmark::DoNotOptimize(ResampleLinear(source, WaveMemorySize));
}
BENCHMARK(BM_Resample)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
