// The waveform builder: expressions against values computed here, CSV and
// sound files as spreadsheets, oscilloscopes and recorders write them,
// resampling, and a built waveform on the simulated card.
#include <sndfile.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <cmath>

#include "CsvTable.h"
#include "ElidedLabel.h"
#include "FailingAllocations.h"
#include "OperatorDialogs.h"
#include "PanelFixture.h"
#include "SimJournal.h"
#include "TestRegistry.h"
#include "WavFile.h"
#include "WaveBuilder_Unit.h"
#include "WaveExpression.h"
#include "WaveFile.h"
#include "WaveShaping.h"
#include "WaveUpload.h"

namespace NV815_TEST_UNIT {

std::vector<double> Eval(const char* expression, int count) {
    const ExpressionResult r = EvaluateExpression(expression, count);
    if (!r.error.empty())
        qWarning("%s: %s", expression, r.error.c_str());
    return r.samples;
}

CsvColumnRead Column(const std::string& text, int column, CsvSniff* sniffed = nullptr) {
    const CsvSniff s = SniffCsv(text);
    if (sniffed)
        *sniffed = s;
    return ReadCsvColumn(text, s.format, column);
}

class TestWaveBuilder : public QObject, public PanelFixture {
    Q_OBJECT

    // A two-channel sound file of `format`: channel 1 a ramp, channel 2 its negative.
    QString writeWav(const char* name, int format, int frames) {
        const QString path = dir.filePath(name);
        SF_INFO info{};
        info.samplerate = 8000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | format;
        SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
        std::vector<double> frames2;
        for (int i = 0; i < frames; ++i)
            frames2.insert(frames2.end(), {i / double(frames) - 0.5, 0.5 - i / double(frames)});
        sf_writef_double(f, frames2.data(), frames);
        sf_close(f);
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() { start(); }
    void cleanup() { stop(); }

    void expressions() {
        const std::vector<double> sine = Eval("sin(2*pi*t)", 8);
        for (int i = 0; i < 8; ++i)
            QVERIFY(std::fabs(sine[size_t(i)] - std::sin(2 * M_PI * i / 8)) < 1e-12);
        QCOMPARE(Eval("square(t, 0.25)", 8), std::vector<double>({1, 1, -1, -1, -1, -1, -1, -1}));
        QCOMPARE(Eval("tri(t, 0.5)", 4), std::vector<double>({-1, 0, 1, 0}));
        QCOMPARE(Eval("n + floor(2.5) + max(1, 2)", 3), std::vector<double>({4, 5, 6}));
        const std::vector<double> noise = Eval("rand()", 1000);
        QCOMPARE(noise, Eval("rand()", 1000)); // a fixed seed
        QVERIFY(*std::min_element(noise.begin(), noise.end()) >= 0);
        QVERIFY(*std::max_element(noise.begin(), noise.end()) < 1);
        QVERIFY(noise[0] != noise[1]);

        ExpressionResult bad = EvaluateExpression("2*t + * 3", 4);
        QVERIFY(!bad.error.empty() && bad.samples.empty());
        QCOMPARE(bad.errorPosition, 6);
        bad = EvaluateExpression("rand() + rand() + * 3", 4); // after two rewritten calls
        QCOMPARE(bad.errorPosition, 18);
        bad = EvaluateExpression("1/(n-2)", 4); // infinite at n = 2
        QCOMPARE(bad.error, std::string("The expression gives no finite value at n = 2."));
        // The message names no position of its own: the operator's is beside it.
        bad = EvaluateExpression("rand() + 2 + * 3", 4);
        QVERIFY2(bad.error.find("position") == std::string::npos, bad.error.c_str());
        QCOMPARE(bad.errorPosition, 13);

        // Any length costs its length, up to a limit that is said; an argument
        // typed by hand, however large or negative, draws a number too.
        const std::string spaces(4000, ' ');
        QCOMPARE(Eval(("rand(" + spaces + ")").c_str(), 4), Eval("rand()", 4));
        bad = EvaluateExpression("rand(" + std::string(28000, ' ') + ")", 4);
        QCOMPARE(bad.error, std::string("The expression is longer than 4096 characters."));
        for (const char* odd : {"rand_(1e300)", "rand_(-5)", "rand_(0/0)"}) {
            const std::vector<double> v = Eval(odd, 2);
            QVERIFY2(v.size() == 2 && v[0] >= 0 && v[0] < 1, odd);
        }
    }

    void csvFiles() {
        CsvSniff s;
        CsvColumnRead r = Column("Time;Volt\r\ns;V\r\n0;1,5\r\n0,5;-2,25\r\n1;3\r\n", 1, &s);
        QCOMPARE(s.format.delimiter, ';');
        QCOMPARE(s.format.decimal, ',');
        QCOMPARE(s.format.headerLines, 2);
        QCOMPARE(s.columns[1].title, std::string("V"));
        QCOMPARE(s.columns[1].first, std::vector<std::string>({"1,5", "-2,25", "3"}));
        QCOMPARE(r.values, std::vector<double>({1.5, -2.25, 3}));
        r = Column("x,y\n1,2\n3,4\n\n5,6\n", 1, &s); // a blank line is skipped
        QCOMPARE(s.format.delimiter, ',');
        QCOMPARE(r.values, std::vector<double>({2, 4, 6}));
        r = Column("a\tb\n1.5\t2\n3\t4e-3\n", 1, &s);
        QCOMPARE(s.format.delimiter, '\t');
        QCOMPARE(r.values, std::vector<double>({2, 0.004}));
        r = Column("a,b\n1,2\n3,oops\n5,6\n", 1);
        QCOMPARE(r.error, std::string("Line 3, column 2 is not a number."));
        QCOMPARE(int(r.line), 3);
        QVERIFY(!SniffCsv("no numbers\nat all\n").error.empty());
    }

    void soundFiles() {
        const struct {
            int format;
            double tolerance;
        } cases[] = {{SF_FORMAT_PCM_U8, 1.0 / 64},
                     {SF_FORMAT_PCM_16, 1e-4},
                     {SF_FORMAT_PCM_24, 1e-6},
                     {SF_FORMAT_PCM_32, 1e-8},
                     {SF_FORMAT_FLOAT, 1e-7}};
        for (const auto& c : cases) {
            const QString path = writeWav("tone.wav", c.format, 1000);
            const WavRead r = ReadWavChannel(QFile::encodeName(path).toStdString(), 1);
            QVERIFY2(r.error.empty(), r.error.c_str());
            QCOMPARE(r.channels, 2);
            QCOMPARE(r.sampleRate, 8000);
            QCOMPARE(int(r.samples.size()), 1000);
            QVERIFY(std::fabs(r.samples[0] - 0.5) < c.tolerance);
            QVERIFY(std::fabs(r.samples[999] - (0.5 - 0.999)) < c.tolerance);
        }
        QVERIFY(!ReadWavChannel(QFile::encodeName(file("no.wav", "RIFF....")).toStdString(), 0)
                     .error.empty());
    }

    // A file sent from elsewhere (the web front panel), read as the window
    // reads it: the text import's checks, the builder's length and scaling
    // for a table or a sound read from memory as from a file.
    void uploadsReadAsTheWindowReads() {
        QFile wav(writeWav("upload.wav", SF_FORMAT_PCM_16, 1000));
        QVERIFY(wav.open(QIODevice::ReadOnly));
        const std::string sound = wav.readAll().toStdString();
        const WavRead fromFile = ReadWavChannel(QFile::encodeName(wav.fileName()).toStdString(), 1);
        QCOMPARE(ReadWavChannelBytes(sound, 1).samples, fromFile.samples);
        using F = UploadFormat;
        const struct {
            std::string bytes;
            UploadOptions options;
            int count;          // samples made, or -1 when refused
            const char* words;  // in the source said, or in the refusal
            double first, last; // the first and last sample made
        } cases[] = {
            {"10\n50\n90\n", {F::Text, 1, 0, false}, 3, "text, 3 samples", 10, 90},
            {"0\n5\n", {F::Text, 1, 4, false}, 4, "made 4", 0, 5},
            {"-5\n5\n", {F::Text, 1, 0, true}, 2, "normalised", 0, 100},
            {"-5\n5\n",
             {F::Text, 1, 0, false},
             -1,
             "must be from 0 to 100 %: these go from -5 to 5",
             0,
             0},
            {"10\nten\n", {F::Text, 1, 0, false}, -1, "Line 2 of the file is not a number", 0, 0},
            {"", {F::Text, 1, 0, false}, -1, "holds no samples", 0, 0},
            {"t,v\n0,20\n1,30\n2,40\n", {F::Csv, 2, 0, false}, 2, "column 2 of 2 (v)", 20, 40},
            {"t,v\n0,20\n1,30\n2,40\n", {F::Csv, 3, 0, false}, -1, "there is no column 3", 0, 0},
            {"t;v\n0;1,5\n1;x\n", {F::Csv, 2, 0, true}, -1, "Line 3, column 2", 0, 0},
            {sound, {F::Sound, 2, 0, true}, 512, "channel 2 of 2", 100, 0},
            {sound, {F::Sound, 3, 0, true}, -1, "there is no channel 3", 0, 0},
            {"RIFF garbage", {F::Sound, 1, 0, true}, -1, "Not a sound file", 0, 0},
            {"10\n", {F::Text, 1, 1000, false}, -1, "power of two", 0, 0},
        };
        for (const auto& c : cases) {
            const UploadedWave w = ReadUploadedWave(c.bytes, c.options);
            const std::string& said = c.count < 0 ? w.error : w.source;
            QVERIFY2(said.find(c.words) != std::string::npos, (said + " / " + c.words).c_str());
            QCOMPARE(int(w.samples.size()), std::max(c.count, 0));
            if (c.count > 0) {
                QVERIFY(std::fabs(w.samples.front() - c.first) < 1e-3);
                QVERIFY(std::fabs(w.samples.back() - c.last) < 1e-3);
            }
        }
    }

    // What a sound file holds cannot hang, exhaust or poison the builder: a
    // FIFO is not opened, many channels are read in bounded pieces, and a
    // sample that is no number is named.
    void oddSoundFiles() {
        const QString fifo = dir.filePath("fifo.wav");
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QCOMPARE(ReadWavChannel(QFile::encodeName(fifo).toStdString(), 0).error,
                 std::string("It is no regular file."));

        SF_INFO info{};
        info.samplerate = 8000;
        info.channels = 1024;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        const QByteArray wide = QFile::encodeName(dir.filePath("wide.wav"));
        SNDFILE* f = sf_open(wide.constData(), SFM_WRITE, &info);
        std::vector<double> frames(size_t(1024) * 4, 0.25);
        sf_writef_double(f, frames.data(), 4);
        sf_close(f);
        {
            const AllocationLimit limit(8 << 20);
            const WavRead r = ReadWavChannel(wide.toStdString(), 1023);
            QCOMPARE(r.samples.size(), size_t(4));
        }

        for (const int at : {0, 3}) {
            info = SF_INFO{};
            info.samplerate = 8000;
            info.channels = 1;
            info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
            const QByteArray nan = QFile::encodeName(dir.filePath("nan.wav"));
            f = sf_open(nan.constData(), SFM_WRITE, &info);
            std::vector<float> values(8, 0.5f);
            values[size_t(at)] = std::nanf("");
            sf_writef_float(f, values.data(), 8);
            sf_close(f);
            QCOMPARE(ReadWavChannel(nan.toStdString(), 0).error,
                     "Sample " + std::to_string(at) + " of channel 1 is not a finite number.");
        }
        QCOMPARE(CheckPercent({50, std::nan(""), 60}).outside, size_t(1));
    }

    // Each source keeps its own length; a CSV file starts at its first column;
    // a long file name shows its ends.
    void eachSourceKeepsItsOwnChoices() {
        ui().WaveBuilder1->trigger();
        TWaveBuilder_Form* b = main().findChild<TWaveBuilder_Form*>();
        b->Length_ComboBox->setCurrentText("64");
        const QString csv = file(QString(120, 'c') + ".csv",
                                 QByteArray("t,v\n") + QByteArray("1,5\n").repeated(300));
        QVERIFY(b->OpenCsv(csv));
        QCOMPARE(b->Length_ComboBox->currentText(), QString("256"));
        QCOMPARE(b->CsvColumn_ComboBox->currentIndex(), 0);
        QCOMPARE(b->Samples().size(), size_t(256));
        QVERIFY(b->CsvFile_Label->text().contains(QChar(0x2026)));
        QCOMPARE(b->CsvFile_Label->toolTip(), QFileInfo(csv).fileName());
        if (const QString shots = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !shots.isEmpty())
            b->grab().save(shots + "/wavebuilder_csv.png");
        b->Source_TabWidget->setCurrentIndex(0);
        QCOMPARE(b->Length_ComboBox->currentText(), QString("64"));
        QCOMPARE(b->Samples().size(), size_t(64));
    }

    void resamplingKeepsTheEnds() {
        std::vector<double> source(1000);
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = std::sin(0.37 * double(i)) * 7.3;
        for (int n : {2, 256, 1024, 4096}) {
            const std::vector<double> out = ResampleLinear(source, n);
            QCOMPARE(out.front(), source.front());
            QCOMPARE(out.back(), source.back());
        }
        QCOMPARE(ResampleLinear({0, 10}, 5), std::vector<double>({0, 2.5, 5, 7.5, 10}));
        // The largest power of two the file fills: both sides of each boundary.
        for (const auto& [values, length] : {std::pair{1, 2},
                                             {3, 2},
                                             {4, 4},
                                             {1000, 512},
                                             {1023, 512},
                                             {1024, 1024},
                                             {1025, 1024},
                                             {262143, 131072},
                                             {262144, 262144},
                                             {5000000, 262144}})
            QCOMPARE(DefaultLength(size_t(values)), length);
    }

    void builtWaveformReachesTheCard() {
        selectCard(false, 0);
        ui().WaveBuilder1->trigger();
        TWaveBuilder_Form* b = main().findChild<TWaveBuilder_Form*>();
        QVERIFY(b && b->isVisible());
        b->Expression_Edit->setText("50 + 40*sin(2*pi*t)");
        b->Scale_ComboBox->setCurrentIndex(1); // percent as they are
        b->Length_ComboBox->setCurrentText("256");
        const std::vector<double> built = b->Samples();
        QCOMPARE(int(built.size()), 256);
        QCOMPARE(built[64], 90.0);
        b->UseOnChannel_Button->click();
        QCOMPARE(ui().Arbwave_DataCount_Label->text(), QString("Data Points: 256"));
        ui().Wave_PageControl->setCurrentWidget(ui().TabSheet8);
        nvsim_journal_clear();
        ui().WaveUpdate_Button->click();
        const QString checksum =
            QString("%1").arg(nvsim_checksum(built.data(), 256), 16, 16, QChar('0')).toUpper();
        QVERIFY2(SimJournal().join('\n').contains(checksum), qPrintable(SimJournal().join('\n')));

        // Out of range as percent: reported, nothing to use.
        b->Expression_Edit->setText("200*t");
        QVERIFY(b->Samples().empty() && !b->UseOnChannel_Button->isEnabled());
        QVERIFY(b->Problem_Label->text().startsWith(
            "127 samples lie outside 0..100 % (the first is n = 129"));
        // Only problems are red; what to do first is not.
        const QColor red(0xb0, 0, 0);
        QCOMPARE(b->Problem_Label->palette().color(QPalette::WindowText), red);
        b->Source_TabWidget->setCurrentIndex(1);
        QCOMPARE(b->Problem_Label->text(), QString("Open a CSV or TSV file."));
        QVERIFY(b->Problem_Label->palette().color(QPalette::WindowText) != red);
        if (const QString shots = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !shots.isEmpty())
            b->grab().save(shots + "/wavebuilder_prompt.png");
        b->Source_TabWidget->setCurrentIndex(0);
        // Saved as the text format, it imports as it was built.
        b->Scale_ComboBox->setCurrentIndex(0);
        dialogs.fileNames = {dir.filePath("built.txt")};
        b->SaveText_Button->click();
        QCOMPARE(b->Problem_Label->text(), QString("Saved 256 samples to built.txt."));
        QVERIFY(b->Problem_Label->palette().color(QPalette::WindowText) != red);
        TArbWave back;
        DialogOperatorUi ui(nullptr);
        QCOMPARE(::ImportWaveFile(back, dir.filePath("built.txt").toStdString(), false, true, ui),
                 VI_SUCCESS);
        QCOMPARE(int(back.Data.size()), 256);
        QVERIFY(std::fabs(back.Data[255] - b->Samples()[255]) < 1e-4);
    }

    // A built waveform is in no file: Save Config asks whether to write one
    // beside the configuration, which then names it: No names none and says
    // so, Cancel (or closing the box) saves nothing at all.
    void builtWaveformsInAConfiguration() {
        ui().WaveBuilder1->trigger();
        TWaveBuilder_Form* b = main().findChild<TWaveBuilder_Form*>();
        b->Length_ComboBox->setCurrentText("16");
        b->UseOnChannel_Button->click();
        record().Channel[1].Wave.ArbitraryFlag = true;
        const std::vector<double> built = record().Channel[1].Wave.Arb.Data;
        using A = Dialogs::Answer;
        for (const A answer : {A::Cancel, A::Closed, A::No, A::Yes}) {
            const bool saved = answer == A::No || answer == A::Yes, kept = answer == A::Yes;
            dialogs.answers = {answer};
            dialogs.fileNames = {dir.filePath("built.ini")};
            ui().SaveConfig1->trigger();
            QCOMPARE(dialogs.messages.last().kind, Dialogs::Kind::QuestionOrCancel);
            QVERIFY(dialogs.messages.last().text.contains("built_channel1.txt"));
            QCOMPARE(QFile::exists(dir.filePath("built.ini")), saved);
            QCOMPARE(QFile::exists(dir.filePath("built_channel1.txt")), kept);
            QCOMPARE(ui()->Feedback().contains("channel 1 is in no file"), answer == A::No);
        }
        dialogs.fileNames = {dir.filePath("built.ini")};
        ui().LoadConfig1->trigger();
        QVERIFY2(ui()->Feedback().startsWith("Configuration loaded"), qPrintable(ui()->Feedback()));
        QCOMPARE(record().Channel[1].Wave.Arb.Data.size(), built.size());
        for (size_t i = 0; i < built.size(); ++i)
            QVERIFY(std::fabs(record().Channel[1].Wave.Arb.Data[i] - built[i]) < 1e-4);
        dialogs.fileNames = {dir.filePath("again.ini")}; // now in a file: nothing to ask
        const int asked = dialogs.messages.size();
        ui().SaveConfig1->trigger();
        QCOMPARE(dialogs.messages.size(), asked);
    }
};

NV815_TEST_MAIN(TestWaveBuilder)
} // namespace NV815_TEST_UNIT

#include "tst_wavebuild.moc"
