#include "Commands.h"

#include <atomic>

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "DriverCalls.h"
#include "OperationLog.h"
#include "nv815_def.h"

std::string FormatReal(double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    // Round to 15 significant digits first: the exponent is that of the rounded value.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    char* e = std::strchr(buf, 'e');
    const int exponent = std::atoi(e + 1);
    std::string digits;
    for (const char* p = buf; p < e; ++p)
        if (*p != '.')
            digits += *p;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const std::string separator = QLocale().decimalPoint().toStdString();
    std::string out = value < 0 ? "-" : "";
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            out += "0" + separator + std::string(-exponent - 1, '0') + digits;
        } else {
            const size_t integerDigits = static_cast<size_t>(exponent) + 1;
            if (digits.size() <= integerDigits) {
                out += digits + std::string(integerDigits - digits.size(), '0');
            } else {
                out += digits.substr(0, integerDigits) + separator + digits.substr(integerDigits);
            }
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += separator + digits.substr(1);
        out += "E" + std::to_string(exponent);
    }
    return out;
}

namespace {

// A driver call's arguments for the record of the session.
CallArgument I(int64_t v) {
    return v;
}
CallArgument D(double v) {
    return v;
}
ViStatus Recorded(const char* function, ViSession session, std::vector<CallArgument> arguments,
                  ViStatus status) {
    return RecordDriverCall({function, session, std::move(arguments), nullptr, status});
}

// The driver's text for a status; empty for success.
std::string ErrorText(ViSession session, ViStatus status) {
    if (status == VI_SUCCESS)
        return {};
    char text[NV815_MESSAGE_BUFLEN] = {};
    CmdErrorMessage(session, status, text);
    text[NV815_MESSAGE_BUFLEN - 1] = '\0';
    return text;
}

// The result line's text: "Success", or the failure and the driver's text.
std::string ResultText(ViStatus status, const std::string& errorText) {
    return status == VI_SUCCESS ? std::string("Success") : "***FAILED***\r\nError: " + errorText;
}

std::string U(uint32_t v) {
    return std::to_string(v);
}
std::string U(int32_t v) {
    return std::to_string(static_cast<uint32_t>(v));
}
std::string R(double v) {
    return FormatReal(v);
}

// The lines of one log entry, joined by CR LF.
class Entry {
public:
    explicit Entry(const char* title) : text_(title) {
        record_.command = true;
        record_.title = title;
    }
    Entry& line(const char* label, const std::string& value, const char* unit = "") {
        text_ += "\r\n     ";
        text_ += label;
        text_ += value;
        text_ += unit;
        record_.arguments.push_back(std::string(label) + value + unit);
        return *this;
    }
    Entry& channel(int32_t ch) {
        text_ += "\r\n     Channel " + U(ch);
        record_.channel = ch;
        return *this;
    }
    // Appends the result line ("> " or " > " before it) and logs the entry.
    ViStatus finish(CommandLink& link, ViStatus status, const char* resultPrefix = " > ") {
        const std::string title = text_.substr(0, text_.find("\r\n"));
        const std::string error = ErrorText(link.session(), status);
        text_ += "\r\n";
        text_ += resultPrefix;
        text_ += ResultText(status, error);
        record_.status = status;
        record_.errorText = error;
        record_.card = link.cardTag();
        AddToLog(text_, std::move(record_));
        link.report({title, status, error, record_.channel});
        return status;
    }

private:
    std::string text_;
    LogRecord record_;
};

// A command without a session is refused (and reported, unless it is one of
// the unlogged pass-throughs).
bool Refused(ViSession session, ViStatus& status, CommandLink* link = nullptr) {
    if (session == 0) {
        status = VI_ERROR_INV_OBJECT;
        if (link)
            link->report({"", status, "", 0});
        return true;
    }
    if (!DriverLoaded) { // no session can come from a driver that is not there
        status = VI_ERROR_LIBRARY_NFOUND;
        return true;
    }
    return false;
}

// Steps shared by every channel command: the session check and the channel
// selection. Returns true when the command may call the driver.
bool Select(CommandLink& link, int32_t channel, ViStatus& status) {
    if (Refused(link.session(), status, &link))
        return false;
    status = CmdSetActiveChannel(link, channel);
    return status == VI_SUCCESS;
}

} // namespace

