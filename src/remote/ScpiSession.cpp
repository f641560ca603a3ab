#include "ScpiSession.h"

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

Session::Session(std::function<Identity()> identity) : identity_(std::move(identity)) {
    addCommon("IDN", true, 0, [this](const Unit&, int, std::vector<std::string>& a) {
        const Identity id = identity_();
        a.push_back(id.maker + "," + id.model + "," + id.serial + "," + id.version);
    });
    addCommon("CLS", false, 0, [this](const Unit&, int, std::vector<std::string>&) {
        errors_.clear();
        events_ = 0;
    });
    addCommon("OPC", false, 0, [this](const Unit&, int, std::vector<std::string>&) {
        events_ |= OperationComplete; // every command has ended before the next is read
    });
    addCommon("OPC", true, 0,
              [](const Unit&, int, std::vector<std::string>& a) { a.push_back("1"); });
    addCommon("WAI", false, 0, [](const Unit&, int, std::vector<std::string>&) {});
    addCommon("TST", true, 0,
              [](const Unit&, int, std::vector<std::string>& a) { a.push_back("0"); });
    addCommon("ESR", true, 0, [this](const Unit&, int, std::vector<std::string>& a) {
        a.push_back(std::to_string(events_));
        events_ = 0;
    });
    addCommon("ESE", false, 1, [this](const Unit& u, int, std::vector<std::string>&) {
        registerValue(u, eventEnable_);
    });
    addCommon("ESE", true, 0, [this](const Unit&, int, std::vector<std::string>& a) {
        a.push_back(std::to_string(eventEnable_));
    });
    addCommon("SRE", false, 1, [this](const Unit& u, int, std::vector<std::string>&) {
        registerValue(u, serviceEnable_);
    });
    addCommon("SRE", true, 0, [this](const Unit&, int, std::vector<std::string>& a) {
        a.push_back(std::to_string(serviceEnable_));
    });
    addCommon("STB", true, 0, [this](const Unit&, int, std::vector<std::string>& a) {
        a.push_back(std::to_string(statusByte()));
    });
    add("SYSTem:ERRor[:NEXT]", true, 0, [this](const Unit&, int, std::vector<std::string>& a) {
        if (errors_.empty()) {
            a.push_back(ErrorAnswer(NoError, {}));
            return;
        }
        a.push_back(ErrorAnswer(errors_.front().first, errors_.front().second));
        errors_.pop_front();
    });
    add("SYSTem:ERRor:COUNt", true, 0, [this](const Unit&, int, std::vector<std::string>& a) {
        a.push_back(std::to_string(errors_.size()));
    });
    add("SYSTem:VERSion", true, 0,
        [](const Unit&, int, std::vector<std::string>& a) { a.push_back("1999.0"); });
}

void Session::addCommon(const char* name, bool query, int parameters, Handler run) {
    commands_.push_back({name, Pattern(""), query, parameters, std::move(run)});
}

void Session::add(const char* header, bool query, int parameters, Handler run) {
    commands_.push_back({{}, Pattern(header), query, parameters, std::move(run)});
}

bool Session::matches(const Command& c, const Unit& u, int& suffix, Error& suffixError) const {
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

uint8_t Session::statusByte() const {
    uint8_t stb = 0;
    if (!errors_.empty())
        stb |= 0x04;
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
    for (const Command& c : commands_) {
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
        const int n = u.query ? 0 : c.parameters;
        const size_t fewest = n == kOptional ? 0 : n == kList ? 1 : static_cast<size_t>(n);
        const size_t most = n == kOptional ? 1 : n == kList ? SIZE_MAX : static_cast<size_t>(n);
        if (given > most)
            return error(ParameterNotAllowed);
        if (given < fewest)
            return error(MissingParameter);
        return c.run(u, suffix, answers);
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
