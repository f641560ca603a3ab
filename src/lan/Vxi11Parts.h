// The parts of a VXI-11 server: its links, its connections and its
// clients' interrupt channels.
#pragma once

#include <QElapsedTimer>
#include <QTcpSocket>
#include <rpc/rpc.h>
#include <string>

#include "LineReader.h"
#include "ScpiDevice.h"
#include "Vxi11Server.h"

// One link: a session of its device, the message it is sending (read as it
// comes), the answers it has not read yet, and its service request.
struct Vxi11Server::Link {
    long id = 0;
    int connection = 0;   // the connection it was made on, the only one it is known on
    QHostAddress address; // where that connection comes from
    QString peer;
    ScpiDevice* device = nullptr;
    std::unique_ptr<scpi::Session> session;
    scpi::LineReader reader;
    std::string output;
    size_t outputAt = 0;
    bool messageOpen = false; // a write without END began a message the next write goes on with
    bool srqEnabled = false;
    std::string srqHandle;
    bool requested = false; // the status byte's request bit was set at the last look
    QElapsedTimer lastCall;
};

// A client's connection to the core or the abort channel, and the record it
// is sending.
struct Vxi11Server::Connection {
    int id = 0;
    QTcpSocket* socket = nullptr;
    QHostAddress address;
    QString peer;
    bool abortChannel = false;
    QByteArray in;
    QElapsedTimer lastByte;
    bool gone = false;
    // A call waiting for a lock: its record, since when, for how long, and
    // whether device_abort ended it. Later calls wait in the socket.
    std::string waiting;
    QElapsedTimer waitingSince;
    unsigned long waitingFor = 0;
    bool waitAborted = false;
};

// The client's interrupt channel: the server is the RPC client of the
// client's DEVICE_INTR program, on a socket of its own that never waits to
// connect or to write (calls that would pile up beyond the bound drop it).
struct Vxi11Server::Interrupt {
    QTcpSocket* socket = nullptr;
    unsigned long program = 0, version = 0;
    u_int xid = 0;
    bool connected = false;
    bool failed = false;
    bool answered = false; // create_intr_chan was answered: the channel is the client's
    ~Interrupt() {
        if (socket) {
            socket->disconnect();
            socket->abort();
            socket->deleteLater();
        }
    }
};
