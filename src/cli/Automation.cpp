#include "Automation.h"

#include <climits>
#include <fstream>
#include <set>

#include "ApplySettings.h"
#include "CardState.h"
#include "Commands.h"
#include "ConfigFile.h"
#include "DriverCalls.h"
#include "LibraryBindings.h"
#include "OperationLog.h"
#include "Operations.h"
#include "ProgramState.h"
#include "SafeFile.h"
#include "VISA_Unit.h"

namespace {

const char* const kModels[] = {"72-815", "82-815"};

// The status in hexadecimal, then VISA's description of it.
std::string StatusDescription(ViStatus status) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(status));
    const std::string description = VisaStatusText(status);
    return code + (description.empty() ? std::string() : " " + description);
}

// The messages and questions of the operations, answered without waiting:
// messages go to standard error naming where they arose; the normalise
// question is answered by --normalise, else it stops the run.
class CommandLineUi final : public OperatorUi {
public:
    CommandLineUi(std::FILE* err, std::string where, bool normalise)
        : err_(err), where_(std::move(where)), normalise_(normalise) {}
    void setChannel(int channel) { channel_ = channel; }
    void error(const std::string& text) override { fail(text); }
    void warning(const std::string& text) override { say("warning", text); }
    void information(const std::string& text) override { say("message", text); }
    bool confirm(const std::string& text) override {
        if (normalise_) {
            say("answered OK (--normalise)", text);
            return true;
        }
        fail(text + " (--normalise answers OK)");
        return false;
    }
    // Channels where an error or an unanswered question arose.
    const std::set<int>& failed() const { return failed_; }

private:
    void say(const char* what, const std::string& text) {
        std::string oneLine = text;
        for (char& c : oneLine)
            if (c == '\r' || c == '\n')
                c = ' ';
        std::fprintf(err_, "%s, channel %d: %s: %s\n", where_.c_str(), channel_, what,
                     oneLine.c_str());
    }
    void fail(const std::string& text) {
        say("error", text);
        failed_.insert(channel_);
    }
    std::FILE* err_;
    std::string where_;
    bool normalise_;
    int channel_ = 0;
    std::set<int> failed_;
};

// The program's log, printed and written as it grows.
class LogOutput {
public:
    LogOutput(std::FILE* out, bool quiet, std::ofstream* file) {
        CreateLogLines();
        LogEnabled = true;
        MaxLogLines = INT_MAX;
        SetLogEntryHook([=](const std::string& entry) {
            const std::string line = LogEntryLine(entry);
            if (!quiet)
                std::fprintf(out, "%s\n", line.c_str());
            if (file && file->is_open())
                *file << line << '\n' << std::flush;
        });
    }
    ~LogOutput() {
        SetLogEntryHook(nullptr);
        FreeLogLines();
        LogEnabled = false;
    }
};

bool IsCard(const std::string& resource, std::FILE* err) {
    if (const std::string missing = MissingLibraryText(); !missing.empty()) {
        std::fprintf(err, "%s\n", missing.c_str());
        return false;
    }
    for (const char* model : kModels) {
        std::vector<std::string> found;
        const ViStatus status = FindVisaResources(model, found);
        for (const std::string& r : found)
            if (r == resource)
                return true;
        if (status != VI_SUCCESS && status != VI_ERROR_RSRC_NFOUND) {
            std::fprintf(err, "The card search failed: %s\n", StatusDescription(status).c_str());
            return false;
        }
    }
    std::fprintf(err, "'%s' is not a 72-815 or 82-815 card (see --list-cards).\n",
                 resource.c_str());
    return false;
}

// Closes what the run opened and releases the libraries, in the program's order.
void Release(TSelectedCard& card) {
    CloseCardAndResourceManager(card);
    RunExitHandlers();
}

bool Bind(std::FILE* err) {
    ResetProgramState();
    SetDriverCallRecording(false); // no session of this run is written as a program
    const BindingResult bound = BindAllLibraries();
    if (bound.ok())
        return true;
    std::fprintf(err, "%s\n%s\n", bound.assertionFailure.c_str(), bound.detail.c_str());
    RunExitHandlers();
    return false;
}

