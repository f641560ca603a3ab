// The trigger group of the Waveform page: the trigger mode and source of the
// active channel and their Update. A view of one card; its lists are bound to
// the settings table's trigger rows (the Waveform page's Update sends them too).
#pragma once

#include <QObject>
#include <functional>

#include "Card.h"
#include "Main_Controls.h"

class QComboBox;
class QGroupBox;
class QPushButton;

class TriggerView final : public QObject {
public:
    using Operate = std::function<void(const std::function<void()>&)>;

    TriggerView(QWidget* page, Card& card, std::function<int()> channel, Operate operate);

    // The group, for the page's layout.
    QWidget* group() const;
    // A list's choice changed: the marks follow.
    void onEdited(std::function<void()> edited);

    // Update: the trigger the lists show, sent to the active channel.
    void apply();
    // The source list is enabled unless the mode is continuous.
    void modeChosen();
    // The lists' rows: shown from the record, read into a draft.
    const BoundControls& bound() const { return bound_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls; tests and assistive tools find them by their object names.
    QGroupBox* GroupBox1;
    QComboBox* TrigMode_ComboBox;
    QComboBox* TrigSource_ComboBox;
    QPushButton* TrigUpdate_Button;

    Card& card_;
    std::function<int()> channel_;
    Operate operate_;
    BoundControls bound_;
};
