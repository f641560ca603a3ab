// What the card tells the window once an operation has ended. The window's
// own operations have already shown what they did; a change the operator did
// not make (a client's command, a configuration a client loaded, another
// program part driving the card) redraws only the controls of what it
// changed, so the operator's unsent edits elsewhere and the page shown stay.
#include "ClockView.h"
#include "Main_Unit.h"
#include "WaveformView.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <cmath>

#include "Accepted.h"
#include "CardState.h"
#include "Main_Controls.h"
#include "OutputView.h"
#include "PanelWidgets.h"

TMain_Form::OwnOperation::OwnOperation(TMain_Form& form)
    : form_(form), operation_(std::make_unique<Card::Operation>(form.card_, &form)) {
    ++form_.ownOperations_;
}

TMain_Form::OwnOperation::~OwnOperation() {
    operation_.reset(); // the card tells what changed
    if (--form_.ownOperations_ == 0)
        form_.RefreshCardView();
}

void TMain_Form::cardChanged(const CardChange& change) {
    if (change.origin == this)
        return; // shown once the window's own operation is done (OwnOperation)
    ShowChangedSettings(change.channel[ActiveChannelNumber()]);
    RefreshCardView();
}

void TMain_Form::ShowChangedSettings(const ChannelChange& changed) {
    const int c = ActiveChannelNumber();
    const auto was = [&](const char* key) { return changed.settings[Setting(key).index()]; };
    wave_->showChanged(changed, c);
    clock_->showChanged(changed, c);
    if (was("_Clock/DDSSourceExtFlag"))
        UpdateClockSourceChecks();
    output_->showChanged(changed);
    ApplyPageRules();
    if (changed.samples || was("_Wave/ArbitraryFlag") || was("_Wave/WaveType") ||
        was("_Wave/Symmetry") || was("_Wave/StartF"))
        RedrawPreview();
}
