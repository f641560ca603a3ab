// Opening and closing cards, and the maintenance operations.
#include <cstdio>

#include "AcceptedUpdate.h"
#include "Commands.h"
#include "DriverCalls.h"
#include "LibraryBindings.h"
#include "Operations.h"
#include "VISA_def_v2.h"
#include "nv815_def.h"

namespace {
const ViUInt16 kTwoChannelSubsystemId = 0x4404;
const ViBusAddress kSubsystemIdOffset = 0x2E;
} // namespace

ViStatus OpenCard(TSelectedCard& card, bool lock) {
    card.Opened = false;
    if (!VisaLoaded || !DriverLoaded)
        return VI_ERROR_LIBRARY_NFOUND;
    const ViStatus status = Driver.nv815_init(card.Resource.c_str(), 0, 0, &card.Session);
    if (status == VI_SUCCESS)
        RecordDriverCall(
            {"nv815_init", card.Session, {card.Resource, int64_t(0), int64_t(0)}, nullptr, status});
    if (status == VI_SUCCESS) {
        if (lock)
            Visa.viLock(card.Session, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr);
        card.Opened = true;
    }
    return status;
}

void CloseCard(TSelectedCard& card) {
    if (card.Session != 0 && VisaLoaded)
        Visa.viClose(card.Session);
    ForgetSessionCalls(card.Session);
    card.Session = 0;
    card.Opened = false;
}

void CloseCardAndResourceManager(TSelectedCard& selected, Card& card) {
    CloseCard(selected);
    card.useSession(0);
    CloseResourceManager();
}

void CloseResourceManager() {
    if (DefaultRM != 0 && VisaLoaded)
        Visa.viClose(DefaultRM);
    DefaultRM = 0;
}

std::string VisaStatusText(ViStatus status) {
    char description[VI_FIND_BUFLEN] = {};
    if (VisaLoaded) {
        Visa.viStatusDesc(GetDefaultRM(), status, description);
        description[VI_FIND_BUFLEN - 1] = '\0';
    }
    return description;
}

int32_t ReadCardId(ViSession session) {
    if (session == 0 || !DriverLoaded)
        return 0;
    ViInt32 id = 0;
    const ViStatus status = Driver.nv815_GetCardId(session, &id);
    RecordDriverCall({"nv815_GetCardId", session, {}, nullptr, status});
    return status == VI_SUCCESS ? id : 0;
}

std::optional<int> ReadChannelCount(ViSession session) {
    ViUInt16 subsystemId = 0;
    if (Visa.viIn16(session, VI_PXI_CFG_SPACE, kSubsystemIdOffset, &subsystemId) != VI_SUCCESS)
        return std::nullopt;
    return subsystemId == kTwoChannelSubsystemId ? 2 : kChannelCount;
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
