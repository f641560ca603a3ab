// The "Arbitrary" page: importing and saving the channel's waveform file.
#include "Main_Unit.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

#include "CardState.h"
#include "Dialogs.h"
#include "Main_Controls.h"
#include "OperatorDialogs.h"
#include "SafeFile.h"
#include "WaveBuilder_Unit.h"
#include "WaveFile.h"
#include "WaveformView.h"

// ---------------------------------------------------------------------------
// Arbitrary waveform files

namespace {

const char* const kAllFiles = "All Files (*.*)|*.*";

} // namespace

ViStatus TMain_Form::ImportWaveFile(int channel, const std::string& fileName, bool normalise,
                                    bool text) {
    DialogOperatorUi ui(this);
    failureThisAction_ = false;
    ui.onProblem([&](const std::string& problem) {
        ShowProblem(channel,
                    "import of '" + QString::fromLocal8Bit(BaseName(fileName).c_str()) + "' failed",
                    problem);
    });
    TArbWave& arb = card_.channel(channel).Wave.Arb;
    const ViStatus status = ::ImportWaveFile(arb, fileName, normalise, text, ui);
    if (status == VI_SUCCESS) {
        unfiled_[channel] = false;
        wave_->showSamplesInfo(ActiveChannelNumber()); // the active channel's waveform
    }
    return status;
}

ViStatus TMain_Form::SaveWaveFile(int channel, const std::string& fileName, int first, bool text,
                                  int count) {
    DialogOperatorUi ui(this);
    return ::SaveWaveFile(card_.channel(channel).Wave.Arb, fileName, first, text, count, ui);
}

void TMain_Form::Import_ButtonClick(bool text) {
    OwnOperation own(*this);
    const int c = ActiveChannelNumber();
    TArbWave& arb = card_.channel(c).Wave.Arb;
    const std::string previousFile = arb.ArbFile;
    const QString chosen = AppDialogs().openFileName(this, kAllFiles, QString());
    if (chosen.isEmpty())
        return;
    arb.ArbFile = chosen.toLocal8Bit().toStdString();
    if (ImportWaveFile(c, arb.ArbFile, arb.NormaliseFlag, text) != VI_SUCCESS)
        arb.ArbFile = previousFile;
}

void TMain_Form::Save_ButtonClick(bool text) {
    const int c = ActiveChannelNumber();
    const QString chosen = AppDialogs().saveFileName(this, kAllFiles, QString());
    if (chosen.isEmpty())
        return;
    SaveWaveFile(c, chosen.toLocal8Bit().toStdString(), 0, text,
                 static_cast<int>(card_.channel(c).Wave.Arb.Data.size()));
}

// ---------------------------------------------------------------------------
// Waveform builder

void TMain_Form::WaveBuilder1Click() {
    if (!builderForm_) {
        builderForm_ = new TWaveBuilder_Form(this);
        builderForm_->setUseHandler(
            [this](int channel, const std::vector<double>& samples, const QString& name) {
                UseBuiltWaveform(channel, samples, name);
            });
    }
    builderForm_->setChannel(ActiveChannelNumber());
    if (!builderForm_->isVisible()) // an open builder is only raised
        builderForm_->show();
    builderForm_->raise();
    builderForm_->activateWindow();
}

void TMain_Form::UseBuiltWaveform(int channel, const std::vector<double>& samples,
                                  const QString& name) {
    OwnOperation own(*this);
    TArbWave& arb = card_.channel(channel).Wave.Arb;
    arb.Data = samples;
    arb.WaveLength = static_cast<int32_t>(samples.size());
    // The source's name: no file of the text or binary format to import again
    // (Save Config offers to write one).
    arb.ArbFile = name.toLocal8Bit().toStdString();
    unfiled_[channel] = true;
    if (channel == ActiveChannelNumber()) {
        wave_->showSamplesInfo(channel);
        Preview_Wave(); // the strip and marks follow when the operation ends
    }
    ShowFeedback(QString("Channel %1: %2 samples from the waveform builder; press Update on the "
                         "Arbitrary page to load them.")
                     .arg(channel)
                     .arg(samples.size()),
                 Tone::Advice);
}
