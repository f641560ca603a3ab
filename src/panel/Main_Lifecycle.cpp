// Creating, showing and closing the main window, the refresh of the controls
// from the card record, card selection and the log window.
#include "ClockView.h"
#include "Main_Unit.h"
#include "PreviewView.h"
#include "ReplacedEdits.h"
#include "WaveformView.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>
#include <cmath>

#include "CardState.h"
#include "Card_Unit.h"
#include "Dialogs.h"
#include "Log_Unit.h"
#include "Main_Controls.h"
#include "OperationLog.h"
#include "Operations.h"
#include "OutputView.h"
#include "PanelWidgets.h"
#include "PreviewView.h"
#include "Remote_Unit.h"
#include "SafeFile.h"
#include "SessionMemory.h"
#include "WaveBuilder_Unit.h"

// ---------------------------------------------------------------------------
// Creation, showing and closing

namespace {
const char* const kCaption = "Norvale 815 Soft Front Panel v1.46";
}

// With one panel the caption is the program's; with several each adds
// which panel it is and its card, and so does its Remote Control window.
void TMain_Form::RefreshCaptions() {
    const bool several = OpenPanels().size() > 1;
    for (TMain_Form* panel : OpenPanels()) {
        panel->setWindowTitle(several ? QString("%1 \u2014 %2: %3")
                                            .arg(kCaption)
                                            .arg(QString::fromStdString(panel->card_.holderName()))
                                            .arg(QString::fromStdString(panel->card_.describe()))
                                      : QString(kCaption));
        if (panel->remoteForm_)
            panel->remoteForm_->ShowCard();
    }
}

void TMain_Form::FormCreate() {
    setWindowTitle(kCaption);
    card_.subscribe(*this); // the record's reset refreshes every control
    card_.resetRecord();
    if (!LogLines) // the first panel's: every panel writes to the one log
        CreateLogLines();
    if (OpenPanels().empty())
        panelsOpened_ = 0; // the first panel of the run
    OpenPanels().push_back(this);
    panelNumber_ = ++panelsOpened_;
    card_.setHolderName("panel " + std::to_string(panelNumber_));
    RefreshCaptions();
    StartFeedback();
    RefreshRecentConfigs();

    preview_->layOut();
}

void TMain_Form::showEvent(QShowEvent* event) {
    // Restoring the window from minimised is no new showing: it must not
    // throw away the operator's unapplied edits.
    if (!event->spontaneous())
        FormShow();
    QMainWindow::showEvent(event);
    // Sized for the screen it is on, and again when it moves to another.
    if (QWindow* window = windowHandle(); window && !fitsScreens_) {
        fitsScreens_ = true;
        connect(window, &QWindow::screenChanged, this, [this](QScreen* screen) {
            if (screen)
                FitInto(screen->availableGeometry());
        });
        if (QScreen* shown = screen())
            FitInto(shown->availableGeometry());
    }
}

void TMain_Form::FormShow() {
    Settings_PageControl->setTabText(0, "Waveform");
    Settings_PageControl->setTabText(1, "Clock");
    UpdateAllControls();
}

