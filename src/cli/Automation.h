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
    std::string resource;      // empty: the card the file names ([Card] Resource)
    std::vector<int> channels; // empty: every channel of the card
    std::string logFile;       // empty: none
    bool quiet = false;        // no log entries on standard output
    bool json = false;         // each command a JSON object on standard output, then the counts
    bool normalise = false;    // answers the normalise question of a text waveform with OK
};

// Binds the libraries, finds the card (its name resolved through VISA),
// opens it (exclusively), loads the configuration as the File menu does
// (values held at the settings' limits, the waveforms of the listed channels
// read), opens the log file, and applies each listed channel: clock,
// waveform, attenuation, offset. Closes the card and releases the libraries.
// Only the listed channels count towards the exit status. With `json`,
// standard output holds one JSON object per command (time, channel,
// command, arguments, status, driverText) and a last one with the counts and
// the exit status (sent, refused, exitStatus).
int RunApply(const ApplyOptions& options, std::FILE* out, std::FILE* err);

// Every card of either model, by resource: a header line, then one line per
// card (resource, model, card id, tab-separated); with `json`, one JSON array
// of objects (resource, model, cardId, channels; 0 where not read).
int RunListCards(std::FILE* out, std::FILE* err, bool json = false);
