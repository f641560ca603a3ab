// The logged command layer: every instrument operation of the panel goes
// through one of these. Each refuses to run without a session, selects the
// channel on the card when it differs from the one last selected, calls the
// driver, writes one entry to the operation log and returns the driver's
// status unchanged (0 = success). Commands are sent over one card's
// CommandLink; the operation log they write is the process's one log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "nv815_api.h"

// What became of a command, for whoever shows it to the operator: the first
// line of its log entry (empty when it was refused for want of a session),
// its status, and the driver's text for a status other than 0.
struct CommandOutcome {
    std::string title;
    ViStatus status = 0;
    std::string errorText;
    int32_t channel = 0; // the channel it was sent for; 0 when it names none
    // The last of the outcomes an operation tells together (HeldReports):
    // whoever shows the card's picture need redraw it only then.
    bool last = true;
};
using CommandObserver = std::function<void(const CommandOutcome&)>;

// How many commands reached the driver, and how many of them it refused,
// while the tally is installed.
struct CommandTally {
    int sent = 0;
    int refused = 0;
};

// One open card's side of the command layer: its session, the channel the
// card was last told to address, and everyone told about each command. Each
// card object owns one; nothing of it is shared between cards.
class CommandLink {
public:
    CommandLink();
    CommandLink(const CommandLink&) = delete;
    CommandLink& operator=(const CommandLink&) = delete;

    // Names the link's card in the log's entries: never the same for two
    // links of one run, never 0.
    uint32_t cardTag() const { return cardTag_; }

    ViSession session() const { return session_; }
    // A new session (0: none): its selected channel is not known.
    void setSession(ViSession session);

    // The channel the card was last told to address; 0 means none yet. Only
    // the channel selection changes it, and only when the card accepted it.
    int32_t selectedChannel() const { return selected_; }
    void forgetSelectedChannel() { selected_ = 0; }
    void channelSelected(int32_t channel) { selected_ = channel; }

    // Any number of observers, each told about every command in the order
    // they were added. Returns the key that removes it.
    int addObserver(CommandObserver observer);
    void removeObserver(int key);

    // Installs the tally every command counts into (none: nullptr); returns
    // the one it replaces, for the caller to put back.
    CommandTally* setTally(CommandTally* tally);

    // A command's outcome: counted, then told now, later (held) or never (unshown).
    void report(const CommandOutcome& outcome);
    // Counts a driver call that no logged command reports.
    void tally(ViStatus status);

private:
    friend class HeldReports;
    friend class UnshownReports;
    void tell(const CommandOutcome& outcome) const;

    uint32_t cardTag_;
    ViSession session_ = 0;
    int32_t selected_ = 0;
    std::vector<std::pair<int, CommandObserver>> observers_;
    int nextKey_ = 1;
    CommandTally* tally_ = nullptr;
    int held_ = 0;    // HeldReports alive
    int unshown_ = 0; // UnshownReports alive
    std::vector<CommandOutcome> heldOutcomes_;
};

// The driver's status for a memory test that found a mismatch; the error
// address and data it returns are then valid.
constexpr ViStatus MemoryTestFailed = NV815_MEMORY_TEST_FAILED;

ViStatus CmdSetActiveChannel(CommandLink& link, int32_t channel);
ViStatus CmdSetAttenuation(CommandLink& link, int32_t channel, double level);
ViStatus CmdSetOutputOffsetVoltage(CommandLink& link, int32_t channel, double offset);
ViStatus CmdGetCalibrationDate(CommandLink& link, uint32_t* year, uint32_t* month, uint32_t* day);
ViStatus CmdSetCounterStep(CommandLink& link, uint32_t step, int32_t channel);
ViStatus CmdSetFSKSource(CommandLink& link, int32_t source, int32_t channel);
ViStatus CmdSetClockMode(CommandLink& link, int32_t mode, int32_t channel, double start, double end,
                         double step, double stepTime);
ViStatus CmdSetClockSource(CommandLink& link, int32_t source, int32_t multiplier,
                           double externalFrequency, int32_t channel);
ViStatus CmdSetTriggerMode(CommandLink& link, int32_t source, int32_t mode, int32_t channel);
ViStatus CmdGenerateSweep(CommandLink& link, int32_t signalType, int32_t sweepMode, double symmetry,
                          double start, double end, double step, double stepTime, int32_t channel);
ViStatus CmdGenerateSignal(CommandLink& link, int32_t signalType, int32_t channel, double frequency,
                           double symmetry);
ViStatus CmdSetAMMode(CommandLink& link, int32_t channel, bool on);
ViStatus CmdSetFSKPin(CommandLink& link, int32_t channel, bool high);
ViStatus CmdSetInstrumentMode(CommandLink& link, int32_t channel, bool outputOn);
// `outputOff`, when given, tells whether the channel's output was switched off
// on the way (the test itself may still have failed).
ViStatus CmdMemoryTest(CommandLink& link, uint32_t* errorAddress, uint32_t* errorData,
                       uint32_t* expectedData, int32_t channel, bool* outputOff = nullptr);

// Not logged.
ViStatus CmdRevisionQuery(ViSession session, char driverRevision[NV815_REVISION_BUFLEN],
                          char instrumentRevision[NV815_REVISION_BUFLEN]);
ViStatus CmdErrorMessage(ViSession session, ViStatus status, char text[NV815_MESSAGE_BUFLEN]);

// While one is alive, commands report to the observer only when the outermost
// one ends, in the order they were sent: an operation brings its own picture
// of the card up to date before anyone is told what the card answered.
class HeldReports {
public:
    explicit HeldReports(CommandLink& link);
    ~HeldReports();
    HeldReports(const HeldReports&) = delete;
    HeldReports& operator=(const HeldReports&) = delete;

private:
    CommandLink& link_;
};

// While one made with `unshown` true is alive, commands report to no
// observer (they are still logged and counted): refusals that are expected
// are not failures to show.
class UnshownReports {
public:
    explicit UnshownReports(CommandLink& link, bool unshown = true);
    ~UnshownReports();
    UnshownReports(const UnshownReports&) = delete;
    UnshownReports& operator=(const UnshownReports&) = delete;

private:
    CommandLink& link_;
    bool unshown_;
};

// Reports a driver call made without a logged command (its title as a log
// entry would give it), as the logged commands report theirs.
void ReportCommandOutcome(CommandLink& link, const std::string& title, ViStatus status,
                          int32_t channel = 0);

// A log entry's title as a command's name, one space between its words:
// "Set Attenuation - " -> "Set Attenuation", "Set  dcOffset - " -> "Set dcOffset".
std::string CommandName(const std::string& title);

// "Success" for 0, else "***FAILED***\r\nError: " and the driver's text.
std::string CmdResultText(ViSession session, ViStatus status);

// A real as the log writes it: at most 15 significant digits, no trailing
// zeros, the user's decimal separator; fixed notation from 0.00001 up to 15
// integer digits, scientific (1E-6, 1E20) otherwise.
std::string FormatReal(double value);
