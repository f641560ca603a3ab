// The main window of the front panel: one set of controls that always acts on
// the active channel (the selected channel tab plus one).
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Card.h"
#include "Main_Controls.h"
#include "UnsentMarks.h"
#include "ViewHost.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QImage;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QRect;
class QScrollArea;
class QSlider;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class TAbout_Form;
class TCard_Form;
class TElidedLabel;
class TExternalClk_Form;
class TFrequencySpinEdit;
class TImage;
class TLampButton;
class TLog_Form;
class TMemTest_Form;
class TWaveBuilder_Form;
class TRemote_Form;
class ReplacedEdits;
struct EditableField;
class StatusStripView;
class QTimer;
class OutputView;
class PreviewView;
class WaveformView;
class ClockView;

// The window is one subscriber of the card it shows: told about each command
// and each reset of the record.
class TMain_Form : public QMainWindow, private CardSubscriber {
    Q_OBJECT
public:
    explicit TMain_Form(QWidget* parent = nullptr);
    ~TMain_Form() override;

    // The card the window shows and sends to; the window owns it.
    Card& card() { return card_; }
    const Card& card() const { return card_; }

    static constexpr int kClientWidth = 827;
    static constexpr int kClientHeight = 674;

    // The windows created after the main window, for the menu to show.
    void AttachForms(TExternalClk_Form* extClk, TCard_Form* card, TAbout_Form* about,
                     TLog_Form* log, TMemTest_Form* memTest);

    int ActiveChannelNumber() const;
    // Serves as the Remote Control window's remembered choices say, when they say to at start.
    void ServeAtStart();
    // The remote control window, made when first asked for (null before).
    TRemote_Form* RemoteForm() const { return remoteForm_; }
    // Whether the window sees every key before the focused control (the
    // start-frequency stepping keys held).
    bool KeyPreview() const { return keyPreview_; }
    // The channel status strip and the unsent marks, from what the card accepted.
    void RefreshCardView();
    // Whether a control is marked as holding what the card does not; its
    // tooltip without the mark's note.
    bool MarkedUnsent(const QWidget* control) const;
    QString PlainToolTip(const QWidget* control) const;
    // The text the feedback field shows in full (the field may elide it).
    const QString& Feedback() const { return feedback_; }
    // The logo the about box shows too.
    QImage& LogoPicture();
    // Sizes the window for a screen whose available area is `area`.
    void FitInto(const QRect& area);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The handlers and the specified refreshes; the menu's actions, the
    // views' buttons and the card's notices run them.
    // The channels of the open card (the third tab shows only on a card with three).
    int CardChannels() const;

    void UpdateAllControls();
    void UpdateControlValues();
    void UpdateModeLEDs();
    void UpdateAttControls();

    // Handlers.
    void Card1Click();
    void Log1Click();
    // Shows the waveform builder (one, non-modal) for the active channel.
    void WaveBuilder1Click();
    void RemoteControl1Click();
    // While a client locks the front panel out: every control that sends a
    // setting or changes the record disabled (the pages, the output group,
    // the menu items that load, apply, select a card or test memory).
    void LockForRemote(bool locked);
    // Puts built samples into a channel's waveform as an import would.
    void UseBuiltWaveform(int channel, const std::vector<double>& samples, const QString& name);
    void Channel_PageControlChange();
    void Settings_PageControlChange();

    // Waveform page.
    // The start-frequency stepping keys.
    void FormKeyDown(const QKeyEvent* event);
    void FormKeyUp(const QKeyEvent* event);

    // Preview.
    void Preview_Wave();
    void RedrawPreview();

    // Trigger and clock.
    void TriggerModeChosen();
    void UseInternalClock();
    void UseExternalClock();

    // Arbitrary waveform files.
    ViStatus ImportWaveFile(int channel, const std::string& fileName, bool normalise, bool text);
    ViStatus SaveWaveFile(int channel, const std::string& fileName, int first, bool text,
                          int count);
    // Import and Save of the Arbitrary page, in the format chosen there.
    void Import_ButtonClick(bool text);
    void Save_ButtonClick(bool text);

