#include "Automation.h"

#include "CardUse.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <climits>
#include <set>

#include "ApplySettings.h"
#include "CardDiscovery.h"
#include "CardState.h"
#include "Commands.h"
#include "ConfigFile.h"
#include "DriverCalls.h"
#include "LibraryBindings.h"
#include "OperationLog.h"
#include "Operations.h"
#include "ProgramState.h"
#include "RunSteps.h"
#include "SafeFile.h"
#include "VISA_Unit.h"

namespace {

// The messages and questions of the operations, answered without waiting:
// messages go to standard error naming where they arose; the normalise
// question is answered by --normalise, else it stops the run.
class CommandLineUi final : public OperatorUi {
public:
    CommandLineUi(std::FILE* err, std::string where, bool normalise)
        : err_(err), where_(std::move(where)), normalise_(normalise) {}
    void setChannel(int channel) { channel_ = channel; }
    void applying(int channel) override { setChannel(channel); }
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
    // Whether an error or an unanswered question arose for `channel`.
    bool failed(int channel) const { return failed_.count(channel) > 0; }

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

// The program's log, printed as it grows and written to the log file once
// that is open (what came before it first).
class LogOutput {
public:
    LogOutput(std::FILE* out, bool quiet, bool json) {
        CreateLogLines();
        LogEnabled = true;
        MaxLogLines = INT_MAX;
        listener_ = AddLogEntryListener([this, out, quiet, json](const std::string& entry) {
            const std::string line = LogEntryLine(entry) + "\n";
            if (json)
                PrintJson(out);
            else if (!quiet)
                std::fputs(line.c_str(), out);
            if (file_.isOpen())
                file_.write(line);
            else
                early_ += line;
        });
    }
    ~LogOutput() {
        RemoveLogEntryListener(listener_);
        FreeLogLines();
        LogEnabled = false;
    }
    bool open(const std::string& path) { return file_.open(path) && file_.write(early_); }
    // The newest entry, a command, as one JSON object on a line.
    static void PrintJson(std::FILE* out) {
        const std::optional<LogRecord> r = LastLogRecord();
        if (!r || !r->command)
            return;
        QJsonArray arguments;
        for (const std::string& a : r->arguments)
            arguments.append(QString::fromStdString(a));
        const QJsonObject o{{"time", QString::fromStdString(r->time)},
                            {"channel", r->channel},
                            {"command", QString::fromStdString(CommandName(r->title))},
                            {"arguments", arguments},
                            {"status", QString::fromStdString(StatusHex(r->status))},
                            {"driverText", QString::fromLocal8Bit(r->errorText.c_str())}};
        std::fprintf(out, "%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
    }
    // False when a write to the file failed; error() says why.
    bool close() { return file_.close(); }
    const std::string& error() const { return file_.error(); }

private:
    StreamFile file_;
    std::string early_;
    int listener_ = 0;
};

// One run of --apply: everything is checked before anything is sent.
class ApplyRun {
public:
    ApplyRun(const ApplyOptions& o, std::FILE* out, std::FILE* err)
        : o_(o), out_(out), err_(err), log_(out, o.quiet, o.json), ui_(err, o.file, o.normalise) {}
    ~ApplyRun() { Release(card_); }

    // Finds and opens the card and loads the file; false (the reason written)
    // when the run cannot go on. Nothing is sent.
    bool prepare() {
        return resolveResource() && open() && chooseChannels() && load() && ready() && openLog();
    }

    CommandTally tally; // what apply() sent and the card refused

