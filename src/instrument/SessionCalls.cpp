#include "SessionCalls.h"

#include "LibraryBindings.h"
#include "OperationLog.h"
#include "VISA_def_v2.h"
#include "nv815_def.h"

namespace {
const ViBusAddress kSubsystemIdOffset = 0x2E;
} // namespace

ViStatus DriverOpenSession(const std::string& resource, ViSession& session) {
    if (!VisaLoaded || !DriverLoaded)
        return VI_ERROR_LIBRARY_NFOUND;
    const ViStatus status = Driver.nv815_init(resource.c_str(), 0, 0, &session);
    if (status == VI_SUCCESS)
        RecordDriverCall(
            {"nv815_init", session, {resource, int64_t(0), int64_t(0)}, nullptr, status});
    return status;
}

void VisaLockExclusive(ViSession session) {
    if (VisaLoaded)
        Visa.viLock(session, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr);
}

void VisaCloseSession(ViSession session) {
    if (session != 0 && VisaLoaded)
        Visa.viClose(session);
    ForgetSessionCalls(session);
}

int32_t DriverCardId(ViSession session) {
    if (session == 0 || !DriverLoaded)
        return 0;
    ViInt32 id = 0;
    const ViStatus status = Driver.nv815_GetCardId(session, &id);
    RecordDriverCall({"nv815_GetCardId", session, {}, nullptr, status});
    return status == VI_SUCCESS ? id : 0;
}

ViStatus VisaPxiSubsystemId(ViSession session, uint16_t& id) {
    if (!VisaLoaded)
        return VI_ERROR_LIBRARY_NFOUND;
    ViUInt16 read = 0;
    const ViStatus status = Visa.viIn16(session, VI_PXI_CFG_SPACE, kSubsystemIdOffset, &read);
    id = read;
    return status;
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

std::string VisaStatusWords(ViStatus status) {
    const std::string description = VisaStatusText(status);
    return StatusHex(status) + (description.empty() ? std::string() : " " + description);
}

VisaLibraryInfo VisaLibraryIdentity() {
    VisaLibraryInfo info;
    if (!VisaLoaded)
        return info;
    const ViSession rm = GetDefaultRM();
    char vendor[256] = {};
    ViUInt32 version = 0;
    Visa.viGetAttribute(rm, VI_ATTR_RSRC_MANF_NAME, vendor);
    Visa.viGetAttribute(rm, VI_ATTR_RSRC_IMPL_VERSION, &version);
    vendor[sizeof vendor - 1] = '\0';
    info.vendor = vendor;
    info.version = version;
    return info;
}

ViStatus UnloggedSetCounterStep(CommandLink& link, uint32_t step, int32_t channel,
                                const char* title) {
    const ViSession session = link.session();
    const ViStatus status = Driver.nv815_SetCounterStep(session, step);
    RecordDriverCall({"nv815_SetCounterStep", session, {int64_t(step)}, nullptr, status});
    ReportCommandOutcome(link, title, status, channel);
    return status;
}

ViStatus UnloggedLoadArbitraryWaveform(CommandLink& link, int32_t length, const double* samples,
                                       uint64_t version, uint64_t checksum, int32_t channel) {
    const ViSession session = link.session();
    const ViStatus status = Driver.nv815_LoadArbitraryWaveform(session, length, samples);
    // The samples sent, kept for the session's replay and known by their checksum.
    if (DriverCallRecording())
        RecordDriverCall({"nv815_LoadArbitraryWaveform",
                          session,
                          {int64_t(length)},
                          SnapshotSamples(samples, length, version, checksum),
                          status});
    ReportCommandOutcome(link, "Load Arbitrary Waveform", status, channel);
    return status;
}

ViStatus UnloggedSetOutputOffsetVoltage(CommandLink& link, double offset, bool enable,
                                        int32_t channel) {
    const ViSession session = link.session();
    const ViStatus status = Driver.nv815_SetOutputOffsetVoltage(session, offset, enable ? 1 : 0);
    RecordDriverCall({"nv815_SetOutputOffsetVoltage",
                      session,
                      {offset, int64_t(enable ? 1 : 0)},
                      nullptr,
                      status});
    ReportCommandOutcome(link, "Set  dcOffset - ", status, channel);
    return status;
}