    // Maintenance tools.
    void MemoryTest1Click();
    void ReadCalibrationDate1Click();
    void About1Click();

    // Configuration files.
    void SaveConfig1Click();
    // Before a save: each builder waveform in no file to be saved beside the
    // configuration `config` (when the operator agrees) or left out of it, or
    // the save cancelled. Fills `saved` with the record to save; the files to
    // write with it, what to say of them, and whether a waveform was left out.
    struct FiledWaves {
        QString said;
        bool leftOut = false;
        bool cancelled = false;                                 // the operator cancelled the save
        std::vector<std::pair<std::string, std::string>> files; // to write with the configuration
        std::vector<int> channels;                              // whose waveform they hold
    };
    FiledWaves FileBuiltWaveforms(const QString& config, TCardInfo& saved);
    void LoadConfig1Click();
    // Loads a configuration as Load Config does, then sends every channel of it.
    void ApplyConfig1Click();
    // Loads the configuration the File menu lists at `index` (0 the latest).
    void RecentConfigClick(int index);

    // The controls; tests and assistive tools find them by their object names.
    // Menu.
    QAction* NewWindow1;
    QAction* LoadConfig1;
    QAction* ApplyConfig1;
    QAction* SaveConfig1;
    QAction* RecentConfig[4] = {};
    QAction* Exit1;
    QAction* Card1;
    QAction* InternalClk_MenuItem;
    QAction* ExternalClk_MenuItem;
    QAction* MemoryTest1;
    QAction* ReadCalibrationDate1;
    QAction* Log1;
    QAction* WaveBuilder1;
    QAction* RemoteControl1;
    QAction* About1;

    QTabWidget* Channel_PageControl;
    QWidget* Ch1_TabSheet;
    QWidget* Ch2_TabSheet;
    QWidget* Ch3_TabSheet;

    QTabWidget* Settings_PageControl;

    // The settings pages: views of the card.
    WaveformView* wave_ = nullptr;
    ClockView* clock_ = nullptr;

    // The preview: a view of the card (a child of the client area).
    PreviewView* preview_ = nullptr;

    // The output group: a view of the card (a child of the client area).
    OutputView* output_ = nullptr;

    QFrame* Panel2;
    TImage* Image1;

    // What each channel of the open card holds: beside the channel tabs.
    std::unique_ptr<StatusStripView> strip_;

    bool fitsScreens_ = false;      // refitted when the window changes screens
    QScrollArea* Client_ScrollArea; // holds the client area
    QStatusBar* StatusBar1;
    TElidedLabel* StatusText;             // the status bar's one panel
    QLabel* RemoteStatus_Label = nullptr; // "Remote: ..." while serving
    TElidedLabel* Feedback_Label;         // what happened last, in the rest of the bar

    // The panels of the process not yet closed, the first opened first.
    static std::vector<TMain_Form*>& OpenPanels();
    static int panelsOpened_; // panels made in this run
    static void RefreshCaptions();
    int panelNumber_ = 1; // this one's place among them ("panel 2")
    // A client asked the card to show itself: the caption and the strip
    // flash for ten seconds (half-second steps left).
    void Identify(const QString& who);
    void IdentifyStep();
    QTimer* identifyTimer_ = nullptr;
    int identifySteps_ = 0;
    void FormCreate();
    void FormShow();
    void FormClose();
    // False when the operator keeps the window for the remote clients connected.
    bool CloseRemoteClients();
    void CreateMenu();
    void CreatePreview(QWidget* client);
    void CreateOutputGroup(QWidget* client);
    void CreateLogo(QWidget* client);
    void CreateSettings(QWidget* client);
    void CreateFeedbackField();
    void StartFeedback();
    // A failure shows in red; advice and success in the normal text colour.
    enum class Tone { Failure, Advice };
    // `text` (what happened, never shortened) and `names` after it (a list
    // the field may shorten at its end).
    void ShowFeedback(const QString& text, Tone tone = Tone::Failure,
                      const QString& names = QString());
    void ShowNoCard();
    void FitStatusFields();
    bool FrequenciesReadable(const std::vector<TFrequencySpinEdit*>& fields);
    void CommandReported(const CommandOutcome& outcome);
    void commandReported(const CommandOutcome& outcome) override { CommandReported(outcome); }
    void recordReset() override { UpdateAllControls(); }
    void cardChanged(const CardChange& change) override;
    // After the views drew what another than the window changed of the
    // active channel: the clock source's menu, the pages' rules and a
    // preview already drawn.
    void ShowChangedSettings(const ChannelChange& changed);
    void FollowChange(const CardChange& change);
    // Told of a change after the views.
    class Followed final : public CardSubscriber {
    public:
        explicit Followed(TMain_Form& form);
        ~Followed() override;
        void cardChanged(const CardChange& change) override;

