// SCPI program messages read into units: headers and their path, numbers
// with multipliers and units, words, strings, blocks, and the standard error
// of each thing that cannot be read.
#include <QtTest>

#include "LineReader.h"
#include "ScpiParser.h"
#include "ScpiSession.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

using namespace scpi;

// A unit's header as "NODE1:NODE2#2?" for comparing.
QString Header(const Unit& u) {
    QStringList nodes;
    for (const Node& n : u.nodes)
        nodes << QString::fromStdString(n.mnemonic) +
                     (n.suffix == -1 ? QString() : "#" + QString::number(n.suffix));
    return (u.common ? "*" : "") + nodes.join(':') + (u.query ? "?" : "");
}

class TestScpi : public QObject {
    Q_OBJECT
private slots:
    // The header path: a unit without a leading ':' continues where the
    // previous one's last node stood; ':' starts again; common commands
    // leave the path alone.
    void headersAndTheirPath() {
        const struct {
            const char* line;
            QStringList headers;
        } rows[] = {
            {"*IDN?", {"*IDN?"}},
            {"SOUR2:FREQ 1;STAR 2;:OUTP ON", {"SOUR#2:FREQ", "SOUR#2:STAR", "OUTP"}},
            {"FREQ:STAR 1;*WAI;STOP 2", {"FREQ:STAR", "*WAI", "FREQ:STOP"}},
            {"  syst:err?  ", {"syst:err?"}},
            {"OUTP3;", {"OUTP#3"}},
        };
        for (const auto& row : rows) {
            QStringList headers;
            for (const Unit& u : ParseMessage(row.line)) {
                QCOMPARE(u.error, NoError);
                headers << Header(u);
            }
            QCOMPARE(headers, row.headers);
        }
    }

    // Numbers in the base unit: multipliers, units, SCPI's MHZ exception,
    // exponents, other bases; words upper case; strings with doubled quotes.
    void parameters() {
        const struct {
            const char* text;
            Parameter::Kind kind;
            double number;
            const char* unit;
            const char* word;
        } rows[] = {
            {"1.5KHZ", Parameter::Kind::Number, 1500, "HZ", ""},
            {"1.5 khz", Parameter::Kind::Number, 1500, "HZ", ""},
            {"2MHZ", Parameter::Kind::Number, 2e6, "HZ", ""},
            {"2MAHZ", Parameter::Kind::Number, 2e6, "HZ", ""},
            {"50MV", Parameter::Kind::Number, 0.05, "V", ""},
            {"-1.25e1", Parameter::Kind::Number, -12.5, "", ""},
            {"+.5", Parameter::Kind::Number, 0.5, "", ""},
            {"3K", Parameter::Kind::Number, 3000, "", ""},
            {"#HFF", Parameter::Kind::Number, 255, "", ""},
            {"#B101", Parameter::Kind::Number, 5, "", ""},
            {"max", Parameter::Kind::Word, 0, "", "MAX"},
            {"Sinusoid", Parameter::Kind::Word, 0, "", "SINUSOID"},
            {"'it''s'", Parameter::Kind::String, 0, "", "it's"},
        };
        for (const auto& row : rows) {
            const std::vector<Unit> units = ParseMessage(std::string("FREQ ") + row.text);
            QVERIFY2(units.size() == 1 && units[0].error == NoError, row.text);
            QCOMPARE(units[0].parameters.size(), size_t(1));
            const Parameter& p = units[0].parameters[0];
            QVERIFY2(p.kind == row.kind, row.text);
            QVERIFY2(qFuzzyCompare(1 + p.number, 1 + row.number), row.text);
            QCOMPARE(p.unit, std::string(row.unit));
            QCOMPARE(p.kind == Parameter::Kind::Word ? p.text : std::string(),
                     std::string(p.kind == Parameter::Kind::Word ? row.word : ""));
            if (p.kind == Parameter::Kind::String)
                QCOMPARE(p.text, std::string(row.word));
        }
        // A block holds any bytes, ';' and LF-free line breaks included; the
        // next unit follows it.
        const std::string block("DATA #18a;b\r,c\0d;*OPC?", 22);
        const std::vector<Unit> units = ParseMessage(block);
        QCOMPARE(units.size(), size_t(2));
        QCOMPARE(units[0].parameters[0].bytes, std::string("a;b\r,c\0d", 8));
        QCOMPARE(Header(units[1]), QString("*OPC?"));
    }

