// The preview, as the window's menus and pages reach it.
#include "Main_Unit.h"

#include <QComboBox>
#include <QSpinBox>
#include <QTabWidget>

#include "Main_Controls.h"
#include "PreviewView.h"
#include "WaveformView.h"

void TMain_Form::CreatePreview(QWidget* client) {
    preview_ = new PreviewView(
        client, card_, [this] { return ActiveChannelNumber(); },
        [this] { return wave_->previewShape(); });
}

// Another than the operator changed the channel's waveform (a configuration
// sent or loaded, a client): a preview already drawn follows it. (Importing
// and Update leave it as it is, and nothing is drawn before it is asked for.)
void TMain_Form::RedrawPreview() {
    preview_->redraw();
}

void TMain_Form::Preview_Wave() {
    preview_->draw();
}