ViStatus CmdErrorMessage(ViSession session, ViStatus status, char text[NV815_MESSAGE_BUFLEN]) {
    ViStatus s;
    if (Refused(session, s))
        return s;
    return Recorded("nv815_error_message", session, {I(status)},
                    Driver.nv815_error_message(session, status, text));
}

ViStatus CmdRevisionQuery(ViSession session, char driverRevision[NV815_REVISION_BUFLEN],
                          char instrumentRevision[NV815_REVISION_BUFLEN]) {
    ViStatus s;
    if (Refused(session, s))
        return s;
    return Recorded("nv815_revision_query", session, {},
                    Driver.nv815_revision_query(session, driverRevision, instrumentRevision));
}

std::string CommandName(const std::string& title) {
    const size_t end = title.find_last_not_of(" -");
    std::string name;
    for (size_t i = 0; end != std::string::npos && i <= end; ++i)
        if (title[i] != ' ' || (!name.empty() && name.back() != ' '))
            name += title[i]; // one space between words ("Set  dcOffset" is "Set dcOffset")
    return name;
}

std::string CmdResultText(ViSession session, ViStatus status) {
    return ResultText(status, ErrorText(session, status));
}

void CommandLink::setSession(ViSession session) {
    session_ = session;
    selected_ = 0;
}

int CommandLink::addObserver(CommandObserver observer) {
    observers_.emplace_back(nextKey_, std::move(observer));
    return nextKey_++;
}

void CommandLink::removeObserver(int key) {
    std::erase_if(observers_, [key](const auto& o) { return o.first == key; });
}

CommandTally* CommandLink::setTally(CommandTally* tally) {
    std::swap(tally_, tally);
    return tally;
}

void CommandLink::tally(ViStatus status) {
    if (!tally_)
        return;
    ++tally_->sent;
    if (status != VI_SUCCESS)
        ++tally_->refused;
}

void CommandLink::report(const CommandOutcome& outcome) {
    if (!outcome.title.empty()) // an empty title: refused before it reached the driver
        tally(outcome.status);
    if (unshown_ > 0)
        return;
    if (held_ > 0) {
        heldOutcomes_.push_back(outcome);
        heldOutcomes_.back().last = false;
    } else {
        tell(outcome);
    }
}

void CommandLink::tell(const CommandOutcome& outcome) const {
    // An observer may remove itself or another while being told: each is
    // told from a copy of the list.
    const auto observers = observers_;
    for (const auto& [key, observer] : observers)
        if (observer)
            observer(outcome);
}

HeldReports::HeldReports(CommandLink& link) : link_(link) {
    ++link_.held_;
}

HeldReports::~HeldReports() {
    if (--link_.held_ > 0)
        return;
    std::vector<CommandOutcome> outcomes = std::move(link_.heldOutcomes_);
    link_.heldOutcomes_.clear();
    if (!outcomes.empty())
        outcomes.back().last = true;
    for (const CommandOutcome& outcome : outcomes)
        link_.tell(outcome);
}

UnshownReports::UnshownReports(CommandLink& link, bool unshownHere)
    : link_(link), unshown_(unshownHere) {
    link_.unshown_ += unshown_ ? 1 : 0;
}

UnshownReports::~UnshownReports() {
    link_.unshown_ -= unshown_ ? 1 : 0;
}

CommandLink::CommandLink() {
    static std::atomic<uint32_t> last{0};
    cardTag_ = ++last;
}

void ReportCommandOutcome(CommandLink& link, const std::string& title, ViStatus status,
                          int32_t channel) {
    link.report({title, status, ErrorText(link.session(), status), channel});
}

