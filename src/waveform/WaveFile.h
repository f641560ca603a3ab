// Importing a channel's arbitrary waveform from a file and saving it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ArbWave.h"
#include "visa_types.h"

// The questions and messages of an import, an export or a load into wave
// memory, answered by the window.
class WaveFileUi {
public:
    virtual ~WaveFileUi() = default;
    virtual void error(const std::string& text) = 0;
    virtual void warning(const std::string& text) = 0;
    // OK (true) or Abort (false).
    virtual bool confirm(const std::string& text) = 0;
    // A plain message with an OK button.
    virtual void information(const std::string& text) = 0;
};

// Reads the file into the channel's samples: 0 on success, VI_ERROR_FILE_IO
// when the file is missing, unreadable or malformed, or when the operator
// aborts at the range question. A failed or aborted import leaves the
// channel's waveform exactly as it was.
ViStatus ImportWaveFile(TArbWave& wave, const std::string& fileName, bool normalise, bool text,
                        WaveFileUi& ui);

// Writes `count` samples from `first` as a text or binary file. An existing
// file is replaced only once the new one is completely written.
ViStatus SaveWaveFile(const TArbWave& wave, const std::string& fileName, int first, bool text,
                      int count, WaveFileUi& ui);

// The text form of a waveform file, header included.
std::string WaveFileText(const std::vector<double>& samples, size_t first, size_t count,
                         const std::string& fileName);

// A waveform in no file, to be saved with a configuration: the text of its
// samples as the text waveform file `fileName` (percent, so read back without
// normalising), and the waveform then names that file. Nothing, the waveform
// unchanged, when it holds no samples to save.
std::optional<std::string> NameTextWaveFile(TArbWave& wave, const std::string& fileName);
