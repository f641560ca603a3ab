#include "Display_Unit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace display {
namespace {

// Rounds to the nearest integer, ties to even, for |v| < 2^51 (the default
// floating-point rounding does the work, as nearbyint would).
inline double RoundEven(double v) {
    constexpr double kMagic = 6755399441055744.0; // 1.5 * 2^52
    return (v + kMagic) - kMagic;
}

inline int64_t XAt(int i, double xs) {
    return static_cast<int64_t>(RoundEven(i * xs));
}

// NaN, like any value far off the scale, lands far off the image.
inline int64_t YAt(double value, double ys, int height) {
    const double v = value >= -1e6 ? std::min(value, 1e6) : -1e6;
    return (height - 2) - static_cast<int64_t>(RoundEven(v * ys));
}

// One sample has no spacing: it stands at column 0.
inline double XScale(int count, int width) {
    return count > 1 ? (width - 2) / static_cast<double>(count - 1) : 0.0;
}

inline double YScale(int height) {
    return (height - 2) / 100.0;
}

// floor(a / b) for b > 0.
inline int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// The steps t in [0, last] for which from + t * dir lies in [0, limit).
inline bool VisibleSteps(int64_t from, int dir, int64_t last, int64_t limit, int64_t& first,
                         int64_t& end) {
    int64_t lo, hi; // 0 <= from + t * dir <= limit - 1
    if (dir > 0) {
        lo = -from;
        hi = limit - 1 - from;
    } else if (dir < 0) {
        lo = from - (limit - 1);
        hi = from;
    } else {
        if (from < 0 || from >= limit)
            return false;
        lo = 0;
        hi = last;
    }
    first = std::max<int64_t>(lo, 0);
    end = std::min<int64_t>(hi, last);
    return first <= end;
}

// The pixels of a 32-bit image, taken once per drawing.
struct Canvas {
    explicit Canvas(QImage& image)
        : bits(reinterpret_cast<QRgb*>(image.bits())), stride(image.bytesPerLine() / 4),
          width(image.width()), height(image.height()) {}
    void set(int64_t x, int64_t y, QRgb colour) { bits[y * stride + x] = colour; }
    QRgb* bits;
    int64_t stride, width, height;
};

// Sets rows lo..hi of one column.
void FillColumn(Canvas& canvas, int64_t x, int64_t lo, int64_t hi, QRgb colour) {
    if (x < 0 || x >= canvas.width)
        return;
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, canvas.height - 1);
    for (int64_t y = lo; y <= hi; ++y)
        canvas.set(x, y, colour);
}

void LineOn(Canvas& canvas, int64_t x0, int64_t y0, int64_t x1, int64_t y1, QRgb colour);

struct ColumnRun {
    int64_t lo = 0, hi = -1; // rows lo..hi, none when hi < lo
};

// The rows that the vertical segments between samples first..last (all in
// one column) cover, each from its start row up to but not including its
// end row. They cover every row between the highest and the lowest sample
// but that of the last sample, which is covered only when it lies between
// the others or was reached and left before the column's final run of
// samples on its row.
ColumnRun InColumnRun(const double* v, int first, int last, int64_t lastY, double ys, int h) {
    int runStart = last;
    while (runStart > first && YAt(v[runStart - 1], ys, h) == lastY)
        --runStart;
    ColumnRun run;
    if (runStart == first)
        return run; // every sample on one row: no segment has a length
    // The lowest and highest value in two independent lanes; NaN, which YAt
    // holds at -1e6 %, only noted.
    constexpr double kInf = std::numeric_limits<double>::infinity();
    double low0 = kInf, low1 = kInf, high0 = -kInf, high1 = -kInf;
    bool nan = false;
    int i = first;
    for (; i + 2 <= runStart; i += 2) {
        const double a = v[i], b = v[i + 1];
        low0 = std::min(a, low0);
        high0 = std::max(high0, a);
        low1 = std::min(b, low1);
        high1 = std::max(high1, b);
        nan |= (a != a) | (b != b);
    }
    if (i < runStart) {
        low0 = std::min(v[i], low0);
        high0 = std::max(high0, v[i]);
        nan |= v[i] != v[i];
    }
    auto held = [](double value) { return std::min(std::max(-1e6, value), 1e6); };
    const double lowest = nan ? -1e6 : held(std::min(low0, low1));
    const double highest = held(std::max(high0, high1));
    const int64_t top = YAt(highest, ys, h), bottom = YAt(lowest, ys, h); // top <= bottom
    run.lo = std::min(top, lastY);
    run.hi = std::max(bottom, lastY);
    if (lastY == run.hi && bottom != lastY)
        run.hi = lastY - 1;
    if (lastY == run.lo && top != lastY)
        run.lo = lastY + 1;
    return run;
}

} // namespace

void DrawLine(QImage& image, int64_t x0, int64_t y0, int64_t x1, int64_t y1, QRgb colour) {
    Canvas canvas(image);
    LineOn(canvas, x0, y0, x1, y1, colour);
}

