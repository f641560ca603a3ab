// Decoding the logo: a picture libjpeg cannot decode gives an empty image.
#include <QFile>
#include <QtTest>

#include "JpegImage.h"
#include "TestRegistry.h"

// The panel's resources (the macro is for the global namespace only).
static void InitJpegTestResources() {
    Q_INIT_RESOURCE(panel);
}

namespace NV815_TEST_UNIT {

class TestJpeg : public QObject {
    Q_OBJECT
    QByteArray logo;

private slots:
    void initTestCase() {
        InitJpegTestResources();
        QFile f(":/nv815/norvale_logo.jpg");
        QVERIFY(f.open(QIODevice::ReadOnly));
        logo = f.readAll();
    }

    void decodesTheLogo() {
        const QImage image = DecodeJpeg(logo);
        QCOMPARE(image.size(), QSize(449, 81));
        QCOMPARE(QColor(image.pixel(440, 5)).lightness() > 240, true); // white ground
    }

    void badDataNeverAborts() {
        QVERIFY(DecodeJpeg({}).isNull());
        QVERIFY(DecodeJpeg("not a picture at all").isNull());
        QByteArray header = logo.left(2) + QByteArray(64, '\x55');
        QVERIFY(DecodeJpeg(header).isNull());
        // Cut short: libjpeg pads the missing rows; what matters is that it returns.
        for (qsizetype size : {qsizetype(16), qsizetype(200), qsizetype(600), logo.size() / 2})
            DecodeJpeg(logo.left(size));
        QByteArray flipped = logo;
        for (int i = 300; i < flipped.size(); i += 97)
            flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
        DecodeJpeg(flipped);
        // A marker inside the picture data fails after the image exists: it
        // must be freed (the sanitizer build reports a leak otherwise).
        QByteArray marker = logo;
        const qsizetype stuffed =
            logo.indexOf(QByteArray("\xFF\x00", 2), logo.indexOf(QByteArray("\xFF\xDA", 2)));
        QVERIFY(stuffed > 0);
        marker[stuffed + 1] = 0x6E;
        QVERIFY(DecodeJpeg(marker).isNull());
    }
};

NV815_TEST_GUILESS_MAIN(TestJpeg)
} // namespace NV815_TEST_UNIT

#include "tst_jpeg.moc"
