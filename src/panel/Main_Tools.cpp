// The maintenance tools of the menu: wave memory test, calibration date, the
// about box, and remote control.
#include "ClockView.h"
#include "Main_Unit.h"
#include "WaveformView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "About_Unit.h"
#include "CardCommands.h"
#include "CardState.h"
#include "Card_Unit.h"
#include "Dialogs.h"
#include "MemTest_Unit.h"
#include "Named.h"
#include "Operations.h"
#include "OutputView.h"
#include "Remote_Unit.h"
#include "SessionMemory.h"

void TMain_Form::MemoryTest1Click() {
    OwnOperation own(*this);
    if (card_.session() == 0) {
        ShowNoCard(); // the test needs a card: say so where the operator looks
        return;
    }
    // The test overwrites wave memory: every output goes off first.
    SwitchOutputsOff(card_, CardChannels());
    UpdateModeLEDs();
    if (memTestForm_)
        memTestForm_->exec();
    UpdateModeLEDs(); // the test may have switched outputs off
}

void TMain_Form::ReadCalibrationDate1Click() {
    OwnOperation own(*this);
    // A refusal, if it reached the card, is in the log.
    if (const std::optional<std::string> text = ReadCalibrationDate(card_))
        AppDialogs().message(this, Dialogs::Kind::Information, QString::fromStdString(*text));
}

void TMain_Form::About1Click() {
    if (aboutForm_)
        aboutForm_->ShowAbout();
}

// ---------------------------------------------------------------------------
// Remote control

void TMain_Form::RemoteControl1Click() {
    CreateRemoteForm();
    remoteForm_->show();
    remoteForm_->raise();
    remoteForm_->activateWindow();
}

// Made when first asked for, or at the start when the operator chose to serve then.
void TMain_Form::CreateRemoteForm() {
    if (!remoteForm_) {
        remoteForm_ = new TRemote_Form(
            card_, [this] { return scpi::IdentityOf(card_); }, this,
            [this] { return !OpenPanels().empty() && OpenPanels().front() == this; });
        RemoteStatus_Label = Named(new QLabel(StatusBar1), "RemoteStatus_Label");
        RemoteStatus_Label->hide();
        // A click opens the window that says what serves.
        RemoteStatus_Label->setCursor(Qt::PointingHandCursor);
        RemoteStatus_Label->setToolTip("Click to open Remote Control.");
        RemoteStatus_Label->installEventFilter(this);
        StatusBar1->addPermanentWidget(RemoteStatus_Label);
        connect(remoteForm_, &TRemote_Form::statusChanged, this, [this] {
            const QString text = remoteForm_->StatusText();
            RemoteStatus_Label->setText(text);
            RemoteStatus_Label->setAccessibleName(text);
            // Whole beside any message: the feedback field gives way, never the address.
            RemoteStatus_Label->setMinimumWidth(RemoteStatus_Label->sizeHint().width());
            FitStatusFields();
            RemoteStatus_Label->setVisible(!text.isEmpty());
        });
        connect(remoteForm_, &TRemote_Form::told, this,
                [this](const QString& text) { ShowFeedback(text, Tone::Advice); });
        connect(remoteForm_, &TRemote_Form::lockChanged, this,
                [this] { LockForRemote(!remoteForm_->LockHolder().isEmpty()); });
        connect(remoteForm_, &TRemote_Form::identifyAsked, this,
                [this](const QString& who) { Identify(who); });
    }
}

namespace {
const QString kIdentifyMark = QStringLiteral("\u25C6 Identify \u25C6 ");
constexpr int kIdentifySteps = 20; // ten seconds in half-second steps
} // namespace

void TMain_Form::Identify(const QString& who) {
    if (!identifyTimer_) {
        identifyTimer_ = new QTimer(this);
        connect(identifyTimer_, &QTimer::timeout, this, [this] { IdentifyStep(); });
    }
    identifySteps_ = kIdentifySteps;
    identifyTimer_->start(500);
    IdentifyStep();
    ShowFeedback(who + " asks this card to show itself (Identify).", Tone::Advice);
}

// Odd steps marked, even ones plain; the last one plain again.
void TMain_Form::IdentifyStep() {
    const bool on = identifySteps_ > 0 && identifySteps_ % 2 == 0;
    QString title = windowTitle();
    if (title.startsWith(kIdentifyMark))
        title.remove(0, kIdentifyMark.size());
    setWindowTitle(on ? kIdentifyMark + title : title);
    if (auto* strip = findChild<QFrame*>("ChannelStatus_Panel")) {
        strip->setProperty("identify", on);
        strip->setStyleSheet(strip->styleSheet()); // the property's rule read again
    }
    if (--identifySteps_ < 0)
        identifyTimer_->stop();
}

bool TMain_Form::RemoteStatusClicked(QObject* watched, QEvent* event) {
    if (!RemoteStatus_Label || watched != RemoteStatus_Label ||
        event->type() != QEvent::MouseButtonRelease)
        return false;
    RemoteControl1Click();
    return true;
}

// Serving at start, when the operator chose so: the one panel open (the
// ports are the computer's).
void TMain_Form::ServeAtStart() {
    if (OpenPanels() != std::vector<TMain_Form*>{this} || !SessionMemory::Remote().serveAtStart)
        return;
    CreateRemoteForm();
    if (!remoteForm_->StartServing())
        ShowFeedback("Remote control did not start (see Options > Remote Control...).");
}

void TMain_Form::LockForRemote(bool locked) {
    output_->setLocked(locked);
    for (QWidget* area : std::initializer_list<QWidget*>{wave_->page(), clock_->page()})
        area->setEnabled(!locked);
    for (QAction* action : {LoadConfig1, ApplyConfig1, Card1, InternalClk_MenuItem,
                            ExternalClk_MenuItem, MemoryTest1, WaveBuilder1})
        action->setEnabled(!locked);
    for (QAction* recent : RecentConfig)
        if (recent)
            recent->setEnabled(!locked);
}
