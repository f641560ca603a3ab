// The calls around a card's session that are no commands of the log: opening
// it through the driver, its lock, its id and PCI subsystem id, closing it,
// VISA's resource manager and its own description; and the few driver calls
// an operation makes without a logged command, each reported to the card's
// observers as the logged commands report theirs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Commands.h"
#include "DriverCalls.h"
#include "visa_types.h"

// nv815_init of `resource`, kept as the first call of the session it opened.
// Without the libraries: VI_ERROR_LIBRARY_NFOUND.
ViStatus DriverOpenSession(const std::string& resource, ViSession& session);
// An exclusive VISA lock on the session, without waiting.
void VisaLockExclusive(ViSession session);
// Closes the session (when there is one) and forgets its recorded calls.
void VisaCloseSession(ViSession session);
// The card id (nv815_GetCardId, recorded); 0 when there is no session or it
// cannot be read.
int32_t DriverCardId(ViSession session);
// The card's PCI subsystem id from its configuration space.
ViStatus VisaPxiSubsystemId(ViSession session, uint16_t& id);
// VISA's default resource manager closed (process-wide: every card's searches use it).
void CloseResourceManager();
// VISA's description of a status; empty without the library.
std::string VisaStatusText(ViStatus status);
// The status in hexadecimal, then VISA's description of it when there is one.
std::string VisaStatusWords(ViStatus status);
// The VISA library's maker and version (VI_ATTR_RSRC_MANF_NAME and
// VI_ATTR_RSRC_IMPL_VERSION of the resource manager).
struct VisaLibraryInfo {
    std::string vendor;
    uint32_t version = 0;
};
VisaLibraryInfo VisaLibraryIdentity();

// Unlogged driver calls of the card's selected channel, recorded and reported
// under `title` (the log's title of what they stand for).
ViStatus UnloggedSetCounterStep(CommandLink& link, uint32_t step, int32_t channel,
                                const char* title);
// The samples are kept for the session's replay (when calls are kept) as
// `sent`; `version` and `checksum` are the samples' (SnapshotSamples).
ViStatus UnloggedLoadArbitraryWaveform(CommandLink& link, int32_t length, const double* samples,
                                       uint64_t version, uint64_t checksum, int32_t channel);
// The offset with its enable flag (the offset power), reported as the
// offset Set's entry.
ViStatus UnloggedSetOutputOffsetVoltage(CommandLink& link, double offset, bool enable,
                                        int32_t channel);
