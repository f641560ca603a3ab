#include "ScpiParser.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <tuple>

namespace scpi {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}
bool IsLetter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The units a number may carry, and SCPI's multipliers ("M" is milli; MHZ is
// megahertz by SCPI's own exception).
const char* const kUnits[] = {"HZ", "V", "S", "PCT", "DB"};
const struct {
    const char* prefix;
    double factor;
} kMultipliers[] = {{"EX", 1e18}, {"PE", 1e15}, {"MA", 1e6},  {"T", 1e12},
                    {"G", 1e9},   {"K", 1e3},   {"M", 1e-3},  {"U", 1e-6},
                    {"N", 1e-9},  {"P", 1e-12}, {"F", 1e-15}, {"A", 1e-18}};

bool KnownUnit(std::string_view s) {
    for (const char* u : kUnits)
        if (s == u)
            return true;
    return false;
}

// A suffix after a number: its factor and unit; false when it is none of SCPI's.
bool ReadSuffix(const std::string& suffix, double& factor, std::string& unit) {
    factor = 1;
    unit.clear();
    if (suffix.empty())
        return true;
    if (suffix == "MHZ") {
        factor = 1e6;
        unit = "HZ";
        return true;
    }
    if (KnownUnit(suffix)) {
        unit = suffix;
        return true;
    }
    for (const auto& m : kMultipliers) {
        const std::string_view p = m.prefix;
        if (suffix.compare(0, p.size(), p) != 0)
            continue;
        const std::string_view rest = std::string_view(suffix).substr(p.size());
        if (rest.empty() || KnownUnit(rest)) {
            factor = m.factor;
            unit = std::string(rest);
            return true;
        }
    }
    return false;
}

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    bool atEnd() const { return i_ >= s_.size(); }
    char peek() const { return atEnd() ? '\0' : s_[i_]; }
    void skipSpace() {
        while (!atEnd() && IsSpace(s_[i_]))
            ++i_;
    }

    // One unit; false at the end of the message.
    bool unit(Unit& u, std::vector<Node>& path) {
        skipSpace();
        if (atEnd())
            return false;
        u.error = header(u, path);
        if (u.error == NoError)
            u.error = parameters(u);
        skipToNextUnit(u);
        return true;
    }

