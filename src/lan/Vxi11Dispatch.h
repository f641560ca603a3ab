// One ONC RPC call of a VXI-11 connection, decoded, run and answered with
// the RPC library's XDR routines.
#pragma once

#include <string>

class Vxi11Server;

// The reply record to a call record of `connection` (the abort channel's
// program when `abortChannel`); empty when the record is no call at all.
std::string Vxi11Reply(Vxi11Server& server, int connection, bool abortChannel,
                       const std::string& call);
