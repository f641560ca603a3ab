// The waveform preview of a full wave memory (262144 samples) into the
// start-up display size, against drawing every segment as a line.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPainter>
#include <cmath>

#include "Display_Unit.h"
#include "OffscreenMain.h"

namespace {

const QSize kSize(449, 345);

const std::vector<double>& Samples() {
    static const std::vector<double> samples = [] {
        std::vector<double> v(262144);
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = 50 + 45 * std::sin(2 * M_PI * double(i) / double(v.size())) +
                   5 * std::sin(double(i) * 0.37);
        return v;
    }();
    return samples;
}

// The baseline: every segment as a QPainter line.
void BM_QPainterPerSegment(benchmark::State& state) {
    const std::vector<double>& v = Samples();
    const int n = int(v.size());
    QImage image(kSize, QImage::Format_ARGB32);
    for (auto _ : state) {
        image.fill(display::kClearBackground);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(display::kWave), 0));
        for (int i = 1; i < n; ++i)
            p.drawLine(int(display::WaveX(i - 1, n, kSize.width())),
                       int(display::WaveY(v[i - 1], kSize.height())),
                       int(display::WaveX(i, n, kSize.width())),
                       int(display::WaveY(v[i], kSize.height())));
    }
}
BENCHMARK(BM_QPainterPerSegment)->Unit(benchmark::kMillisecond);

// The same segments with the display's own line drawing.
void BM_LinePerSegment(benchmark::State& state) {
    const std::vector<double>& v = Samples();
    const int n = int(v.size());
    QImage image(kSize, QImage::Format_ARGB32);
    for (auto _ : state) {
        image.fill(display::kClearBackground);
        for (int i = 1; i < n; ++i)
            display::DrawLine(image, display::WaveX(i - 1, n, kSize.width()),
                              display::WaveY(v[i - 1], kSize.height()),
                              display::WaveX(i, n, kSize.width()),
                              display::WaveY(v[i], kSize.height()), display::kWave);
    }
}
BENCHMARK(BM_LinePerSegment)->Unit(benchmark::kMillisecond);

// The preview as the program draws it, the grid drawn anew each time.
void BM_Preview262144(benchmark::State& state) {
    QImage grat, wave;
    TDisplay display(grat, wave, kSize);
    for (auto _ : state) {
        state.PauseTiming();
        display.DrawGraticule(9, 9); // so that the 10 x 10 grid is drawn again
        state.ResumeTiming();
        display.DrawWaveData(Samples(), int(Samples().size()));
    }
}
BENCHMARK(BM_Preview262144)->Unit(benchmark::kMicrosecond);

// The basic-shape sketch of 128 points, the grid kept as the program keeps it.
void BM_BasicShape128(benchmark::State& state) {
    QImage grat, wave;
    TDisplay display(grat, wave, kSize);
    for (auto _ : state)
        display.DrawBasicShape(0, 128, 50);
}
BENCHMARK(BM_BasicShape128)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunOffscreenBenchmarks<QGuiApplication>(argc, argv);
}