private:
    Error header(Unit& u, std::vector<Node>& path) {
        if (peek() == '*') {
            ++i_;
            Node n;
            if (!mnemonic(n) || n.suffix != -1)
                return CommandError;
            u.common = true;
            u.nodes = {n};
        } else {
            const bool absolute = peek() == ':';
            if (absolute)
                ++i_;
            // No command is deeper than kMaxDepth nodes: a deeper header is
            // not kept (the unit is skipped) and the path stays as it was.
            const size_t depth = absolute ? 0 : path.size();
            std::vector<Node> nodes;
            do {
                Node n;
                if (!mnemonic(n))
                    return CommandError;
                if (depth + nodes.size() >= kMaxDepth)
                    return UndefinedHeader;
                nodes.push_back(n);
            } while (peek() == ':' && (++i_, true));
            u.nodes = absolute ? std::vector<Node>{} : path;
            u.nodes.insert(u.nodes.end(), nodes.begin(), nodes.end());
            path.assign(u.nodes.begin(), u.nodes.end() - 1); // the next unit's starting point
        }
        if (peek() == '?') {
            u.query = true;
            ++i_;
        }
        if (!atEnd() && !IsSpace(peek()) && peek() != ';')
            return CommandError;
        return NoError;
    }

    // Letters, then letters, digits or '_', the trailing digits its suffix.
    bool mnemonic(Node& n) {
        if (!IsLetter(peek()))
            return false;
        const size_t start = i_;
        while (!atEnd() && (IsLetter(s_[i_]) || IsDigit(s_[i_]) || s_[i_] == '_'))
            ++i_;
        std::string_view word = s_.substr(start, i_ - start);
        size_t digits = word.size();
        while (digits > 0 && IsDigit(word[digits - 1]))
            --digits;
        n.mnemonic = std::string(word.substr(0, digits));
        if (digits < word.size()) {
            const std::string_view number = word.substr(digits);
            // Beyond six digits it is out of every command's range (-114).
            if (number.size() > 6)
                n.suffix = 1000000;
            else
                std::from_chars(number.data(), number.data() + number.size(), n.suffix);
        }
        return true;
    }

    Error parameters(Unit& u) {
        skipSpace();
        if (atEnd() || peek() == ';')
            return NoError;
        while (true) {
            skipSpace();
            Parameter p;
            if (const Error e = parameter(p); e != NoError)
                return e;
            u.parameters.push_back(std::move(p));
            skipSpace();
            if (atEnd() || peek() == ';')
                return NoError;
            if (peek() != ',')
                return SyntaxError;
            ++i_;
        }
    }

    Error parameter(Parameter& p) {
        const char c = peek();
        if (c == '"' || c == '\'')
            return string(p);
        if (c == '#')
            return hash(p);
        if (IsDigit(c) || c == '+' || c == '-' || c == '.')
            return number(p);
        if (IsLetter(c)) {
            const size_t start = i_;
            while (!atEnd() && (IsLetter(s_[i_]) || IsDigit(s_[i_]) || s_[i_] == '_'))
                ++i_;
            p.kind = Parameter::Kind::Word;
            p.text = Upper(s_.substr(start, i_ - start));
            return NoError;
        }
        return SyntaxError;
    }

    Error string(Parameter& p) {
        const char quote = s_[i_++];
        p.kind = Parameter::Kind::String;
        while (!atEnd()) {
            const char c = s_[i_++];
            if (c != quote) {
                p.text += c;
            } else if (peek() == quote) { // a doubled quote stands for one
                p.text += c;
                ++i_;
            } else {
                return NoError;
            }
        }
        return SyntaxError; // not closed
    }

    // A definite-length block (#<n><length><bytes>) or a number in another base.
    Error hash(Parameter& p) {
        ++i_;
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(peek())));
        if (kind == 'H' || kind == 'Q' || kind == 'B') {
            ++i_;
            const int base = kind == 'H' ? 16 : kind == 'Q' ? 8 : 2;
            unsigned long long value = 0;
            const auto r = std::from_chars(s_.data() + i_, s_.data() + s_.size(), value, base);
            if (r.ec != std::errc() || r.ptr == s_.data() + i_)
                return SyntaxError;
            i_ = static_cast<size_t>(r.ptr - s_.data());
            p.number = static_cast<double>(value);
            return NoError;
        }
        if (!IsDigit(kind) || kind == '0')
            return InvalidBlock; // #0 (indefinite length) is not taken
        const size_t digits = static_cast<size_t>(kind - '0');
        ++i_;
        if (s_.size() - i_ < digits)
            return InvalidBlock;
        size_t length = 0;
        for (size_t k = 0; k < digits; ++k) {
            if (!IsDigit(s_[i_ + k]))
                return InvalidBlock;
            length = length * 10 + static_cast<size_t>(s_[i_ + k] - '0');
        }
        i_ += digits;
        if (s_.size() - i_ < length)
            return InvalidBlock;
        p.kind = Parameter::Kind::Block;
        p.bytes = std::string(s_.substr(i_, length));
        i_ += length;
        return NoError;
    }

    // A decimal number, then (perhaps after blanks) its multiplier and unit.
    Error number(Parameter& p) {
        const size_t start = i_;
        if (peek() == '+' || peek() == '-')
            ++i_;
        const size_t mantissa = i_;
        while (IsDigit(peek()))
            ++i_;
        if (peek() == '.')
            ++i_;
        while (IsDigit(peek()))
            ++i_;
        if (i_ == mantissa || (i_ == mantissa + 1 && s_[mantissa] == '.'))
            return SyntaxError; // no digit
        if (peek() == 'e' || peek() == 'E') {
            size_t e = i_ + 1;
            if (e < s_.size() && (s_[e] == '+' || s_[e] == '-'))
                ++e;
            if (e < s_.size() && IsDigit(s_[e])) {
                i_ = e;
                while (IsDigit(peek()))
                    ++i_;
            }
        }
        // from_chars takes no leading '+'.
        const size_t from = s_[start] == '+' ? start + 1 : start;
        double value = 0;
        const auto r = std::from_chars(s_.data() + from, s_.data() + i_, value);
        if (r.ec == std::errc::result_out_of_range || !std::isfinite(value))
            return DataOutOfRange;
        if (r.ec != std::errc() || r.ptr != s_.data() + i_)
            return SyntaxError;
        const size_t afterNumber = i_;
        skipSpace();
        const size_t suffixStart = i_;
        while (!atEnd() && (IsLetter(s_[i_]) || s_[i_] == '/'))
            ++i_;
        if (i_ == suffixStart)
            i_ = afterNumber; // blanks, then no suffix: nothing more of this parameter
        double factor = 1;
        if (!ReadSuffix(Upper(s_.substr(suffixStart, i_ - suffixStart)), factor, p.unit))
            return InvalidSuffix;
        p.kind = Parameter::Kind::Number;
        p.number = value * factor;
        return NoError;
    }

    // After a unit that could not be read, the rest of it up to the next ';'
    // outside a string is skipped; a block there cannot be told from text.
    void skipToNextUnit(const Unit& u) {
        if (u.error == NoError) {
            if (peek() == ';')
                ++i_;
            return;
        }
        char quote = '\0';
        while (!atEnd()) {
            const char c = s_[i_++];
            if (quote) {
                if (c == quote)
                    quote = '\0';
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == ';') {
                return;
            }
        }
    }

    std::string_view s_;
    size_t i_ = 0;
};

} // namespace

