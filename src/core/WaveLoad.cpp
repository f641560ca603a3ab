#include "WaveLoad.h"

#include "Accepted.h"
#include "Commands.h"
#include "DriverCalls.h"
#include "SessionCalls.h"
#include "WaveParse.h"
#include "nv815_def.h"

const char* WaveLengthProblem(int32_t length, size_t held, ViStatus* status) {
    if (status)
        *status = VI_SUCCESS;
    // 1, 2, 4 ... WaveMemorySize samples; no more than the wave memory holds.
    if (length < 1 || length > WaveMemorySize || (length & (length - 1)) != 0)
        return "File doesn't contain a 2^n number of lines!";
    // A length beyond the samples held would make the driver read past them.
    if (static_cast<size_t>(length) > held) {
        if (status)
            *status = VI_ERROR_USER_BUF;
        return "Load Arbitrary Waveform failed.";
    }
    return nullptr;
}

WaveLoadOutcome LoadWaveToCard(CommandLink& link, int32_t length, int32_t channel,
                               uint32_t& memStep, const Samples& samples, WaveFileUi& ui) {
    WaveLoadOutcome out;
    ViStatus& status = out.Status;
    status = CmdSetActiveChannel(link, channel);
    if (status != VI_SUCCESS) {
        ui.information("Set Active Channel for Load Waveform failed.");
        return out;
    }
    if (const char* problem = WaveLengthProblem(length, samples.size(), &status)) {
        ui.information(problem);
        return out;
    }
    memStep = static_cast<uint32_t>(WaveMemorySize / length);
    status = UnloggedSetCounterStep(link, memStep, channel, "Set Counter Step for Load Waveform");
    if (status != VI_SUCCESS) {
        ui.information("Set Counter Step for Load Waveform failed.");
        return out;
    }
    out.CounterStepAccepted = true;
    status = UnloggedLoadArbitraryWaveform(link, length, samples.data(), samples.version(),
                                           samples.checksum(length), channel);
    if (status != VI_SUCCESS)
        ui.information("Load Arbitrary Waveform failed.");
    out.Loaded = status == VI_SUCCESS;
    if (out.Loaded)
        out.Checksum = samples.checksum(length);
    return out;
}
