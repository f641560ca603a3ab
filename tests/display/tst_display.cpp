// Drawing the preview: the line rule, the grid, the basic shapes, and the
// fast waveform drawing against drawing every segment as a line of its own.
#include <QRandomGenerator>
#include <QtTest>
#include <cmath>
#include <set>

#include "Display_Unit.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

using namespace display;

using Pixels = std::set<std::pair<int, int>>;

Pixels Lit(const QImage& image, QRgb colour) {
    Pixels out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                out.insert({x, y});
    return out;
}

// Every segment drawn as a line of its own: what the fast drawing must equal.
QImage PerSegment(const std::vector<double>& v, QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(kClearBackground);
    const int n = int(v.size());
    for (int i = 1; i < n; ++i)
        DrawLine(image, WaveX(i - 1, n, size.width()), WaveY(v[i - 1], size.height()),
                 WaveX(i, n, size.width()), WaveY(v[i], size.height()), kWave);
    return image;
}

std::vector<double> Wave(const QString& kind, int n) {
    std::vector<double> v(size_t(n), 0.0);
    QRandomGenerator random(n);
    for (int i = 0; i < n; ++i) {
        double& s = v[size_t(i)];
        if (kind == "sine")
            s = 50 + 50 * std::sin(2 * M_PI * i / n);
        else if (kind == "noise")
            s = random.bounded(100.0);
        else if (kind == "square")
            s = (i / std::max(n / 7, 1)) % 2 ? 100 : 0;
        else if (kind == "spike")
            s = i == n / 3 ? 100 : 20;
        else // outside 0..100, up to the limits of a double
            s =
                std::array{
                    -40.0, 180.0, 65535.0, -1e300, 1e300, 50.0, qInf(), -qInf(), qQNaN()}[size_t(
                    random.bounded(9))] +
                random.bounded(10.0);
    }
    return v;
}

class TestDisplay : public QObject {
    Q_OBJECT

private slots:
    void linesSetTheirStartButNotTheirEnd() {
        const struct {
            int x0, y0, x1, y1;
            Pixels lit;
        } cases[] = {
            {0, 0, 5, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
            {2, 3, 2, 0, {{2, 3}, {2, 2}, {2, 1}}},
            {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
            {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},
            {1, 1, 1, 1, {}},
            {-2, 1, 3, 1, {{0, 1}, {1, 1}, {2, 1}}}, // clipped
        };
        for (const auto& c : cases) {
            QImage image(8, 8, QImage::Format_ARGB32);
            image.fill(0);
            DrawLine(image, c.x0, c.y0, c.x1, c.y1, kWave);
            QCOMPARE(Lit(image, kWave), c.lit);
        }
    }

    void gridLinesAtTheirPlaces() {
        QImage grat, wave;
        TDisplay d(grat, wave, QSize(449, 345));
        d.DrawGraticule(10, 10);
        QList<int> columns, rows;
        for (int x = 0; x < 449; ++x)
            if (grat.pixel(x, 1) == kGrid)
                columns << x;
        for (int y = 0; y < 345; ++y)
            if (grat.pixel(1, y) == kGrid)
                rows << y;
        QCOMPARE(columns, QList<int>({0, 45, 90, 134, 179, 224, 269, 314, 358, 403, 447}));
        QCOMPARE(rows, QList<int>({0, 34, 69, 103, 138, 172, 206, 241, 275, 310, 343}));
        QCOMPARE(grat.pixel(448, 344), kClearBackground); // lines end before the edge
        QCOMPARE(grat.pixel(5, 5), kClearBackground);

        // Drawn again only for another grid or size.
        grat.setPixel(5, 5, kWave);
        d.DrawGraticule(10, 10);
        QCOMPARE(grat.pixel(5, 5), kWave);
        d.DrawGraticule(4, 4);
        QCOMPARE(grat.pixel(5, 5), kClearBackground);
    }

    void nothingOrOneSampleDrawsNoLine() {
        QImage grat, wave;
        TDisplay d(grat, wave, QSize(449, 345));
        d.DrawWaveData({}, 0);
        QCOMPARE(Lit(wave, 0).size(), size_t(449 * 345)); // empty
        QVERIFY(grat.isNull());                           // and no grid yet
        d.DrawWaveData({1, 2, 3}, 4);                     // more than held: nothing read
        QCOMPARE(Lit(wave, 0).size(), size_t(449 * 345));
        d.DrawWaveData({42}, 1);
        QVERIFY(Lit(wave, kWave).empty());
        QCOMPARE(WaveX(0, 1, 449), int64_t{0});
        QCOMPARE(wave.pixel(0, 0), kClearBackground);
        QCOMPARE(grat.pixel(0, 0), kGrid);
    }

    void basicShapes() {
        QImage grat, wave;
        TDisplay d(grat, wave, QSize(449, 345));
        d.DrawBasicShape(0, 128, 50);
        QCOMPARE(d.Sketch()[0], 50.0);
        QVERIFY(d.Sketch()[1] > 50);
        d.DrawBasicShape(1, 128, 0); // falling ramp from 100
        QCOMPARE(d.Sketch()[0], 100.0);
        QCOMPARE(d.Sketch()[64], 50.0);
        d.DrawBasicShape(1, 128, 100); // rising ramp
        QCOMPARE(d.Sketch()[0], 0.0);
        QCOMPARE(d.Sketch()[64], 50.0);
        d.DrawBasicShape(1, 128, 50);
        QCOMPARE(*std::max_element(d.Sketch().begin(), d.Sketch().end()), 100.0);
        QCOMPARE(d.Sketch()[64], 100.0);
        d.DrawBasicShape(2, 128, 25);
        for (int i = 0; i < 128; ++i)
            QCOMPARE(d.Sketch()[size_t(i)], i < 32 ? 100.0 : 0.0);
        d.DrawBasicShape(7, 128, 50);
        QCOMPARE(std::count(d.Sketch().begin(), d.Sketch().end(), 0.0), 128);
        for (double v : d.Sketch())
            QVERIFY(std::isfinite(v));
    }

    void fastDrawingEqualsEverySegmentDrawn() {
        for (const QSize size : {QSize(449, 345), QSize(301, 197)})
            for (const int n : {2, 3, 128, 1000, 4096, 100000, 262144})
                for (const char* kind : {"sine", "noise", "square", "spike", "outside"}) {
                    const std::vector<double> v = Wave(kind, n);
                    QImage grat, wave;
                    TDisplay d(grat, wave, size);
                    d.DrawWaveData(v, n);
                    QVERIFY2(wave == PerSegment(v, size),
                             qPrintable(QString("%1 samples, %2").arg(n).arg(kind)));
                }
    }
};

NV815_TEST_APPLESS_MAIN(TestDisplay)
} // namespace NV815_TEST_UNIT

#include "tst_display.moc"
