// Configuration files: encodings, save and load of every field, what a save
// keeps of an existing file, and saves that fail or are killed part way.
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ConfigFile.h"
#include "ConfigKeys.h"
#include "FailingAllocations.h"
#include "FileFaults.h"
#include "SafeFile.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

// A record in which every saved field differs from its load default, each
// within its setting's limits and at its resolution (a load holds it there).
TCardInfo Sample() {
    TCardInfo card;
    card.Resource = "PXI1::13::INSTR";
    card.DDSSourceExtFlag = true;
    card.ExtFreq = 12.5;
    for (int c = 1; c <= kChannelCount; ++c) {
        TChannelInfo& ch = card.Channel[c];
        TWaveSettings& w = ch.Wave;
        ch.FSKSource = c == 2 ? -1 : 3 + c;
        w.AMFlag = true;
        w.ArbitraryFlag = c != 2;
        w.SweepFlag = true;
        w.WaveType = c - 1;
        w.Symmetry = 12 * c;
        w.StartF = 0.001 * c;
        w.EndF = 9999.999;
        w.SweepStep = 0.002;
        w.StepInterval = 5242;
        w.Arb.ArbFile = "/waves/ch" + std::to_string(c) + " with blanks.txt";
        w.Arb.TextFlag = false;
        w.Arb.NormaliseFlag = true;
        w.Attenuation = 30 + c;
        w.DCOffset = -4.99;
        ch.TrigSource = 9;
        ch.TrigMode = c;
        ch.Multiplier = 1;
        ch.SweepMode = 3;
        ch.ClkStartF = 123456.789;
        ch.ClkEndF = 2000000;
        ch.ClkSweepStep = 0.5;
        ch.ClkStepInterval = 5.242;
        ch.MemStep = 262144;
    }
    return card;
}

// Calls `check(name, key, x, y)` with the field of every channel key a load
// applies, in each channel, of both records. (The card's Resource is never
// loaded: the card in use stays selected.)
template <class Check>
void ForEachLoadedField(const TCardInfo& a, const TCardInfo& b, Check check) {
    TCardInfo x = a, y = b; // the table hands out fields to change; these are copies
    for (const ConfigKey& key : ConfigKeys())
        for (int c = 1; c <= kChannelCount && key.perChannel() && key.applied; ++c) {
            const QString name = QString::fromStdString(key.sectionName(c)) + "/" + key.name;
            std::visit(
                [&](auto* fx) {
                    check(name, key, *fx, *std::get<decltype(fx)>(key.fieldOf(y, c)));
                },
                key.fieldOf(x, c));
        }
}

void CompareSaved(const TCardInfo& a, const TCardInfo& b) {
    ForEachLoadedField(a, b, [](const QString& name, const ConfigKey&, auto& x, auto& y) {
        QVERIFY2(x == y, qPrintable(name));
    });
}

std::string Read(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll().toStdString();
}

