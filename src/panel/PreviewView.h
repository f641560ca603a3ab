// The preview: one period of the active channel's waveform, the samples on
// the Arbitrary page, else a sketch of the basic shape the Waveform page shows.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "Card.h"

class QFrame;
class QLabel;
class QPushButton;
class TDisplay;
class TImage;

// What the Waveform page shows, as the preview draws it.
struct PreviewShape {
    bool arbitrary = false; // the Arbitrary page: the channel's samples
    int startHz = 1;
    int waveType = 0;
    int symmetry = 50;
};

class PreviewView final : public QObject {
public:
    PreviewView(QWidget* client, Card& card, std::function<int()> channel,
                std::function<PreviewShape()> shape);
    ~PreviewView() override;

    // The pictures fill the display but for a margin, the scale beside them.
    void layOut();
    // Draws the preview (the button): of the Waveform page as it stands, or
    // of `shape`.
    void draw();
    void draw(const PreviewShape& shape);
    // Another than the operator changed the waveform: a preview already drawn follows it.
    void redraw();

private:
    // The controls; tests and assistive tools find them by their object names.
    QFrame* Panel1;
    QFrame* VrDisplay2;
    TImage* Grat_Image;
    TImage* Wave_Image;
    QLabel* Max_Vert_Label;
    QLabel* Half_Vert_Label;
    QLabel* Min_Vert_Label;
    QLabel* Min_Sample_Label;
    QLabel* Max_Sample_Label;
    QPushButton* Preview_Button;

    void createControls(QWidget* client);

    Card& card_;
    std::function<int()> channel_;
    std::function<PreviewShape()> shape_;
    std::unique_ptr<TDisplay> display_; // draws into Grat_Image and Wave_Image
    bool drawn_ = false;                // drawn once
};
