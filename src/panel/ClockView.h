// The Clock page: the DDS reference clock's multiplier, the waveform memory
// clock's sweep and the memory counter step of the active channel. A view of
// one card: it shows the record, reads what it shows into a draft for the
// page's Update, and marks what the card does not hold yet.
#pragma once

#include <QObject>
#include <vector>

#include "Main_Controls.h"
#include "ViewHost.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TFrequencySpinEdit;
class TUpDown;

class ClockView final : public QObject, private CardSubscriber {
public:
    // The page's controls bound to the settings table.
    const BoundControls& bound() const { return bound_; }
    explicit ClockView(ViewHost host);
    ~ClockView() override;

    // The page, for the settings tabs; locked while a client holds the panel.
    QWidget* page() const { return Clk_TabSheet; }
    // The Update: what the page shows sent as the window's operation, then
    // every control showing the record (nothing when the sweep ends below
    // its start: the box says so).
    void update();
    // Ctrl+Enter: the Update, where it may be pressed.
    void pressUpdate();

    // The record's values of the channel `c`, or of the settings `changed`.
    void show(int c);
    void showChanged(const ChannelChange& changed, int c);
    // The channel's settings with the page's values read into them: the
    // multiplier the arrows chose, the counter step 2^N.
    TChannelInfo draft(int c) const;
    // The fields of frequencies the Update reads.
    std::vector<TFrequencySpinEdit*> frequencyFields() const;
    // Which of start, end, step, interval and FSK source the mode uses.
    void applyRules();
    void refreshMarks(int c);
    void setToolTips();

    // The arrows.
    void multiplierUp();
    void multiplierDown();
    void counterStepChosen();

private:
    // Another's change: the controls of what it changed drawn again.
    void cardChanged(const CardChange& change) override;
    // The page itself, for the settings tabs.
    QWidget* Clk_TabSheet;
    // The controls; tests and assistive tools find them by their object names.
    QGroupBox* GroupBox2; // "DDS Ref Clock"
    QLineEdit* ClkX_Edit;
    TUpDown* ClkX_SpinButton;
    QLabel* RefFreq_Label;
    QGroupBox* GroupBox3; // "Waveform Memory Clock"
    QComboBox* SweepMode_ComboBox;
    TFrequencySpinEdit* SwpStartF_SpinEdit;
    TFrequencySpinEdit* SwpEndF_SpinEdit;
    TFrequencySpinEdit* SwpStep_SpinEdit;
    QSpinBox* SwpInt_SpinEdit;
    QComboBox* FSKSource_ComboBox;
    QGroupBox* GroupBox4; // "Memory Counter"
    QLineEdit* CounterStep_Edit;
    TUpDown* CounterStep_UpDown;
    QPushButton* ClkUpdate_Button;

    QGroupBox* createDdsGroup();
    QGroupBox* createMemoryClockGroup();
    QGroupBox* createCounterGroup();
    void watchEdits();
    void showMultiplier(int c);
    void showCounterStep(double step);
    void startChanged();
    void endChanged();

    ViewHost host_;
    BoundControls bound_;
    const SettingRange* multiplier_ = nullptr;
    const SettingRange* counterStep_ = nullptr;
};
