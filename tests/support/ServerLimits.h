// A server's idle limits, shortened for a test.
#pragma once

#include <chrono>

#include "ScpiServer.h"

inline ScpiServer::IdleLimits
ShortLimits(std::chrono::milliseconds partialLine, std::chrono::milliseconds takeover,
            std::chrono::milliseconds lockWait = std::chrono::seconds(30)) {
    ScpiServer::IdleLimits limits;
    limits.partialLine = partialLine;
    limits.takeover = takeover;
    limits.lockWait = lockWait;
    return limits;
}
