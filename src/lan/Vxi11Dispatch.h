// One ONC RPC call of a VXI-11 connection, decoded, run and answered with
// the RPC library's XDR routines.
#pragma once

#include <string>

class Vxi11Server;

// A call that another link's lock keeps off waits for it when it asks to
// (the wait-lock flag and a lock timeout): instead of a reply, the dispatch
// says how long. The server calls it again when the lock is given up, when
// that time is over, or when device_abort ends the wait.
struct Vxi11Wait {
    bool over = false;       // the call's time is up: a lock still held is an error
    bool aborted = false;    // device_abort ended the wait
    unsigned long forMs = 0; // set when the call waits, and no reply was made
};

// The reply record to a call record of `connection` (the abort channel's
// program when `abortChannel`); empty when the record is no call at all, or
// when the call waits (`wait` given: otherwise no call waits).
std::string Vxi11Reply(Vxi11Server& server, int connection, bool abortChannel,
                       const std::string& call, Vxi11Wait* wait = nullptr);
