#include "ScpiSession.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace scpi {

namespace {

// SYSTem:ERRor?'s answer: -113,"Undefined header" (and ";detail").
std::string ErrorAnswer(int code, const std::string& detail) {
    std::string text = ErrorText(code);
    if (!detail.empty())
        text += ";" + detail;
    std::string quoted;
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return std::to_string(code) + ",\"" + quoted + "\"";
}

// SYSTem:HELP:HEADers?'s lines: each header once, "?" after a query's,
// "/qonly/" after one only asked, "/nquery/" after one only set.
std::string HeaderList(const CommandSet& set) {
    std::vector<std::pair<std::string, int>> seen; // text, 1 set, 2 query
    for (const CommandSet::Command& c : set.commands()) {
        auto it = std::find_if(seen.begin(), seen.end(),
                               [&c](const auto& s) { return s.first == c.text; });
        if (it == seen.end())
            it = seen.insert(seen.end(), {c.text, 0});
        it->second |= c.query ? 2 : 1;
    }
    std::string list;
    for (const auto& [text, forms] : seen)
        list += text + (forms == 2 ? "?/qonly/" : forms == 1 ? "/nquery/" : "?") + "\n";
    return list;
}

uint8_t EventOf(int code) {
    if (code <= -100 && code > -200)
        return Session::CommandErrorBit;
    if (code <= -200 && code > -300)
        return Session::ExecutionError;
    if (code <= -400 && code > -500)
        return Session::QueryError;
    return Session::DeviceError;
}

} // namespace

Session::Session(const CommandSet& commands, std::function<Identity()> identity)
    : commands_(commands), identity_(std::move(identity)) {}

void Session::AddCommonCommands(CommandSet& set) {
    set.addCommon("IDN", true, 0, [](Session& s, const Unit&, int, std::vector<std::string>& a) {
        const Identity id = s.identity_();
        a.push_back(id.maker + "," + id.model + "," + id.serial + "," + id.version);
    });
    set.addCommon(
        "CLS", false, 0,
        [](Session& s, const Unit&, int, std::vector<std::string>&) {
            s.errors_.clear();
            s.events_ = 0;
        },
        Reach::Session);
    set.addCommon(
        "OPC", false, 0,
        [](Session& s, const Unit&, int, std::vector<std::string>&) {
            s.events_ |= OperationComplete; // every command has ended before the next is read
        },
        Reach::Session);
    set.addCommon("OPC", true, 0, [](Session&, const Unit&, int, std::vector<std::string>& a) {
        a.push_back("1");
    });
    set.addCommon(
        "WAI", false, 0, [](Session&, const Unit&, int, std::vector<std::string>&) {},
        Reach::Session);
    set.addCommon("TST", true, 0, [](Session&, const Unit&, int, std::vector<std::string>& a) {
        a.push_back("0");
    });
    set.addCommon("ESR", true, 0, [](Session& s, const Unit&, int, std::vector<std::string>& a) {
        a.push_back(std::to_string(s.events_));
        s.events_ = 0;
    });
    set.addCommon(
        "ESE", false, 1,
        [](Session& s, const Unit& u, int, std::vector<std::string>&) {
            s.registerValue(u, s.eventEnable_);
        },
        Reach::Session);
    set.addCommon("ESE", true, 0, [](Session& s, const Unit&, int, std::vector<std::string>& a) {
        a.push_back(std::to_string(s.eventEnable_));
    });
    set.addCommon(
        "SRE", false, 1,
        [](Session& s, const Unit& u, int, std::vector<std::string>&) {
            // Bit 6 is the request itself: the enable register ignores it.
            if (s.registerValue(u, s.serviceEnable_))
                s.serviceEnable_ &= ~0x40;
        },
        Reach::Session);
    set.addCommon("SRE", true, 0, [](Session& s, const Unit&, int, std::vector<std::string>& a) {
        a.push_back(std::to_string(s.serviceEnable_));
    });
    set.addCommon("STB", true, 0, [](Session& s, const Unit&, int, std::vector<std::string>& a) {
        a.push_back(std::to_string(s.statusByte()));
    });
    set.add("SYSTem:ERRor[:NEXT]", true, 0,
            [](Session& s, const Unit&, int, std::vector<std::string>& a) {
                if (s.errors_.empty()) {
                    a.push_back(ErrorAnswer(NoError, {}));
                    return;
                }
                a.push_back(ErrorAnswer(s.errors_.front().first, s.errors_.front().second));
                s.errors_.pop_front();
            });
    set.add("SYSTem:ERRor:COUNt", true, 0,
            [](Session& s, const Unit&, int, std::vector<std::string>& a) {
                a.push_back(std::to_string(s.errors_.size()));
            });
    set.add("SYSTem:HELP:HEADers", true, 0,
            [](Session& s, const Unit&, int, std::vector<std::string>& a) {
                a.push_back(DefiniteBlock(HeaderList(s.commands_)));
            });
    set.add("SYSTem:VERSion", true, 0,
            [](Session&, const Unit&, int, std::vector<std::string>& a) { a.push_back("1999.0"); });
}

