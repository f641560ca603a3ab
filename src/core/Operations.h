// The operator's operations on a card, without windows: the window's
// buttons, the command line and remote control all go through these. Each
// takes the card object first, sends its commands in the card's order and
// keeps in the card's record what the card accepted (see Commit.h); what the
// card accepted is also kept in the card's picture (Accepted.h). Questions
// and messages go to the caller's OperatorUi.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Card.h"
#include "SessionCalls.h"
#include "VISA_Unit.h"
#include "WaveFile.h"

// The messages and questions of the operations, answered by the caller.
class OperatorUi : public WaveFileUi {
public:
    // What follows concerns channel `channel` (a configuration applied).
    virtual void applying(int /*channel*/) {}
};

// ---------------------------------------------------------------------------
// Output group

// Switches the output on or off.
ViStatus SetOutput(Card& card, int channel, bool on);

// Sets the attenuation in whole dB.
ViStatus SetAttenuation(Card& card, int channel, double dB);

// Sends a new offset with the power state the channel has now.
ViStatus SetOffset(Card& card, int channel, double volts);

// Sends the offset with the power switched as asked: the offset when on, 0 V when off.
ViStatus SetOffsetPower(Card& card, int channel, double volts, bool on);

// The software FSK level of a manual sweep (the Up and Down buttons).
ViStatus SetFskLevel(Card& card, int channel, bool high);

// ---------------------------------------------------------------------------
// Waveform, trigger and clock
//
// Each Update takes a draft: the channel's settings as the operator set them
// (DraftOf the record, then the page's controls read into it). The settings
// table says which of them each step sends (Steps.h).

// The trigger Update: the draft's trigger source and mode.
ViStatus ApplyTrigger(Card& card, int channel, const TChannelInfo& draft);

// The waveform Update: the output goes off, the AM mode, then the generated
// waveform or the channel's samples into wave memory, the output on again
// and the trigger. A refused step restores only its own fields. `manual`: a
// generated sweep the operator steps with the FSK buttons.
void ApplyWaveform(Card& card, int channel, const TChannelInfo& draft, bool manual, OperatorUi& ui);

// Loads the channel's samples into wave memory (WaveLength of them). The
// counter step it sets stays in the record whatever the card answers.
ViStatus LoadWaveform(Card& card, int channel, OperatorUi& ui);

// The clock Update's refusal of a sweep that ends below its start.
extern const char* const kClockEndBeforeStart;

// The clock Update: clock source, counter step, clock mode and FSK source,
// all four sent, each refusal restoring only its own fields. An end below
// the start is refused with a message before anything is sent (false).
// The draft's multiplier is the one shown (the card's pending multiplier);
// the pending multiplier follows the record's when the card refuses it.
bool ApplyClock(Card& card, int channel, const TChannelInfo& draft, OperatorUi& ui);

// The DDS reference clock: internal, or external at `extFreq` MHz.
ViStatus SetReferenceClock(Card& card, int channel, bool external, double extFreq);

// ---------------------------------------------------------------------------
// Cards

struct TSelectedCard {
    std::string Resource;
    ViSession Session = 0; // 0 = none
    bool Opened = false;   // the last open attempt succeeded
    ViStatus Status = 0;   // status of the last open attempt
    int32_t CardID = 0;    // 0 when not read
};

// A session of no card object (a test's or a benchmark's): opens
// card.Resource through the driver, locked exclusively when asked. The
// program's cards, a search's probes included, open through Card::open.
ViStatus OpenCard(TSelectedCard& card, bool lock);
// Closes the card's session when there is one.
void CloseCard(TSelectedCard& card);
// At the end of a run: closes the card (Card::close), and VISA's default
// resource manager is closed.
void CloseCardAndResourceManager(Card& card);
// The card id of an open session, 0 when there is none or it cannot be read.
int32_t ReadCardId(ViSession session);
// From the card's PCI subsystem id: 2 or 3 channels; nothing when it cannot be read.
std::optional<int> ReadChannelCount(ViSession session);

// A newly opened session becomes the card object's: its selected channel is
// not known, nothing of it has been accepted yet, and every channel is set to
// 10 dB with the output off. Returns the channels (up to `channels`) whose
// attenuation is then not known; a refused switch-off shows the output on.
// The refusals of channels beyond `channels` are logged, not reported.
std::vector<int> UseCard(Card& card, ViSession session, int channels);

// What a card selection sends, to the card in use: every channel to 10 dB
// with the output off (a remote *RST). The same channels as UseCard's.
std::vector<int> ResetOutputs(Card& card, int channels);

// ---------------------------------------------------------------------------
// Maintenance

// Every output off before the wave memory test; the refusals of channels
// beyond `channels` (the card's) are logged, not reported.
void SwitchOutputsOff(Card& card, int channels);

struct MemoryTestResult {
    ViStatus Status = 0;
    uint32_t Address = 0, Data = 0, Expected = 0; // valid for MemoryTestFailed
};

// Tests one channel's wave memory. A failure other than a found mismatch is
// reported through `ui` ("the rest of the test will be cancelled").
MemoryTestResult TestChannelMemory(Card& card, int channel, OperatorUi& ui);

// "Calibration Date (dd-mm-yy): ..." or nothing when the card refused.
std::optional<std::string> ReadCalibrationDate(Card& card);
