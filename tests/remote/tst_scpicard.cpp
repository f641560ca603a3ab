// The card's settings in SCPI against the simulated card: each setter sends
// only its own command with the card's other accepted settings, each query
// answers what the card accepted, and bad values send nothing.
#include <QtTest>

#include "CardCommands.h"
#include "CardInvariant.h"
#include "ConfigFile.h"
#include "FileCommands.h"
#include "FileFaults.h"
#include "LibraryBindings.h"
#include "Operations.h"
#include "ProgramState.h"
#include "ScpiDevice.h"
#include "SimJournal.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

using namespace scpi;

// One link of the SCPI device of `card` (null: no card).
struct DeviceLink {
    explicit DeviceLink(std::function<Card*()> card)
        : device(std::move(card), [] { return Identity{}; }), link(device.openLink("test")) {}
    ScpiDevice device;
    std::unique_ptr<Session> link;
};
const char* const kCard = "PXI1::13::INSTR";

class TestScpiCard : public QObject {
    Q_OBJECT
    Card card;
    TSelectedCard selected;

    // The driver calls since the last line, without their sessions.
    static QStringList Sent() {
        QStringList calls;
        for (const QString& line : SimJournal())
            if (line.startsWith("nv815_"))
                calls << line.section('(', 0, 0) + "(" + line.section(", ", 1);
        nvsim_journal_clear();
        return calls;
    }

private slots:
    void initTestCase() {
        QVERIFY(BindAllLibraries().ok());
        nvsim_load_chassis(nullptr, nullptr, 0);
        ResetProgramState();
        card.resetRecord();
        selected.Resource = kCard;
        QCOMPARE(OpenCard(selected, true), VI_SUCCESS);
        UseCard(card, selected.Session, kChannelCount);
    }
    void cleanupTestCase() { CloseCard(selected); }

    void settersSendOnlyTheirCommand() {
        DeviceLink d([this] { return &card; });
        Session& s = *d.link;
        nvsim_journal_clear();
        const struct {
            const char* line;
            const char* answer;
            QStringList calls;
        } dialogue[] = {
            {"FREQ 2KHZ;FREQ?",
             "2000",
             {"nv815_SetActiveChannel(1) = 00000000", "nv815_GenerateSignal(2, 0, 50) = 00000000"}},
            // The frequency the card holds goes with the new shape; no output switching.
            {"FUNC TRI;FUNC?", "TRI", {"nv815_GenerateSignal(2, 1, 50) = 00000000"}},
            {"SOUR2:FREQ?;:OUTP2:ATT 25;ATT?",
             "9.91E37;25",
             {"nv815_SetActiveChannel(2) = 00000000", "nv815_SetAttenuation(25) = 00000000"}},
            {"CLOC:SWE:DWEL 2MS;DWEL?",
             "0.002",
             {"nv815_SetActiveChannel(1) = 00000000",
              "nv815_SetClockMode(0, 1, 1, 0.001, 2) = 00000000"}},
            {"ROSC:SOUR EXT;SOUR?", "EXT", {"nv815_SetClockSource(1, 10, 20) = 00000000"}},
            // A finer value is rounded to what the setting holds before it is sent.
            {"FREQ 2500.4;FREQ?", "2500", {"nv815_GenerateSignal(2.5, 1, 50) = 00000000"}},
            {"OUTP1:ATT 5.6;ATT?", "6", {"nv815_SetAttenuation(6) = 00000000"}},
            // Nothing reaches the card for a value, unit, word or suffix it cannot take.
            {"FREQ 99MHZ;FREQ 1XYZ;FREQ 'a';FUNC BOGUS;SOUR4:FREQ 1;:SYST:ERR:COUN?", "5", {}},
            {"SYST:ERR?",
             "-222,\"Data out of range;Start frequency in Hz must be from 1 to 10000000: "
             "99000000 is not.\"",
             {}},
        };
        for (const auto& d : dialogue) {
            QCOMPARE(QString::fromStdString(s.handle(d.line)), QString(d.answer));
            QCOMPARE(Sent(), d.calls);
        }
        s.handle("*CLS");
        // A refusal is an execution error with the card's status and words; the
        // query still answers what the card holds.
        nvsim_fail("nv815_SetAttenuation", static_cast<ViStatus>(0xBFFC0802u), 1, 0, nullptr);
        QCOMPARE(s.handle("OUTP2:ATT 5;ATT?"), std::string("25"));
        QVERIFY(s.handle("SYST:ERR?").starts_with("-200,\"Execution error;BFFC0802 "));
        nvsim_clear_faults();
    }

