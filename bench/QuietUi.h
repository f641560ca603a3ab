// Waveform messages that nobody answers: every question gets OK.
#pragma once

#include "WaveFile.h"

class QuietUi : public WaveFileUi {
public:
    void error(const std::string&) override {}
    void warning(const std::string&) override {}
    bool confirm(const std::string&) override { return true; }
    void information(const std::string&) override {}
};