    int apply() {
        card_.link().setTally(&tally);
        const int observer = card_.link().addObserver([this](const CommandOutcome& outcome) {
            if (outcome.status == VI_SUCCESS || !listed(outcome.channel))
                return;
            std::fprintf(err_, "Channel %d: %s refused: %s\n", outcome.channel,
                         CommandName(outcome.title).c_str(),
                         outcome.errorText.empty() ? VisaStatusWords(outcome.status).c_str()
                                                   : outcome.errorText.c_str());
            refused_ = true;
        });
        ApplyConfiguration(card_, channels_, ui_, ApplyRule::AllOrNothing); // ready(): none
        card_.link().removeObserver(observer);
        card_.link().setTally(nullptr);
        if (!log_.close()) {
            std::fprintf(err_, "'%s' could not be written: %s\n", o_.logFile.c_str(),
                         log_.error().c_str());
            return kExitUsage;
        }
        bool failed = refused_;
        for (int c : channels_)
            failed = failed || ui_.failed(c);
        return failed ? kExitRefused : kExitAccepted;
    }

private:
    bool listed(int channel) const {
        return std::find(channels_.begin(), channels_.end(), channel) != channels_.end();
    }

    bool resolveResource() {
        if (!PathExists(o_.file)) {
            std::fprintf(err_, "'%s' does not exist.\n", o_.file.c_str());
            return false;
        }
        std::string name = o_.resource;
        if (name.empty()) {
            name = ConfigurationResource(o_.file);
            if (name.empty()) {
                std::fprintf(err_, "'%s' names no card ([Card] Resource): give --resource NAME.\n",
                             o_.file.c_str());
                return false;
            }
            // A message: standard output holds only what the run reports (JSON with --json).
            std::fprintf(err_, "Using %s, the card '%s' names.\n", name.c_str(), o_.file.c_str());
        }
        resource_ = FindCard(name, err_);
        return !resource_.empty();
    }

    bool open() { return OpenForCommandLine(resource_, card_, err_); }

    bool chooseChannels() {
        // The card's model as it read it at the open (three channels when it could not).
        const int channels = card_.channels();
        channels_ = o_.channels;
        if (channels_.empty())
            for (int c = 1; c <= channels; ++c)
                channels_.push_back(c);
        for (int c : channels_)
            if (c > channels) {
                std::fprintf(err_, "%s has %d channels: channel %d cannot be applied.\n",
                             resource_.c_str(), channels, c);
                return false;
            }
        return true;
    }

    // The file loaded as the File menu loads it; only the listed channels'
    // waveforms are read.
    bool load() {
        card_.resetRecord();
        const ConfigLoad load = LoadConfiguration(card_.record(), o_.file, [this](int channel) {
            if (!listed(channel))
                return;
            ui_.setChannel(channel);
            TArbWave& arb = card_.channel(channel).Wave.Arb;
            ImportWaveFile(arb, arb.ArbFile, arb.NormaliseFlag, arb.TextFlag, ui_);
        });
        if (!load.error.empty()) {
            std::fprintf(err_, "Configuration not loaded: %s\n", load.error.c_str());
            return false;
        }
        for (const std::string& key : load.unreadable)
            std::fprintf(err_, "%s: %s could not be read; its default was used.\n", o_.file.c_str(),
                         key.c_str());
        for (const std::string& key : load.outOfRange)
            std::fprintf(err_, "%s: %s was out of range; it was held at its limit.\n",
                         o_.file.c_str(), key.c_str());
        return true;
    }

    bool ready() {
        bool ready = true;
        for (int c : channels_)
            ready = ready && !ui_.failed(c);
        for (const ChannelProblem& problem : ConfigurationProblems(card_.record(), channels_)) {
            ui_.setChannel(problem.channel);
            ui_.error(problem.text);
            ready = false;
        }
        return ready;
    }

    // The log file, opened only once everything else was checked.
    bool openLog() {
        if (o_.logFile.empty())
            return true;
        if (SameFile(o_.logFile, o_.file)) {
            std::fprintf(err_, "--log names the configuration file '%s' itself.\n",
                         o_.file.c_str());
            return false;
        }
        if (log_.open(o_.logFile))
            return true;
        std::fprintf(err_, "'%s' could not be written: %s\n", o_.logFile.c_str(),
                     log_.error().c_str());
        return false;
    }

