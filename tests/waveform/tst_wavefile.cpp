// Waveform files: import, export, their limits and the mended failures.
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <charconv>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FailingAllocations.h"
#include "FileFaults.h"
#include "SafeFile.h"
#include "TestRegistry.h"
#include "WaveFile.h"
#include "WaveParse.h"

namespace NV815_TEST_UNIT {

class ScriptedUi : public WaveFileUi {
public:
    QStringList errors, warnings, questions, notes;
    QList<bool> answers; // consumed in order; OK when they run out
    void error(const std::string& t) override { errors << QString::fromStdString(t); }
    void warning(const std::string& t) override { warnings << QString::fromStdString(t); }
    void information(const std::string& t) override { notes << QString::fromStdString(t); }
    bool confirm(const std::string& t) override {
        questions << QString::fromStdString(t);
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    int shown() const {
        return static_cast<int>(errors.size() + warnings.size() + questions.size() + notes.size());
    }
};

const QString kNegative =
    "The data imported contains negative values. This means the \r\ndata is not in 0% to 100% "
    "format. \r\nTo correct this the data must be 'normalised', to do this select \r\n'OK'. "
    "\r\nSelecting 'Abort' will abort the data importing operation.";
const QString kAbove100 =
    "The data imported contains values greater than 100. This means the \r\ndata is not in 0% "
    "to 100% format. \r\nTo correct this the data must be 'normalised', to do this select "
    "\r\n'OK'. \r\nSelecting 'Abort' will abort the data importing operation.";

TArbWave Previous() {
    TArbWave w;
    w.ArbFile = "/old/previous.txt";
    w.Data = {1, 2, 3};
    w.WaveLength = 3;
    return w;
}

class TestWaveFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    std::string file(const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return path.toStdString();
    }
    static QByteArray read(const std::string& path) {
        FileReader f(path); // the name's own bytes
        std::string bytes;
        f.readAll(bytes);
        return QByteArray::fromStdString(bytes);
    }

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void parsesSampleLines_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << QByteArray("12.5") << true << 12.5;
        QTest::newRow("blanks and sign") << QByteArray("  +7 ") << true << 7.0;
        QTest::newRow("negative exponent") << QByteArray("-1.5e-2") << true << -0.015;
        QTest::newRow("leading point") << QByteArray(".5") << true << 0.5;
        QTest::newRow("trailing point") << QByteArray("5.") << true << 5.0;
        QTest::newRow("exponent sign") << QByteArray("1E+2") << true << 100.0;
        QTest::newRow("tab") << QByteArray("1\t") << false << 0.0;
        QTest::newRow("two numbers") << QByteArray("1 2") << false << 0.0;
        QTest::newRow("comma") << QByteArray("1,5") << false << 0.0;
        QTest::newRow("bare sign") << QByteArray("-") << false << 0.0;
        QTest::newRow("bare exponent") << QByteArray("1e") << false << 0.0;
        QTest::newRow("word") << QByteArray("nan") << false << 0.0;
        QTest::newRow("infinity") << QByteArray("-inf") << false << 0.0;
        QTest::newRow("overflow") << QByteArray("1e999") << false << 0.0;
        QTest::newRow("hex") << QByteArray("0x10") << false << 0.0;
        QTest::newRow("long fraction")
            << QByteArray("0." + QByteArray(500, '5')) << true << 0.5555555555555556;
        QTest::newRow("huge integer part")
            << QByteArray(QByteArray(500, '9') + ".5") << false << 0.0;
    }
    void parsesSampleLines() {
        QFETCH(QByteArray, line);
        QFETCH(bool, ok);
        QFETCH(double, value);
        double v = 0;
        QCOMPARE(ParseSampleLine(line.constData(), line.constData() + line.size(), '.', v), ok);
        if (ok)
            QCOMPARE(v, value);
        // The same with a comma as the decimal separator.
        if (QByteArray(QTest::currentDataTag()) == "comma")
            return;
        QByteArray comma = line;
        comma.replace('.', ',');
        QCOMPARE(ParseSampleLine(comma.constData(), comma.constData() + comma.size(), ',', v), ok);
        if (ok)
            QCOMPARE(v, value);
    }

