// Every driver call the panel makes, kept per session with its typed
// arguments, so that a session can be replayed as a program of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "visa_types.h"

// The samples of a wave memory load, shared by every load of the same samples.
struct SampleSnapshot {
    std::vector<double> samples;
    uint64_t checksum = 0; // WaveChecksum
};

using CallArgument = std::variant<int64_t, double, std::string>;

struct DriverCall {
    std::string function; // "nv815_SetAttenuation"
    ViSession session = 0;
    // The input arguments after the session, in order; outputs are left out.
    std::vector<CallArgument> arguments;
    std::shared_ptr<const SampleSnapshot> samples; // a wave memory load's
    ViStatus status = 0;
};

// Whether calls are kept (on unless switched off: a run that never writes a
// session's program need not keep them).
void SetDriverCallRecording(bool on);
bool DriverCallRecording();

// Keeps a call of `call.session`; nv815_init keeps it as the first call of
// the session it opened, replacing what an earlier session of that number
// held. Returns the call's status.
ViStatus RecordDriverCall(DriverCall call);
// The session's calls, oldest first (empty for a session never opened here).
std::vector<DriverCall> SessionCalls(ViSession session);

// The samples a session keeps of its distinct wave memory loads, at most; a
// load beyond it keeps its call without its samples, and the session is then
// no longer complete: it cannot be replayed.
constexpr size_t kSessionSampleLimit = 256u * 1024 * 1024;
bool SessionComplete(ViSession session);
void SetSessionSampleLimit(size_t bytes);
// A closed session's calls are forgotten.
void ForgetSessionCalls(ViSession session);
// Every session's calls forgotten.
void ForgetAllSessionCalls();

// The samples of a load as a snapshot: the previous one when the samples
// equal its samples, else a new copy. `version` (0: none) names the samples'
// contents and `checksum` is theirs: the same version as the previous
// snapshot's is taken as the same samples without comparing them.
std::shared_ptr<const SampleSnapshot> SnapshotSamples(const double* samples, int count,
                                                      uint64_t version, uint64_t checksum);

// The checksum of a wave memory load: over the bit patterns of the samples
// sent, one 64-bit word each (a Fletcher sum in four lanes, folded by FNV-1a),
// so a changed, added or moved sample changes it.
uint64_t WaveChecksum(const double* samples, int count);
