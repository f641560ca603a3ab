// Waveform import and export of a full wave memory (262144 samples).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "QuietUi.h"
#include "WaveFile.h"
#include "WaveParse.h"

namespace {

struct Files {
    QTemporaryDir dir;
    std::string text, binary, huge;
    Files() {
        std::string content;
        std::string words;
        for (int i = 0; i < WaveMemorySize; ++i) {
            const double v = 50.0 + 49.9 * ((i * 7919) % 1000) / 1000.0;
            char line[32];
            content.append(line, std::snprintf(line, sizeof line, "%.4f\r\n", v));
            const uint16_t w = BinaryWord(v);
            words.push_back(static_cast<char>(w >> 8));
            words.push_back(static_cast<char>(w & 0xFF));
        }
        text = write("wave.txt", content);
        binary = write("wave.bin", words);
        // One gigabyte: the same samples, then a hole the import never reads.
        huge = write("huge.txt", content);
        if (::truncate(huge.c_str(), 1LL << 30) != 0)
            std::perror("truncate");
    }
    std::string write(const char* name, const std::string& content) {
        const std::string path = QDir(dir.path()).filePath(name).toStdString();
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
        return path;
    }
};

Files& TestFiles() {
    static Files files;
    return files;
}

// The baseline: read the whole file, split lines, std::from_chars each.
void BM_PlainFromCharsLoop(benchmark::State& state) {
    const std::string& path = TestFiles().text;
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        const long size = std::ftell(f);
        std::fseek(f, 0, SEEK_SET);
        std::string data(static_cast<size_t>(size), '\0');
        if (std::fread(data.data(), 1, data.size(), f) != data.size())
            state.SkipWithError("short read");
        std::fclose(f);
        std::vector<double> samples;
        const char* p = data.data();
        const char* end = p + data.size();
        while (p < end) {
            const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!eol)
                eol = end;
            double v;
            std::from_chars(p, eol, v);
            samples.push_back(v);
            p = eol + 1;
        }
        benchmark::DoNotOptimize(samples.data());
    }
}
BENCHMARK(BM_PlainFromCharsLoop)->Unit(benchmark::kMillisecond);

void Import(benchmark::State& state, const std::string& path, bool text) {
    QuietUi ui;
    for (auto _ : state) {
        TArbWave wave;
        if (ImportWaveFile(wave, path, false, text, ui) != VI_SUCCESS ||
            wave.WaveLength != WaveMemorySize)
            state.SkipWithError("import failed");
        benchmark::DoNotOptimize(wave.Data.data());
    }
}

void BM_TextImport(benchmark::State& state) {
    Import(state, TestFiles().text, true);
}
BENCHMARK(BM_TextImport)->Unit(benchmark::kMillisecond);

void BM_TextImportOfOneGigabyte(benchmark::State& state) {
    Import(state, TestFiles().huge, true);
}
BENCHMARK(BM_TextImportOfOneGigabyte)->Unit(benchmark::kMillisecond);

void BM_BinaryImport(benchmark::State& state) {
    Import(state, TestFiles().binary, false);
}
BENCHMARK(BM_BinaryImport)->Unit(benchmark::kMillisecond);

void BM_TextExport(benchmark::State& state) {
    QuietUi ui;
    TArbWave wave;
    std::vector<double> samples;
    for (int i = 0; i < WaveMemorySize; ++i)
        samples.push_back(100.0 * i / WaveMemorySize);
    wave.Data = std::move(samples);
    const std::string path = QDir(TestFiles().dir.path()).filePath("out.txt").toStdString();
    for (auto _ : state)
        if (SaveWaveFile(wave, path, 0, true, WaveMemorySize, ui) != VI_SUCCESS)
            state.SkipWithError("export failed");
}
BENCHMARK(BM_TextExport)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
