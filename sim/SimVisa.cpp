// The simulated VISA library: resource discovery, sessions, attributes, PXI
// configuration reads and locks on the simulated chassis.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <regex>
#include <thread>

#include "SimChassis.h"
#include "nvsim.h"
#include "visa_api.h"

using sim::Chassis;
using sim::Instrument;
using sim::SessionInfo;
using sim::SessionKind;

namespace {

std::string Hex(uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

std::string Quoted(const char* s) {
    return s ? "\"" + std::string(s) + "\"" : "NULL";
}

void CopyText(char* out, const std::string& text) {
    std::snprintf(out, VI_FIND_BUFLEN, "%s", text.c_str());
}

ViStatus Done(const char* function, const std::string& args, ViStatus status) {
    Chassis::instance().record(function, args, status);
    return status;
}

// A VISA search expression: '?' matches one character, '*' any number of the
// character or class before it, [...] a class; case is ignored.
bool CompileExpression(const char* expr, std::regex& out) {
    std::string re;
    for (const char* p = expr; *p; ++p) {
        char c = *p;
        if (c == '?')
            re += '.';
        else if (c == '*' || c == '+') {
            if (re.empty())
                return false;
            re += c;
        } else if (c == '[') {
            const char* end = std::strchr(p, ']');
            if (!end)
                return false;
            re += '[';
            for (const char* q = p + 1; q < end; ++q)
                re += (*q == '^' && q == p + 1) ? '^' : (*q == '\\' ? '_' : *q);
            re += ']';
            p = end;
        } else if (std::strchr("\\.^$|(){}", c))
            re += std::string("\\") + c;
        else
            re += c;
    }
    try {
        out = std::regex(re, std::regex::icase | std::regex::ECMAScript);
    } catch (const std::regex_error&) {
        return false;
    }
    return true;
}

std::string ResourceOf(ViSession vi) {
    Instrument* in = Chassis::instance().instrumentOf(vi);
    return in ? in->resource : std::string();
}

} // namespace

extern "C" {

ViStatus viOpenDefaultRM(ViSession* vi) {
    Chassis& ch = Chassis::instance();
    if (!vi)
        return Done(__func__, "NULL", VI_ERROR_USER_BUF);
    *vi = 0;
    if (ViStatus f = ch.injected(__func__, 0, ""))
        return Done(__func__, "", f);
    if (!ch.loadError().empty())
        return Done(__func__, "", VI_ERROR_SYSTEM_ERROR);
    *vi = ch.newSession({SessionKind::ResourceManager});
    return Done(__func__, "", VI_SUCCESS);
}

ViStatus viFindRsrc(ViSession sesn, const ViChar* expr, ViFindList* list, ViUInt32* retCnt,
                    ViChar desc[]) {
    Chassis& ch = Chassis::instance();
    std::string args = std::to_string(sesn) + ", " + Quoted(expr);
    SessionInfo* rm = ch.find(sesn);
    if (!rm || rm->kind != SessionKind::ResourceManager)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (!expr)
        return Done(__func__, args, VI_ERROR_INV_EXPR);
    if (ViStatus f = ch.injected(__func__, 0, ""))
        return Done(__func__, args, f);
    std::regex re;
    if (!CompileExpression(expr, re))
        return Done(__func__, args, VI_ERROR_INV_EXPR);
    SessionInfo found{SessionKind::FindList};
    found.parent = sesn;
    for (const Instrument& in : ch.instruments)
        if (std::regex_match(in.resource, re))
            found.matches.push_back(in.resource);
    if (retCnt)
        *retCnt = static_cast<ViUInt32>(found.matches.size());
    if (list)
        *list = 0;
    if (found.matches.empty())
        return Done(__func__, args, VI_ERROR_RSRC_NFOUND);
    if (desc)
        CopyText(desc, found.matches[0]);
    found.next = 1;
    ViSession id = ch.newSession(std::move(found));
    if (list)
        *list = id;
    else
        ch.close(id); // nobody can use the list, so it is not kept
    return Done(__func__, args, VI_SUCCESS);
}

ViStatus viFindNext(ViFindList vi, ViChar desc[]) {
    Chassis& ch = Chassis::instance();
    std::string args = std::to_string(vi);
    SessionInfo* s = ch.find(vi);
    if (!s || s->kind != SessionKind::FindList)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (ViStatus f = ch.injected(__func__, 0, ""))
        return Done(__func__, args, f);
    if (s->next >= s->matches.size())
        return Done(__func__, args, VI_ERROR_RSRC_NFOUND);
    if (desc)
        CopyText(desc, s->matches[s->next]);
    ++s->next;
    return Done(__func__, args, VI_SUCCESS);
}

ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]) {
    Chassis& ch = Chassis::instance();
    if (ViStatus f = ch.injected(__func__, 0, ResourceOf(vi)))
        return f; // the description stays as it was
    if (!desc)
        return VI_ERROR_USER_BUF;
    bool known = false;
    std::string text = Chassis::statusText(status, &known);
    if (status == VI_ERROR_SYSTEM_ERROR && !ch.loadError().empty())
        text = "The simulated chassis description is invalid: " + ch.loadError();
    CopyText(desc, text);
    // Status descriptions are not journalled: they describe, they do not act.
    return known ? VI_SUCCESS : static_cast<ViStatus>(0x3FFF0085u);
}