    void parsingAgreesWithTheLibraryConversion() {
        // Random decimals of many shapes must convert exactly as the library does.
        QRandomGenerator random(815);
        for (int i = 0; i < 200000; ++i) {
            QByteArray text;
            if (random.bounded(2))
                text += '-';
            text += QByteArray::number(random.bounded(1u << 30) * (random.bounded(3) ? 1 : 12345));
            if (random.bounded(3)) {
                text += '.';
                const int n = static_cast<int>(random.bounded(1, 22));
                for (int k = 0; k < n; ++k)
                    text += static_cast<char>('0' + random.bounded(10));
            }
            if (!random.bounded(4))
                text += 'e' + QByteArray::number(static_cast<int>(random.bounded(60)) - 30);
            double parsed = 0;
            QVERIFY2(ParseSampleLine(text.constData(), text.constData() + text.size(), '.', parsed),
                     text.constData());
            double expected = 0;
            std::from_chars(text.constData(), text.constData() + text.size(), expected);
            QVERIFY2(parsed == expected, text.constData());
            QByteArray comma = text;
            comma.replace('.', ',');
            double viaComma = 0;
            QVERIFY(ParseSampleLine(comma.constData(), comma.constData() + comma.size(), ',',
                                    viaComma));
            QVERIFY2(viaComma == expected, comma.constData());
        }
    }

    void textImportKeepsOrNormalises() {
        const std::string path =
            file("wave.txt", "! header\r\n0\r\n\r\n25.5\r\n12.5 ! remark\n100\n");
        ScriptedUi ui;
        TArbWave w;
        QCOMPARE(ImportWaveFile(w, path, false, true, ui), VI_SUCCESS);
        QCOMPARE(w.Data, std::vector<double>({0, 25.5, 100}));
        QCOMPARE(w.WaveLength, 3);
        QCOMPARE(ui.shown(), 0); // exactly 0 and 100 raise no question

        const std::string small = file("small.txt", "10\n20\n30\n");
        QCOMPARE(ImportWaveFile(w, small, true, true, ui), VI_SUCCESS);
        QCOMPARE(w.Data, std::vector<double>({0, 50, 100}));
        const std::string constant = file("flat.txt", "42\n42\n");
        QCOMPARE(ImportWaveFile(w, constant, true, true, ui), VI_SUCCESS);
        QCOMPARE(w.Data, std::vector<double>({0, 0}));
    }

    void outOfRangeTextAsksToNormalise() {
        TArbWave w = Previous();
        ScriptedUi ui;
        ui.answers = {true};
        QCOMPARE(ImportWaveFile(w, file("neg.txt", "-10\n0\n10\n"), false, true, ui), VI_SUCCESS);
        QCOMPARE(ui.questions, QStringList({kNegative}));
        QCOMPARE(w.Data, std::vector<double>({0, 50, 100}));

        // Abort aborts: the channel keeps the waveform it had.
        const TArbWave before = w;
        ui.answers = {false};
        QCOMPARE(ImportWaveFile(w, file("big.txt", "50\n200\n"), false, true, ui),
                 VI_ERROR_FILE_IO);
        QCOMPARE(ui.questions.last(), kAbove100);
        QCOMPARE(w.Data, before.Data);
        QCOMPARE(w.WaveLength, before.WaveLength);

        // Binary files are never questioned.
        ui.questions.clear();
        QCOMPARE(ImportWaveFile(w, file("big.bin", QByteArray("\xFF\xF0", 2)), false, false, ui),
                 VI_SUCCESS);
        QCOMPARE(w.Data, std::vector<double>({65520}));
        QVERIFY(ui.questions.isEmpty());
    }