ViStatus CmdSetActiveChannel(CommandLink& link, int32_t channel) {
    const ViSession session = link.session();
    ViStatus status;
    if (Refused(session, status, &link))
        return status;
    if (channel == link.selectedChannel())
        return VI_SUCCESS;
    status = Recorded("nv815_SetActiveChannel", session, {I(channel)},
                      Driver.nv815_SetActiveChannel(session, channel));
    if (status == VI_SUCCESS)
        link.channelSelected(channel);
    return Entry("Set Active Channel ").channel(channel).finish(link, status);
}

ViStatus CmdSetAttenuation(CommandLink& link, int32_t channel, double level) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status = Recorded("nv815_SetAttenuation", session, {D(level)},
                      Driver.nv815_SetAttenuation(session, level));
    return Entry("Set Attenuation - ")
        .channel(channel)
        .line("Level ", R(level), "dB")
        .finish(link, status, "> ");
}

ViStatus CmdSetOutputOffsetVoltage(CommandLink& link, int32_t channel, double offset) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status = Recorded("nv815_SetOutputOffsetVoltage", session, {D(offset), I(1)},
                      Driver.nv815_SetOutputOffsetVoltage(session, offset, 1));
    return Entry("Set  dcOffset - ")
        .channel(channel)
        .line("Level ", R(offset), "V")
        .finish(link, status, "> ");
}

ViStatus CmdGetCalibrationDate(CommandLink& link, uint32_t* year, uint32_t* month, uint32_t* day) {
    const ViSession session = link.session();
    ViStatus status;
    if (Refused(session, status, &link))
        return status;
    status = Recorded("nv815_GetCalibrationDate", session, {},
                      Driver.nv815_GetCalibrationDate(session, year, month, day));
    return Entry("Get Calibration Date ").finish(link, status, "> ");
}

ViStatus CmdSetCounterStep(CommandLink& link, uint32_t step, int32_t channel) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status = Recorded("nv815_SetCounterStep", session, {I(step)},
                      Driver.nv815_SetCounterStep(session, step));
    return Entry("Set Counter Step - ")
        .channel(channel)
        .line("Step ", U(step))
        .finish(link, status);
}

ViStatus CmdSetFSKSource(CommandLink& link, int32_t source, int32_t channel) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status = Recorded("nv815_SetFSKSource", session, {I(source)},
                      Driver.nv815_SetFSKSource(session, source));
    return Entry("Set FSK Source - ")
        .channel(channel)
        .line("Source ", U(source))
        .finish(link, status);
}

ViStatus CmdSetClockMode(CommandLink& link, int32_t mode, int32_t channel, double start, double end,
                         double step, double stepTime) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status =
        Recorded("nv815_SetClockMode", session, {I(mode), D(start), D(end), D(step), D(stepTime)},
                 Driver.nv815_SetClockMode(session, mode, start, end, step, stepTime));
    return Entry("Set Clock Mode - ")
        .channel(channel)
        .line("Mode ", U(mode))
        .line("StartF ", R(start), "kHz")
        .line("EndF ", R(end), "kHz")
        .line("FreqStep ", R(step), "kHz")
        .line("StepTime ", R(stepTime), "ms")
        .finish(link, status);
}

ViStatus CmdSetClockSource(CommandLink& link, int32_t source, int32_t multiplier,
                           double externalFrequency, int32_t channel) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status =
        Recorded("nv815_SetClockSource", session, {I(source), D(externalFrequency), I(multiplier)},
                 Driver.nv815_SetClockSource(session, source, externalFrequency, multiplier));
    return Entry("Set Clock Source - ")
        .channel(channel)
        .line("Source ", U(source))
        .line("ExtFreq ", R(externalFrequency), "MHz")
        .line("ClockMul ", U(multiplier))
        .finish(link, status);
}

ViStatus CmdSetTriggerMode(CommandLink& link, int32_t source, int32_t mode, int32_t channel) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status = Recorded("nv815_SetTriggerMode", session, {I(source), I(mode)},
                      Driver.nv815_SetTriggerMode(session, source, mode));
    return Entry("Set Trigger Mode - ")
        .channel(channel)
        .line("Source ", U(source))
        .line("Mode ", U(mode))
        .finish(link, status);
}

