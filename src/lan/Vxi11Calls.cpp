// The VXI-11 procedures, and the dispatch of a call to them: the call's
// header, arguments and reply through the RPC library's XDR routines and
// those rpcgen made of the interface.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <rpc/rpc.h>
#include <span>

#include "Vxi11Dispatch.h"
#include "Vxi11Server.h"
#include "vxi11.h"

namespace {

using S = Vxi11Server;
static_assert(S::kMaxRecvSize == 1048576, "vxi11.x bounds device_write's data by it");

// What a procedure is called with: the server, the caller's connection,
// and whether (and how) the call may wait for a lock.
struct Call {
    S& server;
    int connection;
    Vxi11Wait* wait;
};

// The link a call names, or the error to answer: only a link of the
// caller's own connection.
S::Link* LinkOf(const Call& call, long id, long& error) {
    S::Link* link = call.server.link(call.connection, id);
    error = link ? S::NoError : S::InvalidLink;
    return link;
}

// Whether a call may go on: not when another link's lock keeps it off. It
// then waits when it asked to and its time is not up (the server's cap at
// most), or fails.
bool MayGoOn(const Call& c, bool heldOff, long flags, u_long lockTimeout, long& error) {
    if (!heldOff)
        return true;
    if (c.wait && c.wait->aborted) {
        error = S::Abort;
        return false;
    }
    error = S::LockedByAnother;
    if (c.wait && !c.wait->over && (flags & S::WaitLock) && lockTimeout > 0)
        c.wait->forMs = std::min<u_long>(lockTimeout, c.server.lockWaitCap());
    return false;
}

// The link a call names, if it may act on it now.
S::Link* Usable(const Call& c, long id, long flags, u_long lockTimeout, long& error) {
    S::Link* link = LinkOf(c, id, error);
    return link && MayGoOn(c, c.server.lockedOut(*link), flags, lockTimeout, error) ? link
                                                                                    : nullptr;
}

// A link asked to lock its device waits for the lock as a device_lock with
// the wait-lock flag does; made only when it has it.
void CreateLink(const Call& c, Create_LinkParms* p, Create_LinkResp* r) {
    r->lid = 0;
    r->abortPort = c.server.abortPort();
    r->maxRecvSize = S::kMaxRecvSize;
    if (p->lockDevice &&
        !MayGoOn(c, c.server.lockedOut(p->device), S::WaitLock, p->lock_timeout, r->error))
        return;
    int error = S::NotAccessible;
    r->lid = c.server.createLink(c.connection, p->device, error);
    if (error == S::NoError && p->lockDevice)
        error = c.server.lock(*c.server.link(c.connection, r->lid));
    r->error = error;
}

void Write(const Call& c, Device_WriteParms* p, Device_WriteResp* r) {
    r->size = 0;
    if (S::Link* link = Usable(c, p->lid, p->flags, p->lock_timeout, r->error)) {
        r->error =
            c.server.write(*link, p->data.data_val, p->data.data_len, (p->flags & S::EndFlag) != 0);
        r->size = r->error == S::NoError ? p->data.data_len : 0;
    }
}

void Read(const Call& c, Device_ReadParms* p, Device_ReadResp* r) {
    if (S::Link* link = Usable(c, p->lid, p->flags, p->lock_timeout, r->error)) {
        std::string data;
        long reason = 0;
        const int termChar =
            (p->flags & S::TermCharSet) ? static_cast<unsigned char>(p->termChar) : -1;
        r->error = c.server.read(*link, p->requestSize, termChar, data, reason);
        if (r->error == S::NoError && !data.empty()) {
            // Freed with the reply's results (xdr_free).
            r->data.data_val = static_cast<char*>(std::malloc(data.size()));
            std::memcpy(r->data.data_val, data.data(), data.size());
            r->data.data_len = static_cast<u_int>(data.size());
        }
        r->reason = reason;
    }
}

void ReadStb(const Call& c, Device_GenericParms* p, Device_ReadStbResp* r) {
    if (S::Link* link = Usable(c, p->lid, p->flags, p->lock_timeout, r->error))
        r->stb = c.server.statusByte(*link);
}

// The card takes no trigger from a client.
void Trigger(const Call& c, Device_GenericParms* p, Device_Error* r) {
    if (Usable(c, p->lid, p->flags, p->lock_timeout, r->error))
        r->error = S::NotSupported;
}

void Clear(const Call& c, Device_GenericParms* p, Device_Error* r) {
    if (S::Link* link = Usable(c, p->lid, p->flags, p->lock_timeout, r->error))
        c.server.clear(*link);
}

// Remote and local are SYSTem:RWLock's and SYSTem:LOCal's to say: these change nothing.
void RemoteOrLocal(const Call& c, Device_GenericParms* p, Device_Error* r) {
    Usable(c, p->lid, p->flags, p->lock_timeout, r->error);
}

void Lock(const Call& c, Device_LockParms* p, Device_Error* r) {
    if (S::Link* link = LinkOf(c, p->lid, r->error);
        link && MayGoOn(c, c.server.lockedOut(*link), p->flags, p->lock_timeout, r->error))
        r->error = c.server.lock(*link);
}

void Unlock(const Call& c, Device_Link* lid, Device_Error* r) {
    if (S::Link* link = LinkOf(c, *lid, r->error))
        r->error = c.server.unlock(*link);
}

void EnableSrq(const Call& c, Device_EnableSrqParms* p, Device_Error* r) {
    if (S::Link* link = LinkOf(c, p->lid, r->error))
        c.server.enableSrq(*link, p->enable,
                           std::string(p->handle.handle_val, p->handle.handle_len));
}

void Docmd(const Call& c, Device_DocmdParms* p, Device_DocmdResp* r) {
    if (Usable(c, p->lid, p->flags, p->lock_timeout, r->error))
        r->error = S::NotSupported;
}

void DestroyLink(const Call& c, Device_Link* lid, Device_Error* r) {
    if (LinkOf(c, *lid, r->error))
        r->error = c.server.destroyLink(*lid);
}

void CreateIntrChan(const Call& c, Device_RemoteFunc* p, Device_Error* r) {
    r->error = p->progFamily == DEVICE_TCP
                   ? c.server.createInterruptChannel(c.connection, p->hostAddr, p->hostPort,
                                                     p->progNum, p->progVers, c.wait)
                   : S::NotSupported;
}

void DestroyIntrChan(const Call& c, void*, Device_Error* r) {
    c.server.destroyInterruptChannel(c.connection);
    r->error = S::NoError;
}

// The abort channel: a call of the link waiting for a lock ends (with the
// abort error); any other call has ended before the next is read. Only the
// address that made the link may.
void Abort(const Call& c, Device_Link* lid, Device_Error* r) {
    r->error = c.server.abort(c.connection, *lid);
}

// A procedure of the table: its number, its arguments' and results' XDR
// routines, and the function with their types.
struct Procedure {
    u_long number;
    xdrproc_t arguments, results;
    void (*run)(const Call&, void*, void*);
};

template <class A, class R>
Procedure Entry(u_long number, bool_t (*arguments)(XDR*, A*), bool_t (*results)(XDR*, R*),
                void (*run)(const Call&, A*, R*)) {
    return {number, reinterpret_cast<xdrproc_t>(reinterpret_cast<void*>(arguments)),
            reinterpret_cast<xdrproc_t>(reinterpret_cast<void*>(results)),
            reinterpret_cast<void (*)(const Call&, void*, void*)>(reinterpret_cast<void*>(run))};
}

bool_t NoArguments(XDR*, void*) {
    return TRUE;
}

const Procedure* Find(bool abortChannel, u_long number) {
    static const Procedure core[] = {
        Entry(create_link, xdr_Create_LinkParms, xdr_Create_LinkResp, CreateLink),
        Entry(device_write, xdr_Device_WriteParms, xdr_Device_WriteResp, Write),
        Entry(device_read, xdr_Device_ReadParms, xdr_Device_ReadResp, Read),
        Entry(device_readstb, xdr_Device_GenericParms, xdr_Device_ReadStbResp, ReadStb),
        Entry(device_trigger, xdr_Device_GenericParms, xdr_Device_Error, Trigger),
        Entry(device_clear, xdr_Device_GenericParms, xdr_Device_Error, Clear),
        Entry(device_remote, xdr_Device_GenericParms, xdr_Device_Error, RemoteOrLocal),
        Entry(device_local, xdr_Device_GenericParms, xdr_Device_Error, RemoteOrLocal),
        Entry(device_lock, xdr_Device_LockParms, xdr_Device_Error, Lock),
        Entry(device_unlock, xdr_Device_Link, xdr_Device_Error, Unlock),
        Entry(device_enable_srq, xdr_Device_EnableSrqParms, xdr_Device_Error, EnableSrq),
        Entry(device_docmd, xdr_Device_DocmdParms, xdr_Device_DocmdResp, Docmd),
        Entry(destroy_link, xdr_Device_Link, xdr_Device_Error, DestroyLink),
        Entry(create_intr_chan, xdr_Device_RemoteFunc, xdr_Device_Error, CreateIntrChan),
        Entry(destroy_intr_chan, NoArguments, xdr_Device_Error, DestroyIntrChan),
    };
    static const Procedure async[] = {
        Entry(device_abort, xdr_Device_Link, xdr_Device_Error, Abort),
    };
    for (const Procedure& p :
         abortChannel ? std::span<const Procedure>(async) : std::span<const Procedure>(core))
        if (p.number == number)
            return &p;
    return nullptr;
}

// The reply, encoded: its size asked of the results first.
std::string Encode(rpc_msg& reply) {
    const xdrproc_t results =
        reply.rm_reply.rp_stat == MSG_ACCEPTED && reply.acpted_rply.ar_stat == SUCCESS
            ? reply.acpted_rply.ar_results.proc
            : nullptr;
    const unsigned long size =
        64 + (results ? xdr_sizeof(results, reply.acpted_rply.ar_results.where) : 0);
    std::string bytes(size, '\0');
    XDR out;
    xdrmem_create(&out, bytes.data(), static_cast<u_int>(size), XDR_ENCODE);
    const bool ok = xdr_replymsg(&out, &reply);
    bytes.resize(ok ? xdr_getpos(&out) : 0);
    xdr_destroy(&out);
    return bytes;
}

// The arguments and the results of every procedure, in one place each.
union Arguments {
    Create_LinkParms createLink;
    Device_WriteParms write;
    Device_ReadParms read;
    Device_GenericParms generic;
    Device_LockParms lock;
    Device_Link link;
    Device_EnableSrqParms srq;
    Device_DocmdParms docmd;
    Device_RemoteFunc remote;
};
union Results {
    Create_LinkResp createLink;
    Device_WriteResp write;
    Device_ReadResp read;
    Device_ReadStbResp stb;
    Device_Error error;
    Device_DocmdResp docmd;
};

} // namespace

