// Events of a PXI INSTR session as VISA defines them: the PXI interrupt and
// the trigger (which the simulated card never raises), the completion of an
// asynchronous move (queued, or handed to handlers, when it is enabled),
// and exceptions (handlers only). A service request is no PXI event. An
// event taken from the queue is an object of its own, read with
// viGetAttribute and closed with viClose.
#include <algorithm>
#include <cstring>
#include <string>

#include "SimVisaCommon.h"
#include "SimVisaConstants.h"

using namespace sim;

namespace {

bool PxiEvent(ViEventType type) {
    return type == VI_EVENT_TRIG || type == VI_EVENT_PXI_INTR || type == VI_EVENT_IO_COMPLETION ||
           type == VI_EVENT_EXCEPTION;
}

// The mechanisms an event takes: exceptions go to handlers only.
ViUInt16 Mechanisms(ViEventType type) {
    const ViUInt16 handlers = VI_HNDLR | VI_SUSPEND_HNDLR;
    return type == VI_EVENT_EXCEPTION ? handlers : static_cast<ViUInt16>(VI_QUEUE | handlers);
}

std::string EventArgs(ViSession vi, ViEventType type, ViUInt16 mechanism) {
    return std::to_string(vi) + ", " + Hex(type) + ", " + std::to_string(mechanism);
}

SessionInfo* InstrumentSession(ViSession vi) {
    SessionInfo* s = Chassis::instance().find(vi);
    return s && s->kind == SessionKind::Instrument ? s : nullptr;
}

// The session, event type and mechanisms of a request to disable or discard
// events; `s` gets the session.
ViStatus CheckEventRequest(ViSession vi, ViEventType type, ViUInt16 mechanism, SessionInfo*& s) {
    s = Chassis::instance().find(vi);
    if (!s || (s->kind != SessionKind::Instrument && s->kind != SessionKind::MemoryAccess))
        return VI_ERROR_INV_OBJECT;
    if (type != VI_ALL_ENABLED_EVENTS && !PxiEvent(type))
        return VI_ERROR_INV_EVENT;
    if (mechanism == 0 ||
        (mechanism != VI_ALL_MECH && (mechanism & ~(VI_QUEUE | VI_HNDLR | VI_SUSPEND_HNDLR))))
        return VI_ERROR_INV_MECH;
    return VI_SUCCESS;
}

// The instrument session a handler of `type` is installed on or removed from.
ViStatus HandlerSession(ViSession vi, ViEventType type, SessionInfo*& s) {
    s = InstrumentSession(vi);
    if (!s)
        return VI_ERROR_INV_OBJECT;
    return PxiEvent(type) ? VI_SUCCESS : VI_ERROR_INV_EVENT;
}

// Each handler of the event called with an event object of its own, closed after.
void CallHandlers(ViSession vi, const SessionInfo::EventData& event) {
    Chassis& ch = Chassis::instance();
    SessionInfo* s = ch.find(vi);
    if (!s)
        return;
    const std::vector<SessionInfo::Handler> handlers = s->handlers; // a handler may change them
    for (const SessionInfo::Handler& h : handlers) {
        if (h.type != event.type)
            continue;
        SessionInfo object{SessionKind::Event};
        object.parent = vi;
        object.event = event;
        const ViEvent context = ch.newSession(std::move(object));
        h.handler(vi, event.type, context, h.userHandle);
        if (ch.find(context))
            ch.close(context);
    }
}

} // namespace

void sim::PostEvent(ViSession vi, const SessionInfo::EventData& event) {
    SessionInfo* s = InstrumentSession(vi);
    if (!s)
        return;
    const ViUInt16 enabled = s->enabled[event.type];
    if ((enabled & VI_QUEUE) && s->queue.size() < s->maxQueue)
        s->queue.push_back(event); // a full queue takes no more
    if (enabled & VI_SUSPEND_HNDLR)
        s->suspended.push_back(event);
    else if (enabled & VI_HNDLR)
        CallHandlers(vi, event);
}

