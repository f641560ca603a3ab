// The VXI-11 procedures the RPC library's dispatch calls (their names are
// the interface's), each handed to the one server of the process.
#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <rpc/rpc.h>

#include "Vxi11Server.h"
#include "vxi11.h"

namespace {

constexpr int kInvalidLink = Vxi11Server::InvalidLink;
constexpr int kOperationNotSupported = Vxi11Server::NotSupported;
constexpr int kLockedByAnother = Vxi11Server::LockedByAnother;

// "192.0.2.7:50122": who made the request.
QString PeerOf(SVCXPRT* transport) {
    const netbuf* caller = svc_getrpccaller(transport);
    if (!caller || caller->len < sizeof(sockaddr_in))
        return "?";
    const auto* a = static_cast<const sockaddr_in*>(caller->buf);
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
    return QString("%1:%2").arg(text).arg(ntohs(a->sin_port));
}

// The link a call names and may act on, or the error to answer.
Vxi11Server::Link* LinkOf(long id, int& error, bool respectLock = true) {
    Vxi11Server* server = Vxi11Server::active();
    Vxi11Server::Link* link = server ? server->link(id) : nullptr;
    error = !link ? kInvalidLink : respectLock && server->lockedOut(*link) ? kLockedByAnother : 0;
    return error == 0 ? link : nullptr;
}

} // namespace

