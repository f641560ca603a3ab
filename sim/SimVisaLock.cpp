// Locks as VISA specifies them: exclusive and shared, nested, a shared lock
// joined with its access key, and a request for a lock another session holds
// waiting up to its timeout.
#include <chrono>
#include <cstring>
#include <thread>

#include "SimVisaCommon.h"

using namespace sim;

namespace {

// Whether `vi` may take the lock now.
bool Grantable(const Instrument& in, ViSession vi, ViAccessMode type, const std::string& key) {
    if (in.exclusiveLockHolder != 0 && in.exclusiveLockHolder != vi)
        return false;
    if (type == VI_EXCLUSIVE_LOCK) {
        for (const auto& [holder, count] : in.sharedHolders)
            if (holder != vi && count > 0)
                return false;
        return true;
    }
    return in.sharedHolders.empty() || in.sharedHolders.count(vi) || key == in.sharedKey;
}

} // namespace

extern "C" {

ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, const ViChar* requestedKey,
                ViChar accessKey[]) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    std::string args =
        std::to_string(vi) + ", " + std::to_string(lockType) + ", " + std::to_string(timeout);
    Instrument* in = ch.instrumentOf(vi);
    if (!in)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (ViStatus f = ch.injected(__func__, 0, in->resource))
        return Done(__func__, args, f);
    if (lockType != VI_EXCLUSIVE_LOCK && lockType != VI_SHARED_LOCK)
        return Done(__func__, args, VI_ERROR_INV_LOCK_TYPE);
    const std::string key = requestedKey ? requestedKey : "";
    if (key.size() >= VI_FIND_BUFLEN)
        return Done(__func__, args, VI_ERROR_INV_ACCESS_KEY);
    // Another session's lock: wait for it up to the timeout.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    while (!Grantable(*in, vi, lockType, key)) {
        if (timeout == VI_TMO_INFINITE)
            entry.wait();
        else if (!entry.waitUntil(deadline) && !Grantable(*in, vi, lockType, key))
            return Done(__func__, args, VI_ERROR_TMO);
        in = ch.instrumentOf(vi); // the session may be gone meanwhile
        if (!in)
            return Done(__func__, args, VI_ERROR_INV_OBJECT);
    }
    if (lockType == VI_EXCLUSIVE_LOCK) {
        const bool nested = in->exclusiveLockHolder == vi;
        in->exclusiveLockHolder = vi;
        ++in->exclusiveCount;
        return Done(__func__, args, nested ? VI_SUCCESS_NESTED_EXCLUSIVE : VI_SUCCESS);
    }
    if (in->sharedHolders.empty())
        in->sharedKey = key.empty() ? "nvsim-key-" + std::to_string(vi) : key;
    const bool nested = in->sharedHolders[vi]++ > 0;
    if (accessKey)
        CopyText(accessKey, in->sharedKey);
    return Done(__func__, args, nested ? VI_SUCCESS_NESTED_SHARED : VI_SUCCESS);
} catch (...) {
    return EntryFailed(__func__);
}

// One lock given back: the latest exclusive one first, then shared ones.
ViStatus viUnlock(ViSession vi) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    std::string args = std::to_string(vi);
    Instrument* in = ch.instrumentOf(vi);
    if (!in)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    const auto shared = in->sharedHolders.find(vi);
    const int sharedCount = shared == in->sharedHolders.end() ? 0 : shared->second;
    if (in->exclusiveLockHolder == vi) {
        if (--in->exclusiveCount == 0)
            in->exclusiveLockHolder = 0;
    } else if (sharedCount > 0) {
        if (--shared->second == 0) {
            in->sharedHolders.erase(shared);
            if (in->sharedHolders.empty())
                in->sharedKey.clear();
        }
    } else {
        return Done(__func__, args, VI_ERROR_SESN_NLOCKED);
    }
    ChassisChanged(); // a waiting request may be granted now
    if (in->exclusiveLockHolder == vi)
        return Done(__func__, args, VI_SUCCESS_NESTED_EXCLUSIVE);
    if (in->sharedHolders.count(vi))
        return Done(__func__, args, VI_SUCCESS_NESTED_SHARED);
    return Done(__func__, args, VI_SUCCESS);
} catch (...) {
    return EntryFailed(__func__);
}

} // extern "C"