    // The output and the offset's power, and *RST: what a card selection sends.
    void outputOffsetPowerAndReset() {
        DeviceLink d([this] { return &card; });
        Session& s = *d.link;
        nvsim_journal_clear();
        QCOMPARE(s.handle("OUTP3 ON;OUTP3?;:VOLT:OFFS 1.504;OFFS:STAT ON;STAT?;:VOLT:OFFS?"),
                 std::string("1;1;1.5"));
        QCOMPARE(Sent(), QStringList({"nv815_SetActiveChannel(3) = 00000000",
                                      "nv815_SetInstrumentMode(1) = 00000000",
                                      "nv815_SetActiveChannel(1) = 00000000",
                                      "nv815_SetOutputOffsetVoltage(1.5, 0) = 00000000",
                                      "nv815_SetOutputOffsetVoltage(1.5, 1) = 00000000"}));
        QCOMPARE(s.handle("OUTP3 ONE;SYST:ERR?"),
                 std::string("-224,\"Illegal parameter value;ON, OFF, 1 or 0\""));
        QCOMPARE(s.handle("*RST;OUTP3?;OUTP3:ATT?"), std::string("0;10"));
        QCOMPARE(Sent().filter("SetInstrumentMode(0)").size(), 3);
        QCOMPARE(SimValue(kCard, 3, "outputOn"), 0.0);
    }

    // Samples as a block (either byte order) or in percent, the shape USER,
    // APPLy and the sweep's mode: the fewest calls, and nothing for a fault.
    void waveformsShapesAndSweeps() {
        DeviceLink d([this] { return &card; });
        Session& s = *d.link;
        s.handle("*RST");
        nvsim_journal_clear();
        const QByteArray block("\x80\x00\x7f\xff", 4); // -32768, 32767
        const struct {
            QByteArray line;
            const char* answer;
            QStringList calls;
        } dialogue[] = {
            {"SOUR2:DATA #14" + block + ";:SOUR2:FUNC?",
             "USER",
             {"nv815_SetActiveChannel(2) = 00000000", "nv815_SetCounterStep(131072) = 00000000",
              "nv815_LoadArbitraryWaveform(2, 82878807B4EB6FED) = 00000000"}}, // 0 % and 100 %
            // Played already: nothing to send. A generator setting would replace it.
            {"SOUR2:FUNC USER;FREQ 5;:SYST:ERR?",
             "-221,\"Settings conflict;the channel plays its arbitrary waveform: send FUNCtion "
             "SIN, TRI or SQU, or APPLy, first\"",
             {}},
            {"FORM:BORD SWAP;BORD?;:SOUR2:DATA 0,25,50,100",
             "SWAP",
             {"nv815_SetCounterStep(65536) = 00000000",
              "nv815_LoadArbitraryWaveform(4, 98D6767F9DCE13F5) = 00000000"}},
            {"SOUR2:DATA 1,2,3;DATA 101,1;DATA #13abc;DATA 'x';:SYST:ERR?",
             "-222,\"Data out of range;the number of samples must be a power of two up to 262144: "
             "3 is not\"",
             {}},
            {"*CLS;APPL:SQU 3KHZ;:FUNC?;FREQ?",
             "SQU;3000",
             {"nv815_SetActiveChannel(1) = 00000000", "nv815_SetInstrumentMode(0) = 00000000",
              "nv815_SetAMMode(0) = 00000000", "nv815_GenerateSignal(3, 2, 50) = 00000000",
              "nv815_SetInstrumentMode(1) = 00000000", "nv815_SetTriggerMode(0, 6) = 00000000"}},
            {"SWE:MODE MAN;:SYST:ERR?",
             "-221,\"Settings conflict;the channel does not sweep: send FREQuency:MODE SWEep "
             "first\"",
             {}},
            {"FREQ:MODE SWE;:SWE:MODE MAN;MODE?;:FSK:LEV HIGH;LEV?",
             "MAN;HIGH",
             {"nv815_GenerateSweep(2, 50, 0, 3, 1, 0.001, 0.001) = 00000000",
              "nv815_GenerateSweep(2, 50, 1, 3, 1, 0.001, 0.001) = 00000000",
              "nv815_SetFSKPin(1) = 00000000"}},
        };
        for (const auto& d : dialogue) {
            QCOMPARE(QString::fromStdString(s.handle(d.line.toStdString())), QString(d.answer));
            QCOMPARE(Sent(), d.calls);
        }
        const TArbWave& arb = card.channel(2).Wave.Arb;
        QCOMPARE(arb.Data, std::vector<double>({0, 25, 50, 100}));
        // A refused load keeps the waveform the channel had.
        nvsim_fail("nv815_LoadArbitraryWaveform", static_cast<ViStatus>(0xBFFC0802u), 1, 0,
                   nullptr);
        s.handle("*CLS");
        QVERIFY(
            s.handle("SOUR2:DATA 1,2;:SYST:ERR?").starts_with("-200,\"Execution error;BFFC0802"));
        nvsim_clear_faults();
        QCOMPARE(arb.Data, std::vector<double>({0, 25, 50, 100}));
        QVERIFY(card.channel(2).Wave.ArbitraryFlag);
    }

