// The logged command layer: every instrument operation of the panel goes
// through one of these. Each refuses to run without a session, selects the
// channel on the card when it differs from the one last selected, calls the
// driver, writes one entry to the operation log and returns the driver's
// status unchanged (0 = success).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "nv815_api.h"

// The channel the card was last told to address; 0 means none yet. Only the
// channel selection changes it, and only when the card accepted it.
extern int32_t ActiveChannel;

// The driver's status for a memory test that found a mismatch; the error
// address and data it returns are then valid.
constexpr ViStatus MemoryTestFailed = NV815_MEMORY_TEST_FAILED;

ViStatus CmdSetActiveChannel(ViSession session, int32_t channel);
ViStatus CmdSetAttenuation(ViSession session, int32_t channel, double level);
ViStatus CmdSetOutputOffsetVoltage(ViSession session, int32_t channel, double offset);
ViStatus CmdGetCalibrationDate(ViSession session, uint32_t* year, uint32_t* month, uint32_t* day);
ViStatus CmdSetCounterStep(ViSession session, uint32_t step, int32_t channel);
ViStatus CmdSetFSKSource(ViSession session, int32_t source, int32_t channel);
ViStatus CmdSetClockMode(ViSession session, int32_t mode, int32_t channel, double start, double end,
                         double step, double stepTime);
ViStatus CmdSetClockSource(ViSession session, int32_t source, int32_t multiplier,
                           double externalFrequency, int32_t channel);
ViStatus CmdSetTriggerMode(ViSession session, int32_t source, int32_t mode, int32_t channel);
ViStatus CmdGenerateSweep(ViSession session, int32_t signalType, int32_t sweepMode, double symmetry,
                          double start, double end, double step, double stepTime, int32_t channel);
ViStatus CmdGenerateSignal(ViSession session, int32_t signalType, int32_t channel, double frequency,
                           double symmetry);
ViStatus CmdSetAMMode(ViSession session, int32_t channel, bool on);
ViStatus CmdSetFSKPin(ViSession session, int32_t channel, bool high);
ViStatus CmdSetInstrumentMode(ViSession session, int32_t channel, bool outputOn);
// `outputOff`, when given, tells whether the channel's output was switched off
// on the way (the test itself may still have failed).
ViStatus CmdMemoryTest(ViSession session, uint32_t* errorAddress, uint32_t* errorData,
                       uint32_t* expectedData, int32_t channel, bool* outputOff = nullptr);

// Not logged.
ViStatus CmdRevisionQuery(ViSession session, char driverRevision[NV815_REVISION_BUFLEN],
                          char instrumentRevision[NV815_REVISION_BUFLEN]);
ViStatus CmdErrorMessage(ViSession session, ViStatus status, char text[NV815_MESSAGE_BUFLEN]);

// What became of a command, for whoever shows it to the operator: the first
// line of its log entry (empty when it was refused for want of a session),
// its status, and the driver's text for a status other than 0.
struct CommandOutcome {
    std::string title;
    ViStatus status = 0;
    std::string errorText;
    int32_t channel = 0; // the channel it was sent for; 0 when it names none
};
using CommandObserver = std::function<void(const CommandOutcome&)>;

// Installs the observer every logged command reports to (none: nullptr).
void SetCommandObserver(CommandObserver observer);

// While one is alive, commands report to the observer only when the outermost
// one ends, in the order they were sent: an operation brings its own picture
// of the card up to date before anyone is told what the card answered.
class HeldReports {
public:
    HeldReports();
    ~HeldReports();
    HeldReports(const HeldReports&) = delete;
    HeldReports& operator=(const HeldReports&) = delete;
};

// While one made with `unshown` true is alive, commands report to no
// observer (they are still logged and counted): refusals that are expected
// are not failures to show.
class UnshownReports {
public:
    explicit UnshownReports(bool unshown = true);
    ~UnshownReports();
    UnshownReports(const UnshownReports&) = delete;
    UnshownReports& operator=(const UnshownReports&) = delete;

private:
    bool unshown_;
};

// How many commands reached the driver, and how many of them it refused,
// while the tally is installed.
struct CommandTally {
    int sent = 0;
    int refused = 0;
};
// Installs the tally every command counts into (none: nullptr); returns the
// one it replaces.
CommandTally* SetCommandTally(CommandTally* tally);
// Counts a driver call that neither a logged command nor
// ReportCommandOutcome reports.
void TallyCommand(ViStatus status);

// Reports a driver call made without a logged command (its title as a log
// entry would give it), as the logged commands report theirs.
void ReportCommandOutcome(ViSession session, const std::string& title, ViStatus status,
                          int32_t channel = 0);

// A log entry's title as a command's name: "Set Attenuation - " -> "Set Attenuation".
std::string CommandName(const std::string& title);

// "Success" for 0, else "***FAILED***\r\nError: " and the driver's text.
std::string CmdResultText(ViSession session, ViStatus status);

// A real as the log writes it: at most 15 significant digits, no trailing
// zeros, the user's decimal separator; fixed notation from 0.00001 up to 15
// integer digits, scientific (1E-6, 1E20) otherwise.
std::string FormatReal(double value);
