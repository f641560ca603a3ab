// The output group: the output switch, attenuation and DC offset of the
// active channel. A view of one card: it sends through the card's
// operations, shows the record's values, and marks what the card does not
// hold yet.
#pragma once

#include <QObject>
#include <functional>

#include "Card.h"
#include "ReplacedEdits.h"

class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;
class TLampButton;
class UnsentMarks;

class OutputView final : public QObject, private CardSubscriber {
public:
    // Runs what a button does as one operation of the window on the card.
    using Operate = std::function<void(const std::function<void()>&)>;

    // `owner`: whose operations the view leaves to the refreshes they name
    // (the window's); it draws what any other changed from the card's notice.
    OutputView(QWidget* client, Card& card, UnsentMarks& marks, std::function<int()> channel,
               Operate operate, const void* owner = nullptr);
    ~OutputView() override;

    // Locked while a client holds the panel.
    void setLocked(bool locked);
    // Ctrl+Shift+A and Ctrl+Shift+D: Set, where it may be pressed.
    void pressSetAttenuation();
    void pressSetOffset();
    // A slider moved by the operator or a program: the marks follow.
    void onEdited(std::function<void()> edited);
    // The sliders, as the settings they edit.
    std::vector<EditableField> editableFields() const;

    // The record's values of the active channel.
    void showOutput();
    void showAttenuation();
    void showOffset();
    // What another than the window changed.
    void showChanged(const ChannelChange& changed);
    // The marks of the attenuation and the offset the card does not hold.
    void refreshMarks();
    // The controls' ranges in their tooltips.
    void setToolTips();

    // The buttons.
    void switchOutput();
    void setAttenuation();
    void setOffset();
    void switchOffsetPower();
    // Enter in the offset's field takes its value into the slider.
    void offsetTyped(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Another's change: the controls of what it changed drawn again.
    void cardChanged(const CardChange& change) override;
    // The controls; tests and assistive tools find them by their object names.
    QGroupBox* GroupBox7;
    TLampButton* Ch1_Mode_Button;
    QSlider* Att_Slider;
    QLineEdit* Att_Edit;
    QLineEdit* Edit2;
    QPushButton* AttenSetButton;
    QSlider* V_Slider;
    QLineEdit* V_Edit;
    QLineEdit* Edit3;
    QPushButton* OffsetButton;
    TLampButton* OffsetBut;

    void createControls(QWidget* client);
    void showSliderValue(QSlider* slider);
    // The offset the slider shows, written in its field and sent by `send`;
    // then the group shows the record.
    void sendOffset(const std::function<void(double)>& send);

    Card& card_;
    UnsentMarks& marks_;
    std::function<int()> channel_;
    Operate operate_;
    const void* owner_;
};