std::string DefiniteBlock(const std::string& bytes) {
    const std::string length = std::to_string(bytes.size());
    return "#" + std::to_string(length.size()) + length + bytes;
}

const char* ErrorText(int error) {
    switch (error) {
    case NoError:
        return "No error";
    case CommandError:
        return "Command error";
    case SyntaxError:
        return "Syntax error";
    case ParameterNotAllowed:
        return "Parameter not allowed";
    case MissingParameter:
        return "Missing parameter";
    case UndefinedHeader:
        return "Undefined header";
    case SuffixOutOfRange:
        return "Header suffix out of range";
    case InvalidSuffix:
        return "Invalid suffix";
    case StringNotAllowed:
        return "String data not allowed";
    case InvalidBlock:
        return "Invalid block data";
    case ExecutionError:
        return "Execution error";
    case CommandProtected:
        return "Command protected";
    case TriggerIgnored:
        return "Trigger ignored";
    case ParameterError:
        return "Parameter error";
    case SettingsConflict:
        return "Settings conflict";
    case DataOutOfRange:
        return "Data out of range";
    case FileNameNotFound:
        return "File name not found";
    case FileNameError:
        return "File name error";
    case TooMuchData:
        return "Too much data";
    case IllegalValue:
        return "Illegal parameter value";
    case QueueOverflow:
        return "Queue overflow";
    case QueryInterrupted:
        return "Query INTERRUPTED";
    default:
        return "Error";
    }
}

void ForEachUnit(std::string_view line, const std::function<void(const Unit&)>& run) {
    std::vector<Node> path; // where a unit without a leading ':' starts
    Reader reader(line);
    Unit u;
    while (reader.unit(u, path)) {
        run(u);
        u = Unit();
    }
}

std::vector<Unit> ParseMessage(std::string_view line) {
    std::vector<Unit> units;
    ForEachUnit(line, [&units](const Unit& u) { units.push_back(u); });
    return units;
}

bool MnemonicIs(std::string_view sent, std::string_view longForm, std::string_view shortForm) {
    auto equal = [&](std::string_view form) {
        if (form.size() != sent.size())
            return false;
        for (size_t k = 0; k < form.size(); ++k)
            if (std::toupper(static_cast<unsigned char>(sent[k])) != form[k])
                return false;
        return true;
    };
    return equal(longForm) || equal(shortForm);
}

std::pair<std::string, std::string> MnemonicForms(std::string_view written) {
    std::string longForm, shortForm;
    for (char c : written) {
        const auto u = static_cast<unsigned char>(c);
        if ((std::isupper(u) || std::isdigit(u)) && shortForm.size() == longForm.size())
            shortForm += c;
        longForm += static_cast<char>(std::toupper(u));
    }
    return {longForm, shortForm};
}

Pattern::Pattern(std::string_view header) {
    bool optional = false;
    Part part;
    std::string written; // the part's mnemonic as the header writes it
    auto finish = [&] {
        if (written.empty())
            return;
        std::tie(part.longForm, part.shortForm) = MnemonicForms(written);
        part.optional = optional;
        parts_.push_back(part);
        part = Part();
        written.clear();
    };
    for (char c : header) {
        if (c == '[') {
            finish();
            optional = true;
        } else if (c == ']') {
            finish();
            optional = false;
        } else if (c == ':') {
            finish();
        } else if (c == '#') {
            part.numbered = true;
        } else {
            written += c;
        }
    }
    finish();
}

bool Pattern::matches(const std::vector<Node>& nodes, int maxSuffix, int& suffix,
                      Error& error) const {
    suffix = 1;
    return match(nodes, 0, 0, maxSuffix, suffix, error);
}

bool Pattern::match(const std::vector<Node>& nodes, size_t n, size_t p, int maxSuffix, int& suffix,
                    Error& error) const {
    if (p == parts_.size())
        return n == nodes.size();
    const Part& part = parts_[p];
    if (n < nodes.size() && MnemonicIs(nodes[n].mnemonic, part.longForm, part.shortForm)) {
        const int given = nodes[n].suffix;
        const bool allowed = given == -1 || (part.numbered && given >= 1 && given <= maxSuffix);
        if (allowed && match(nodes, n + 1, p + 1, maxSuffix, suffix, error)) {
            if (part.numbered && given != -1)
                suffix = given;
            return true;
        }
        if (!allowed && match(nodes, n + 1, p + 1, maxSuffix, suffix, error))
            error = SuffixOutOfRange; // the header is this one, its suffix is not
    }
    return part.optional && match(nodes, n, p + 1, maxSuffix, suffix, error);
}

} // namespace scpi
