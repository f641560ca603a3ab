// The card served in SCPI over TCP, without a window, until SIGINT or SIGTERM.
#pragma once

#include <cstdio>
#include <string>

struct ServeOptions {
    std::string resource;
    std::string address = "127.0.0.1";
    int port = 5025;   // 0: any free port (the one chosen is printed)
    std::string files; // the folder of MMEMory's configuration files; empty: none
    bool vxi11 = true; // VXI-11 beside the raw socket
    int vxi11Port = 0; // its core channel's port; 0: any free one
    bool http = true;  // the LXI identification document and the welcome page
    bool mdns = true;  // announced on the network through Avahi
    int httpPort = -1; // their port; -1: 80, or any free one where 80 cannot be had
    bool hislip = true;  // HiSLIP beside the raw socket
    int hislipPort = -1; // its port; -1: 4880, or any free one where 4880 cannot be had
};

// Binds the libraries, finds and opens the card (exclusively, sending
// nothing), listens, and serves until SIGINT or SIGTERM; then closes every
// client, the card and the libraries. The outputs stay as they are. Exit
// status 0 after a stop, 1 when the card or the port cannot be had.
int RunServe(const ServeOptions& options, std::FILE* out, std::FILE* err);
