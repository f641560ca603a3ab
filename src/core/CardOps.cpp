// Opening and closing cards, and the maintenance operations.
#include <cstdio>

#include "AcceptedUpdate.h"
#include "CardModels.h"
#include "Commands.h"
#include "DriverCalls.h"
#include "LibraryBindings.h"
#include "Operations.h"
#include "SessionCalls.h"
#include "VISA_def_v2.h"
#include "nv815_def.h"

ViStatus OpenCard(TSelectedCard& card, bool lock) {
    card.Opened = false;
    const ViStatus status = DriverOpenSession(card.Resource, card.Session);
    if (status == VI_SUCCESS) {
        if (lock)
            VisaLockExclusive(card.Session);
        card.Opened = true;
    }
    return status;
}

void CloseCard(TSelectedCard& card) {
    VisaCloseSession(card.Session);
    card.Session = 0;
    card.Opened = false;
}

void CloseCardAndResourceManager(Card& card) {
    card.close();
    CloseResourceManager();
}

int32_t ReadCardId(ViSession session) {
    return DriverCardId(session);
}

std::optional<int> ReadChannelCount(ViSession session) {
    uint16_t subsystemId = 0;
    if (VisaPxiSubsystemId(session, subsystemId) != VI_SUCCESS)
        return std::nullopt;
    return ModelOfSubsystem(subsystemId).channels;
}

MemoryTestResult TestChannelMemory(Card& card, int channel, OperatorUi& ui) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    MemoryTestResult r;
    bool outputOff = false;
    r.Status = CmdMemoryTest(card.link(), &r.Address, &r.Data, &r.Expected, channel, &outputOff);
    // The test switched the output off: the record says so, whatever the test found.
    if (outputOff) {
        card.channel(channel).OutputOn = false;
        TAcceptedChannel& a = AcceptedChannel(card, channel);
        a.OutputOn = false;
        a.Loaded.reset(); // the test overwrote wave memory
    }
    if (r.Status != VI_SUCCESS && r.Status != MemoryTestFailed)
        ui.error("An error occured while testing. The rest of the test will be cancelled.");
    return r;
}

std::optional<std::string> ReadCalibrationDate(Card& card) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    uint32_t year = 0, month = 0, day = 0;
    if (CmdGetCalibrationDate(card.link(), &year, &month, &day) != VI_SUCCESS)
        return std::nullopt;
    char text[64];
    std::snprintf(text, sizeof text, "Calibration Date (dd-mm-yy): %02u-%02u-%02u", day, month,
                  year);
    return std::string(text);
}
