// The field at the right of the status bar: what went wrong last, where the
// operator looks, without a message box. A click on it opens the log.
#include "Main_Unit.h"

#include <QLabel>
#include <QMouseEvent>
#include <QStatusBar>
#include <QStyle>

#include "ElidedLabel.h"

#include "CardState.h"
#include "Commands.h"
#include "LibraryBindings.h"
#include "Log_Unit.h"
#include "Named.h"
#include "OperationLog.h"
#include "PanelWidgets.h"
#include "ReplacedEdits.h"

namespace {

const char* const kNoCard = "No card selected: choose one with Card Select.";

QString Title(const std::string& logTitle) {
    return QString::fromLocal8Bit(CommandName(logTitle).c_str());
}

QString ChannelPrefix(int channel) {
    return channel > 0 ? QString("Channel %1: ").arg(channel) : QString();
}

} // namespace

// The field takes what the card's text leaves of the bar; what happened and
// its counts are never shortened (the card's text gives way first), a list
// of names after them may be, at its end. A click on it opens the log with
// the whole text above it, at the entry of the failure it shows.
void TMain_Form::CreateFeedbackField() {
    Feedback_Label = Named(new TElidedLabel(StatusBar1, Qt::ElideRight), "StatusBar1_Feedback");
    Feedback_Label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    Feedback_Label->setStyleSheet("QLabel[tone=\"failure\"] { color: #b00000; }");
    Feedback_Label->setCursor(Qt::PointingHandCursor);
    Feedback_Label->setEmptyName("No failure");
    StatusBar1->addWidget(Feedback_Label, 1);
    StatusBar1->installEventFilter(this);
}

void TMain_Form::ShowFeedback(const QString& text, Tone tone, const QString& names) {
    if (text.isEmpty() && names.isEmpty() && feedback_.isEmpty())
        return; // nothing shown, nothing to show
    feedback_ = text + names;
    failureTitle_.clear();
    failureEntry_.clear();
    SetStyleProperty(Feedback_Label, "tone", tone == Tone::Failure ? "failure" : "advice");
    Feedback_Label->setFullText(feedback_, "Click to read it whole in the operation log.",
                                static_cast<int>(text.size()));
    FitStatusFields();
}

// What happened stays whole as far as the bar has room beside the card's
// resource and the Remote field, which are never cut; beyond that it too
// is cut, at a word (its whole text in the tooltip and the log).
void TMain_Form::FitStatusFields() {
    int others = StatusText->minimumSizeHint().width();
    if (RemoteStatus_Label && !RemoteStatus_Label->text().isEmpty())
        others += RemoteStatus_Label->minimumWidth();
    const int gaps = 8 * style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing) + 16;
    Feedback_Label->setKeptAtMost(std::max(0, StatusBar1->width() - others - gaps));
}

// A refusal stays shown until the same command is accepted on the same
// channel, or another refusal takes its place: the commands an operation
// goes on to send do not hide it.
void TMain_Form::CommandReported(const CommandOutcome& outcome) {
    if (outcome.status == VI_SUCCESS) {
        if (failureTitle_.empty() ||
            (outcome.title == failureTitle_ && outcome.channel == failureChannel_))
            ShowFeedback(QString());
    } else if (outcome.title.empty() && outcome.status == VI_ERROR_INV_OBJECT) {
        ShowFeedback(kNoCard);
    } else {
        // Without the driver's text (its own call failed too), the status itself.
        const QString error = QString::fromLocal8Bit(outcome.errorText.c_str()).trimmed();
        const QString code = QString::fromStdString(StatusHex(outcome.status));
        // A client's command says whose it was.
        const std::string& who = card_.operationWho();
        ShowFeedback((who.empty() ? QString() : "Client " + QString::fromStdString(who) + ": ") +
                     ChannelPrefix(outcome.channel) + Title(outcome.title) + " failed" +
                     (error.isEmpty() ? " (status 0x" + code + ")." : ": " + error));
        // Its log entry, the latest when the command reports.
        if (LogLines && !LogLines->empty())
            failureEntry_ = LogLines->back();
        failureTitle_ = outcome.title;
        failureChannel_ = outcome.channel;
        failureThisAction_ = true;
    }
}

// What an operation said in a box about a failure no command reported:
// shown unless a refusal of the same operation already says more.
void TMain_Form::ShowProblem(int channel, const QString& what, const std::string& text) {
    if (failureThisAction_)
        return;
    ShowFeedback(ChannelPrefix(channel) + what + ": " +
                 QString::fromLocal8Bit(text.c_str()).simplified());
}

void TMain_Form::ShowNoCard() {
    ShowFeedback(kNoCard);
}

// An operation that reads a field whose text was refused sends nothing: the
// field is marked, and the status field says which and why.
bool TMain_Form::FrequenciesReadable(const std::vector<TFrequencySpinEdit*>& fields) {
    for (TFrequencySpinEdit* field : fields) {
        if (field->typedValue())
            continue;
        field->setRefused(true);
        ShowFeedback("Not sent: " + field->accessibleName() + " \"" + field->text() +
                     "\" is not a whole number (k or M may follow it).");
        return false;
    }
    return true;
}

// Once every control exists: commands report here from now on.
void TMain_Form::StartFeedback() {
    Feedback_Label->installEventFilter(this);
    card_.subscribe(*this);
    ShowFeedback(QString::fromStdString(MissingLibraryText()));
}

bool TMain_Form::FeedbackClicked(QObject* watched, QEvent* event) {
    if (watched != Feedback_Label || event->type() != QEvent::MouseButtonRelease ||
        static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return false;
    if (replaced_->any() && feedback_ == replaced_->message() + ReplacedEdits::kHow) {
        // the click puts them back
        PutBackEdits();
        return true;
    }
    if (logForm_)
        logForm_->ShowStatusMessage(
            feedback_, Feedback_Label->property("tone").toString() == "failure", failureEntry_);
    Log1Click();
    return true;
}