ViStatus viOpen(ViSession sesn, const ViChar* name, ViAccessMode mode, ViUInt32 timeout,
                ViSession* vi) {
    Chassis& ch = Chassis::instance();
    std::string args = std::to_string(sesn) + ", " + Quoted(name) + ", " + std::to_string(mode) +
                       ", " + std::to_string(timeout);
    if (vi)
        *vi = 0;
    SessionInfo* rm = ch.find(sesn);
    if (!rm || rm->kind != SessionKind::ResourceManager)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (!vi)
        return Done(__func__, args, VI_ERROR_USER_BUF);
    if (!name || !*name)
        return Done(__func__, args, VI_ERROR_INV_RSRC_NAME);
    if (ViStatus f = ch.injected(__func__, 0, name))
        return Done(__func__, args, f);
    if (mode & ~static_cast<ViAccessMode>(VI_EXCLUSIVE_LOCK | VI_LOAD_CONFIG))
        return Done(__func__, args, VI_ERROR_INV_ACC_MODE);
    int index = ch.instrumentIndex(name);
    if (index < 0)
        return Done(__func__, args, VI_ERROR_RSRC_NFOUND);
    Instrument& in = ch.instruments[index];
    if (in.openDelayMs > 0) {
        int wait = std::min<long long>(in.openDelayMs, timeout);
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        if (static_cast<ViUInt32>(in.openDelayMs) > timeout)
            return Done(__func__, args, VI_ERROR_TMO);
    }
    if ((mode & VI_EXCLUSIVE_LOCK) && in.exclusiveLockHolder != 0)
        return Done(__func__, args, VI_ERROR_RSRC_LOCKED);
    SessionInfo s{SessionKind::Instrument};
    s.parent = sesn;
    s.instrument = index;
    *vi = ch.newSession(std::move(s));
    if (mode & VI_EXCLUSIVE_LOCK)
        in.exclusiveLockHolder = *vi;
    return Done(__func__, args, VI_SUCCESS);
}

ViStatus viClose(ViObject vi) {
    Chassis& ch = Chassis::instance();
    std::string args = std::to_string(vi);
    if (vi == VI_NULL)
        return Done(__func__, args, static_cast<ViStatus>(0x3FFF0082u));
    if (!ch.find(vi))
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (ViStatus f = ch.injected(__func__, 0, ResourceOf(vi)))
        return Done(__func__, args, f);
    ch.close(vi);
    return Done(__func__, args, VI_SUCCESS);
}

ViStatus viGetAttribute(ViObject vi, ViAttr attr, void* value) {
    Chassis& ch = Chassis::instance();
    std::string args = std::to_string(vi) + ", " + Hex(attr);
    SessionInfo* s = ch.find(vi);
    if (!s)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (!value)
        return Done(__func__, args, VI_ERROR_USER_BUF);
    std::string resource = ResourceOf(vi);
    if (ViStatus f = ch.injected(__func__, 0, resource))
        return Done(__func__, args, f);
    // Reading attributes is allowed on a resource another session has locked.
    Instrument* in = ch.instrumentOf(vi);
    switch (attr) {
    case VI_ATTR_RSRC_MANF_NAME:
        CopyText(static_cast<char*>(value), ch.vendor);
        break;
    case VI_ATTR_RSRC_IMPL_VERSION:
        std::memcpy(value, &ch.implVersion, sizeof(ViUInt32));
        break;
    case VI_ATTR_MODEL_NAME:
        if (!in)
            return Done(__func__, args, VI_ERROR_NSUP_ATTR);
        CopyText(static_cast<char*>(value), in->model);
        break;
    default:
        return Done(__func__, args, VI_ERROR_NSUP_ATTR);
    }
    return Done(__func__, args, VI_SUCCESS);
}