    // Every setter refused by the card leaves each channel's record, flags
    // included, and every answer as they were.
    void everyRefusedSetterRestores() {
        DeviceLink d([this] { return &card; });
        Session& s = *d.link;
        const char* queries = "FUNC?;FREQ?;FREQ:STOP?;SWE:STEP?;SWE:DWEL?;FREQ:MODE?;AM:STAT?;"
                              ":OUTP#:ATT?;:OUTP#?;:VOLT:OFFS?;OFFS:STAT?;:FSK:LEV?;:TRIG#:SOUR?;"
                              "MODE?;:ROSC:SOUR?;EXT:FREQ?;:CLOC#:MULT?;SWE:MODE?;FREQ:STAR?;"
                              "STOP?;:CLOC#:SWE:STEP?;DWEL?;:CLOC#:COUN:STEP?;FSK:SOUR?";
        const auto state = [&] {
            std::string all = ConfigurationText(card.record(), "").value_or("?");
            for (int c = 1; c <= kChannelCount; ++c) {
                const TWaveSettings& w = card.channel(c).Wave;
                all += std::to_string(w.ArbitraryFlag) + std::to_string(w.SweepFlag) +
                       std::to_string(w.AMFlag) + std::to_string(w.Arb.Data.size());
                all += s.handle(QString(queries)
                                    .replace("#", QString::number(c))
                                    .prepend(QString(":SOUR%1:").arg(c))
                                    .toStdString());
            }
            return all;
        };
        // Channel 2 holds samples but plays a sine; channel 1 sweeps.
        s.handle("*RST;:SOUR2:DATA 0,50,100,50;:SOUR2:APPL:SIN 1KHZ;:FREQ:MODE SWE");
        const struct {
            const char* line;
            const char* call;
        } rows[] = {
            {"SOUR2:FUNC USER", "nv815_LoadArbitraryWaveform"},
            {"SOUR2:DATA 1,2,3,4", "nv815_LoadArbitraryWaveform"}, // the counter step as it is
            {"SOUR3:FUNC TRI", "nv815_GenerateSignal"},
            {"SOUR3:FREQ 2KHZ", "nv815_GenerateSignal"},
            {"SOUR3:FUNC:SQU:DCYC 30", "nv815_GenerateSignal"},
            {"SOUR3:FREQ:STOP 5000", "nv815_GenerateSignal"},
            {"SOUR3:FREQ:MODE SWE", "nv815_GenerateSweep"},
            {"SWE:STEP 10", "nv815_GenerateSweep"},
            {"SWE:DWEL 2MS", "nv815_GenerateSweep"},
            {"SWE:MODE MAN", "nv815_GenerateSweep"},
            {"FREQ:MODE CW", "nv815_GenerateSignal"},
            {"AM:STAT ON", "nv815_SetAMMode"},
            {"FSK:LEV HIGH", "nv815_SetFSKPin"},
            {"OUTP1:ATT 25", "nv815_SetAttenuation"},
            {"OUTP3 ON", "nv815_SetInstrumentMode"},
            {"VOLT:OFFS 1.5", "nv815_SetOutputOffsetVoltage"},
            {"VOLT:OFFS:STAT ON", "nv815_SetOutputOffsetVoltage"},
            {"TRIG1:SOUR PXI3", "nv815_SetTriggerMode"},
            {"TRIG1:MODE POS", "nv815_SetTriggerMode"},
            {"ROSC:SOUR EXT", "nv815_SetClockSource"},
            {"ROSC:EXT:FREQ 20", "nv815_SetClockSource"},
            {"CLOC2:MULT 8", "nv815_SetClockSource"},
            {"CLOC2:SWE:MODE TRI", "nv815_SetClockMode"},
            {"CLOC2:FREQ:STAR 5", "nv815_SetClockMode"},
            {"CLOC2:SWE:DWEL 2MS", "nv815_SetClockMode"},
            {"CLOC2:COUN:STEP 4", "nv815_SetCounterStep"},
            {"CLOC2:FSK:SOUR 3", "nv815_SetFSKSource"},
        };
        for (const auto& row : rows) {
            s.handle("*CLS");
            const std::string before = state();
            s.handle("*CLS");
            nvsim_journal_clear();
            nvsim_fail(row.call, static_cast<ViStatus>(0xBFFC0802u), 1, 0, nullptr);
            s.handle(row.line);
            nvsim_clear_faults();
            const QStringList refused = Sent().filter(row.call).filter("= BFFC0802");
            QVERIFY2(!refused.isEmpty(), row.line); // the call was made, and refused
            const std::string error = s.handle("SYST:ERR?");
            QVERIFY2(error.starts_with("-200,"), (row.line + (" " + error)).c_str());
            const QStringList was = QString::fromStdString(before).split('\n');
            const QStringList now = QString::fromStdString(state()).split('\n');
            for (qsizetype i = 0; i < std::min(was.size(), now.size()); ++i)
                QVERIFY2(was[i] == now[i],
                         qPrintable(QString(row.line) + ": " + was[i] + " became " + now[i]));
            QCOMPARE(now.size(), was.size());
            QCOMPARE(CardDifference(card.record(), kCard, kChannelCount), QString());
        }
    }

