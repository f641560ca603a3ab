// The logged command layer against a fake driver table and the simulated card.
#include <QtTest>
#include <functional>

#include "Commands.h"
#include "LibraryBindings.h"
#include "OperationLog.h"
#include "ProgramState.h"
#include "SimJournal.h"
#include "TestRegistry.h"
#include "nv815_def.h"

namespace NV815_TEST_UNIT {

// A driver whose calls are recorded and whose statuses the test chooses.
struct FakeDriver {
    static inline QStringList calls;
    static inline QMap<QString, ViStatus> statuses;
    static inline uint32_t memAddress = 0, memData = 0, memExpected = 0;

    static ViStatus call(const QString& text) {
        calls << text;
        return statuses.value(text.section('(', 0, 0), VI_SUCCESS);
    }
    static QString r(double v) { return QString::number(v); }

    static void install() {
        Driver.nv815_error_message = [](ViSession, ViStatus s, ViChar m[]) -> ViStatus {
            std::snprintf(m, NV815_MESSAGE_BUFLEN, "Fake error %08X", static_cast<unsigned>(s));
            return VI_SUCCESS;
        };
        Driver.nv815_SetActiveChannel = [](ViSession, ViInt32 c) {
            return call(QString("SetActiveChannel(%1)").arg(c));
        };
        Driver.nv815_SetAttenuation = [](ViSession, double v) {
            return call(QString("SetAttenuation(%1)").arg(r(v)));
        };
        Driver.nv815_SetOutputOffsetVoltage = [](ViSession, double v, ViInt32 a) {
            return call(QString("SetOutputOffsetVoltage(%1,%2)").arg(r(v)).arg(a));
        };
        Driver.nv815_GetCalibrationDate = [](ViSession, ViUInt32* y, ViUInt32* m, ViUInt32* d) {
            *y = 7, *m = 3, *d = 5;
            return call("GetCalibrationDate()");
        };
        Driver.nv815_SetCounterStep = [](ViSession, ViUInt32 s) {
            return call(QString("SetCounterStep(%1)").arg(s));
        };
        Driver.nv815_SetFSKSource = [](ViSession, ViInt32 s) {
            return call(QString("SetFSKSource(%1)").arg(s));
        };
        Driver.nv815_SetClockMode = [](ViSession, ViInt32 m, double a, double b, double c,
                                       double d) {
            return call(QString("SetClockMode(%1,%2,%3,%4,%5)").arg(m).arg(r(a), r(b), r(c), r(d)));
        };
        Driver.nv815_SetClockSource = [](ViSession, ViInt32 s, double f, ViInt32 m) {
            return call(QString("SetClockSource(%1,%2,%3)").arg(s).arg(r(f)).arg(m));
        };
        Driver.nv815_SetTriggerMode = [](ViSession, ViInt32 s, ViInt32 m) {
            return call(QString("SetTriggerMode(%1,%2)").arg(s).arg(m));
        };
        Driver.nv815_GenerateSweep = [](ViSession, ViInt32 t, double sym, ViInt32 m, double a,
                                        double b, double c, double d) {
            return call(QString("GenerateSweep(%1,%2,%3,%4,%5,%6,%7)")
                            .arg(t)
                            .arg(r(sym))
                            .arg(m)
                            .arg(r(a), r(b), r(c), r(d)));
        };
        Driver.nv815_GenerateSignal = [](ViSession, double f, ViInt32 t, double s) {
            return call(QString("GenerateSignal(%1,%2,%3)").arg(r(f)).arg(t).arg(r(s)));
        };
        Driver.nv815_SetAMMode = [](ViSession, ViInt32 v) {
            return call(QString("SetAMMode(%1)").arg(v));
        };
        Driver.nv815_SetFSKPin = [](ViSession, ViInt32 v) {
            return call(QString("SetFSKPin(%1)").arg(v));
        };
        Driver.nv815_SetInstrumentMode = [](ViSession, ViInt32 v) {
            return call(QString("SetInstrumentMode(%1)").arg(v));
        };
        Driver.nv815_MemoryTest = [](ViSession, ViUInt32* a, ViUInt32* d, ViUInt32* e) {
            *a = memAddress, *d = memData, *e = memExpected;
            return call("MemoryTest()");
        };
        Driver.nv815_revision_query = [](ViSession, ViChar d[], ViChar i[]) {
            std::strcpy(d, "9.9");
            std::strcpy(i, "Z");
            return call("revision_query()");
        };
    }
};

// The log's entries without their time stamps and final CR LF.
QStringList Entries() {
    QStringList out;
    if (LogLines)
        for (const std::string& e : *LogLines) {
            QString s = QString::fromStdString(e);
            out << s.mid(s.indexOf(": ") + 2).chopped(2);
        }
    return out;
}

const ViSession kSession = 0x4242;
// The card's side of the command layer the commands go through, and one without a session.
CommandLink cardLink, none;
const QString kSelect2 = "Set Active Channel \r\n     Channel 2\r\n > Success";

class TestCommands : public QObject {
    Q_OBJECT
    DriverEntryTable simulatorTable{};

private slots:
    void initTestCase() {
        QVERIFY(BindAllLibraries().ok());
        QVERIFY(DriverLoaded);
        simulatorTable = Driver;
        CreateLogLines();
    }

