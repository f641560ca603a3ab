#include "PreviewView.h"

#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <algorithm>

#include "CardState.h"
#include "Display_Unit.h"
#include "Named.h"
#include "PanelWidgets.h"

PreviewView::PreviewView(QWidget* client, Card& card, std::function<int()> channel,
                         std::function<PreviewShape()> shape)
    : QObject(client), card_(card), channel_(std::move(channel)), shape_(std::move(shape)) {
    createControls(client);
    connect(Preview_Button, &QPushButton::clicked, this, [this] { draw(); });
}

PreviewView::~PreviewView() = default;

void PreviewView::createControls(QWidget* client) {
    Panel1 = Named(new QFrame(client), "Panel1");
    Panel1->setGeometry(16, 32, 561, 433);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);

    VrDisplay2 = Named(new QFrame(Panel1), "VrDisplay2");
    VrDisplay2->setGeometry(48, 16, 473, 369);
    VrDisplay2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    VrDisplay2->setLineWidth(2);
    QPalette display = VrDisplay2->palette();
    display.setColor(QPalette::Window, QColor(133, 152, 124));
    display.setColor(QPalette::Dark, QColor(102, 119, 94));
    display.setColor(QPalette::Shadow, QColor(102, 119, 94));
    VrDisplay2->setPalette(display);
    VrDisplay2->setAutoFillBackground(true);

    Grat_Image = Named(new TImage(VrDisplay2), "Grat_Image");
    Wave_Image = Named(new TImage(VrDisplay2), "Wave_Image");

    auto scaleLabel = [&](const char* name, const char* text, int left) {
        auto* label = Named(new QLabel(text, Panel1), name);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(left, 0, 42 - left, label->sizeHint().height());
        return label;
    };
    Max_Vert_Label = scaleLabel("Max_Vert_Label", "100%", 8);
    Half_Vert_Label = scaleLabel("Half_Vert_Label", "50%", 8);
    Min_Vert_Label = scaleLabel("Min_Vert_Label", "0%", 12);

    Min_Sample_Label = Named(new QLabel("Data Point 0", Panel1), "Min_Sample_Label");
    Min_Sample_Label->move(32, 396);
    Min_Sample_Label->resize(150, Min_Sample_Label->sizeHint().height());
    Max_Sample_Label = Named(new QLabel("Data Point 0", Panel1), "Max_Sample_Label");
    Max_Sample_Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Right-aligned: its right edge stays where the design put it.
    Max_Sample_Label->setGeometry(462 + Max_Sample_Label->sizeHint().width() - 150, 396, 150,
                                  Max_Sample_Label->sizeHint().height());
    Preview_Button = Named(new QPushButton("Preview Waveform", Panel1), "Preview_Button");
    Preview_Button->setGeometry(216, 400, 113, 25);
}

void PreviewView::layOut() {
    // The two pictures fill the display but for a 12-pixel margin.
    const QRect inner(12, 12, VrDisplay2->width() - 24, VrDisplay2->height() - 24);
    Grat_Image->setGeometry(inner);
    Wave_Image->setGeometry(inner);
    display_ =
        std::make_unique<TDisplay>(Grat_Image->picture(), Wave_Image->picture(), inner.size());
    // The scale labels are centred on the picture's top edge, middle and bottom edge.
    const int top = VrDisplay2->y() + Grat_Image->y();
    const int height = Grat_Image->height();
    Max_Vert_Label->move(Max_Vert_Label->x(), top - Max_Vert_Label->height() / 2);
    Min_Vert_Label->move(Min_Vert_Label->x(), top + height - Min_Vert_Label->height() / 2);
    Half_Vert_Label->move(Half_Vert_Label->x(), top + height / 2 - Half_Vert_Label->height() / 2);
}

void PreviewView::redraw() {
    if (drawn_)
        draw();
}

void PreviewView::draw() {
    draw(shape_());
}

void PreviewView::draw(const PreviewShape& shape) {
    drawn_ = true;
    if (shape.arbitrary) {
        const TArbWave& arb = card_.channel(channel_()).Wave.Arb;
        Min_Sample_Label->setText("Data Point 0");
        Max_Sample_Label->setText("Data Point " + QString::number(arb.WaveLength));
        display_->DrawWaveData(arb.Data, arb.WaveLength);
    } else {
        // One period at the start frequency the page shows.
        double period = 1.0 / std::max(shape.startHz, 1);
        QString unit = "s";
        if (period < 1) {
            unit = period < 0.001 ? "uS" : "mS";
            period *= period < 0.001 ? 1000000 : 1000;
        }
        Max_Sample_Label->setText("Time: " + QLocale().toString(period, 'g', 4) + unit);
        Min_Sample_Label->setText("Time: 0" + unit);
        display_->DrawBasicShape(shape.waveType, 128, shape.symmetry);
    }
    Grat_Image->update();
    Wave_Image->update();
}
