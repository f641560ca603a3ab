// What the card tells the window once an operation has ended. The window's
// own operations have already shown what they did; a change the operator did
// not make (a client's command, a configuration a client loaded, another
// program part driving the card) redraws only the controls of what it
// changed, so the operator's unsent edits elsewhere and the page shown stay.
#include "Main_Unit.h"

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
    TChannelInfo& ch = card_.channel(c);
    const auto was = [&](const char* key) { return changed.settings[Setting(key).index()]; };
    for (const BoundControl& b : bound_)
        if (!b.setting->cardWide && changed.settings[b.setting->index()])
            ShowBoundValue(b.control, b, b.setting->get(ch));
    if (was("_Wave/ArbitraryFlag"))
        Wave_PageControl->setCurrentWidget(ch.Wave.ArbitraryFlag ? TabSheet8 : TabSheet7);
    if (was("_Clock/Multiplier")) {
        card_.pendingMultiplier(c) = ch.Multiplier;
        ClkX_Edit->setText(QString::number(ch.Multiplier));
    }
    if (was("_Clock/MemStep")) {
        CounterStep_UpDown->setPosition(static_cast<int>(std::lround(std::log2(ch.MemStep))));
        CounterStepClicked();
    }
    if (was("_Clock/DDSSourceExtFlag"))
        UpdateClockSourceChecks();
    output_->showChanged(changed);
    if (changed.samples)
        UpdateArbInfoLabels();
    // The sweep's Auto/Manual choice follows the sweep the card plays.
    const TAcceptedChannel& a = card_.accepted().Channel[c];
    if (changed.accepted && a.Generated && a.Generated->value("_Wave/SweepFlag").value_or(0) != 0)
        (a.Generated->Manual ? ManualRadioButton : AutoRadioButton)->setChecked(true);
    ApplyPageRules();
    if (changed.samples || was("_Wave/ArbitraryFlag") || was("_Wave/WaveType") ||
        was("_Wave/Symmetry") || was("_Wave/StartF"))
        RedrawPreview();
}