void TMain_Form::closeEvent(QCloseEvent* event) {
    if (!CloseRemoteClients()) {
        event->ignore();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
}

// Clients connected are told before the window goes: the operator is asked,
// then every connection is closed (they see it at once, not a timeout).
bool TMain_Form::CloseRemoteClients() {
    if (!remoteForm_ || closed_)
        return true;
    const QStringList clients = remoteForm_->Clients();
    if (!clients.isEmpty()) {
        const QString holder = remoteForm_->LockHolder();
        const QString question =
            QString("%1 remote client%2 connected (%3)%4. Exiting closes %5. Exit?")
                .arg(clients.size())
                .arg(clients.size() == 1 ? " is" : "s are")
                .arg(clients.join(", "))
                .arg(holder.isEmpty() ? QString() : ", " + holder + " holding the front panel")
                .arg(clients.size() == 1 ? "its connection" : "their connections");
        if (AppDialogs().message(this, Dialogs::Kind::Question, question) != Dialogs::Answer::Yes)
            return false;
    }
    remoteForm_->StopListening();
    return true;
}

int TMain_Form::panelsOpened_ = 0;

std::vector<TMain_Form*>& TMain_Form::OpenPanels() {
    static std::vector<TMain_Form*> panels;
    return panels;
}

// A panel closes its card, leaving its outputs as they are; the last one
// also the resource manager and the log, and its card is the one remembered.
void TMain_Form::FormClose() {
    if (closed_)
        return;
    closed_ = true;
    std::erase(OpenPanels(), this);
    if (!OpenPanels().empty()) {
        card_.close();
        RefreshCaptions();
        return;
    }
    if (panelsOpened_ > 1 && card_.session() != 0) // with one panel, the card dialog's OK said it
        SessionMemory::SetLastCard(QString::fromStdString(card_.identity().resource),
                                   cardForm_ ? cardForm_->SelectedModel : QString());
    CloseCardAndResourceManager(card_);
    FreeLogLines();
}

// ---------------------------------------------------------------------------
// Refresh from the card record

int TMain_Form::CardChannels() const {
    return card_.channels();
}

int TMain_Form::ActiveChannelNumber() const {
    return Channel_PageControl->currentIndex() + 1;
}

void TMain_Form::UpdateAllControls() {
    UpdateControlValues();
    UpdateModeLEDs();
    UpdateAttControls();
    // The trigger source list follows the trigger mode rule, never against it.
    TriggerModeChosen();
}

// The Waveform page shows the record when it is the page shown; the samples'
// description and the page's rules follow the channel in any case.
void TMain_Form::UpdateControlValues() {
    const int c = ActiveChannelNumber();
    if (Settings_PageControl->currentWidget() == wave_->page())
        wave_->show(c);
    wave_->showSamplesInfo(c);
    wave_->applySweepRules();
    RefreshCardView();
}

void TMain_Form::ApplyPageRules() {
    wave_->applyRules();
    clock_->applyRules();
    TriggerModeChosen();
}

void TMain_Form::UpdateModeLEDs() {
    output_->showOutput();
}

void TMain_Form::UpdateAttControls() {
    output_->showAttenuation();
    output_->showOffset();
    RefreshCardView();
}

void TMain_Form::Channel_PageControlChange() {
    OwnOperation own(*this);
    replaced_->clear(); // the fields show another channel now
    if (builderForm_)
        builderForm_->setChannel(ActiveChannelNumber());
    UpdateAllControls();
    // The new channel's waveform: the Waveform page's controls hold it only
    // while that page is up (they are refreshed only then).
    if (Settings_PageControl->currentWidget() == wave_->page())
        Preview_Wave();
    else
        preview_->draw(wave_->recordShape(ActiveChannelNumber()));
}

void TMain_Form::Settings_PageControlChange() {
    OwnOperation own(*this);
    UpdateControlValues();
}

// ---------------------------------------------------------------------------
// Card selection and the log window

void TMain_Form::Card1Click() {
    OwnOperation own(*this);
    if (!cardForm_ || cardForm_->exec() != QDialog::Accepted)
        return;
    // The dialog opened the card in place of the one in use.
    const CardIdentity& card = card_.identity();
    const QString resource = QString::fromStdString(card.resource);
    // Where the bar is short, the text gives way from its start: the
    // resource stays in view, the whole text in its tooltip.
    const QString text = card.cardId != 0 ? "Selected Card ID: " + QString::number(card.cardId) +
                                                " - VISA Resource: " + resource
                                          : "Selected Card: " + resource;
    StatusText->setFullText(text, QString(), static_cast<int>(resource.size()));
    StatusBar1->layout()->activate(); // the card's text and the field share the bar at once
    ShowFeedback(QString());          // another card's failures say nothing of this one
    Channel_PageControl->setTabVisible(2, card_.channels() == kChannelCount);
    RefreshCaptions();
    ShowCardStates(cardForm_->Taken().unknownAttenuation);
}

// The record then holds nothing of another card: a refused attenuation is
// not known, and an output whose switch-off was refused may be live.
void TMain_Form::ShowCardStates(const std::vector<int>& unknownAttenuation) {
    QStringList unknown;
    for (int c : unknownAttenuation)
        unknown << QString::number(c);
    UpdateAttControls();
    UpdateModeLEDs();
    if (!unknown.isEmpty())
        ShowFeedback("Attenuation not known on channel " + unknown.join(", ") +
                     ": the card refused Set Attenuation (see the operation log).");
}

void TMain_Form::Log1Click() {
    if (logForm_)
        logForm_->exec();
}

bool TMain_Form::eventFilter(QObject* watched, QEvent* event) {
    if (FeedbackClicked(watched, event) || RemoteStatusClicked(watched, event))
        return true;
    if (watched == StatusBar1 && event->type() == QEvent::Resize)
        FitStatusFields();
    return QMainWindow::eventFilter(watched, event);
}