    const ApplyOptions& o_;
    std::FILE* out_;
    std::FILE* err_;
    LogOutput log_;
    CommandLineUi ui_;
    std::string resource_;
    Card card_;
    std::vector<int> channels_;
    bool refused_ = false;
};

} // namespace

std::string FindCard(const std::string& name, std::FILE* err, std::string* modelFound,
                     std::span<const CardModel> models) {
    const CardLookup found = FindCardNamed(name, models);
    if (found.resource.empty()) {
        std::fprintf(err, "%s\n", found.problem.c_str());
        return {};
    }
    if (modelFound)
        *modelFound = found.model->name;
    return found.resource;
}

bool OpenForCommandLine(const std::string& resource, Card& card, std::FILE* err,
                        const CardModel* model) {
    const TakenCard taken = TakeCard(card, resource, {true, model, false});
    if (taken.ok())
        return true;
    std::fprintf(err, "An error occurred while opening %s: %s\n", resource.c_str(),
                 VisaStatusWords(taken.status).c_str());
    return false;
}

void Release(Card& card) {
    CloseCardAndResourceManager(card);
    RunExitHandlers();
}

bool BindForCommandLine(std::FILE* err) {
    ResetProgramState();
    SetDriverCallRecording(false); // no session of this run is written as a program
    const BindingResult bound = BindAllLibraries();
    if (bound.ok())
        return true;
    std::fprintf(err, "%s\n%s\n", bound.assertionFailure.c_str(), bound.detail.c_str());
    RunExitHandlers();
    return false;
}

int RunApply(const ApplyOptions& o, std::FILE* out, std::FILE* err) {
    if (!BindForCommandLine(err))
        return kExitUsage;
    ApplyRun run(o, out, err);
    const int status = run.prepare() ? run.apply() : kExitUsage;
    if (o.json)
        std::fprintf(out, "%s\n",
                     QJsonDocument(QJsonObject{{"sent", run.tally.sent},
                                               {"refused", run.tally.refused},
                                               {"exitStatus", status}})
                         .toJson(QJsonDocument::Compact)
                         .constData());
    return status;
}

int RunListCards(std::FILE* out, std::FILE* err, bool json) {
    if (!BindForCommandLine(err))
        return kExitUsage;
    if (const std::string missing = MissingLibraryText(); !missing.empty()) {
        std::fprintf(err, "%s\n", missing.c_str());
        RunExitHandlers();
        return kExitUsage;
    }
    int result = kExitAccepted;
    struct Found {
        std::string resource, model;
        int32_t id = 0;
        int channels = 0; // 0: not read
    };
    std::vector<Found> cards;
    for (const CardModel& model : CardModels()) {
        std::vector<FoundCard> found;
        DiscoveryOptions options;
        options.readChannels = true;
        const ViStatus status = DiscoverCards(model, found, options);
        for (const FoundCard& f : found)
            cards.push_back({f.resource, model.name, f.cardId, f.channels.value_or(0)});
        if (status != VI_SUCCESS && status != VI_ERROR_RSRC_NFOUND) {
            std::fprintf(err, "The search for %s cards failed: %s\n", model.name,
                         VisaStatusWords(status).c_str());
            result = kExitUsage;
        }
    }
    // In a stable order, by resource, for scripts.
    std::stable_sort(cards.begin(), cards.end(),
                     [](const Found& a, const Found& b) { return a.resource < b.resource; });
    if (json) {
        QJsonArray array;
        for (const Found& c : cards)
            array.append(QJsonObject{{"resource", QString::fromStdString(c.resource)},
                                     {"model", QString::fromStdString(c.model)},
                                     {"cardId", c.id},
                                     {"channels", c.channels}});
        std::fprintf(out, "%s\n", QJsonDocument(array).toJson(QJsonDocument::Compact).constData());
    } else {
        std::fprintf(out, "Resource\tModel\tCard ID\n");
        for (const Found& c : cards)
            std::fprintf(out, "%s\t%s\t%d\n", c.resource.c_str(), c.model.c_str(), c.id);
    }
    CloseResourceManager();
    RunExitHandlers();
    return result;
}
