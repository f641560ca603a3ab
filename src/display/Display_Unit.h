// Drawing the waveform preview: a 10 x 10 grid and one period of a waveform,
// each into its own image of the display area. The images are transparent
// where nothing is drawn, so the display's own colour shows through.
#pragma once

#include <QImage>
#include <QRgb>
#include <QSize>
#include <cstdint>
#include <vector>

namespace display {

constexpr QRgb kBackground = qRgb(133, 152, 124);
constexpr QRgb kGrid = qRgb(128, 128, 128);
constexpr QRgb kWave = qRgb(255, 0, 0);
// The background colour, fully transparent.
constexpr QRgb kClearBackground = kBackground & 0x00FFFFFFu;

// One line of one pixel width, without antialiasing: its start pixel is set,
// its end pixel is not (a line of no length sets nothing). Pixels outside the
// image are clipped.
void DrawLine(QImage& image, int64_t x0, int64_t y0, int64_t x1, int64_t y1, QRgb colour);

// Where sample i of `count` lands across an image `width` wide, and where a
// value in percent lands down one `height` high: 100 % on row 0, 0 % on row
// height - 2. Rounding is to the nearest, ties to even. Values far outside
// 0..100 (and NaN) are held at +-1e6 %, off the image either way.
int64_t WaveX(int i, int count, int width);
int64_t WaveY(double value, int height);

} // namespace display

class TDisplay {
public:
    // Draws into the two images, which it sizes to `size` on first use.
    TDisplay(QImage& graticule, QImage& wave, QSize size);

    // The grid of `columns` x `rows`; drawn again only when the grid or the
    // image size changed since the last one.
    void DrawGraticule(int columns, int rows);

    // The first `count` samples (percent of full output) as one polyline,
    // then the 10 x 10 grid. Nothing is drawn, and the wave image is left
    // empty, when there are no samples or `count` exceeds those held.
    void DrawWaveData(const std::vector<double>& samples, int count);

    // One period of shape 0 sine, 1 triangle (peak at `symmetry` percent of
    // the period), 2 square (high for `symmetry` percent), in `points`
    // samples, drawn with DrawWaveData; another shape draws a flat 0 %.
    void DrawBasicShape(int shape, int points, double symmetry);

    // The samples of the last basic shape.
    const std::vector<double>& Sketch() const { return sketch_; }

private:
    QImage& graticule_;
    QImage& wave_;
    QSize size_;
    int columns_ = -1, rows_ = -1;
    QSize gridSize_;
    std::vector<double> sketch_;
};
