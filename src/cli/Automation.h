// The program without windows: a saved configuration applied to a card, and
// the cards discovery finds, for scripts and test stations.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ChannelList.h"

// Exit statuses of the command line.
constexpr int kExitAccepted = 0; // every command was accepted
constexpr int kExitUsage = 1;    // usage, file or resource error: nothing sent
constexpr int kExitRefused = 2;  // the card refused a command; the rest was still sent

struct ApplyOptions {
    std::string file;
    std::string resource;
    std::vector<int> channels{1, 2, 3};
    std::string logFile;    // empty: none
    bool quiet = false;     // no log entries on standard output
    bool normalise = false; // answers the normalise question of a text waveform with OK
};

// Binds the libraries, opens the card (exclusively), loads the configuration
// as the File menu does and applies each listed channel: clock, waveform,
// attenuation, offset. Closes the card and releases the libraries.
int RunApply(const ApplyOptions& options, std::FILE* out, std::FILE* err);

// One line per card of either model: resource, model and card id.
int RunListCards(std::FILE* out, std::FILE* err);