    // Each unreadable unit gets its standard error and the next unit is read.
    void errorsAndTheNextUnit() {
        const struct {
            const char* line;
            Error error;
        } rows[] = {
            {"FREQ 1XYZ;*OPC", InvalidSuffix},  {"FREQ 1,,2;*OPC", SyntaxError},
            {"FREQ 'open;*OPC", SyntaxError},   {"DATA #0abc;*OPC", InvalidBlock},
            {"DATA #19abc;*OPC", InvalidBlock}, {"DATA #2x1;*OPC", InvalidBlock},
            {"1FREQ;*OPC", CommandError},       {"FREQ::STAR;*OPC", CommandError},
            {"FREQ! 1;*OPC", CommandError},     {"FREQ 1e999;*OPC", DataOutOfRange},
            {"FREQ -;*OPC", SyntaxError},       {"*IDN2?;*OPC", CommandError},
        };
        for (const auto& row : rows) {
            const std::vector<Unit> units = ParseMessage(row.line);
            QVERIFY2(!units.empty() && units[0].error == row.error, row.line);
            // Unless the error left no way to tell where the unit ends, the next one is read.
            if (row.error != SyntaxError ||
                std::string_view(row.line).find('\'') == std::string::npos)
                QVERIFY2(units.size() == 2 && Header(units[1]) == "*OPC", row.line);
        }
        QCOMPARE(QString(ErrorText(SuffixOutOfRange)), QString("Header suffix out of range"));
    }

    // A relative header continues the path, which never grows past the
    // deepest header: deeper units are undefined and keep nothing, so a
    // line of thousands of them costs in proportion to its length.
    void headerPathsHaveABoundedDepth() {
        std::string line;
        for (int i = 0; i < 2000; ++i)
            line += "a:a;";
        size_t units = 0, deepest = 0, undefined = 0;
        ForEachUnit(line, [&](const Unit& u) {
            ++units;
            deepest = std::max(deepest, u.nodes.size());
            undefined += u.error == UndefinedHeader;
        });
        QCOMPARE(units, size_t(2000));
        QCOMPARE(deepest, kMaxDepth);
        QCOMPARE(undefined, size_t(2000) - (kMaxDepth - 1));
        // An absolute header starts again from the top.
        const std::vector<Unit> after = ParseMessage(line + ":SYST:ERR?");
        QCOMPARE(Header(after.back()), QString("SYST:ERR?"));
        QCOMPARE(after.back().error, NoError);
    }

    // Lines out of a byte stream: a block's bytes by count (LF and all), text
    // outside blocks up to 64 kB, the whole line up to one wave memory and
    // 64 kB; what goes beyond is refused once and skipped to its LF without
    // being kept, and the next line is read.
    void linesOutOfAStream() {
        const std::string wave(LineReader::kMaxBlock, '\n');
        const std::string third = "#6" + std::to_string(LineReader::kMaxBlock / 3);
        const struct {
            std::string input;
            QStringList events;
        } rows[] = {
            {"*IDN?\r\n*OPC?\n", {"*IDN?", "*OPC?"}},
            {std::string("DATA #14a\n;b;*OPC?\n", 19), {"DATA #14a\n;b;*OPC?"}},
            {"FREQ #HFF;X '#9'\n", {"FREQ #HFF;X '#9'"}},
            {"DATA #2x1\n", {"DATA #2x1"}},
            {"*OPC " + std::string(70 * 1024, '1') + "\n*OPC?\n",
             {"refused: a line longer than 64 kB", "*OPC?"}},
            {"DATA #6" + std::to_string(LineReader::kMaxBlock + 1) + wave + "\n\n*OPC?\n",
             {"refused: a block longer than the wave memory", "*OPC?"}},
            {"DATA " + third + wave.substr(0, LineReader::kMaxBlock / 3) + "," + third +
                 wave.substr(0, LineReader::kMaxBlock / 3) + ",#6" +
                 std::to_string(LineReader::kMaxBlock) + wave + "\nX\n",
             {"refused: a line longer than one wave memory and 64 kB", "X"}},
        };
        for (const auto& row : rows) {
            LineReader reader;
            QStringList events;
            size_t grown = 0;
            for (size_t i = 0; i < row.input.size();) {
                size_t taken = 0;
                // In pieces of 4096 bytes, as a socket hands them over.
                const auto r = reader.take(row.input.data() + i,
                                           std::min<size_t>(4096, row.input.size() - i), taken);
                i += taken;
                grown = std::max(grown, reader.line().capacity());
                if (r == LineReader::Result::Line)
                    events << QString::fromStdString(reader.line()).left(40);
                else if (r == LineReader::Result::Refused)
                    events << QString("refused: ") + reader.refusal();
            }
            QCOMPARE(events, row.events);
            QVERIFY(grown <= LineReader::kMaxLine + 16);
            QVERIFY(!reader.midLine());
        }
    }