    private:
        TMain_Form& form_;
    };
    std::unique_ptr<Followed> followed_;
    // The enabling rules of the pages, from what their controls show.
    void ApplyPageRules();
    // Around what the window does to its card: the card tells the change as
    // the window's own, and the strip and marks are drawn once, at its end.
    class OwnOperation {
    public:
        explicit OwnOperation(TMain_Form& form);
        ~OwnOperation();
        OwnOperation(const OwnOperation&) = delete;
        OwnOperation& operator=(const OwnOperation&) = delete;

    private:
        TMain_Form& form_;
        std::unique_ptr<Card::Operation> operation_;
    };
    int ownOperations_ = 0;
    // What a view's button does, run as one of the window's own operations.
    std::function<void(const std::function<void()>&)> AsOwnOperation();
    // What the pages' views are given.
    ViewHost Host();
    void ShowProblem(int channel, const QString& what, const std::string& text);
    bool FeedbackClicked(QObject* watched, QEvent* event);
    // Every control of the active channel that edits a row of the table.
    std::vector<EditableField> EditableFields() const;
    // The unsent edits another's change replaced, back in their fields.
    void PutBackEdits();
    bool RemoteStatusClicked(QObject* watched, QEvent* event);
    void CreateRemoteForm();
    void CreateStatusStrip(QWidget* client);
    void CreateSendKeys();
    void SetRangeToolTips();
    void WatchUnsentEdits();
    void RefreshUnsentMarks();
    void WatchStepKeyClicks();
    void UpdateClockSourceChecks();
    bool LoadConfigFrom(const QString& fileName);
    void RefreshRecentConfigs();
    QString LoadReport(const std::vector<std::string>& unreadable,
                       const std::vector<std::string>& outOfRange) const;
    void ShowLoadedClockAndTrigger();
    void ShowCardStates(const std::vector<int>& unknownAttenuation);

    Card card_;
    UnsentMarks marks_;
    std::unique_ptr<ReplacedEdits> replaced_;
    TExternalClk_Form* extClkForm_ = nullptr;
    TCard_Form* cardForm_ = nullptr;
    TAbout_Form* aboutForm_ = nullptr;
    TLog_Form* logForm_ = nullptr;
    TMemTest_Form* memTestForm_ = nullptr;
    TWaveBuilder_Form* builderForm_ = nullptr; // made when first asked for
    TRemote_Form* remoteForm_ = nullptr;       // made when first asked for
    bool closed_ = false;
    bool keyPreview_ = false;  // the window sees every key before the focused control
    QString feedback_;         // what the status field says, in full
    std::string failureTitle_; // the refused command it shows, if it shows one
    std::string failureEntry_; // that refusal's log entry
    int failureChannel_ = 0;
    bool failureThisAction_ = false; // a command of the operation under way was refused
    QString loadReport_;             // what the last configuration load could not use
    // Channels whose samples came from the Waveform Builder and are in no file.
    bool unfiled_[4] = {false, false, false, false};
};
