// The Waveform page: the Basic page (a generated waveform and its sweep), the
// Arbitrary page (the samples' file and repetition rate), the AM mode, the
// page's Update and the trigger group. A view of one card: it shows the
// record, reads what it shows into a draft for the Update, and marks what the
// card does not hold yet. It runs its Update itself, as the window's
// operation; the window reads and writes the Arbitrary page's files.
#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "Main_Controls.h"
#include "PreviewView.h"
#include "ViewHost.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class TElidedLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class TFrequencySpinEdit;
class TLampButton;
class TriggerView;

class WaveformView final : public QObject, private CardSubscriber {
public:
    // The page's controls bound to the settings table (its trigger group's are trigger->bound()).
    const BoundControls& bound() const { return bound_; }
    explicit WaveformView(ViewHost host);
    ~WaveformView() override;
    // The trigger group: a view of its own on this page.
    TriggerView* trigger;

    // The page, for the settings tabs; locked while a client holds the panel.
    QWidget* page() const { return Wave_TabSheet; }
    // The Update: what the page shows sent as the window's operation, its
    // problems said in the window's status field, then the output switch
    // and the page showing the record.
    void update();
    // Ctrl+Enter: the Update, where it may be pressed.
    void pressUpdate();
    // What Import and Save do, with the format chosen (text or binary).
    void onFiles(std::function<void(bool text)> import, std::function<void(bool text)> save);
    // The start frequency's step (1, or 10, 100, 1000 while a key is held);
    // a click on the start frequency or the repetition rate, told once.
    void setStartStep(int step);
    void onStepFieldClick(std::function<void()> clicked);

    // The record's values of the channel `c` (the trigger group keeps its
    // own), the page it plays selected; or only the settings `changed`.
    void show(int c);
    void showChanged(const ChannelChange& changed, int c);
    // The samples' file name and count.
    void showSamplesInfo(int c);
    // The channel's settings with the page's values read into them, the
    // trigger group's included: what the Update sends.
    TChannelInfo draft(int c) const;
    bool manualSweep() const;
    // The fields of frequencies the Update reads.
    std::vector<TFrequencySpinEdit*> frequencyFields() const;
    // What the preview draws of the page.
    // Channel `c`'s waveform as its record holds it (the page's controls may
    // show another channel's while another page is up).
    PreviewShape recordShape(int c) const;
    PreviewShape previewShape() const;
    // The enabling rules of the page, from what its controls show.
    void applyRules();
    // Auto and Manual, Up and Down: only while a software sweep is chosen.
    void applySweepRules();
    void refreshMarks(int c);
    void setToolTips();

    // The page's own handlers.
    void selectSweep(bool sweep);
    void sweepModeChosen();
    void sweepStep(bool up);
    void loadFormatChosen(bool text);
    void normaliseChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Another's change: the controls of what it changed drawn again.
    void cardChanged(const CardChange& change) override;

private:
    // The page itself, for the settings tabs.
    QWidget* Wave_TabSheet;
    // The controls; tests and assistive tools find them by their object names.
    QTabWidget* Wave_PageControl;
    QWidget* TabSheet7; // "Basic"
    QWidget* TabSheet8; // "Arbitrary"
    QComboBox* WaveType_ComboBox;
    QSpinBox* Symm_SpinEdit;
    QRadioButton* SingleF_RadioButton;
    QRadioButton* SweepF_RadioButton;
    TFrequencySpinEdit* StartF_SpinEdit;
    TFrequencySpinEdit* EndF_SpinEdit;
    TFrequencySpinEdit* SweepStep_SpinEdit;
    QSpinBox* StepInt_SpinEdit;
    QComboBox* FSK_ComboBox;
    QGroupBox* SweepBox;
    QRadioButton* AutoRadioButton;
    QRadioButton* ManualRadioButton;
    TLampButton* ManualUpButton;
    TLampButton* ManualDownButton;
    TLampButton* ManualDown_Button;
    QCheckBox* AM_CheckBox;
    QPushButton* WaveUpdate_Button;
    QGroupBox* GroupBox6;
    QRadioButton* LoadBin_RadioButton;
    QRadioButton* LoadText_RadioButton;
    QCheckBox* LoadNorm_CheckBox;
    QPushButton* Import_Button;
    QGroupBox* GroupBox5;
    QRadioButton* SaveBin_RadioButton;
    QRadioButton* SaveText_RadioButton;
    QPushButton* Save_Button;
    QGroupBox* GroupBox18;
    TElidedLabel* ArbWave_Filename_Label;
    QLabel* Arbwave_DataCount_Label;
    QLabel* Label18;
    TFrequencySpinEdit* repRate1;

    QWidget* createBasicPage();
    QWidget* createSweepGroup();
    QWidget* createArbitraryPage();
    QGroupBox* createLoadGroup();
    QGroupBox* createSaveGroup();
    void watchEdits();
    void markPage(int c, const TChannelInfo& draft);

    ViewHost host_;
    BoundControls bound_; // the page's, the trigger group's aside
    std::function<void(bool)> import_, save_;
    std::function<void()> stepFieldClicked_;
};
