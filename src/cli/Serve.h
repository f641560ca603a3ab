// The card served in SCPI over TCP, without a window, until SIGINT or SIGTERM.
#pragma once

#include <cstdio>
#include <string>

#include "Serving.h"

// Binds the libraries, finds and opens the card (exclusively, sending
// nothing), listens, and serves until SIGINT or SIGTERM; then closes every
// client, the card and the libraries. The outputs stay as they are. Exit
// status 0 after a stop, 1 when the card or the port cannot be had.
// Every transport the options name listens on `address`; any that cannot
// is an error as the raw socket's is.
int RunServe(const std::string& resource, const std::string& address, ServeOptions options,
             std::FILE* out, std::FILE* err);