void Write(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

class TestConfig : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::string path(const char* name) { return dir.filePath(name).toStdString(); }

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void savedFieldsLoadBack() {
        // Each key holds a value other than its load default in some channel
        // of the sample, so a key that is not loaded shows.
        QSet<QString> differing;
        ForEachLoadedField(Sample(), Sample(),
                           [&](const QString& name, const ConfigKey& key, auto& x, auto&) {
                               using T = std::remove_reference_t<decltype(x)>;
                               bool differs = false;
                               if constexpr (std::is_same_v<T, std::string>)
                                   differs = !x.empty();
                               else
                                   differs = x != static_cast<T>(key.loadDefault);
                               if (differs)
                                   differing << name.section('/', 1);
                           });
        for (const ConfigKey& key : ConfigKeys())
            QVERIFY2(!key.perChannel() || !key.applied || differing.contains(key.name), key.name);
        for (const char* locale : {"C", "de_DE"}) {
            QLocale::setDefault(QLocale(locale));
            const TCardInfo saved = Sample();
            QVERIFY(SaveConfiguration(saved, path("round.ini")));
            TCardInfo loaded;
            loaded.Channel[2].Wave.Arb.WaveLength = 7; // only the re-import changes it
            QList<int> reimported;
            const ConfigLoad load =
                LoadConfiguration(loaded, path("round.ini"), [&](int c) { reimported << c; });
            QVERIFY(load.error.empty() && load.unreadable.empty());
            CompareSaved(loaded, saved);
            QCOMPARE(reimported, QList<int>({1, 3}));
            QCOMPARE(loaded.Channel[2].Wave.Arb.WaveLength, 7);
            QVERIFY(loaded.Resource.empty()); // not applied
        }
        // The comma locale writes its own separator.
        QVERIFY(Read(dir.filePath("round.ini")).find("ExtFreq=12,5\n") != std::string::npos);
    }

    void newFileLayout() {
        TCardInfo card = Sample();
        card.Channel[1].MemStep = 256;
        card.Channel[1].Wave.Symmetry = 1.0;
        card.Channel[1].Wave.SweepStep = 0.001;
        card.Channel[1].ClkEndF = 1e20; // a save writes what the record holds
        const std::string text = ConfigurationText(card, "").value();
        QVERIFY(text.rfind("[Card]\nResource=PXI1::13::INSTR\n", 0) == 0);
        QVERIFY(text.find("[Channel1_Wave]\nFSKSource=4\nAMFlag=1\nArbitraryFlag=1\nSweepFlag=1\n"
                          "WaveType=0\nSymmetry=1\nStartF=0.001\nEndF=9999.999\n"
                          "SweepStep=0.001\nStepInterval=5242\n") != std::string::npos);
        QVERIFY(text.find("MemStep=256\n") != std::string::npos);
        QVERIFY(text.find("ClkEndF") == std::string::npos);
        QVERIFY(text.find("EndF=1e+20\n") != std::string::npos);
        size_t at = 0;
        for (const char* section :
             {"[Card]", "[Channel1_Wave]", "[Channel1_Trigger]", "[Channel1_Clock]",
              "[Channel2_Wave]", "[Channel2_Trigger]", "[Channel2_Clock]", "[Channel3_Wave]",
              "[Channel3_Trigger]", "[Channel3_Clock]"}) {
            at = text.find(section, at);
            QVERIFY2(at != std::string::npos, section);
        }
    }

    void missingKeysAndBadValuesTakeTheirDefaults() {
        Write(dir.filePath("hand.ini"), "[channel1_clock]\nMultiplier=0x14\nExtFreq=33\n"
                                        "SweepMode=2x\nStartF=fast\nMemStep=0X10\n"
                                        "[Channel2_Clock]\nExtFreq=44\nDDSSourceExtFlag=1\n"
                                        "[Channel3_Clock]\nMultiplier=\n"
                                        "[Channel3_Wave]\nSymmetry=nan\nWaveType=-2\n");
        TCardInfo card = Sample();
        const ConfigLoad load = LoadConfiguration(card, path("hand.ini"), {});
        const auto& unreadable = load.unreadable;
        QCOMPARE(card.Channel[1].Multiplier, 20);
        QCOMPARE(card.Channel[1].MemStep, 16u);
        QCOMPARE(card.Channel[1].SweepMode, 0);
        QCOMPARE(card.Channel[1].ClkStartF, 1.0);
        QCOMPARE(card.ExtFreq, 10.0); // channel 3 has none: its default wins
        QVERIFY(!card.DDSSourceExtFlag);
        QCOMPARE(card.Channel[3].Multiplier, 4);
        QCOMPARE(card.Channel[3].Wave.Symmetry, 50.0);
        QCOMPARE(card.Channel[3].Wave.WaveType, 0); // held at the setting's limit
        QCOMPARE(load.outOfRange, std::vector<std::string>({"Channel3_Wave/WaveType"}));
        QCOMPARE(unreadable,
                 std::vector<std::string>({"Channel1_Clock/SweepMode", "Channel1_Clock/StartF",
                                           "Channel3_Wave/Symmetry"}));

        // A missing file: every default of the file format.
        TCardInfo defaults = Sample();
        LoadConfiguration(defaults, path("none.ini"), {});
        for (int c = 1; c <= kChannelCount; ++c) {
            const TChannelInfo& ch = defaults.Channel[c];
            QCOMPARE(ch.Wave.StartF, 1000.0);
            QCOMPARE(ch.Wave.EndF, 1000.0);
            QCOMPARE(ch.Wave.Symmetry, 50.0);
            QVERIFY(ch.Wave.Arb.TextFlag);
            QVERIFY(ch.Wave.Arb.ArbFile.empty());
            QCOMPARE(ch.TrigMode, 6);
            QCOMPARE(ch.Multiplier, 4);
            QCOMPARE(ch.ClkStepInterval, 1.0);
            QCOMPARE(ch.MemStep, 1u);
        }
    }

    void aLongPathIsReadWhole() {
        TCardInfo card;
        card.Channel[1].Wave.Arb.ArbFile = "/" + std::string(5000, 'p') + ".txt";
        QVERIFY(SaveConfiguration(card, path("long.ini")));
        TCardInfo back;
        LoadConfiguration(back, path("long.ini"), {});
        QCOMPARE(back.Channel[1].Wave.Arb.ArbFile, card.Channel[1].Wave.Arb.ArbFile);
    }

    void saveKeepsTheRestOfTheFile() {
        Write(dir.filePath("kept.ini"), "; operator notes\n[Bench]\nOwner=Lab 3\n"
                                        "[channel1_wave]\nColour=blue\nSymmetry=99\n");
        QVERIFY(SaveConfiguration(Sample(), path("kept.ini")));
        const std::string text = Read(dir.filePath("kept.ini"));
        QVERIFY(text.find("; operator notes") != std::string::npos);
        QVERIFY(text.find("[Bench]\nOwner=Lab 3\n") != std::string::npos);
        // Existing keys keep their place; new ones follow in the order written.
        QVERIFY(text.find("Colour=blue\nSymmetry=12\nFSKSource=4\n") != std::string::npos);
        QVERIFY(text.find("Symmetry=99") == std::string::npos);
    }

    void saveKeepsEveryLineOfAHandEditedFile() {
        const QByteArray hand =
            "; header\r\n[Channel1_Wave]\r\nStartF = 5\r\nColour\r\nStartF=6\r\n"
            "; after the last key\r\n\r\n[Bench]\r\nOwner=Lab 3\r\n"
            "; end of the file";
        Write(dir.filePath("hand.ini"), hand);
        TCardInfo card = Sample();
        QVERIFY(SaveConfiguration(card, path("hand.ini")));
        const std::string text = Read(dir.filePath("hand.ini"));
        // The first of two equal keys is replaced in place; new keys follow
        // the section's last key, in the file's own line ends; the rest stays.
        QVERIFY(text.rfind("; header\r\n[Channel1_Wave]\r\nStartF = 0.001\r\nColour\r\nStartF=6\r\n"
                           "FSKSource=4\r\n",
                           0) == 0);
        QVERIFY(text.find("Attenuation=31\r\nDCOffset=-4.99\r\n; after the last key\r\n\r\n"
                          "[Bench]\r\nOwner=Lab 3\r\n; end of the file\r\n\r\n[Card]\r\n") !=
                std::string::npos);
        // Loading reads the first of equal keys, the one the save replaced.
        TCardInfo back;
        QVERIFY(LoadConfiguration(back, path("hand.ini"), {}).error.empty());
        CompareSaved(back, card);
        // Saved again, nothing moves.
        QVERIFY(SaveConfiguration(card, path("hand.ini")));
        QCOMPARE(Read(dir.filePath("hand.ini")), text);
    }

    void savedOverAnyTextTheRecordLoadsBack() {
        // Texts the reader takes in its own way: what the save changes is
        // always what the load then reads.
        const char* const texts[] = {
            "[Channel3_Clock]\nMemStep=",                               // a last value, no line end
            "[channel1_wave]\rStartF=9\r\r[CHANNEL1_WAVE]\rSymmetry=8", // CR alone
            "[Channel1_Wave\nStartF=9\n",                               // a name without "]"
            "[\nChannel2_Clock]\nMultiplier=9\n",                       // a "[" on its own line
            "\xEF\xBB\xBF[Card]\nResource=x\n[Channel1_Clock]\n  MemStep = 1 \n",
            "StartF=9\n=5\n[ Channel1_Wave ] junk\nStartF\nStartF=7\nStartF=8\n",
        };
        for (const char* text : texts) {
            const TCardInfo card = Sample();
            const std::optional<std::string> saved = ConfigurationText(card, text);
            QVERIFY2(saved.has_value(), text);
            TCardInfo back;
            QVERIFY(LoadConfigurationText(back, *saved, {}).error.empty());
            CompareSaved(back, card);
            if (QTest::currentTestFailed())
                qInfo() << "over" << text;
        }
    }

    void everyFieldRoundTripsInEveryLocale() {
        TCardInfo card = Sample();
        card.Channel[1].Wave.DCOffset = -2.5;
        card.ExtFreq = 1e-05;
        card.Channel[1].MemStep = 256;
        int locales = 0;
        for (const QLocale& locale : QLocale::matchingLocales(
                 QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            QLocale::setDefault(locale);
            const std::string text = ConfigurationText(card, "").value();
            QVERIFY2(text.find("MemStep=256\n") != std::string::npos, qPrintable(locale.name()));
            TCardInfo back;
            const ConfigLoad load = LoadConfigurationText(back, text, {});
            QVERIFY2(load.error.empty() && load.unreadable.empty() && load.outOfRange.empty(),
                     qPrintable(locale.name()));
            CompareSaved(back, card);
            // The encoding itself, to the largest doubles (15 digits round them beyond).
            for (const double extreme :
                 {1.7976931348623157e308, -1.7976931348623157e308, 123456.789012345, 1e-300}) {
                double read = 0;
                QVERIFY2(ParseConfigReal(ConfigReal(extreme), read) && read == extreme,
                         qPrintable(QString::fromStdString(ConfigReal(extreme))));
            }
            if (QTest::currentTestFailed())
                qInfo() << "in" << locale.name();
            ++locales;
        }
        QVERIFY(locales > 300);
    }

    void refusedFilesChangeNothing() {
        const QString fifo = dir.filePath("fifo.ini");
        QVERIFY(::mkfifo(fifo.toLocal8Bit().constData(), 0600) == 0);
        Write(dir.filePath("nul.ini"),
              QByteArray("[Channel1_Wave]\nSymmetry=10\n\0[Channel2_Wave]\nSymmetry=20\n", 48));
        Write(dir.filePath("huge.ini"), "[Channel1_Wave]\nSymmetry=10\n");
        QVERIFY(::truncate(path("huge.ini").c_str(), 17 << 20) == 0);
        Write(dir.filePath("fine.ini"),
              QByteArray("[Channel1_Wave]\nSymmetry=10\n").repeated(9000));
        struct Case {
            std::string path;
            const char* reason;
            size_t allocationLimit = size_t(-1);
        };
        const Case cases[] = {
            {path("nul.ini"), "NUL"},
            {path("huge.ini"), "larger than 16 MB"},
            {fifo.toStdString(), "could not be read"},
            {dir.path().toStdString(), "could not be read"},
            {"/dev/zero", "could not be read"},
            {"/proc/self/pagemap", ""}, // endless: refused one way or the other
            {path("fine.ini"), "out of memory", 64 * 1024},
        };
        for (const Case& c : cases) {
            const bool ours = c.path.find(dir.path().toStdString()) == 0 && IsRegularFile(c.path);
            const QByteArray before = ours ? FileBytes(c.path) : QByteArray();
            TCardInfo card = Sample();
            ConfigLoad load;
            bool saved = false; // devices and kernel files are not written to
            {
                const AllocationLimit limit(c.allocationLimit);
                load = LoadConfiguration(card, c.path, {});
                if (c.path != "/dev/zero" && c.path.find("/proc/") == std::string::npos)
                    saved = SaveConfiguration(Sample(), c.path);
            }
            QVERIFY2(QString::fromStdString(load.error).contains(c.reason), load.error.c_str());
            QVERIFY2(load.error.find(c.path) != std::string::npos, load.error.c_str());
            CompareSaved(card, Sample());
            QVERIFY2(!saved, c.path.c_str());
            if (ours)
                QCOMPARE(FileBytes(c.path), before);
        }
    }

    void controlCharactersAreNeverWritten() {
        Write(dir.filePath("old.ini"), "[Card]\nResource=old\n");
        for (const std::string& name : {std::string("/w/a\nSymmetry=99"), std::string("/w/a\rb"),
                                        std::string("/w/\x01.txt"), std::string("/w/\x7F")}) {
            TCardInfo card = Sample();
            card.Channel[2].Wave.Arb.ArbFile = name;
            QVERIFY(!ConfigurationText(card, "").has_value());
            QVERIFY(!SaveConfiguration(card, path("old.ini")));
            QCOMPARE(Read(dir.filePath("old.ini")), std::string("[Card]\nResource=old\n"));
        }
        // Bytes beyond ASCII are a file name's own and are written as they are.
        TCardInfo card = Sample();
        card.Channel[2].Wave.Arb.ArbFile = "/w/caf\xC3\xA9\xFF.txt";
        QVERIFY(SaveConfiguration(card, path("old.ini")));
        TCardInfo back;
        LoadConfiguration(back, path("old.ini"), {});
        QCOMPARE(back.Channel[2].Wave.Arb.ArbFile, card.Channel[2].Wave.Arb.ArbFile);
    }

    void failedSavesLeaveTheOldFile() {
        const QString locked = dir.filePath("locked");
        QVERIFY(QDir().mkpath(locked));
        Write(locked + "/old.ini", "[Card]\nResource=old\n");
        QVERIFY(::chmod(dir.path().toLocal8Bit().constData(), 0755) == 0);
        QVERIFY(::chmod(locked.toLocal8Bit().constData(), 0555) == 0);
        for (const QString& file : {locked + "/old.ini", locked + "/new.ini"}) {
            const SaveAsUser result =
                SavedAsAnotherUser([&] { return SaveConfiguration(Sample(), file.toStdString()); });
            if (result == SaveAsUser::NoSuchUser)
                QSKIP("no other user to save as here");
            QVERIFY(result == SaveAsUser::Refused);
        }
        QCOMPARE(Read(locked + "/old.ini"), std::string("[Card]\nResource=old\n"));
        QVERIFY(!QFile::exists(locked + "/new.ini"));
        ::chmod(locked.toLocal8Bit().constData(), 0755);
        QVERIFY(!SaveConfiguration(Sample(), dir.path().toStdString())); // a directory
    }

    void aKilledSaveLeavesTheOldOrTheNewFile() {
        TCardInfo a = Sample(), b = Sample();
        b.Channel[1].Wave.Arb.ArbFile = std::string(100000, 'b'); // a longer write
        const std::string target = path("killed.ini");
        QVERIFY(SaveConfiguration(a, path("a.ini")));
        QVERIFY(SaveConfiguration(b, path("b.ini")));
        QVERIFY(SaveConfiguration(a, target));
        KillDuringSaves(
            target, [&] { SaveConfiguration(a, target); }, [&] { SaveConfiguration(b, target); },
            FileBytes(path("a.ini")), FileBytes(path("b.ini")));
    }
};

NV815_TEST_GUILESS_MAIN(TestConfig)
} // namespace NV815_TEST_UNIT

#include "tst_config.moc"