extern "C" {

bool_t create_link_1_svc(Create_LinkParms* p, Create_LinkResp* r, struct svc_req* request) {
    Vxi11Server* server = Vxi11Server::active();
    int error = 3;
    r->lid = server ? server->createLink(request->rq_xprt->xp_fd, PeerOf(request->rq_xprt),
                                         p->device, error)
                    : 0;
    if (error == 0 && p->lockDevice)
        error = server->lock(*server->link(r->lid)) == 0 ? 0 : kLockedByAnother;
    r->error = error;
    r->abortPort = server ? server->abortPort() : 0;
    r->maxRecvSize = Vxi11Server::kMaxRecvSize;
    return TRUE;
}

bool_t device_write_1_svc(Device_WriteParms* p, Device_WriteResp* r, struct svc_req*) {
    int error = 0;
    r->size = 0;
    if (Vxi11Server::Link* link = LinkOf(p->lid, error)) {
        error = Vxi11Server::active()->write(*link, p->data.data_val, p->data.data_len,
                                             (p->flags & Vxi11Server::EndFlag) != 0);
        r->size = error == 0 ? p->data.data_len : 0;
    }
    r->error = error;
    return TRUE;
}

bool_t device_read_1_svc(Device_ReadParms* p, Device_ReadResp* r, struct svc_req*) {
    int error = 0;
    r->reason = 0;
    r->data.data_len = 0;
    r->data.data_val = nullptr;
    if (Vxi11Server::Link* link = LinkOf(p->lid, error)) {
        std::string data;
        long reason = 0;
        error = Vxi11Server::active()->read(
            *link, p->requestSize,
            (p->flags & Vxi11Server::TermCharSet) ? static_cast<unsigned char>(p->termChar) : -1,
            data, reason);
        if (error == 0 && !data.empty()) {
            // Freed by the library with the reply (device_core_1_freeresult).
            r->data.data_val = static_cast<char*>(std::malloc(data.size()));
            std::memcpy(r->data.data_val, data.data(), data.size());
            r->data.data_len = static_cast<u_int>(data.size());
        }
        r->reason = reason;
    }
    r->error = error;
    return TRUE;
}

bool_t device_readstb_1_svc(Device_GenericParms* p, Device_ReadStbResp* r, struct svc_req*) {
    int error = 0;
    r->stb = 0;
    if (Vxi11Server::Link* link = LinkOf(p->lid, error))
        r->stb = Vxi11Server::active()->statusByte(*link);
    r->error = error;
    return TRUE;
}

// The card takes no trigger from a client.
bool_t device_trigger_1_svc(Device_GenericParms* p, Device_Error* r, struct svc_req*) {
    int error = 0;
    if (LinkOf(p->lid, error))
        error = kOperationNotSupported;
    r->error = error;
    return TRUE;
}

bool_t device_clear_1_svc(Device_GenericParms* p, Device_Error* r, struct svc_req*) {
    int error = 0;
    if (Vxi11Server::Link* link = LinkOf(p->lid, error))
        Vxi11Server::active()->clear(*link);
    r->error = error;
    return TRUE;
}

// Remote and local are SYSTem:RWLock's and SYSTem:LOCal's to say: these change nothing.
bool_t device_remote_1_svc(Device_GenericParms* p, Device_Error* r, struct svc_req*) {
    int error = 0;
    LinkOf(p->lid, error);
    r->error = error;
    return TRUE;
}

bool_t device_local_1_svc(Device_GenericParms* p, Device_Error* r, struct svc_req*) {
    int error = 0;
    LinkOf(p->lid, error);
    r->error = error;
    return TRUE;
}

// A lock another link holds is not waited for: the call says so at once.
bool_t device_lock_1_svc(Device_LockParms* p, Device_Error* r, struct svc_req*) {
    int error = 0;
    if (Vxi11Server::Link* link = LinkOf(p->lid, error, false))
        error = Vxi11Server::active()->lock(*link);
    r->error = error;
    return TRUE;
}

bool_t device_unlock_1_svc(Device_Link* lid, Device_Error* r, struct svc_req*) {
    int error = 0;
    if (Vxi11Server::Link* link = LinkOf(*lid, error, false))
        error = Vxi11Server::active()->unlock(*link);
    r->error = error;
    return TRUE;
}

bool_t device_enable_srq_1_svc(Device_EnableSrqParms* p, Device_Error* r, struct svc_req*) {
    int error = 0;
    if (Vxi11Server::Link* link = LinkOf(p->lid, error, false))
        Vxi11Server::active()->enableSrq(*link, p->enable,
                                         std::string(p->handle.handle_val, p->handle.handle_len));
    r->error = error;
    return TRUE;
}

bool_t device_docmd_1_svc(Device_DocmdParms* p, Device_DocmdResp* r, struct svc_req*) {
    int error = 0;
    if (LinkOf(p->lid, error))
        error = kOperationNotSupported;
    r->error = error;
    r->data_out.data_out_len = 0;
    r->data_out.data_out_val = nullptr;
    return TRUE;
}

bool_t destroy_link_1_svc(Device_Link* lid, Device_Error* r, struct svc_req*) {
    Vxi11Server* server = Vxi11Server::active();
    r->error = server ? server->destroyLink(*lid) : kInvalidLink;
    return TRUE;
}

bool_t create_intr_chan_1_svc(Device_RemoteFunc* p, Device_Error* r, struct svc_req* request) {
    Vxi11Server* server = Vxi11Server::active();
    r->error = server && p->progFamily == DEVICE_TCP
                   ? server->createInterruptChannel(request->rq_xprt->xp_fd, p->hostAddr,
                                                    p->hostPort, p->progNum, p->progVers)
                   : kOperationNotSupported;
    return TRUE;
}

bool_t destroy_intr_chan_1_svc(void*, Device_Error* r, struct svc_req* request) {
    if (Vxi11Server* server = Vxi11Server::active())
        server->destroyInterruptChannel(request->rq_xprt->xp_fd);
    r->error = 0;
    return TRUE;
}

int device_core_1_freeresult(SVCXPRT*, xdrproc_t result, caddr_t value) {
    xdr_free(result, value);
    return 1;
}

// The abort channel: every call ends before the next is read, so there is
// never anything to abort.
bool_t device_abort_1_svc(Device_Link* lid, Device_Error* r, struct svc_req*) {
    Vxi11Server* server = Vxi11Server::active();
    r->error = server && server->link(*lid) ? 0 : kInvalidLink;
    return TRUE;
}

int device_async_1_freeresult(SVCXPRT*, xdrproc_t result, caddr_t value) {
    xdr_free(result, value);
    return 1;
}

// The interrupt channel is the client's; the device only calls it.
bool_t device_intr_srq_1_svc(Device_SrqParms*, void*, struct svc_req*) {
    return FALSE;
}

int device_intr_1_freeresult(SVCXPRT*, xdrproc_t, caddr_t) {
    return 1;
}

} // extern "C"