    void init() {
        QLocale::setDefault(QLocale::c());
        Driver = simulatorTable;
        FakeDriver::install();
        FakeDriver::calls.clear();
        FakeDriver::statuses.clear();
        LogLines->clear();
        LogEnabled = true;
        MaxLogLines = 100;
        ResetProgramState();
        cardLink.setSession(kSession);
    }

    void cleanupTestCase() {
        Driver = simulatorTable;
        FreeLogLines();
    }

    void formatsRealsLikeTheLog_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 10.0 << "10";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("thousandth") << 0.001 << "0.001";
        QTest::newRow("smallest fixed") << 0.00001 << "0.00001";
        QTest::newRow("below fixed") << 0.000009 << "9E-6";
        QTest::newRow("micro") << 1e-6 << "1E-6";
        QTest::newRow("1.5E-7") << 1.5e-7 << "1.5E-7";
        QTest::newRow("huge") << 1e20 << "1E20";
        QTest::newRow("fraction") << 12345.678 << "12345.678";
        QTest::newRow("negative offset") << -2.5 << "-2.5";
        QTest::newRow("negative hundredths") << -0.05 << "-0.05";
        QTest::newRow("binary noise") << 0.1 + 0.2 << "0.3";
        QTest::newRow("kHz of 1 Hz") << 1.0 / 1000 << "0.001";
        QTest::newRow("15 integer digits") << 123456789012345.0 << "123456789012345";
        QTest::newRow("16 integer digits") << 1234567890123456.0 << "1.23456789012346E15";
        QTest::newRow("rounds up to 1E15") << 999999999999999.9 << "1E15";
        QTest::newRow("15 digits kept") << 1.23456789012345 << "1.23456789012345";
    }
    void formatsRealsLikeTheLog() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(FormatReal(value)), text);
    }

    void usesTheUsersDecimalSeparator() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(QString::fromStdString(FormatReal(12345.678)), QString("12345,678"));
        QCOMPARE(QString::fromStdString(FormatReal(-1.5e-7)), QString("-1,5E-7"));
        QCOMPARE(CmdSetOutputOffsetVoltage(cardLink, 2, -1.25), VI_SUCCESS);
        QCOMPARE(Entries().last(),
                 QString("Set  dcOffset - \r\n     Channel 2\r\n     Level -1,25V\r\n> Success"));
    }

    void everyCommandWritesItsEntry_data() {
        QTest::addColumn<std::function<ViStatus()>>("command");
        QTest::addColumn<QString>("driverCall");
        QTest::addColumn<QString>("entry"); // the text before its result line
        QTest::addColumn<QString>("resultPrefix");
        QTest::newRow("attenuation")
            << std::function<ViStatus()>([=] { return CmdSetAttenuation(cardLink, 2, 10); })
            << "SetAttenuation(10)"
            << "Set Attenuation - \r\n     Channel 2\r\n     Level 10dB"
            << "> ";
        QTest::newRow("offset") << std::function<ViStatus()>([=] {
            return CmdSetOutputOffsetVoltage(cardLink, 2, 1.5);
        }) << "SetOutputOffsetVoltage(1.5,1)"
                                << "Set  dcOffset - \r\n     Channel 2\r\n     Level 1.5V"
                                << "> ";
        QTest::newRow("counter step")
            << std::function<ViStatus()>([=] { return CmdSetCounterStep(cardLink, 262144, 2); })
            << "SetCounterStep(262144)"
            << "Set Counter Step - \r\n     Channel 2\r\n     Step 262144"
            << " > ";
        QTest::newRow("FSK source")
            << std::function<ViStatus()>([=] { return CmdSetFSKSource(cardLink, 10, 2); })
            << "SetFSKSource(10)"
            << "Set FSK Source - \r\n     Channel 2\r\n     Source 10"
            << " > ";
        QTest::newRow("clock mode")
            << std::function<ViStatus()>(
                   [=] { return CmdSetClockMode(cardLink, 2, 2, 1, 2.5, 0.001, 1); })
            << "SetClockMode(2,1,2.5,0.001,1)"
            << "Set Clock Mode - \r\n     Channel 2\r\n     Mode 2\r\n     StartF 1kHz\r\n"
               "     EndF 2.5kHz\r\n     FreqStep 0.001kHz\r\n     StepTime 1ms"
            << " > ";
        QTest::newRow("clock mode -1 as unsigned")
            << std::function<ViStatus()>(
                   [=] { return CmdSetClockMode(cardLink, -1, 2, 1, 1, 1, 1); })
            << "SetClockMode(-1,1,1,1,1)"
            << "Set Clock Mode - \r\n     Channel 2\r\n     Mode 4294967295\r\n     StartF 1kHz\r\n"
               "     EndF 1kHz\r\n     FreqStep 1kHz\r\n     StepTime 1ms"
            << " > ";
        QTest::newRow("clock source")
            << std::function<ViStatus()>([=] { return CmdSetClockSource(cardLink, 1, 4, 12.5, 2); })
            << "SetClockSource(1,12.5,4)"
            << "Set Clock Source - \r\n     Channel 2\r\n     Source 1\r\n     ExtFreq 12.5MHz\r\n"
               "     ClockMul 4"
            << " > ";
        QTest::newRow("trigger")
            << std::function<ViStatus()>([=] { return CmdSetTriggerMode(cardLink, 9, 6, 2); })
            << "SetTriggerMode(9,6)"
            << "Set Trigger Mode - \r\n     Channel 2\r\n     Source 9\r\n     Mode 6"
            << " > ";
        QTest::newRow("sweep")
            << std::function<ViStatus()>(
                   [=] { return CmdGenerateSweep(cardLink, 1, 0, 30, 1, 5, 0.001, 0.001, 2); })
            << "GenerateSweep(1,30,0,1,5,0.001,0.001)"
            << "Generate Sweep - \r\n     Channel 2\r\n     SignalType 1\r\n     Symmetry 30%\r\n"
               "     Mode 0\r\n     StartF 1kHz\r\n     EndF 5kHz\r\n     FreqStep 0.001kHz\r\n"
               "     StepTime 0.001ms"
            << " > ";
        QTest::newRow("signal")
            << std::function<ViStatus()>([=] { return CmdGenerateSignal(cardLink, 1, 2, 5, 30); })
            << "GenerateSignal(5,1,30)"
            << "Generate Signal - \r\n     Channel 2\r\n     SignalType 1\r\n     Freq 5kHz\r\n"
               "     Symmetry 30%"
            << " > ";
        QTest::newRow("AM") << std::function<ViStatus()>([=] {
            return CmdSetAMMode(cardLink, 2, true);
        }) << "SetAMMode(1)"
                            << "Set AM Mode - \r\n     Channel 2\r\n     Mode 1"
                            << " > ";
        QTest::newRow("FSK pin") << std::function<ViStatus()>([=] {
            return CmdSetFSKPin(cardLink, 2, false);
        }) << "SetFSKPin(0)"
                                 << "Set FSK State - \r\n     Channel 2\r\n     State 0"
                                 << " > ";
        QTest::newRow("output") << std::function<ViStatus()>([=] {
            return CmdSetInstrumentMode(cardLink, 2, true);
        }) << "SetInstrumentMode(1)"
                                << "Switch Channel Mode - \r\n     Channel 2\r\n     Mode 1"
                                << " > ";
    }

    void everyCommandWritesItsEntry() {
        QFETCH(std::function<ViStatus()>, command);
        QFETCH(QString, driverCall);
        QFETCH(QString, entry);
        QFETCH(QString, resultPrefix);

        QCOMPARE(command(), VI_SUCCESS);
        QCOMPARE(FakeDriver::calls, QStringList({"SetActiveChannel(2)", driverCall}));
        QCOMPARE(Entries(), QStringList({kSelect2, entry + "\r\n" + resultPrefix + "Success"}));

        // A refused call: same entry, the driver's text, status handed back.
        const ViStatus refused = static_cast<ViStatus>(0xBFFC0802u);
        FakeDriver::statuses[driverCall.section('(', 0, 0)] = refused;
        QCOMPARE(command(), refused);
        QCOMPARE(Entries().size(), 3); // the channel is still selected
        QCOMPARE(Entries().last(),
                 entry + "\r\n" + resultPrefix + "***FAILED***\r\nError: Fake error BFFC0802");
    }

    void selectsOnlyWhenTheChannelChanges() {
        QCOMPARE(CmdSetAttenuation(cardLink, 1, 10), VI_SUCCESS);
        QCOMPARE(CmdSetAttenuation(cardLink, 1, 11), VI_SUCCESS);
        QCOMPARE(CmdSetInstrumentMode(cardLink, 3, false), VI_SUCCESS);
        QCOMPARE(FakeDriver::calls,
                 QStringList({"SetActiveChannel(1)", "SetAttenuation(10)", "SetAttenuation(11)",
                              "SetActiveChannel(3)", "SetInstrumentMode(0)"}));
        QStringList e = Entries();
        QCOMPARE(e.size(), 5);
        QVERIFY(e[0].startsWith("Set Active Channel \r\n     Channel 1"));
        QVERIFY(e[3].startsWith("Set Active Channel \r\n     Channel 3"));
        QCOMPARE(cardLink.selectedChannel(), 3);
    }

    void failedSelectionIsRetriedAndLoggedAlone() {
        FakeDriver::statuses["SetActiveChannel"] = static_cast<ViStatus>(0xBFFC0801u);
        QCOMPARE(CmdSetAttenuation(cardLink, 2, 10), static_cast<ViStatus>(0xBFFC0801u));
        QCOMPARE(cardLink.selectedChannel(), 0);
        QCOMPARE(Entries(), QStringList({"Set Active Channel \r\n     Channel 2\r\n > "
                                         "***FAILED***\r\nError: Fake error BFFC0801"}));
        FakeDriver::statuses.clear();
        QCOMPARE(CmdSetAttenuation(cardLink, 2, 10), VI_SUCCESS);
        QCOMPARE(FakeDriver::calls,
                 QStringList({"SetActiveChannel(2)", "SetActiveChannel(2)", "SetAttenuation(10)"}));
        QCOMPARE(cardLink.selectedChannel(), 2);
    }

    void noSessionRefusesEverything() {
        uint32_t a, b, c;
        char t1[NV815_REVISION_BUFLEN], t2[NV815_MESSAGE_BUFLEN];
        const QList<std::function<ViStatus()>> commands = {
            [] { return CmdSetActiveChannel(none, 1); },
            [] { return CmdSetAttenuation(none, 1, 10); },
            [] { return CmdSetOutputOffsetVoltage(none, 1, 1); },
            [&] { return CmdGetCalibrationDate(none, &a, &b, &c); },
            [] { return CmdSetCounterStep(none, 1, 1); },
            [] { return CmdSetFSKSource(none, 1, 1); },
            [] { return CmdSetClockMode(none, 0, 1, 1, 1, 1, 1); },
            [] { return CmdSetClockSource(none, 0, 20, 10, 1); },
            [] { return CmdSetTriggerMode(none, 0, 6, 1); },
            [] { return CmdGenerateSweep(none, 0, 0, 50, 1, 2, 1, 1, 1); },
            [] { return CmdGenerateSignal(none, 0, 1, 1, 50); },
            [] { return CmdSetAMMode(none, 1, true); },
            [] { return CmdSetFSKPin(none, 1, true); },
            [] { return CmdSetInstrumentMode(none, 1, true); },
            [&] { return CmdMemoryTest(none, &a, &b, &c, 1); },
            [&] { return CmdRevisionQuery(0, t1, t1); },
            [&] { return CmdErrorMessage(0, 1, t2); },
        };
        for (const auto& command : commands)
            QCOMPARE(command(), VI_ERROR_INV_OBJECT);
        QVERIFY(FakeDriver::calls.isEmpty());
        QVERIFY(LogLines->empty());
        QCOMPARE(cardLink.selectedChannel(), 0);
    }

    void memoryTestValues() {
        uint32_t a = 0, d = 0, e = 0;
        FakeDriver::memAddress = 0x12;
        FakeDriver::memData = 0x5;
        FakeDriver::memExpected = 0xABCDE;
        FakeDriver::statuses["MemoryTest"] = NV815_MEMORY_TEST_FAILED;
        QCOMPARE(CmdMemoryTest(cardLink, &a, &d, &e, 2), NV815_MEMORY_TEST_FAILED);
        // Switching the output off selected the channel.
        QCOMPARE(FakeDriver::calls,
                 QStringList({"SetActiveChannel(2)", "SetInstrumentMode(0)", "MemoryTest()"}));
        QCOMPARE(Entries().last(), QString("Memory Test - \r\n     Channel 2\r\n"
                                           "     Error Address 012H\r\n     Error Data 05H\r\n"
                                           "     Expected Data ABCDEH\r\n"
                                           " > ***FAILED***\r\nError: Fake error BFFC0901"));
        FakeDriver::statuses["MemoryTest"] = static_cast<ViStatus>(0xBFFC0815u);
        CmdMemoryTest(cardLink, &a, &d, &e, 2);
        QVERIFY(Entries().last().contains("Error Address None\r\n     Error Data None\r\n"
                                          "     Expected Data None\r\n > ***FAILED***"));
        FakeDriver::statuses.clear();
        CmdMemoryTest(cardLink, &a, &d, &e, 2);
        QVERIFY(Entries().last().contains("Error Address None"));
        QVERIFY(Entries().last().endsWith(" > Success"));
        // A refused output switch ends the test before the driver runs it.
        FakeDriver::statuses["SetInstrumentMode"] = static_cast<ViStatus>(0xBFFC0811u);
        FakeDriver::calls.clear();
        QCOMPARE(CmdMemoryTest(cardLink, &a, &d, &e, 2), static_cast<ViStatus>(0xBFFC0811u));
        QCOMPARE(FakeDriver::calls, QStringList({"SetInstrumentMode(0)"}));
    }

    void calibrationDateNeedsNoChannel() {
        uint32_t y = 0, m = 0, d = 0;
        QCOMPARE(CmdGetCalibrationDate(cardLink, &y, &m, &d), VI_SUCCESS);
        QCOMPARE(QList<uint32_t>({y, m, d}), QList<uint32_t>({7, 3, 5}));
        QCOMPARE(FakeDriver::calls, QStringList({"GetCalibrationDate()"}));
        QCOMPARE(Entries(), QStringList({"Get Calibration Date \r\n> Success"}));
    }

    void unloggedPassThroughs() {
        char d[NV815_REVISION_BUFLEN] = {}, i[NV815_REVISION_BUFLEN] = {};
        QCOMPARE(CmdRevisionQuery(kSession, d, i), VI_SUCCESS);
        QCOMPARE(QString(d), QString("9.9"));
        char t[NV815_MESSAGE_BUFLEN] = {};
        QCOMPARE(CmdErrorMessage(kSession, 5, t), VI_SUCCESS);
        QCOMPARE(QString(t), QString("Fake error 00000005"));
        QVERIFY(LogLines->empty());
    }

    // Two cards' views of the one log: each card's limit, Clear, text and
    // CSV are its own; the entries of no card show in each; with one
    // card's entries the whole log is its view, as it always was.
    void eachCardsViewIsItsOwn() {
        const auto count = [](uint32_t card, const char* what) {
            return QString::fromStdString(LogText(card)).count(what);
        };
        const auto add = [](uint32_t card, int n, const char* what) {
            for (int i = 0; i < n; ++i)
                AddCardNote(what, card);
        };
        ClearLog();
        SetMaxLogLines(1, 10);
        SetMaxLogLines(2, 5);
        add(1, 8, "one");
        add(2, 5, "two");
        QCOMPARE(LogLinesOf(1).size(), size_t(9)); // "Log Cleared" of no card, and its 8
        QCOMPARE(count(2, "two"), 5);
        add(2, 1, "two"); // card 2's view is full: only it is emptied
        QCOMPARE(count(1, "one"), 8);
        QCOMPARE(count(2, "two"), 1);
        QCOMPARE(count(2, "Log Cleared"), 1);
        QCOMPARE(count(1, "Log Cleared"), 0);
        QVERIFY(!QString::fromStdString(LogCsv(1)).contains("two"));
        ClearLog(1);
        QCOMPARE(count(1, "one"), 0);
        QCOMPARE(count(2, "two"), 1);
        QCOMPARE(count(0, "Log Cleared"), 2); // each card's own
        // One card only: its limit empties everything, as before.
        ClearLog();
        add(1, 11, "one");
        QCOMPARE(LogLinesOf(0).size(), size_t(2)); // "Log Cleared" and the eleventh
        SetMaxLogLines(1, 100);
        SetMaxLogLines(2, 100);
    }

    void entriesCarryTheTimeOfDay() {
        CmdSetAttenuation(cardLink, 1, 10);
        const QString entry = QString::fromStdString(LogLines->front());
        QVERIFY2(QRegularExpression(R"(^\d\d:\d\d:\d\d: Set Active Channel \r\n)")
                     .match(entry)
                     .hasMatch(),
                 qPrintable(entry));
        QVERIFY(entry.endsWith("Success\r\n"));
    }

    void againstTheSimulatedCard() {
        Driver = simulatorTable;
        nvsim_load_chassis(nullptr, nullptr, 0);
        ViSession vi = 0;
        QCOMPARE(Driver.nv815_init("PXI1::13::INSTR", 0, 0, &vi), VI_SUCCESS);
        CommandLink card;
        card.setSession(vi);
        nvsim_journal_clear();

        QCOMPARE(CmdSetAttenuation(card, 2, 10), VI_SUCCESS);
        QCOMPARE(CmdSetAttenuation(card, 2, 41), static_cast<ViStatus>(0xBFFC0802u));
        QCOMPARE(SimValue("PXI1::13::INSTR", 2, "attenuation"), 10.0);
        QCOMPARE(Entries().last(), QString("Set Attenuation - \r\n     Channel 2\r\n     Level "
                                           "41dB\r\n> ***FAILED***\r\nError: Attenuation out of "
                                           "range."));
        // The simulator refuses the selection of channel 3 once: retried next time.
        nvsim_fail("nv815_SetActiveChannel", VI_ERROR_TMO, 1, 0, nullptr);
        QCOMPARE(CmdSetInstrumentMode(card, 3, true), VI_ERROR_TMO);
        QCOMPARE(CmdSetInstrumentMode(card, 3, true), VI_SUCCESS);
        nvsim_clear_faults();
        QCOMPARE(SimJournal(),
                 QStringList({QString("nv815_SetActiveChannel(%1, 2) = 00000000").arg(vi),
                              QString("nv815_SetAttenuation(%1, 10) = 00000000").arg(vi),
                              QString("nv815_SetAttenuation(%1, 41) = BFFC0802").arg(vi),
                              QString("nv815_SetActiveChannel(%1, 3) = BFFF0015").arg(vi),
                              QString("nv815_SetActiveChannel(%1, 3) = 00000000").arg(vi),
                              QString("nv815_SetInstrumentMode(%1, 1) = 00000000").arg(vi)}));
        QCOMPARE(Entries().size(), 6);
        Driver.nv815_close(vi);
    }
};

NV815_TEST_GUILESS_MAIN(TestCommands)
} // namespace NV815_TEST_UNIT

#include "tst_commands.moc"