ViStatus sim::EventAttribute(const SessionInfo& s, ViAttr attr, void* value) {
    const SessionInfo::EventData& e = s.event;
    switch (attr) {
    case VI_ATTR_EVENT_TYPE:
        return Put(value, static_cast<ViEventType>(e.type));
    case VI_ATTR_STATUS:
        return Put(value, static_cast<ViStatus>(e.status));
    case VI_ATTR_JOB_ID:
        return Put(value, static_cast<ViUInt32>(e.jobId));
    case VI_ATTR_RET_COUNT_32:
        return Put(value, static_cast<ViUInt32>(e.count));
    case VI_ATTR_RET_COUNT_64:
        return Put(value, static_cast<ViUInt64>(e.count));
    case VI_ATTR_BUFFER:
        return Put(value, static_cast<void*>(nullptr)); // a move has no buffer of the caller's
    case VI_ATTR_OPER_NAME:
        return PutText(value, e.operation);
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

extern "C" {

ViStatus viEnableEvent(ViSession vi, ViEventType type, ViUInt16 mechanism, ViEventFilter) try {
    EntryLock entry;
    const std::string args = EventArgs(vi, type, mechanism);
    SessionInfo* s = InstrumentSession(vi);
    if (!s)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (!PxiEvent(type))
        return Done(__func__, args, VI_ERROR_INV_EVENT);
    if (mechanism == 0 || (mechanism & ~Mechanisms(type)) ||
        ((mechanism & VI_HNDLR) && (mechanism & VI_SUSPEND_HNDLR)))
        return Done(__func__, args, VI_ERROR_INV_MECH);
    // A handler mechanism needs a handler of the event installed.
    const bool handled =
        std::any_of(s->handlers.begin(), s->handlers.end(),
                    [type](const SessionInfo::Handler& h) { return h.type == type; });
    if ((mechanism & (VI_HNDLR | VI_SUSPEND_HNDLR)) && !handled)
        return Done(__func__, args, VI_ERROR_HNDLR_NINSTALLED);
    ViUInt16& enabled = s->enabled[type];
    const bool already = (enabled & mechanism) != 0;
    if (mechanism & VI_HNDLR)
        enabled &= static_cast<ViUInt16>(~VI_SUSPEND_HNDLR);
    if (mechanism & VI_SUSPEND_HNDLR)
        enabled &= static_cast<ViUInt16>(~VI_HNDLR);
    enabled |= mechanism;
    // Events held for suspended handlers reach them now.
    if (mechanism & VI_HNDLR) {
        std::vector<SessionInfo::EventData> held;
        for (auto it = s->suspended.begin(); it != s->suspended.end();)
            if (it->type == type) {
                held.push_back(*it);
                it = s->suspended.erase(it);
            } else {
                ++it;
            }
        for (const SessionInfo::EventData& e : held)
            CallHandlers(vi, e);
    }
    return Done(__func__, args, already ? VI_SUCCESS_EVENT_EN : VI_SUCCESS);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viDisableEvent(ViSession vi, ViEventType type, ViUInt16 mechanism) try {
    EntryLock entry;
    SessionInfo* s = nullptr;
    const std::string args = EventArgs(vi, type, mechanism);
    if (const ViStatus bad = CheckEventRequest(vi, type, mechanism, s); bad != VI_SUCCESS)
        return Done(__func__, args, bad);
    bool any = false;
    for (auto& [event, enabled] : s->enabled)
        if (type == VI_ALL_ENABLED_EVENTS || event == type) {
            any = any || (enabled & mechanism) != 0;
            enabled &= static_cast<ViUInt16>(~mechanism);
        }
    return Done(__func__, args, any ? VI_SUCCESS : VI_SUCCESS_EVENT_DIS);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viDiscardEvents(ViSession vi, ViEventType type, ViUInt16 mechanism) try {
    EntryLock entry;
    SessionInfo* s = nullptr;
    const std::string args = EventArgs(vi, type, mechanism);
    if (const ViStatus bad = CheckEventRequest(vi, type, mechanism, s); bad != VI_SUCCESS)
        return Done(__func__, args, bad);
    auto matches = [type](const SessionInfo::EventData& e) {
        return type == VI_ALL_ENABLED_EVENTS || e.type == type;
    };
    size_t discarded = 0;
    if (mechanism & VI_QUEUE)
        discarded += std::erase_if(s->queue, matches);
    if (mechanism & VI_SUSPEND_HNDLR)
        discarded += std::erase_if(s->suspended, matches);
    return Done(__func__, args, discarded > 0 ? VI_SUCCESS : VI_SUCCESS_QUEUE_EMPTY);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viWaitOnEvent(ViSession vi, ViEventType type, ViUInt32 timeout, ViEventType* outType,
                       ViEvent* outContext) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    const std::string args = std::to_string(vi) + ", " + Hex(type) + ", " + std::to_string(timeout);
    if (outType)
        *outType = 0;
    if (outContext)
        *outContext = 0;
    SessionInfo* s = InstrumentSession(vi);
    if (!s)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (type != VI_ALL_ENABLED_EVENTS && !PxiEvent(type))
        return Done(__func__, args, VI_ERROR_INV_EVENT);
    bool queued = false;
    for (const auto& [event, enabled] : s->enabled)
        if ((type == VI_ALL_ENABLED_EVENTS || event == type) && (enabled & VI_QUEUE))
            queued = true;
    if (!queued)
        return Done(__func__, args, VI_ERROR_NENABLED);
    const auto it = std::find_if(s->queue.begin(), s->queue.end(), [type](const auto& e) {
        return type == VI_ALL_ENABLED_EVENTS || e.type == type;
    });
    if (it == s->queue.end()) {
        // Nothing the simulated card raises by itself: the wait ends with its timeout.
        if (timeout != VI_TMO_INFINITE)
            entry.sleep(static_cast<int>(std::min<ViUInt32>(timeout, 10000)));
        return Done(__func__, args, VI_ERROR_TMO);
    }
    SessionInfo object{SessionKind::Event};
    object.parent = vi;
    object.event = *it;
    s->queue.erase(it);
    if (outType)
        *outType = object.event.type;
    // Without a place for the event object, VISA closes it at once.
    if (outContext)
        *outContext = ch.newSession(std::move(object));
    return Done(__func__, args, VI_SUCCESS);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viInstallHandler(ViSession vi, ViEventType type, ViHndlr handler, ViAddr userHandle) try {
    EntryLock entry;
    const std::string args = std::to_string(vi) + ", " + Hex(type);
    SessionInfo* s = nullptr;
    if (const ViStatus bad = HandlerSession(vi, type, s))
        return Done(__func__, args, bad);
    if (!handler)
        return Done(__func__, args, VI_ERROR_INV_HNDLR_REF);
    s->handlers.push_back({type, handler, userHandle});
    return Done(__func__, args, VI_SUCCESS);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viUninstallHandler(ViSession vi, ViEventType type, ViHndlr handler,
                            ViAddr userHandle) try {
    EntryLock entry;
    const std::string args = std::to_string(vi) + ", " + Hex(type);
    SessionInfo* s = nullptr;
    if (const ViStatus bad = HandlerSession(vi, type, s))
        return Done(__func__, args, bad);
    const size_t before = s->handlers.size();
    // VI_ANY_HNDLR removes every handler of the event.
    std::erase_if(s->handlers, [&](const SessionInfo::Handler& h) {
        return h.type == type &&
               (handler == VI_ANY_HNDLR || (h.handler == handler && h.userHandle == userHandle));
    });
    return Done(__func__, args, s->handlers.size() < before ? VI_SUCCESS : VI_ERROR_INV_HNDLR_REF);
} catch (...) {
    return EntryFailed(__func__);
}

} // extern "C"
