// --apply of a configuration whose three channels hold full text waveforms:
// the whole program as a process against the same apply in this process.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "Automation.h"
#include "WaveParse.h"

namespace {

struct Setup {
    QTemporaryDir dir;
    std::string ini;
    Setup() {
        std::string config;
        for (int c = 1; c <= 3; ++c) {
            std::string text;
            for (int i = 0; i < WaveMemorySize; ++i) {
                char line[32];
                text.append(line, std::snprintf(line, sizeof line, "%.4f\r\n",
                                                (i * (37 + c)) % 10000 / 100.0));
            }
            const std::string path =
                QDir(dir.path()).filePath(QString("ch%1.txt").arg(c)).toStdString();
            FILE* f = std::fopen(path.c_str(), "wb");
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
            config += "[Channel" + std::to_string(c) + "_Wave]\nArbitraryFlag=1\nArbFile=" + path +
                      "\nAttenuation=" + std::to_string(10 + c) + "\n";
        }
        ini = QDir(dir.path()).filePath("apply.ini").toStdString();
        FILE* f = std::fopen(ini.c_str(), "wb");
        std::fwrite(config.data(), 1, config.size(), f);
        std::fclose(f);
    }
};

Setup& Files() {
    static Setup setup;
    return setup;
}

void BM_ApplyInProcess(benchmark::State& state) {
    ApplyOptions o;
    o.file = Files().ini;
    o.resource = "PXI1::13::INSTR";
    o.quiet = true;
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state)
        if (RunApply(o, sink, sink) != kExitAccepted)
            state.SkipWithError("the apply failed");
    std::fclose(sink);
}
BENCHMARK(BM_ApplyInProcess)->Unit(benchmark::kMillisecond);

void BM_ApplyProcess(benchmark::State& state) {
    QProcessEnvironment env;
    env.insert("LD_LIBRARY_PATH", NV815_SIM_DIR);
    env.insert("NVSIM_CHASSIS", "");
    for (auto _ : state) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(PROGRAM, {"--apply", QString::fromStdString(Files().ini), "--resource",
                          "PXI1::13::INSTR", "--quiet"});
        if (!p.waitForFinished(60000) || p.exitCode() != kExitAccepted)
            state.SkipWithError("the program failed");
    }
}
BENCHMARK(BM_ApplyProcess)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