namespace {

// The call's header, read field by field so that each fault gets the reply
// the RPC protocol gives it: none when the record is no call (or is cut
// short), RPC_MISMATCH for another RPC version, AUTH_ERROR for credentials
// or a verifier longer than the protocol allows. False with `reply` set
// (empty: none) when the call goes no further.
bool ReadHeader(XDR& in, rpc_msg& call, std::string& reply) {
    reply.clear();
    u_int32_t direction = 0, version = 0;
    if (!xdr_u_int32_t(&in, &call.rm_xid) || !xdr_u_int32_t(&in, &direction) || direction != CALL ||
        !xdr_u_int32_t(&in, &version))
        return false;
    call.rm_direction = CALL;
    rpc_msg answer{};
    answer.rm_xid = call.rm_xid;
    answer.rm_direction = REPLY;
    answer.rm_reply.rp_stat = MSG_DENIED;
    if (version != RPC_MSG_VERSION) {
        answer.rjcted_rply.rj_stat = RPC_MISMATCH;
        answer.rjcted_rply.rj_vers.low = answer.rjcted_rply.rj_vers.high = RPC_MSG_VERSION;
        reply = Encode(answer);
        return false;
    }
    call.rm_call.cb_rpcvers = version;
    u_int32_t program = 0, programVersion = 0, procedure = 0;
    if (!xdr_u_int32_t(&in, &program) || !xdr_u_int32_t(&in, &programVersion) ||
        !xdr_u_int32_t(&in, &procedure))
        return false;
    call.rm_call.cb_prog = program;
    call.rm_call.cb_vers = programVersion;
    call.rm_call.cb_proc = procedure;
    for (auto [auth, why] : {std::pair{&call.rm_call.cb_cred, AUTH_BADCRED},
                             std::pair{&call.rm_call.cb_verf, AUTH_BADVERF}}) {
        enum_t flavor = 0;
        u_int length = 0;
        if (!xdr_enum(&in, &flavor) || !xdr_u_int(&in, &length))
            return false;
        if (length > MAX_AUTH_BYTES) {
            answer.rjcted_rply.rj_stat = AUTH_ERROR;
            answer.rjcted_rply.rj_why = why;
            reply = Encode(answer);
            return false;
        }
        auth->oa_flavor = flavor;
        auth->oa_length = length;
        if (!xdr_opaque(&in, auth->oa_base, length))
            return false;
    }
    return true;
}

} // namespace