    void textReadInPiecesAgreesWithTheWholeFile() {
        QByteArray full;
        for (int i = 0; i < WaveMemorySize; ++i)
            full += QByteArray::number(i % 101) + "\n";
        const QList<QByteArray> files = {
            "\xEF\xBB\xBF"
            "10\r\n! note\r\n\r\n20.5\r\n30", // mark, CR LF, no last line end
            "1\n" + QByteArray(5000, '!') + "\n2\n" + QByteArray(300, '7') + "\n",
            "1\n2\nthree\n4\n",
            "1\n\xEF\xBB\xBF"
            "2\n", // a mark inside the file is no number
            full,
            full + "\n",
            full + "! more",
            full.chopped(1),
        };
        for (const QByteArray& content : files) {
            const WaveReadResult whole = ReadTextWave(content.constData(), content.size(), '.');
            for (const size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{4096}}) {
                TextWaveReader reader('.', 0);
                size_t at = 0;
                while (at < size_t(content.size()) &&
                       reader.feed(content.constData() + at,
                                   std::min(piece, size_t(content.size()) - at)))
                    at += piece;
                const WaveReadResult r = reader.finish(at + piece < size_t(content.size()));
                QCOMPARE(r.samples, whole.samples);
                QCOMPARE(r.outcome, whole.outcome);
                QCOMPARE(r.dataLeft, whole.dataLeft);
                QCOMPARE(r.failedLine, whole.failedLine);
            }
        }
        const WaveReadResult marked = ReadTextWave(files[0].constData(), files[0].size(), '.');
        QCOMPARE(marked.samples, std::vector<double>({10, 20.5, 30}));
        QCOMPARE(ReadTextWave(files[3].constData(), files[3].size(), '.').failedLine, size_t{2});
        QVERIFY(!ReadTextWave(full.constData(), full.size(), '.').dataLeft);
        QVERIFY(ReadTextWave(files[5].constData(), files[5].size(), '.').dataLeft);
    }

    void lineEndsAndOverlongLines() {
        using Outcome = WaveReadResult::Outcome;
        struct Case {
            QByteArray content;
            std::vector<double> samples;
            Outcome outcome;
            size_t failedLine;
        };
        const QByteArray blanks(9000, ' ');
        const Case cases[] = {
            {"10\r20\r\r30", {10, 20, 30}, Outcome::Complete, 0}, // CR alone ends a line
            {"1\r\n2\r3\n4\n\r5\r", {1, 2, 3, 4, 5}, Outcome::Complete, 0},
            {"1\rx\r2", {1}, Outcome::NonNumeric, 2},
            // Longer than any number can be: not a number, however it ends.
            {"1\n" + blanks + "2\n3\n", {1}, Outcome::NonNumeric, 2},
            {"1\r" + blanks + "2", {1}, Outcome::NonNumeric, 2},
            {"\xEF\xBB\xBF" + QByteArray(8190, ' ') + "5\n", {}, Outcome::NonNumeric, 1},
            {"1\n!" + QByteArray(100000, 'c') + "\r\n2\n", {1, 2}, Outcome::Complete, 0},
        };
        for (const Case& c : cases) {
            const WaveReadResult whole = ReadTextWave(c.content.constData(), c.content.size(), '.');
            QCOMPARE(whole.samples, c.samples);
            QCOMPARE(whole.outcome, c.outcome);
            QCOMPARE(whole.failedLine, c.failedLine);
            for (const size_t piece : {size_t{1}, size_t{2}, size_t{4096}}) {
                TextWaveReader reader('.', 0);
                for (size_t at = 0; at < size_t(c.content.size()); at += piece)
                    if (!reader.feed(c.content.constData() + at,
                                     std::min(piece, size_t(c.content.size()) - at)))
                        break;
                const WaveReadResult r = reader.finish(false);
                QCOMPARE(r.samples, c.samples);
                QCOMPARE(r.outcome, c.outcome);
                QCOMPARE(r.failedLine, c.failedLine);
            }
        }
    }

    void normalisedSamplesLieWithinZeroToHundred() {
        // Every binary word range, and values at the limits of a double.
        std::vector<std::vector<double>> cases;
        for (int top = 1; top <= 65535; ++top)
            cases.push_back({0, double(top), top / 3.0});
        for (int bottom = 1; bottom < 65535; bottom += 97)
            cases.push_back({double(bottom), 65535, 40000});
        cases.push_back({1e308, -1e308, 0});
        cases.push_back({-1.7976931348623157e308, 1.7976931348623157e308, 1});
        for (std::vector<double> samples : cases) {
            const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
            const double minimum = *lo, maximum = *hi;
            const size_t low = size_t(lo - samples.begin()), high = size_t(hi - samples.begin());
            NormaliseSamples(samples, minimum, maximum);
            QCOMPARE(samples[low], 0.0);
            QCOMPARE(samples[high], 100.0);
            for (double v : samples)
                QVERIFY2(v >= 0 && v <= 100, QByteArray::number(maximum).constData());
        }
    }

    void binaryWordsAreMostSignificantByteFirst() {
        TArbWave w;
        ScriptedUi ui;
        QCOMPARE(ImportWaveFile(w, file("one.bin", QByteArray("\x12\x34", 2)), false, false, ui),
                 VI_SUCCESS);
        QCOMPARE(w.Data, std::vector<double>({4660}));
        QCOMPARE(ImportWaveFile(w, file("one.bin", QByteArray("\x12\x34", 2)), true, false, ui),
                 VI_SUCCESS);
        QCOMPARE(w.Data, std::vector<double>({0}));
    }

    void failedImportsKeepThePreviousWaveform_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("non-numeric") << "bad.txt" << QByteArray("10\n20\nabc\n30\n") << true
                                     << "File contains non-numeric values!";
        QTest::newRow("empty binary")
            << "empty.bin" << QByteArray() << false << "Read beyond end of file";
        QTest::newRow("odd binary")
            << "odd.bin" << QByteArray("\x01\x02\x03", 3) << false << "Read beyond end of file";
    }
    void failedImportsKeepThePreviousWaveform() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, text);
        QFETCH(QString, message);
        TArbWave w = Previous();
        ScriptedUi ui;
        QCOMPARE(ImportWaveFile(w, file(name, content), true, text, ui), VI_ERROR_FILE_IO);
        QCOMPARE(ui.errors, QStringList({message}));
        QCOMPARE(w.Data, Previous().Data);
        QCOMPARE(w.WaveLength, 3);
    }

    void missingOrUnreadableFiles() {
        TArbWave w = Previous();
        ScriptedUi ui;
        QCOMPARE(ImportWaveFile(w, "/no/such/wave.txt", false, true, ui), VI_ERROR_FILE_IO);
        QCOMPARE(ui.errors.last(),
                 QString("The selected file '/no/such/wave.txt' does not exist."));
        QCOMPARE(ImportWaveFile(w, "", false, true, ui), VI_ERROR_FILE_IO);
        QCOMPARE(ui.errors.last(), QString("The selected file '' does not exist."));
        // What exists but is no regular file is not read (a FIFO would block).
        const std::string fifo = dir.filePath("fifo").toStdString();
        QVERIFY(::mkfifo(fifo.c_str(), 0600) == 0);
        for (const std::string& name : {dir.path().toStdString(), fifo, std::string("/dev/zero")}) {
            QCOMPARE(ImportWaveFile(w, name, false, true, ui), VI_ERROR_FILE_IO);
            QCOMPARE(ui.errors.last(),
                     "The selected file '" + QString::fromStdString(name) + "' could not be read.");
        }
        // A file that never ends holds no line of numbers.
        QCOMPARE(ImportWaveFile(w, "/proc/self/pagemap", false, true, ui), VI_ERROR_FILE_IO);
        QCOMPARE(ui.errors.last(), QString("File contains non-numeric values!"));
        // A file whose reading fails part way.
        QCOMPARE(ImportWaveFile(w, "/proc/self/mem", false, true, ui), VI_ERROR_FILE_IO);
        QCOMPARE(ui.errors.last(),
                 QString("The selected file '/proc/self/mem' could not be read."));
        QCOMPARE(w.Data, Previous().Data);
    }

    void runningOutOfMemoryIsReported() {
        // No room to read at all: the channel keeps its waveform. Room for
        // some samples: those are kept, as the message says.
        const std::string path = file("many.txt", QByteArray("25\n").repeated(200000));
        for (const auto& [limit, kept] : {std::pair{64 * 1024, 0}, {1024 * 1024, 131072}})
            for (const bool text : {true, false}) {
                TArbWave w = Previous();
                ScriptedUi ui;
                ViStatus status;
                {
                    const AllocationLimit failing(static_cast<size_t>(limit));
                    status = ImportWaveFile(w, path, false, text, ui);
                }
                QCOMPARE(status, kept ? VI_SUCCESS : VI_ERROR_FILE_IO);
                QCOMPARE(ui.errors,
                         QStringList({"An out of memory error occured while loading "
                                      "the waveform file.\r\nOnly the first " +
                                      QString::number(kept) + " values have been loaded."}));
                QCOMPARE(w.WaveLength, kept ? kept : 3);
                QCOMPARE(w.Data.size(), size_t(kept ? kept : 3));
            }
    }

    void importStopsAtTheWaveMemorySize() {
        QByteArray content;
        content.reserve(262144 * 4);
        for (int i = 0; i < WaveMemorySize; ++i)
            content += QByteArray::number(i % 100) + "\n";
        TArbWave w;
        ScriptedUi ui;
        QCOMPARE(ImportWaveFile(w, file("full.txt", content), false, true, ui), VI_SUCCESS);
        QCOMPARE(w.WaveLength, WaveMemorySize);
        QVERIFY(ui.warnings.isEmpty());
        // Only comments follow, yet the file holds more: the size warning.
        QCOMPARE(
            ImportWaveFile(w, file("more.txt", content + "! end\n! really\n"), false, true, ui),
            VI_SUCCESS);
        QCOMPARE(w.WaveLength, WaveMemorySize);
        QCOMPARE(ui.warnings, QStringList({"File is larger than waveform memory. Only the first "
                                           "262144 will be \r\nloaded."}));
    }

    void hugeFileReadsOnlyWhatItKeeps() {
        // One gigabyte, almost all of it a hole: only the first pages are read.
        const std::string path = file("huge.bin", QByteArray(2 * WaveMemorySize, '\x01'));
        QVERIFY(::truncate(path.c_str(), 1LL << 30) == 0);
        TArbWave w;
        ScriptedUi ui;
        QCOMPARE(ImportWaveFile(w, path, false, false, ui), VI_SUCCESS);
        QCOMPARE(w.WaveLength, WaveMemorySize);
        QCOMPARE(w.Data.front(), 257.0);
        QCOMPARE(ui.warnings.size(), 1);
    }

    void textExportFormat() {
        TArbWave w;
        w.Data = {50, 12.345678, 0, 100, 0.00004, 99.99996, 1234.56789};
        ScriptedUi ui;
        QDir(dir.path()).mkdir("sub");
        const std::string path = (dir.path() + "/sub/out.txt").toStdString();
        QCOMPARE(SaveWaveFile(w, path, 0, true, 7, ui), VI_SUCCESS);
        const QStringList lines = QString::fromLatin1(read(path)).split("\r\n");
        QCOMPARE(lines.size(), 7 + 7 + 1);
        QCOMPARE(lines[0], "!" + QString(80, '*'));
        QCOMPARE(lines[1], QString("! out.txt"));
        QVERIFY(lines[2].startsWith("! ") && lines[2].size() > 8);
        QCOMPARE(lines[3],
                 QString("! Wave file produced by Norvale 72-815 Soft Front Panel V1.46"));
        QCOMPARE(lines[4], QString("! Normalised values between 0% and 100% of full output."));
        QCOMPARE(lines[5], QString("! Data Length - 7"));
        QCOMPARE(lines[6], lines[0]);
        QCOMPARE(lines.mid(7, 7), QStringList({"50.0000", "12.3457", "0.0000", "100.0000", "0.0000",
                                               "100.0000", "1234.5680"}));
        QCOMPARE(lines[14], QString());
        // It imports back as written; 1234.568 is above 100, so the import asks.
        TArbWave back;
        ui.answers = {false};
        QCOMPARE(ImportWaveFile(back, path, false, true, ui), VI_ERROR_FILE_IO);
        QCOMPARE(ui.questions, QStringList({kAbove100}));
        w.Data = std::vector<double>(w.Data.begin(), w.Data.end() - 1);
        QCOMPARE(SaveWaveFile(w, path, 0, true, 6, ui), VI_SUCCESS);
        QCOMPARE(ImportWaveFile(back, path, false, true, ui), VI_SUCCESS);
        QCOMPARE(back.Data, std::vector<double>({50, 12.3457, 0, 100, 0, 100}));
    }

    void binaryExportRoundsAndClamps() {
        TArbWave w;
        w.Data = {0, 50, 100, -3, 101, 0.0007};
        ScriptedUi ui;
        const std::string path = dir.filePath("out.bin").toStdString();
        QCOMPARE(SaveWaveFile(w, path, 0, false, 6, ui), VI_SUCCESS);
        QCOMPARE(read(path).toHex(' '), QByteArray("00 00 7f f8 ff f0 00 00 ff ff 00 00"));
    }

    void commaLocaleRoundTrip() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TArbWave w;
        w.Data = {12.5, 0.25};
        ScriptedUi ui;
        const std::string path = dir.filePath("comma.txt").toStdString();
        QCOMPARE(SaveWaveFile(w, path, 0, true, 2, ui), VI_SUCCESS);
        QVERIFY(read(path).contains("\r\n12,5000\r\n0,2500\r\n"));
        TArbWave back;
        QCOMPARE(ImportWaveFile(back, path, false, true, ui), VI_SUCCESS);
        QCOMPARE(back.Data, w.Data);
        // A full stop is no decimal separator here.
        QCOMPARE(ImportWaveFile(back, file("dot.txt", "1.5\n"), false, true, ui), VI_ERROR_FILE_IO);
    }

    void failedSavesLeaveTheOldFile() {
        const std::string path = file("keep.txt", "old content");
        ScriptedUi ui;
        TArbWave empty;
        QCOMPARE(SaveWaveFile(empty, path, 0, true, 0, ui), VI_ERROR_FILE_IO);
        QCOMPARE(ui.errors.last(), QString("The waveform memory contains no data."));
        TArbWave w;
        w.Data = {1, 2};
        QCOMPARE(SaveWaveFile(w, path, 1, true, 2, ui), VI_ERROR_FILE_IO);
        QCOMPARE(
            ui.warnings.last(),
            QString("The number of bytes selected to save exceeds the length of the wave data!"));
        QCOMPARE(SaveWaveFile(w, "", 0, true, 2, ui), VI_ERROR_FILE_IO);
        QCOMPARE(ui.errors.last(), QString("The selected file '' does not exist."));
        QCOMPARE(read(path), QByteArray("old content"));

        // A write that fails part way (the file size limit stands in for a full disk).
        w.Data.assign(100000, 50.0);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 4096;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const ViStatus status = SaveWaveFile(w, path, 0, true, 100000, ui);
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(status, VI_ERROR_FILE_IO);
        QCOMPARE(ui.errors.last(),
                 "The file '" + QString::fromStdString(path) + "' could not be written.");
        QCOMPARE(read(path), QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList({"*keep.txt*"}, QDir::Files | QDir::Hidden),
                 QStringList({"keep.txt"})); // no temporary file left behind

        // A folder the user may not write to, a folder as the name, a full disk.
        const QString locked = dir.filePath("locked");
        QVERIFY(QDir().mkpath(locked));
        const std::string lockedFile = (locked + "/old.txt").toStdString();
        QVERIFY(QFile::copy(QString::fromStdString(path), QString::fromStdString(lockedFile)));
        QVERIFY(::chmod(dir.path().toLocal8Bit().constData(), 0755) == 0);
        QVERIFY(::chmod(locked.toLocal8Bit().constData(), 0555) == 0);
        const SaveAsUser asUser = SavedAsAnotherUser(
            [&] { return SaveWaveFile(w, lockedFile, 0, true, 2, ui) == VI_SUCCESS; });
        QVERIFY(asUser != SaveAsUser::Saved);
        if (asUser == SaveAsUser::NoSuchUser)
            qInfo("no other user to save as here: the read-only folder case is not run");
        QCOMPARE(read(lockedFile), QByteArray("old content"));
        ::chmod(locked.toLocal8Bit().constData(), 0755);
        QCOMPARE(SaveWaveFile(w, dir.path().toStdString(), 0, true, 2, ui), VI_ERROR_FILE_IO);
        QVERIFY(QFileInfo(dir.path()).isDir());
        const std::string tiny = dir.filePath("tiny").toStdString();
        QVERIFY(QDir().mkpath(QString::fromStdString(tiny)));
        FullFileSystem full(tiny);
        if (full.mounted()) {
            const std::string onFull = tiny + "/old.txt";
            QVERIFY(::ReplaceFile(onFull, "old content"));
            QCOMPARE(SaveWaveFile(w, onFull, 0, true, 100000, ui), VI_ERROR_FILE_IO);
            QCOMPARE(ui.errors.last(),
                     "The file '" + QString::fromStdString(onFull) + "' could not be written.");
            QCOMPARE(read(onFull), QByteArray("old content"));
        } else {
            qInfo("no file system can be mounted here: the size limit above stands for a full one");
        }
    }

    void aKilledExportLeavesTheOldOrTheNewFile() {
        ScriptedUi ui;
        TArbWave a, b;
        a.Data.assign(1000, 25.0);
        b.Data.assign(200000, 75.0);
        const std::string target = dir.filePath("killed.bin").toStdString();
        QCOMPARE(SaveWaveFile(a, target, 0, false, 1000, ui), VI_SUCCESS);
        const QByteArray textA = read(target);
        QCOMPARE(SaveWaveFile(b, target, 0, false, 200000, ui), VI_SUCCESS);
        const QByteArray textB = read(target);
        KillDuringSaves(
            target, [&] { SaveWaveFile(a, target, 0, false, 1000, ui); },
            [&] { SaveWaveFile(b, target, 0, false, 200000, ui); }, textA, textB);
    }

    void namesAreTheFileSystemsOwnBytes() {
        ScriptedUi ui;
        TArbWave w, back;
        w.Data = {0, 50, 100};
        const std::string name = dir.path().toStdString() + "/wave\xff\xfe.txt"; // no UTF-8
        QCOMPARE(SaveWaveFile(w, name, 0, true, 3, ui), VI_SUCCESS);
        QVERIFY(IsRegularFile(name));
        QVERIFY(read(name).contains("! wave\xff\xfe.txt\r\n"));
        QCOMPARE(ImportWaveFile(back, name, false, true, ui), VI_SUCCESS);
        QCOMPARE(back.Data, w.Data);
        QVERIFY(ui.errors.isEmpty());
        ::unlink(name.c_str()); // a name Qt cannot spell would outlive the folder
    }
};

NV815_TEST_GUILESS_MAIN(TestWaveFile)
} // namespace NV815_TEST_UNIT

#include "tst_wavefile.moc"