    // Configuration files only by names inside the folder; a load sends
    // every channel as --apply does.
    void configurationFilesInTheirFolder() {
        QTemporaryDir dir, outside;
        DeviceLink d([this] { return &card; });
        Session& s = *d.link;
        QVERIFY(s.handle("MMEM:STOR:STAT 'a.ini';:SYST:ERR?")
                    .starts_with("-221,\"Settings conflict;no folder for configuration files"));
        d.device.setFilesFolder(dir.path());
        QVERIFY(QFile::link(outside.filePath("x.ini"), dir.filePath("out.ini")));
        for (const char* name : {"../a.ini", "sub/a.ini", "..", "out.ini"})
            QVERIFY2(s.handle("MMEM:STOR:STAT \"" + std::string(name) + "\";:SYST:ERR?")
                         .starts_with("-257,\"File name error"),
                     name);
        QVERIFY(!QFile::exists(outside.filePath("x.ini")));
        QCOMPARE(s.handle("MMEM:LOAD:STAT 'none.ini';:SYST:ERR?"),
                 std::string("-256,\"File name not found;none.ini\""));

        s.handle("SOUR2:DATA 0,100;:SOUR3:FREQ 7KHZ;:OUTP3:ATT 33;:MMEM:STOR:STAT 'a.ini'");
        // Channel 2's samples came from a client: saved beside it, and named.
        QVERIFY(QFile::exists(dir.filePath("a_channel2.txt")));
        s.handle("SOUR3:FREQ 1KHZ;:OUTP3:ATT 0");
        nvsim_journal_clear();
        QCOMPARE(s.handle("MMEM:LOAD:STAT 'a.ini';:SOUR3:FREQ?;:OUTP3:ATT?;:SYST:ERR?"),
                 std::string("7000;33;0,\"No error\""));
        QVERIFY(Sent().filter("SetAttenuation").size() == 3); // every channel
    }