ViStatus CmdGenerateSweep(CommandLink& link, int32_t signalType, int32_t sweepMode, double symmetry,
                          double start, double end, double step, double stepTime, int32_t channel) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status =
        Recorded("nv815_GenerateSweep", session,
                 {I(signalType), D(symmetry), I(sweepMode), D(start), D(end), D(step), D(stepTime)},
                 Driver.nv815_GenerateSweep(session, signalType, symmetry, sweepMode, start, end,
                                            step, stepTime));
    return Entry("Generate Sweep - ")
        .channel(channel)
        .line("SignalType ", U(signalType))
        .line("Symmetry ", R(symmetry), "%")
        .line("Mode ", U(sweepMode))
        .line("StartF ", R(start), "kHz")
        .line("EndF ", R(end), "kHz")
        .line("FreqStep ", R(step), "kHz")
        .line("StepTime ", R(stepTime), "ms")
        .finish(link, status);
}

ViStatus CmdGenerateSignal(CommandLink& link, int32_t signalType, int32_t channel, double frequency,
                           double symmetry) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status = Recorded("nv815_GenerateSignal", session, {D(frequency), I(signalType), D(symmetry)},
                      Driver.nv815_GenerateSignal(session, frequency, signalType, symmetry));
    return Entry("Generate Signal - ")
        .channel(channel)
        .line("SignalType ", U(signalType))
        .line("Freq ", R(frequency), "kHz")
        .line("Symmetry ", R(symmetry), "%")
        .finish(link, status);
}

namespace {
// The three switches of a channel: one Boolean argument sent as 1 or 0.
ViStatus SwitchCommand(CommandLink& link, int32_t channel, bool on, const char* function,
                       ViStatus (*driverCall)(ViSession, ViInt32), const char* title,
                       const char* label) {
    const ViSession session = link.session();
    ViStatus status;
    if (!Select(link, channel, status))
        return status;
    status = Recorded(function, session, {I(on ? 1 : 0)}, driverCall(session, on ? 1 : 0));
    return Entry(title).channel(channel).line(label, on ? "1" : "0").finish(link, status);
}
} // namespace

ViStatus CmdSetAMMode(CommandLink& link, int32_t channel, bool on) {
    return SwitchCommand(link, channel, on, "nv815_SetAMMode", Driver.nv815_SetAMMode,
                         "Set AM Mode - ", "Mode ");
}

ViStatus CmdSetFSKPin(CommandLink& link, int32_t channel, bool high) {
    return SwitchCommand(link, channel, high, "nv815_SetFSKPin", Driver.nv815_SetFSKPin,
                         "Set FSK State - ", "State ");
}

ViStatus CmdSetInstrumentMode(CommandLink& link, int32_t channel, bool outputOn) {
    return SwitchCommand(link, channel, outputOn, "nv815_SetInstrumentMode",
                         Driver.nv815_SetInstrumentMode, "Switch Channel Mode - ", "Mode ");
}

ViStatus CmdMemoryTest(CommandLink& link, uint32_t* errorAddress, uint32_t* errorData,
                       uint32_t* expectedData, int32_t channel, bool* outputOff) {
    const ViSession session = link.session();
    if (outputOff)
        *outputOff = false;
    ViStatus status;
    if (Refused(session, status, &link))
        return status;
    // Switching the output off also selects the channel.
    status = CmdSetInstrumentMode(link, channel, false);
    if (status != VI_SUCCESS)
        return status;
    if (outputOff)
        *outputOff = true;
    status = Recorded("nv815_MemoryTest", session, {},
                      Driver.nv815_MemoryTest(session, errorAddress, errorData, expectedData));
    auto hex = [&](uint32_t v, int width) {
        if (status != NV815_MEMORY_TEST_FAILED)
            return std::string("None");
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*XH", width, v);
        return std::string(buf);
    };
    return Entry("Memory Test - ")
        .channel(channel)
        .line("Error Address ", hex(*errorAddress, 3))
        .line("Error Data ", hex(*errorData, 2))
        .line("Expected Data ", hex(*expectedData, 2))
        .finish(link, status);
}