namespace {

void LineOn(Canvas& canvas, int64_t x0, int64_t y0, int64_t x1, int64_t y1, QRgb colour) {
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    if (adx == 0 && ady == 0)
        return;
    int64_t first, end;
    if (adx >= ady) {
        // One pixel a column: y = y0 + round(t * dy / adx), halves rounded up.
        const int sx = dx > 0 ? 1 : -1;
        if (!VisibleSteps(x0, sx, adx - 1, canvas.width, first, end))
            return;
        for (int64_t t = first; t <= end; ++t) {
            const int64_t y = y0 + FloorDiv(2 * t * dy + adx, 2 * adx);
            if (y >= 0 && y < canvas.height)
                canvas.set(x0 + t * sx, y, colour);
        }
    } else {
        const int sy = dy > 0 ? 1 : -1;
        if (!VisibleSteps(y0, sy, ady - 1, canvas.height, first, end))
            return;
        for (int64_t t = first; t <= end; ++t) {
            const int64_t x = x0 + FloorDiv(2 * t * dx + ady, 2 * ady);
            if (x >= 0 && x < canvas.width)
                canvas.set(x, y0 + t * sy, colour);
        }
    }
}

} // namespace

int64_t WaveX(int i, int count, int width) {
    return XAt(i, XScale(count, width));
}

int64_t WaveY(double value, int height) {
    return YAt(value, YScale(height), height);
}

} // namespace display

using namespace display;

TDisplay::TDisplay(QImage& graticule, QImage& wave, QSize size)
    : graticule_(graticule), wave_(wave), size_(size) {}

void TDisplay::DrawGraticule(int columns, int rows) {
    if (columns == columns_ && rows == rows_ && gridSize_ == size_)
        return;
    graticule_ = QImage(size_, QImage::Format_ARGB32);
    graticule_.fill(kClearBackground);
    const int w = size_.width(), h = size_.height();
    const double xstep = (w - 1) / static_cast<double>(columns);
    const double ystep = (h - 1) / static_cast<double>(rows);
    auto at = [](double v) { return static_cast<int64_t>(std::nearbyint(v)); };
    for (int i = 0; i < columns; ++i)
        DrawLine(graticule_, at(i * xstep), 0, at(i * xstep), h - 1, kGrid);
    DrawLine(graticule_, at(columns * xstep) - 1, 0, at(columns * xstep) - 1, h - 1, kGrid);
    for (int j = 0; j < rows; ++j)
        DrawLine(graticule_, 0, at(j * ystep), w - 1, at(j * ystep), kGrid);
    DrawLine(graticule_, 0, at(rows * ystep) - 1, w - 1, at(rows * ystep) - 1, kGrid);
    columns_ = columns;
    rows_ = rows;
    gridSize_ = size_;
}

void TDisplay::DrawWaveData(const std::vector<double>& samples, int count) {
    if (wave_.size() != size_ || wave_.format() != QImage::Format_ARGB32)
        wave_ = QImage(size_, QImage::Format_ARGB32);
    if (count < 1 || static_cast<size_t>(count) > samples.size()) {
        wave_.fill(Qt::transparent); // cleared, and left empty
        return;
    }
    wave_.fill(kClearBackground);
    const int h = size_.height();
    if (h < 3 || size_.width() < 3)
        return; // no room for a scale
    if (count == 1) {
        DrawGraticule(10, 10); // a single sample draws no line
        return;
    }
    const double xs = XScale(count, size_.width()), ys = YScale(h);

    // Every segment between two samples in the same pixel column is a
    // vertical run, and together they cover one unbroken run of rows; only
    // the segments that cross to the next column are drawn as lines. This
    // sets exactly the pixels that drawing every segment as a line of its own
    // sets, with one pass over the samples.
    const double* const v = samples.data();
    Canvas canvas(wave_);
    int64_t prevX = -1, prevY = 0;
    for (int first = 0; first < count;) {
        const int64_t x = XAt(first, xs);
        // The last sample of this column: near (x + 0.5) / xs, then exact.
        int last = std::max(first, static_cast<int>(std::min((x + 0.5) / xs, count - 1.0)));
        while (last + 1 < count && XAt(last + 1, xs) == x)
            ++last;
        while (last > first && XAt(last, xs) != x)
            --last;
        if (prevX >= 0)
            LineOn(canvas, prevX, prevY, x, YAt(v[first], ys, h), kWave);
        const int64_t lastY = YAt(v[last], ys, h);
        ColumnRun run = InColumnRun(v, first, last, lastY, ys, h);
        if (run.lo <= run.hi)
            FillColumn(canvas, x, run.lo, run.hi, kWave);
        prevX = x;
        prevY = lastY;
        first = last + 1;
    }
    DrawGraticule(10, 10);
}

void TDisplay::DrawBasicShape(int shape, int points, double symmetry) {
    sketch_.assign(static_cast<size_t>(std::max(points, 0)), 0.0);
    const double n = points;
    const double period = points > 1 ? n - 1 : 1; // the sine's last sample closes the cycle
    for (int i = 0; i < points; ++i) {
        double& v = sketch_[static_cast<size_t>(i)];
        switch (shape) {
        case 0:
            v = 50 + 50 * std::sin(M_PI * 2 * i / period);
            break;
        case 1: {
            const double peak = n * symmetry / 100;
            if (i <= peak)
                v = peak > 0 ? i * 100 / peak : 100; // 0/0 at a peak of 0
            else
                v = (n - i) * 100 / (n - peak);
            break;
        }
        case 2:
            v = i < n * symmetry / 100 ? 100 : 0;
            break;
        default:
            break;
        }
    }
    DrawWaveData(sketch_, points);
}