    // Long and short forms, optional nodes, the numbered node's suffix and its range.
    void patterns() {
        const Pattern frequency("[SOURce#:]FREQuency[:CW]");
        const struct {
            const char* line;
            bool matches;
            int suffix;
            Error error;
        } rows[] = {
            {"FREQ 1", true, 1, NoError},
            {"source2:frequency:cw 1", true, 2, NoError},
            {"SOUR3:FREQ 1", true, 3, NoError},
            {"FREQ:CW 1", true, 1, NoError},
            {"SOUR4:FREQ 1", false, 0, SuffixOutOfRange},
            {"FREQ2 1", false, 0, SuffixOutOfRange},
            {"FREQU 1", false, 0, NoError},
            {"SOUR:FREQ:CW:CW 1", false, 0, NoError},
        };
        for (const auto& row : rows) {
            const std::vector<Unit> units = ParseMessage(row.line);
            int suffix = 0;
            Error error = NoError;
            QVERIFY2(frequency.matches(units.at(0).nodes, 3, suffix, error) == row.matches,
                     row.line);
            QVERIFY2(error == row.error, row.line);
            if (row.matches)
                QVERIFY2(suffix == row.suffix, row.line);
        }
    }

    // The common commands, the error queue and the status registers, line by
    // line as a client sends them: each line's answer, in order.
    void sessionAnswersAsIeee4882Says() {
        CommandSet commands;
        Session::AddCommonCommands(commands);
        Session session(commands, [] { return Identity{"Norvale", "72-815", "1001", "1.46"}; });
        const std::pair<const char*, const char*> dialogue[] = {
            {"*IDN?;*OPC?", "Norvale,72-815,1001,1.46;1"},
            {"syst:vers?", "1999.0"},
            {"SYST:ERR?", "0,\"No error\""},
            {"FOO;*ESR?", "32"}, // an undefined header is a command error
            {"*ESR?", "0"},      // read and cleared
            {"SYST:ERR:COUN?;:SYST:ERR?", "1;-113,\"Undefined header\""},
            {"*IDN? 1;*ESE;SYST2:ERR?;*ESE 300", ""},
            {"SYST:ERR?;ERR?;ERR?;ERR?", // each continues at SYSTem
             "-108,\"Parameter not allowed\";-109,\"Missing parameter\";-114,\"Header suffix out "
             "of range\";-222,\"Data out of range;0 to 255\""},
            {"*ESE 32;*SRE 32;*ESE?;*SRE?", "32;32"},
            {"FOO;*STB?", "100"}, // queue not empty, a standard event, a service request
            {"*CLS;*STB?;SYST:ERR:COUN?", "0;0"},
            {"*OPC;*ESR?;*TST?;*WAI", "1;0"},
            {"*SRE 255;*SRE?;*SRE 32", "191"}, // bit 6 is the request: never enabled
        };
        for (const auto& [line, answer] : dialogue)
            QCOMPARE(QString::fromStdString(session.handle(line)), QString(answer));
        // A full queue keeps its first 19 errors and says it overflowed.
        for (int i = 0; i < 25; ++i)
            session.handle("FOO");
        QCOMPARE(session.handle("SYST:ERR:COUN?"), std::string("20"));
        for (int i = 0; i < 19; ++i)
            session.handle("SYST:ERR?");
        QCOMPARE(session.handle("SYST:ERR?"), std::string("-350,\"Queue overflow\""));
    }
};

NV815_TEST_GUILESS_MAIN(TestScpi)
} // namespace NV815_TEST_UNIT

#include "tst_scpi.moc"
