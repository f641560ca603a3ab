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
    int connection = 0; // the connection it was made on
    QString peer;
    ScpiDevice* device = nullptr;
    std::unique_ptr<scpi::Session> session;
    scpi::LineReader reader;
    std::string output;
    size_t outputAt = 0;
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

// The client's interrupt channel: an RPC client of its DEVICE_INTR program.
struct Vxi11Server::Interrupt {
    CLIENT* client = nullptr;
    ~Interrupt() {
        if (client)
            clnt_destroy(client);
    }
};
