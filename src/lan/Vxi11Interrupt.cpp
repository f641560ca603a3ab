// A VXI-11 client's interrupt channel: the server connects to the client's
// DEVICE_INTR program and calls device_intr_srq on it (a call that waits for
// no reply). The socket is the program's own: connecting never holds the
// server up (the call that asked waits, its connection's later calls behind
// it, for a short time at most), and what the client does not read piles up
// only to a bound, beyond which the channel is dropped and the link goes on.
#include <QTcpSocket>
#include <QtEndian>
#include <rpc/rpc.h>

#include "ClientSockets.h"
#include "Vxi11Dispatch.h"
#include "Vxi11Parts.h"
#include "vxi11.h"

namespace {

// What the system holds of a channel's unread requests, beyond the server's bound.
constexpr int kInterruptSendBuffer = 16 * 1024;

// A device_intr_srq call record, fragment header included; empty when it
// cannot be encoded.
std::string SrqRecord(u_int xid, unsigned long program, unsigned long version,
                      const std::string& handle) {
    rpc_msg call{};
    call.rm_xid = xid;
    call.rm_direction = CALL;
    call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
    call.rm_call.cb_prog = program;
    call.rm_call.cb_vers = version;
    call.rm_call.cb_proc = device_intr_srq;
    call.rm_call.cb_cred = call.rm_call.cb_verf = _null_auth;
    Device_SrqParms parms{};
    parms.handle.handle_len = static_cast<u_int>(handle.size());
    parms.handle.handle_val = const_cast<char*>(handle.data());
    std::string bytes(4 + 128 + handle.size(), '\0');
    XDR out;
    xdrmem_create(&out, bytes.data() + 4, static_cast<u_int>(bytes.size() - 4), XDR_ENCODE);
    const bool ok = xdr_callmsg(&out, &call) && xdr_Device_SrqParms(&out, &parms);
    bytes.resize(ok ? 4 + xdr_getpos(&out) : 0);
    xdr_destroy(&out);
    if (ok)
        qToBigEndian<quint32>(0x80000000u | static_cast<quint32>(bytes.size() - 4), bytes.data());
    return bytes;
}

} // namespace

int Vxi11Server::createInterruptChannel(int connection, unsigned long address, unsigned short port,
                                        unsigned long program, unsigned long version,
                                        Vxi11Wait* wait) {
    const auto it = interrupts_.find(connection);
    if (it == interrupts_.end()) {
        const Connection* c = this->connection(connection);
        // Only where the call comes from: never a third party's port.
        if (!c || c->address.toIPv4Address() != static_cast<quint32>(address) || port == 0)
            return ChannelNotEstablished;
        auto interrupt = std::make_unique<Interrupt>();
        interrupt->socket = new QTcpSocket(this);
        interrupt->program = program;
        interrupt->version = version;
        QTcpSocket* socket = interrupt->socket;
        const auto settled = [this] { waitTimer_->start(0); }; // the waiting call is answered
        connect(socket, &QTcpSocket::connected, this, [this, connection, settled] {
            if (const auto k = interrupts_.find(connection); k != interrupts_.end()) {
                k->second->connected = true;
                k->second->socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                // Requests are a few dozen bytes: the system keeps few of them.
                k->second->socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption,
                                                   kInterruptSendBuffer);
                clients::SetKeepAlive(k->second->socket->socketDescriptor(), limits_.keepAlive);
            }
            settled();
        });
        // Nothing is read of it; a failure or the client's close ends it.
        connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
        const auto failed = [this, connection, settled] {
            if (const auto k = interrupts_.find(connection); k != interrupts_.end()) {
                if (k->second->answered)
                    interrupts_.erase(k);
                else
                    k->second->failed = true;
            }
            settled();
        };
        connect(socket, &QTcpSocket::errorOccurred, this, failed);
        connect(socket, &QTcpSocket::disconnected, this, failed);
        socket->connectToHost(c->address, port);
        interrupts_[connection] = std::move(interrupt);
    }
    Interrupt& i = *interrupts_[connection];
    if (i.answered)
        return ChannelEstablished;
    if (!i.connected && !i.failed && wait && !wait->over) {
        wait->forMs = kInterruptConnectMs;
        return NoError;
    }
    if (i.connected || (!wait && !i.failed)) {
        i.answered = true;
        return NoError;
    }
    interrupts_.erase(connection);
    return ChannelNotEstablished;
}

void Vxi11Server::destroyInterruptChannel(int connection) {
    interrupts_.erase(connection);
}

// Sent now if the channel is up; a client that leaves too much unread loses it.
void Vxi11Server::sendInterrupt(int connection, const std::string& handle) {
    const auto it = interrupts_.find(connection);
    if (it == interrupts_.end() || !it->second->connected)
        return;
    Interrupt& i = *it->second;
    const std::string record = SrqRecord(++i.xid, i.program, i.version, handle);
    if (i.socket->bytesToWrite() + static_cast<qint64>(record.size()) > kMaxInterruptUnread) {
        interrupts_.erase(it);
        return;
    }
    i.socket->write(record.data(), static_cast<qint64>(record.size()));
    i.socket->flush();
}
