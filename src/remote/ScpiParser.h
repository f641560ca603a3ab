// SCPI program messages read into their units: headers (long and short
// forms, optional nodes, numeric suffixes, the header path one unit leaves
// for the next) and parameters (decimal numbers with multipliers and units,
// MIN, MAX and DEF, character data, strings, definite-length blocks), with
// SCPI's standard error numbers for what cannot be read. Plain C++: the
// server and the fuzzer read the same code.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scpi {

// SCPI's standard error numbers the reader and the command table give.
enum Error {
    NoError = 0,
    CommandError = -100,
    SyntaxError = -102,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    UndefinedHeader = -113,
    SuffixOutOfRange = -114,
    InvalidSuffix = -131,
    StringNotAllowed = -158,
    InvalidBlock = -161,
    ExecutionError = -200,
    CommandProtected = -203,
    TriggerIgnored = -211,
    ParameterError = -220,
    SettingsConflict = -221,
    DataOutOfRange = -222,
    TooMuchData = -223,
    IllegalValue = -224,
    FileNameNotFound = -256,
    FileNameError = -257,
    QueueOverflow = -350,
    QueryInterrupted = -410,
};

// The standard text of an error number ("Undefined header").
const char* ErrorText(int error);

// `bytes` as an answer's definite-length block: "#", the count of the
// length's digits, the length, the bytes.
std::string DefiniteBlock(const std::string& bytes);

struct Node {
    std::string mnemonic; // as sent, without its suffix
    int suffix = -1;      // -1: none given
};

struct Parameter {
    enum class Kind { Number, Word, String, Block };
    Kind kind = Kind::Number;
    double number = 0; // Number: in the base unit (1.5KHZ is 1500)
    std::string unit;  // Number: the unit it was sent with, upper case ("HZ"); may be empty
    std::string text;  // Word: upper case (MIN, SIN, ON); String: its characters
    std::string bytes; // Block: its bytes
};

struct Unit {
    bool common = false; // *IDN? and the like: `nodes` holds the one mnemonic
    bool query = false;
    std::vector<Node> nodes; // the whole path, the previous unit's path resolved
    std::vector<Parameter> parameters;
    Error error = NoError; // what could not be read; the unit is then not run
};

// The deepest header path a unit may have (nodes, the path it continues
// included); a deeper one is an undefined header.
inline constexpr size_t kMaxDepth = 12;

// Each unit of one program message (one line, without its LF or CR LF) as
// it is read: a unit runs before the next is read, and none is kept.
void ForEachUnit(std::string_view line, const std::function<void(const Unit&)>& run);

// The units of one program message, kept (for tests and tools).
std::vector<Unit> ParseMessage(std::string_view line);

// A header pattern of the command table: "[SOURce#:]FREQuency[:CW]" (upper
// case letters: the short form; [..]: an optional node; #: a numeric suffix,
// 1 when none is sent).
class Pattern {
public:
    explicit Pattern(std::string_view header);

    // Whether the unit's nodes are this header; `suffix` gets the numeric
    // suffix of the node marked #, or SuffixOutOfRange when one is given
    // where none may be or it is outside 1..`maxSuffix`.
    bool matches(const std::vector<Node>& nodes, int maxSuffix, int& suffix, Error& error) const;

private:
    struct Part {
        std::string longForm, shortForm; // upper case
        bool optional = false, numbered = false;
    };
    bool match(const std::vector<Node>& nodes, size_t n, size_t p, int maxSuffix, int& suffix,
               Error& error) const;
    std::vector<Part> parts_;
};

// A mnemonic as a command table writes it ("FREQuency", "PXI0"): its long
// form and its short form (the leading capitals and digits), upper case.
std::pair<std::string, std::string> MnemonicForms(std::string_view written);

// Whether `sent` is the mnemonic in its long form ("FREQUENCY") or its short
// form ("FREQ"), any case.
bool MnemonicIs(std::string_view sent, std::string_view longForm, std::string_view shortForm);

} // namespace scpi