ViStatus viIn16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt16* val) {
    Chassis& ch = Chassis::instance();
    std::string args = std::to_string(vi) + ", " + std::to_string(space) + ", " + Hex(offset);
    Instrument* in = ch.instrumentOf(vi);
    if (!in)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (!val)
        return Done(__func__, args, VI_ERROR_USER_BUF);
    if (ViStatus f = ch.injected(__func__, 0, in->resource))
        return Done(__func__, args, f);
    if (ch.lockedAgainst(vi))
        return Done(__func__, args, VI_ERROR_RSRC_LOCKED);
    if (space != VI_PXI_CFG_SPACE)
        return Done(__func__, args, VI_ERROR_INV_SPACE);
    if (offset % 2 != 0 || offset > 0xFE)
        return Done(__func__, args, VI_ERROR_INV_PARAMETER);
    switch (offset) {
    case 0x00:
        *val = in->vendorId;
        break;
    case 0x02:
        *val = in->deviceId;
        break;
    case 0x2C:
        *val = in->subsystemVendorId;
        break;
    case 0x2E:
        *val = in->subsystemId;
        break;
    default:
        *val = 0;
        break;
    }
    return Done(__func__, args, VI_SUCCESS);
}

ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, const ViChar* requestedKey,
                ViChar accessKey[]) {
    Chassis& ch = Chassis::instance();
    (void)requestedKey;
    (void)accessKey;
    std::string args =
        std::to_string(vi) + ", " + std::to_string(lockType) + ", " + std::to_string(timeout);
    Instrument* in = ch.instrumentOf(vi);
    if (!in)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (ViStatus f = ch.injected(__func__, 0, in->resource))
        return Done(__func__, args, f);
    // Only exclusive locks are simulated.
    if (lockType != VI_EXCLUSIVE_LOCK)
        return Done(__func__, args, VI_ERROR_INV_LOCK_TYPE);
    if (in->exclusiveLockHolder != 0 && in->exclusiveLockHolder != vi)
        return Done(__func__, args, VI_ERROR_TMO);
    in->exclusiveLockHolder = vi;
    return Done(__func__, args, VI_SUCCESS);
}

ViStatus viUnlock(ViSession vi) {
    Chassis& ch = Chassis::instance();
    std::string args = std::to_string(vi);
    Instrument* in = ch.instrumentOf(vi);
    if (!in)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (in->exclusiveLockHolder != vi)
        return Done(__func__, args, static_cast<ViStatus>(0xBFFF009Cu));
    in->exclusiveLockHolder = 0;
    return Done(__func__, args, VI_SUCCESS);
}

// Entry points the simulated chassis does not implement.
#define NVSIM_UNSUPPORTED(name, params)                                                            \
    ViStatus name params {                                                                         \
        return Done(#name, "", VI_ERROR_NSUP_OPER);                                                \
    }
NVSIM_UNSUPPORTED(viRead, (ViSession, ViUInt8*, ViUInt32, ViUInt32*))
NVSIM_UNSUPPORTED(viWrite, (ViSession, const ViUInt8*, ViUInt32, ViUInt32*))
NVSIM_UNSUPPORTED(viEnableEvent, (ViSession, ViEventType, ViUInt16, ViEventFilter))
NVSIM_UNSUPPORTED(viWaitOnEvent, (ViSession, ViEventType, ViUInt32, ViEventType*, ViEvent*))
NVSIM_UNSUPPORTED(viInstallHandler, (ViSession, ViEventType, ViHndlr, ViAddr))
NVSIM_UNSUPPORTED(viSetAttribute, (ViObject, ViAttr, ViAttrState))
NVSIM_UNSUPPORTED(viIn8, (ViSession, ViUInt16, ViBusAddress, ViUInt8*))
NVSIM_UNSUPPORTED(viIn32, (ViSession, ViUInt16, ViBusAddress, ViUInt32*))
NVSIM_UNSUPPORTED(viOut8, (ViSession, ViUInt16, ViBusAddress, ViUInt8))
NVSIM_UNSUPPORTED(viOut16, (ViSession, ViUInt16, ViBusAddress, ViUInt16))
NVSIM_UNSUPPORTED(viOut32, (ViSession, ViUInt16, ViBusAddress, ViUInt32))
NVSIM_UNSUPPORTED(viMapAddress,
                  (ViSession, ViUInt16, ViBusAddress, ViBusSize, ViBoolean, ViAddr, ViAddr*))
NVSIM_UNSUPPORTED(viUnmapAddress, (ViSession))
NVSIM_UNSUPPORTED(viPoke8, (ViSession, ViAddr, ViUInt8))
NVSIM_UNSUPPORTED(viPoke16, (ViSession, ViAddr, ViUInt16))
NVSIM_UNSUPPORTED(viPoke32, (ViSession, ViAddr, ViUInt32))
NVSIM_UNSUPPORTED(viPeek8, (ViSession, ViAddr, ViUInt8*))
NVSIM_UNSUPPORTED(viPeek16, (ViSession, ViAddr, ViUInt16*))
NVSIM_UNSUPPORTED(viPeek32, (ViSession, ViAddr, ViUInt32*))
NVSIM_UNSUPPORTED(viParseRsrcEx,
                  (ViSession, const ViChar*, ViUInt16*, ViUInt16*, ViChar*, ViChar*, ViChar*))

} // extern "C"
