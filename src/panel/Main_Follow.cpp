// What the card tells the window once an operation has ended. The window's
// own operations have already shown what they did (the refreshes they
// name); a change the operator did not make (a client's command, a
// configuration a client loaded, another program part driving the card) is
// drawn by each view from the card's notice, only the controls of what it
// changed, so the operator's unsent edits elsewhere and the page shown stay.
// The window takes what it replaces before the views draw, and follows it
// after them (Followed).
#include "ClockView.h"
#include "Main_Unit.h"
#include "WaveformView.h"
#include "TriggerView.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <cmath>

#include "Accepted.h"
#include "CardState.h"
#include "Main_Controls.h"
#include "OutputView.h"
#include "PanelWidgets.h"
#include "ReplacedEdits.h"

TMain_Form::OwnOperation::OwnOperation(TMain_Form& form)
    : form_(form), operation_(std::make_unique<Card::Operation>(form.card_, &form)) {
    ++form_.ownOperations_;
}

TMain_Form::OwnOperation::~OwnOperation() {
    operation_.reset(); // the card tells what changed
    if (--form_.ownOperations_ == 0)
        form_.RefreshCardView();
}

// An unsent edit the change replaces is said in the status field, with
// who changed what; one action puts it back (PutBackEdits).
void TMain_Form::cardChanged(const CardChange& change) {
    if (change.origin == this)
        return; // shown once the window's own operation is done (OwnOperation)
    replaced_->take(EditableFields(), change.channel[ActiveChannelNumber()].settings, marks_);
}

TMain_Form::Followed::Followed(TMain_Form& form) : form_(form) {
    form_.card_.subscribe(*this);
}

TMain_Form::Followed::~Followed() {
    form_.card_.unsubscribe(*this);
}

void TMain_Form::Followed::cardChanged(const CardChange& change) {
    if (change.origin != &form_)
        form_.FollowChange(change);
}

// After the views drew another's change: the rules, the preview, the strip
// and marks, and what it replaced said.
void TMain_Form::FollowChange(const CardChange& change) {
    const int c = ActiveChannelNumber();
    ShowChangedSettings(change.channel[c]);
    RefreshCardView();
    if (const QString said = replaced_->said(QString::fromStdString(change.who), c);
        !said.isEmpty())
        ShowFeedback(said, Tone::Advice, ReplacedEdits::kHow);
}

std::vector<EditableField> TMain_Form::EditableFields() const {
    std::vector<EditableField> fields;
    for (const BoundControls* bound : {&wave_->bound(), &wave_->trigger->bound(), &clock_->bound()})
        for (const BoundControls::Entry& e : bound->entries())
            fields.push_back({e.control, e, 1});
    for (const EditableField& field : output_->editableFields())
        fields.push_back(field);
    return fields;
}

void TMain_Form::PutBackEdits() {
    if (!replaced_->any())
        return;
    ShowFeedback(replaced_->putBack(), Tone::Advice);
    RefreshUnsentMarks();
}

void TMain_Form::ShowChangedSettings(const ChannelChange& changed) {
    const auto was = [&](const char* key) { return changed.settings[Setting(key).index()]; };
    if (was("_Clock/DDSSourceExtFlag"))
        UpdateClockSourceChecks();
    ApplyPageRules();
    if (changed.samples || was("_Wave/ArbitraryFlag") || was("_Wave/WaveType") ||
        was("_Wave/Symmetry") || was("_Wave/StartF"))
        RedrawPreview();
}