// Opens the card and loads the configuration; false (with the message
// written) when the run cannot go on. Nothing is sent to the card.
bool Prepare(const ApplyOptions& o, TSelectedCard& card, CommandLineUi& ui, std::FILE* err) {
    if (!IsCard(o.resource, err))
        return false;
    card.Resource = o.resource;
    const ViStatus status = OpenCard(card, true);
    if (status != VI_SUCCESS) {
        std::fprintf(err, "An error occurred while opening %s: %s\n", o.resource.c_str(),
                     StatusDescription(status).c_str());
        return false;
    }
    Session = card.Session;
    ForgetCard();
    card.CardID = ReadCardId(Session);
    AddToLog("New card selected - " + o.resource);
    const int channels = ReadChannelCount(Session).value_or(kChannelCount);
    for (int c : o.channels)
        if (c > channels) {
            std::fprintf(err, "%s has %d channels: channel %d cannot be applied.\n",
                         o.resource.c_str(), channels, c);
            return false;
        }
    if (!PathExists(o.file)) {
        std::fprintf(err, "'%s' does not exist.\n", o.file.c_str());
        return false;
    }
    InitCardInfoRecord();
    const ConfigLoad load = LoadConfiguration(CardInfo, o.file, [&](int channel) {
        ui.setChannel(channel);
        TArbWave& arb = CardInfo.Channel[channel].Wave.Arb;
        ImportWaveFile(arb, arb.ArbFile, arb.NormaliseFlag, arb.TextFlag, ui);
    });
    if (!load.error.empty()) {
        std::fprintf(err, "Configuration not loaded: %s\n", load.error.c_str());
        return false;
    }
    for (const std::string& key : load.unreadable)
        std::fprintf(err, "%s: %s could not be read; its default was used.\n", o.file.c_str(),
                     key.c_str());
    bool ready = true;
    for (int c : o.channels) {
        if (ui.failed().count(c))
            ready = false;
        const std::string problem = ChannelSettingsProblem(CardInfo, c);
        if (!problem.empty()) {
            ui.setChannel(c);
            ui.error(problem);
            ready = false;
        }
    }
    return ready;
}

} // namespace

int RunApply(const ApplyOptions& o, std::FILE* out, std::FILE* err) {
    std::ofstream logFile;
    if (!o.logFile.empty()) {
        logFile.open(o.logFile, std::ios::out | std::ios::trunc);
        if (!logFile) {
            std::fprintf(err, "'%s' could not be written.\n", o.logFile.c_str());
            return kExitUsage;
        }
    }
    if (!Bind(err))
        return kExitUsage;
    int result = kExitUsage;
    TSelectedCard card;
    {
        LogOutput log(out, o.quiet, o.logFile.empty() ? nullptr : &logFile);
        CommandLineUi ui(err, o.file, o.normalise);
        if (Prepare(o, card, ui, err)) {
            CommandTally tally;
            SetCommandTally(&tally);
            SetCommandObserver([err](const CommandOutcome& outcome) {
                if (outcome.status != VI_SUCCESS)
                    std::fprintf(err, "Refused: %s: %s\n", outcome.title.c_str(),
                                 outcome.errorText.c_str());
            });
            for (int c : o.channels) {
                ui.setChannel(c);
                int32_t pending = CardInfo.Channel[c].Multiplier;
                ApplyChannel(Session, c, CardInfo, pending, ui);
            }
            SetCommandObserver(nullptr);
            SetCommandTally(nullptr);
            result = tally.refused > 0 || !ui.failed().empty() ? kExitRefused : kExitAccepted;
        }
        Release(card);
    }
    return result;
}

int RunListCards(std::FILE* out, std::FILE* err) {
    if (!Bind(err))
        return kExitUsage;
    if (const std::string missing = MissingLibraryText(); !missing.empty()) {
        std::fprintf(err, "%s\n", missing.c_str());
        RunExitHandlers();
        return kExitUsage;
    }
    int result = kExitAccepted;
    for (const char* model : kModels) {
        std::vector<std::string> found;
        const ViStatus status = FindVisaResources(model, found);
        for (const std::string& resource : found) {
            TSelectedCard probe;
            probe.Resource = resource;
            const bool opened = OpenCard(probe, false) == VI_SUCCESS;
            const int32_t id = opened ? ReadCardId(probe.Session) : 0;
            CloseCard(probe);
            std::fprintf(out, "%s\t%s\t%d\n", resource.c_str(), model, id);
        }
        if (status != VI_SUCCESS && status != VI_ERROR_RSRC_NFOUND) {
            std::fprintf(err, "The search for %s cards failed: %s\n", model,
                         StatusDescription(status).c_str());
            result = kExitUsage;
        }
    }
    TSelectedCard none;
    Release(none);
    return result;
}