    // A store writes all its files or none; each configuration names
    // waveform files of its own, by names inside the folder; a load reads
    // them from the folder only; no answer holds a path of the server's.
    void storedConfigurationsStandAlone() {
        QTemporaryDir dir, outside;
        DeviceLink d([this] { return &card; });
        Session& s = *d.link;
        d.device.setFilesFolder(dir.path());
        const auto bytes = [&dir](const char* name) {
            QFile f(dir.filePath(name));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const auto ask = [&s](const std::string& line) {
            return QString::fromStdString(s.handle(line));
        };
        const QString noError = "0,\"No error\"";
        QCOMPARE(ask("SOUR1:DATA 0,100;:MMEM:STOR:STAT 'sa.ini';STAT 'sb.ini';:SYST:ERR?"),
                 noError);
        QVERIFY(bytes("sa.ini").contains("\nArbFile=sa_channel1.txt"));
        QVERIFY(bytes("sb.ini").contains("\nArbFile=sb_channel1.txt"));
        const QByteArray sbWave = bytes("sb_channel1.txt");
        QCOMPARE(ask("SOUR1:DATA 100,0,50,25;:MMEM:STOR:STAT 'sa.ini';:SYST:ERR?"), noError);
        QCOMPARE(bytes("sb_channel1.txt"), sbWave);

        // A full disk: the waveform file would fit, the configuration not.
        const QByteArray sa = bytes("sa.ini"), saWave = bytes("sa_channel1.txt");
        QString refused;
        {
            const FileSizeLimit limit(static_cast<rlim_t>(saWave.size() + 64));
            refused = ask("SOUR1:DATA 0,1,2,3;:MMEM:STOR:STAT 'sa.ini';:SYST:ERR?");
        }
        QCOMPARE(refused, QString("-200,\"Execution error;could not write sa.ini and its "
                                  "waveform files: nothing was changed\""));
        QCOMPARE(bytes("sa.ini"), sa);
        QCOMPARE(bytes("sa_channel1.txt"), saWave);

        // What a stored configuration names, read from the folder only.
        QFile(outside.filePath("w.txt")).open(QIODevice::WriteOnly);
        const struct {
            QString arbFile;
            QString answer;
        } rows[] = {
            {"sa_channel1.txt", noError},
            {"./sa_channel1.txt", noError},
            {outside.filePath("w.txt"), "-257,\"File name error;the waveform file w.txt is "
                                        "outside the folder\""},
            {"../" + QFileInfo(outside.path()).fileName() + "/w.txt",
             "-257,\"File name error;the waveform file w.txt is outside the folder\""},
            {"gone.txt", "-256,\"File name not found;the waveform file gone.txt\""},
        };
        for (const auto& row : rows) {
            QFile ini(dir.filePath("sa.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write(QByteArray(sa).replace("ArbFile=sa_channel1.txt",
                                             "ArbFile=" + row.arbFile.toUtf8()));
            ini.close();
            QCOMPARE(ask("MMEM:LOAD:STAT 'sa.ini';:SYST:ERR?"), row.answer);
        }
        QCOMPARE(card.channel(1).Wave.Arb.Data, std::vector<double>({100, 0, 50, 25}));
        QFile nul(dir.filePath("nul.ini"));
        QVERIFY(nul.open(QIODevice::WriteOnly) && nul.write("[Card]\n\0", 8) == 8);
        nul.close();
        QCOMPARE(ask("MMEM:LOAD:STAT 'nul.ini';:SYST:ERR?"),
                 QString("-200,\"Execution error;nul.ini holds a NUL byte: it is no "
                         "configuration file.\""));
    }

    // What SCPI also asks of an instrument, line by line: limits asked by
    // MIN, MAX and DEF (nothing answered for another word), FIXed for CW,
    // numeric booleans rounded, any suffix beyond range -114, the samples
    // back as a block in the link's byte order, the headers, the folder's files.
    void whatScpiAlsoAsks() {
        QTemporaryDir dir;
        DeviceLink d([this] { return &card; });
        Session& s = *d.link;
        d.device.setFilesFolder(dir.path());
        const std::string block =
            std::string("#18") + std::string("\x80\x00\x7f\xff\x00\x00\x12\x34", 8);
        const std::pair<std::string, std::string> dialogue[] = {
            {"FREQ? MAX;FREQ? MIN;OUTP:ATT? MIN;:OUTP:ATT? DEF", "10000000;1;0;0"},
            {"FREQ? FOO;SYST:ERR?", "-224,\"Illegal parameter value;MIN, MAX or DEF\""},
            {"FUNC SIN;FREQ:MODE FIX;:FREQ:MODE?", "CW"},
            {"OUTP 2;OUTP?;OUTP 0.4;OUTP?", "1;0"},
            {"SOUR99999999999:FREQ?;:SYST:ERR?", "-114,\"Header suffix out of range\""},
            {"DATA " + block + ";DATA?", block},
            {"FORM:BORD SWAP;:DATA?;:FORM:BORD NORM",
             std::string("#18") + std::string("\x00\x80\xff\x7f\x00\x00\x34\x12", 8)},
        };
        for (const auto& [line, answer] : dialogue)
            QCOMPARE(QByteArray::fromStdString(s.handle(line)), QByteArray::fromStdString(answer));
        const std::string headers = s.handle("SYST:HELP:HEAD?");
        QVERIFY(headers.starts_with("#"));
        for (const char* h : {"*IDN?/qonly/\n", "*RST/nquery/\n", "[SOURce#:]DATA[:DAC]?\n"})
            QVERIFY2(headers.find(h) != std::string::npos, h);
        s.handle("MMEM:STOR:STAT 'a.ini'");
        const QString catalog = QString::fromStdString(s.handle("MMEM:CAT?"));
        // Used bytes, free bytes, then every file of the folder with its size.
        qint64 used = 0;
        QStringList names;
        auto entries = QRegularExpression("\"([^,]+),(STAT|ASC),(\\d+)\"").globalMatch(catalog);
        while (entries.hasNext()) {
            const QRegularExpressionMatch e = entries.next();
            QCOMPARE(e.captured(3).toLongLong(), QFileInfo(dir.filePath(e.captured(1))).size());
            QCOMPARE(e.captured(2), QString(e.captured(1).endsWith(".ini") ? "STAT" : "ASC"));
            used += e.captured(3).toLongLong();
            names << e.captured(1);
        }
        QCOMPARE(names, QDir(dir.path()).entryList(QDir::Files, QDir::Name));
        QVERIFY2(catalog.startsWith(QString::number(used) + ","), qPrintable(catalog));
    }

    // While another link holds a lock (a VXI-11 or HiSLIP client's), a link
    // that cannot wait for it (a raw-socket client's) is refused whatever
    // would change the card, its files or the front panel, with the holder
    // named; queries and its own session's commands go on; nothing is sent.
    void anotherLinksLockRefusesChanges() {
        QTemporaryDir dir;
        DeviceLink d([this] { return &card; });
        d.device.setFilesFolder(dir.path());
        const auto holder = d.device.openLink("127.0.0.1:40040 (VXI-11)");
        const std::string refused = "-203,\"Command protected;locked by 127.0.0.1:40040 (VXI-11)\"";
        for (bool shared : {false, true}) {
            QVERIFY(shared ? d.device.lockShared(*holder, "key") == ScpiDevice::Grant::Granted
                           : d.device.lockExclusive(*holder) == ScpiDevice::Grant::Granted);
            nvsim_journal_clear();
            Session& s = *d.link;
            for (const char* change : {"OUTP1:ATT 33;OUTP1 ON", "MMEM:STOR:STAT 'a.ini'", "*RST",
                                       "SYST:RWL", "FREQ 1000", "DATA 50,50"}) {
                QCOMPARE(s.handle(change), std::string());
                QCOMPARE(s.handle("SYST:ERR?"), refused);
                s.handle("*CLS");
            }
            const std::string attenuation = s.handle("OUTP1:ATT?");
            QCOMPARE(
                s.handle("*CLS;*SRE 32;:FORM:BORD SWAP;*SRE?;:FORM:BORD?;:OUTP1:ATT?;:SYST:ERR?"),
                "32;SWAP;" + attenuation + ";0,\"No error\"");
            QCOMPARE(Sent(), QStringList());
            QVERIFY(QDir(dir.path()).isEmpty());
            QVERIFY(!d.device.lockHolder());
            QCOMPARE(holder->handle("OUTP1:ATT 12;:OUTP1:ATT?"),
                     std::string("12")); // the holder may
            d.device.unlockExclusive(*holder);
            d.device.unlockShared(*holder);
            s.handle("FORM:BORD NORM");
        }
        d.device.closeLink(*holder);
    }

    void withoutACardEverySettingSaysSo() {
        DeviceLink d([] { return nullptr; });
        Session& s = *d.link;
        QCOMPARE(s.handle("FREQ 1;FREQ?;SYST:ERR?"),
                 std::string("-200,\"Execution error;no card is open\""));
    }
};

NV815_TEST_GUILESS_MAIN(TestScpiCard)
} // namespace NV815_TEST_UNIT

#include "tst_scpicard.moc"
