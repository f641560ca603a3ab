// The simulated VISA library: resource discovery, sessions, attributes, PXI
// configuration reads and locks on the simulated chassis.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <regex.h>
#include <thread>

#include "SimChassis.h"
#include "SimVisaCommon.h"
#include "nvsim.h"
#include "visa_api.h"

using namespace sim;

namespace {

// A compiled search expression (the C library's POSIX regular expressions:
// compiled at once, and nothing to instantiate at build time).
class Expression {
public:
    Expression() = default;
    Expression(const Expression&) = delete;
    Expression& operator=(const Expression&) = delete;
    ~Expression() {
        if (compiled_)
            regfree(&re_);
    }
    bool compile(const std::string& pattern) {
        compiled_ = regcomp(&re_, ("^(" + pattern + ")$").c_str(),
                            REG_EXTENDED | REG_ICASE | REG_NOSUB) == 0;
        return compiled_;
    }
    bool matches(const std::string& text) const {
        return compiled_ && regexec(&re_, text.c_str(), 0, nullptr, 0) == 0;
    }

private:
    regex_t re_{};
    bool compiled_ = false;
};

// A VISA search expression as a POSIX extended regular expression: '?'
// matches one character, '*' and '+' repeat the character, class or group
// before them, [...] and [^...] are classes, '|' separates alternatives,
// (...) groups, '\' takes the next character as it is; the whole name must
// match, case ignored. An attribute filter ("{...}" after the pattern) is not
// supported by the simulated chassis.
ViStatus CompileExpression(const char* expr, Expression& out) {
    std::string re;
    int depth = 0;
    for (const char* p = expr; *p; ++p) {
        const char c = *p;
        if (c == '{')
            return VI_ERROR_NSUP_OPER;
        if (c == '?') {
            re += '.';
        } else if (c == '*' || c == '+') {
            if (re.empty() || re.back() == '|' || re.back() == '(')
                return VI_ERROR_INV_EXPR;
            re += c;
        } else if (c == '[') {
            const char* end = std::strchr(p + 1, ']');
            if (!end || end == p + 1)
                return VI_ERROR_INV_EXPR;
            re.append(p, end + 1); // a bracket takes its characters as they are
            p = end;
        } else if (c == '(') {
            ++depth;
            re += c;
        } else if (c == ')') {
            if (--depth < 0)
                return VI_ERROR_INV_EXPR;
            re += c;
        } else if (c == '|') {
            re += c;
        } else if (c == '\\') {
            if (!p[1])
                return VI_ERROR_INV_EXPR;
            ++p;
            if (std::strchr(".[\\()*+?{|^$", *p))
                re += '\\';
            re += *p;
        } else if (std::strchr(".^$", c)) {
            re += std::string("\\") + c;
        } else {
            re += c;
        }
    }
    if (depth != 0 || !out.compile(re))
        return VI_ERROR_INV_EXPR;
    return VI_SUCCESS;
}

} // namespace

extern "C" {

ViStatus viOpenDefaultRM(ViSession* vi) try {
    EntryLock entry;
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
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viFindRsrc(ViSession sesn, const ViChar* expr, ViFindList* list, ViUInt32* retCnt,
                    ViChar desc[]) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    std::string args = std::to_string(sesn) + ", " + Quoted(expr);
    SessionInfo* rm = ch.find(sesn);
    if (!rm || rm->kind != SessionKind::ResourceManager)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (!expr)
        return Done(__func__, args, VI_ERROR_INV_EXPR);
    if (ViStatus f = ch.injected(__func__, 0, ""))
        return Done(__func__, args, f);
    Expression re;
    if (const ViStatus bad = CompileExpression(expr, re); bad != VI_SUCCESS)
        return Done(__func__,
                    args + (bad == VI_ERROR_NSUP_OPER
                                ? " (attribute filters are not supported by the simulated chassis)"
                                : ""),
                    bad);
    SessionInfo found{SessionKind::FindList};
    found.parent = sesn;
    for (const Instrument& in : ch.instruments)
        if (re.matches(in.resource))
            found.matches.push_back(in.resource);
    if (re.matches(kMemoryAccess))
        found.matches.push_back(kMemoryAccess);
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
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viFindNext(ViFindList vi, ViChar desc[]) try {
    EntryLock entry;
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
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]) try {
    EntryLock entry;
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
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viOpen(ViSession sesn, const ViChar* name, ViAccessMode mode, ViUInt32 timeout,
                ViSession* vi) try {
    EntryLock entry;
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
    if (index < 0 && ParseResourceName(name).memoryAccess) {
        SessionInfo s{SessionKind::MemoryAccess};
        s.parent = sesn;
        *vi = ch.newSession(std::move(s));
        return Done(__func__, args, VI_SUCCESS);
    }
    if (index < 0) // a name of another form is no resource name at all
        return Done(__func__, args,
                    ParseResourceName(name).valid ? VI_ERROR_RSRC_NFOUND : VI_ERROR_INV_RSRC_NAME);
    if (const int delay = ch.instruments[index].openDelayMs; delay > 0) {
        entry.sleep(static_cast<int>(std::min<long long>(delay, timeout)));
        if (static_cast<ViUInt32>(delay) > timeout)
            return Done(__func__, args, VI_ERROR_TMO);
        index = ch.instrumentIndex(name); // the chassis may have changed meanwhile
        if (index < 0 || !ch.find(sesn))
            return Done(__func__, args, VI_ERROR_RSRC_NFOUND);
    }
    // An exclusive lock only when no other session holds one of either kind;
    // a lock held elsewhere is waited for up to the open's timeout.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    while ((mode & VI_EXCLUSIVE_LOCK) && ch.instruments[index].lockedByAnyone()) {
        if (!entry.waitUntil(deadline) && ch.instruments[index].lockedByAnyone())
            return Done(__func__, args, VI_ERROR_RSRC_LOCKED);
        index = ch.instrumentIndex(name);
        if (index < 0 || !ch.find(sesn))
            return Done(__func__, args, VI_ERROR_RSRC_NFOUND);
    }
    Instrument& in = ch.instruments[index];
    SessionInfo s{SessionKind::Instrument};
    s.parent = sesn;
    s.instrument = index;
    *vi = ch.newSession(std::move(s));
    if (mode & VI_EXCLUSIVE_LOCK) {
        in.exclusiveLockHolder = *vi;
        in.exclusiveCount = 1;
    }
    return Done(__func__, args, VI_SUCCESS);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viClose(ViObject vi) try {
    EntryLock entry;
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
} catch (...) {
    return EntryFailed(__func__);
}

// Entry points the simulated chassis does not implement.
#define NVSIM_UNSUPPORTED(name, params)                                                            \
    ViStatus name params try {                                                                     \
        EntryLock entry;                                                                           \
        return Done(#name, "", VI_ERROR_NSUP_OPER);                                                \
    } catch (...) {                                                                                \
        return EntryFailed(#name);                                                                 \
    }
NVSIM_UNSUPPORTED(viRead, (ViSession, ViUInt8*, ViUInt32, ViUInt32*))
NVSIM_UNSUPPORTED(viWrite, (ViSession, const ViUInt8*, ViUInt32, ViUInt32*))
NVSIM_UNSUPPORTED(viMapAddress,
                  (ViSession, ViUInt16, ViBusAddress, ViBusSize, ViBoolean, ViAddr, ViAddr*))
NVSIM_UNSUPPORTED(viUnmapAddress, (ViSession))

} // extern "C"
