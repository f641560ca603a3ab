// The preview in the main window: what it draws for each page and channel,
// its labels, and a rendered sine against a stored picture.
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QSpinBox>

#include "Display_Unit.h"
#include "PanelFixture.h"
#include "PanelWidgets.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

class TestPreview : public QObject, public PanelFixture {
    Q_OBJECT

    // The display as the operator sees it: the grid and the wave over the
    // display's colour.
    QImage Rendered() {
        QImage out(ui().Grat_Image->size(), QImage::Format_RGB32);
        out.fill(display::kBackground);
        QPainter p(&out);
        p.drawImage(0, 0, ui().Grat_Image->picture());
        p.drawImage(0, 0, ui().Wave_Image->picture());
        return out;
    }
    bool WaveDrawn() {
        const QImage& wave = ui().Wave_Image->picture();
        for (int y = 0; y < wave.height(); ++y)
            for (int x = 0; x < wave.width(); ++x)
                if (wave.pixel(x, y) == display::kWave)
                    return true;
        return false;
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() {
        QLocale::setDefault(QLocale::c());
        start();
    }
    void cleanup() { stop(); }

    void timeLabelsFollowTheStartFrequency() {
        MainControls& m = ui();
        QVERIFY(m.Wave_Image->picture().isNull()); // nothing before the first request
        const struct {
            int hz;
            const char *low, *high;
        } cases[] = {{1000, "Time: 0mS", "Time: 1mS"},
                     {3, "Time: 0mS", "Time: 333.3mS"},
                     {1, "Time: 0s", "Time: 1s"},
                     {3000000, "Time: 0uS", "Time: 0.3333uS"}};
        for (const auto& c : cases) {
            m.StartF_SpinEdit->setValue(c.hz);
            m.Preview_Button->click();
            QCOMPARE(m.Min_Sample_Label->text(), QString(c.low));
            QCOMPARE(m.Max_Sample_Label->text(), QString(c.high));
            QVERIFY(WaveDrawn());
        }
    }

    void arbitraryPageDrawsTheChannelsSamples() {
        MainControls& m = ui();
        record().Channel[2].Wave.ArbitraryFlag = true;
        record().Channel[2].Wave.Arb.Data = {0, 100, 0, 100};
        record().Channel[2].Wave.Arb.WaveLength = 4;
        record().Channel[3].Wave.ArbitraryFlag = true; // no samples
        m.Channel_PageControl->setCurrentIndex(1);     // the switch redraws
        QCOMPARE(m.Max_Sample_Label->text(), QString("Data Point 4"));
        QVERIFY(WaveDrawn());
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty())
            m->grab().save(dir + "/main_form_preview.png");
        m.Channel_PageControl->setCurrentIndex(2);
        QCOMPARE(m.Min_Sample_Label->text(), QString("Data Point 0"));
        QCOMPARE(m.Max_Sample_Label->text(), QString("Data Point 0"));
        QVERIFY(!WaveDrawn());
        QCOMPARE(m.Wave_Image->picture().pixel(10, 10), 0u); // empty, not even filled

        // A count beyond the samples held draws nothing.
        record().Channel[3].Wave.Arb.WaveLength = 262144;
        m.Preview_Button->click();
        QCOMPARE(m.Max_Sample_Label->text(), QString("Data Point 262144"));
        QVERIFY(!WaveDrawn());
    }

    // A channel switch draws the new channel's waveform, whatever page the
    // settings show: with the Clock page up, the Waveform page's controls
    // still hold the last channel's values, which are not the new one's.
    void aSwitchDrawsTheNewChannelsRecordBehindAnyPage() {
        MainControls& m = ui();
        record().Channel[2].Wave.WaveType = 2; // channel 2: a square at 5 kHz
        record().Channel[2].Wave.StartF = 5.0;
        record().Channel[3].Wave.ArbitraryFlag = true; // channel 3: no samples
        m.Channel_PageControl->setCurrentIndex(1);
        QCOMPARE(m.Max_Sample_Label->text(), QString("Time: 200uS"));
        m.Settings_PageControl->setCurrentIndex(1); // the Clock page
        m.Channel_PageControl->setCurrentIndex(2);
        QCOMPARE(m.Max_Sample_Label->text(), QString("Data Point 0"));
        QVERIFY(!WaveDrawn());
        record().Channel[1].Wave.StartF = 2.0;
        m.Channel_PageControl->setCurrentIndex(0); // a sine at 2 kHz, not channel 2's square
        QCOMPARE(m.Max_Sample_Label->text(), QString("Time: 500uS"));
        QCOMPARE(m.WaveType_ComboBox->currentIndex(), 2); // the page's controls as they were
        const QImage sine = Rendered();
        m.Settings_PageControl->setCurrentIndex(0); // the Waveform page shows channel 1
        m.Preview_Button->click();
        QCOMPARE(Rendered(), sine);
    }

    // A preview drawn follows a waveform that another than the operator
    // changed: a configuration applied or loaded.
    void aPreviewFollowsAnAppliedConfiguration() {
        MainControls& m = ui();
        selectCard(false, 0);
        m.Preview_Button->click(); // the sine sketch
        QCOMPARE(m.Max_Sample_Label->text(), QString("Time: 1mS"));
        const QString wave = file("ramp.txt", "0\n25\n50\n100\n");
        dialogs.fileNames = {file("arb.ini", "[Channel1_Wave]\nArbitraryFlag=1\nTextFlag=1\n"
                                             "ArbFile=" +
                                                 wave.toUtf8() + "\n")};
        m.ApplyConfig1->trigger();
        QCOMPARE(m.Max_Sample_Label->text(), QString("Data Point 4"));
        QVERIFY(WaveDrawn());
    }

    void renderedSineMatchesTheStoredPicture() {
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty()) {
            // The README's picture: a card in use, channel 1 playing a sine
            // with a new attenuation not sent yet, the sine previewed.
            selectCard(false, 0);
            ui().WaveUpdate_Button->click();
            ui().Att_Slider->setValue(20);
            ui().Preview_Button->click();
            QCoreApplication::processEvents();
            main().grab().save(dir + "/screenshot.png");
        }
        ui().Preview_Button->click(); // sine, 50 %, 1000 Hz
        const QImage rendered = Rendered();
        const QString stored = SOURCE_DIR "/data/preview_sine.png";
        if (qEnvironmentVariableIsSet("NV815_WRITE_REFERENCE"))
            rendered.save(QString(SOURCE_DIR) + "/data/preview_sine.png");
        QImage reference(stored);
        QVERIFY2(!reference.isNull(), "data/preview_sine.png is missing");
        QCOMPARE(rendered, reference.convertToFormat(QImage::Format_RGB32));
    }
};

NV815_TEST_MAIN(TestPreview)
} // namespace NV815_TEST_UNIT

#include "tst_preview.moc"
