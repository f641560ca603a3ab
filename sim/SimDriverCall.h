// One call of the simulated driver: the session's checks, fault injection,
// the journal entry when it ends, and the last error each session keeps for
// nv815_error_query. Shared by the driver's sources.
#pragma once

#include <initializer_list>
#include <string>

#include "SimChassis.h"

namespace sim {

inline std::string Args(std::initializer_list<std::string> parts) {
    std::string s;
    for (const std::string& p : parts)
        s += (s.empty() ? "" : ", ") + p;
    return s;
}

inline std::string I(long long v) {
    return std::to_string(v);
}

// One driver call: session checks, fault injection, then the journal entry.
class Call {
public:
    Call(const char* function, ViSession vi, std::string args)
        : fn_(function), args_(Args({I(vi)}) + (args.empty() ? "" : ", " + args)),
          chassis_(Chassis::instance()) {
        in_ = chassis_.instrumentOf(vi);
        session_ = chassis_.find(vi);
        if (!in_ || !in_->isCard())
            status_ = VI_ERROR_INV_OBJECT;
        else if (ViStatus f = chassis_.injected(fn_, session_->activeChannel, in_->resource))
            status_ = f;
        else if (chassis_.lockedAgainst(vi))
            status_ = VI_ERROR_RSRC_LOCKED;
    }
    ~Call() {
        chassis_.record(fn_, args_, status_);
        if (session_ && status_ != VI_SUCCESS)
            session_->lastError = status_;
    }

    // True while the call may go on; a failed check ends it with its status.
    bool ok() const { return status_ == VI_SUCCESS; }
    bool check(bool condition, ViStatus failure) {
        if (ok() && !condition)
            status_ = failure;
        return ok();
    }
    ViStatus result() const { return status_; }
    ViStatus fail(ViStatus s) { return status_ = s; }

    Instrument& card() { return *in_; }
    SessionInfo& session() { return *session_; }
    ChannelState& channel() { return in_->channel[session_->activeChannel]; }
    const Limits& limits() const { return chassis_.limits; }

private:
    const char* fn_;
    std::string args_;
    Chassis& chassis_;
    Instrument* in_ = nullptr;
    SessionInfo* session_ = nullptr;
    ViStatus status_ = VI_SUCCESS;
};

} // namespace sim