std::string Vxi11Reply(Vxi11Server& server, int connection, bool abortChannel,
                       const std::string& record, Vxi11Wait* wait) {
    XDR in;
    xdrmem_create(&in, const_cast<char*>(record.data()), static_cast<u_int>(record.size()),
                  XDR_DECODE);
    rpc_msg call{};
    char credentials[MAX_AUTH_BYTES], verifier[MAX_AUTH_BYTES];
    call.rm_call.cb_cred.oa_base = credentials;
    call.rm_call.cb_verf.oa_base = verifier;
    if (std::string refused; !ReadHeader(in, call, refused)) {
        xdr_destroy(&in);
        return refused;
    }
    rpc_msg reply{};
    reply.rm_xid = call.rm_xid;
    reply.rm_direction = REPLY;
    reply.rm_reply.rp_stat = MSG_ACCEPTED;
    reply.acpted_rply.ar_verf = _null_auth;
    const u_long program = abortChannel ? DEVICE_ASYNC : DEVICE_CORE;
    const Procedure* procedure = Find(abortChannel, call.rm_call.cb_proc);
    Arguments arguments{};
    Results results{};
    if (call.rm_call.cb_prog != program) {
        reply.acpted_rply.ar_stat = PROG_UNAVAIL;
    } else if (call.rm_call.cb_vers != 1) {
        reply.acpted_rply.ar_stat = PROG_MISMATCH;
        reply.acpted_rply.ar_vers.low = reply.acpted_rply.ar_vers.high = 1;
    } else if (call.rm_call.cb_proc == NULLPROC) {
        reply.acpted_rply.ar_stat = SUCCESS;
        reply.acpted_rply.ar_results.where = nullptr;
        reply.acpted_rply.ar_results.proc =
            reinterpret_cast<xdrproc_t>(reinterpret_cast<void*>(xdr_void));
    } else if (!procedure) {
        reply.acpted_rply.ar_stat = PROC_UNAVAIL;
    } else if (!procedure->arguments(&in, &arguments)) {
        reply.acpted_rply.ar_stat = GARBAGE_ARGS;
        procedure = nullptr;
    } else {
        if (wait)
            wait->forMs = 0;
        procedure->run(Call{server, connection, wait}, &arguments, &results);
        reply.acpted_rply.ar_stat = SUCCESS;
        reply.acpted_rply.ar_results.where = reinterpret_cast<caddr_t>(&results);
        reply.acpted_rply.ar_results.proc = procedure->results;
    }
    const std::string bytes = wait && wait->forMs ? std::string() : Encode(reply);
    if (procedure) {
        xdr_free(procedure->arguments, reinterpret_cast<char*>(&arguments));
        xdr_free(procedure->results, reinterpret_cast<char*>(&results));
    }
    xdr_destroy(&in);
    return bytes;
}
