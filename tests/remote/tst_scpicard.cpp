// The card's settings in SCPI against the simulated card: each setter sends
// only its own command with the card's other accepted settings, each query
// answers what the card accepted, and bad values send nothing.
#include <QtTest>

#include "CardCommands.h"
#include "LibraryBindings.h"
#include "Operations.h"
#include "ProgramState.h"
#include "SimJournal.h"
#include "TestRegistry.h"

using namespace scpi;

namespace {
const char* const kCard = "PXI1::13::INSTR";
} // namespace

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
        Session s([] { return Identity{}; });
        AddCardCommands(s, [this] { return &card; });
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
        Session s([] { return Identity{}; });
        AddCardCommands(s, [this] { return &card; });
        nvsim_journal_clear();
        QCOMPARE(s.handle("OUTP3 ON;OUTP3?;:VOLT:OFFS 1.5;OFFS:STAT ON;STAT?"), std::string("1;1"));
        QCOMPARE(Sent(), QStringList({"nv815_SetActiveChannel(3) = 00000000",
                                      "nv815_SetInstrumentMode(1) = 00000000",
                                      "nv815_SetActiveChannel(1) = 00000000",
                                      "nv815_SetOutputOffsetVoltage(1.5, 0) = 00000000",
                                      "nv815_SetOutputOffsetVoltage(1.5, 1) = 00000000"}));
        QCOMPARE(s.handle("OUTP3 2;SYST:ERR?"),
                 std::string("-224,\"Illegal parameter value;ON, OFF, 1 or 0\""));
        QCOMPARE(s.handle("*RST;OUTP3?;OUTP3:ATT?"), std::string("0;10"));
        QCOMPARE(Sent().filter("SetInstrumentMode(0)").size(), 3);
        QCOMPARE(SimValue(kCard, 3, "outputOn"), 0.0);
    }

    void withoutACardEverySettingSaysSo() {
        Session s([] { return Identity{}; });
        AddCardCommands(s, [] { return nullptr; });
        QCOMPARE(s.handle("FREQ 1;FREQ?;SYST:ERR?"),
                 std::string("-200,\"Execution error;no card is open\""));
    }
};

NV815_TEST_GUILESS_MAIN(TestScpiCard)
#include "tst_scpicard.moc"