void CommandSet::addCommon(const char* name, bool query, int parameters, Handler run, Reach reach) {
    commands_.push_back(
        {name, "*" + std::string(name), Pattern(""), query, parameters, std::move(run), reach});
}

void CommandSet::add(const char* header, bool query, int parameters, Handler run, Reach reach) {
    commands_.push_back({{}, header, Pattern(header), query, parameters, std::move(run), reach});
}

bool Session::matches(const CommandSet::Command& c, const Unit& u, int& suffix,
                      Error& suffixError) const {
    suffix = 1;
    if (!c.common.empty())
        return u.common && MnemonicIs(u.nodes.front().mnemonic, c.common, c.common);
    return !u.common && c.header.matches(u.nodes, 3, suffix, suffixError);
}

void Session::error(int code, const std::string& detail) {
    events_ |= EventOf(code);
    if (errors_.size() >= kQueueLength) {
        errors_.back() = {-350, ""}; // Queue overflow: the newest is lost
        return;
    }
    errors_.emplace_back(code, detail);
}

uint8_t Session::statusByte(bool messageAvailable) const {
    uint8_t stb = 0;
    if (!errors_.empty())
        stb |= 0x04;
    if (messageAvailable)
        stb |= 0x10;
    if (events_ & eventEnable_)
        stb |= 0x20;
    if (stb & serviceEnable_ & ~0x40)
        stb |= 0x40;
    return stb;
}

bool Session::registerValue(const Unit& u, uint8_t& value) {
    const Parameter& p = u.parameters.front();
    if (p.kind != Parameter::Kind::Number || !p.unit.empty()) {
        error(p.kind == Parameter::Kind::String ? StringNotAllowed : ParameterError);
        return false;
    }
    const double rounded = std::round(p.number);
    if (rounded < 0 || rounded > 255) {
        error(DataOutOfRange, "0 to 255");
        return false;
    }
    value = static_cast<uint8_t>(rounded);
    return true;
}

void Session::run(const Unit& u, std::vector<std::string>& answers) {
    bool headerKnown = false, suffixWrong = false;
    for (const CommandSet::Command& c : commands_.commands()) {
        Error suffixError = NoError;
        int suffix = 1;
        const bool match = matches(c, u, suffix, suffixError);
        suffixWrong = suffixWrong || suffixError == SuffixOutOfRange;
        if (!match)
            continue;
        headerKnown = true;
        if (c.query != u.query)
            continue;
        const size_t given = u.parameters.size();
        const int n = c.parameters;
        const size_t fewest = n == kOptional ? 0 : n == kList ? 1 : static_cast<size_t>(n);
        const size_t most = n == kOptional ? 1 : n == kList ? SIZE_MAX : static_cast<size_t>(n);
        if (given > most)
            return error(ParameterNotAllowed);
        if (given < fewest)
            return error(MissingParameter);
        if (c.reach == Reach::Device && guard_)
            if (const std::string why = guard_(c.query); !why.empty())
                return error(CommandProtected, why);
        return c.run(*this, u, suffix, answers);
    }
    error(!headerKnown && suffixWrong ? SuffixOutOfRange : UndefinedHeader);
}

std::string Session::handle(std::string_view line) {
    std::vector<std::string> answers;
    std::string out;
    ForEachUnit(line, [&](const Unit& u) {
        if (u.error != NoError)
            error(u.error);
        else
            run(u, answers);
        for (const std::string& a : answers) {
            if (!out.empty())
                out += ';';
            out += a;
        }
        answers.clear();
    });
    return out;
}

} // namespace scpi
