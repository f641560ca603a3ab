#include "OutputView.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <cmath>

#include "Accepted.h"
#include "CardState.h"
#include "ChannelStatus.h"
#include "Main_Controls.h"
#include "Named.h"
#include "Operations.h"
#include "PanelWidgets.h"
#include "UnsentMarks.h"

namespace {

const char* const kAttButton = "Set beside it (Ctrl+Shift+A)";
const char* const kOffsetButton = "Set beside it (Ctrl+Shift+D)";

// Formats like C's "%-4.2f" with the user's decimal separator, cut to 10 characters.
QString OffsetText(double volts) {
    QString text = QLocale().toString(volts, 'f', 2);
    if (text.size() < 4)
        text = text.leftJustified(4);
    return text.left(10);
}

QSlider* Slider(QGroupBox* group, const char* name, const char* setting, int tick, const QRect& at,
                const char* caption) {
    QSlider* slider = Named(new QSlider(Qt::Horizontal, group), name);
    const SettingRange& range = Setting(setting);
    slider->setRange(range.controlMinimum(), range.controlMaximum());
    slider->setTickInterval(tick);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setGeometry(at);
    slider->setAccessibleName(caption);
    // The keyboard's place shows: a dotted frame while it has the focus
    // (beside the unsent mark's rule, which the marks then keep).
    const QFont face = slider->font();
    slider->setStyleSheet(QString(UnsentMarks::kUnsentRule) +
                          " QSlider:focus { border: 1px dotted black; }");
    slider->setFont(face);
    return slider;
}

} // namespace

OutputView::OutputView(QWidget* client, Card& card, UnsentMarks& marks,
                       std::function<int()> channel, Operate operate, const void* owner)
    : QObject(client), card_(card), marks_(marks), channel_(std::move(channel)),
      operate_(std::move(operate)), owner_(owner) {
    card_.subscribe(*this);
    createControls(client);
    connect(Ch1_Mode_Button, &QPushButton::clicked, this, [this] { switchOutput(); });
    connect(Att_Slider, &QSlider::valueChanged, this, [this] { showSliderValue(Att_Slider); });
    connect(V_Slider, &QSlider::valueChanged, this, [this] { showSliderValue(V_Slider); });
    connect(AttenSetButton, &QPushButton::clicked, this, [this] { setAttenuation(); });
    connect(OffsetButton, &QPushButton::clicked, this, [this] { setOffset(); });
    connect(OffsetBut, &QPushButton::clicked, this, [this] { switchOffsetPower(); });
}

void OutputView::createControls(QWidget* client) {
    GroupBox7 = Named(new QGroupBox("Output", client), "GroupBox7");
    GroupBox7->setGeometry(16, 466, 561, 84);
    Ch1_Mode_Button = Named(new TLampButton("Output On ", GroupBox7), "Ch1_Mode_Button");
    Ch1_Mode_Button->setGeometry(8, 26, 96, 44);

    Named(new QLabel("Attenuation", GroupBox7), "Label9")->move(116, 20);
    Att_Slider =
        Slider(GroupBox7, "Att_Slider", "_Wave/Attenuation", 10, {112, 40, 100, 30}, "Attenuation");
    Att_Edit = Named(new QLineEdit(" 0", GroupBox7), "Att_Edit");
    Att_Edit->setMaxLength(2); // two digits; it only shows the slider
    Att_Edit->setEnabled(false);
    Att_Edit->setGeometry(216, 42, 28, 22);
    Edit2 = UnitText(GroupBox7, "Edit2", "dB");
    Edit2->setGeometry(246, 42, 22, 22);
    AttenSetButton = Named(new QPushButton("Set", GroupBox7), "AttenSetButton");
    AttenSetButton->setGeometry(270, 41, 40, 24);

    Named(new QLabel("DC Offset", GroupBox7), "Label10")->move(334, 20);
    // In hundredths of a volt.
    V_Slider =
        Slider(GroupBox7, "V_Slider", "_Wave/DCOffset", 100, {330, 40, 120, 30}, "DC Offset");
    V_Edit = Named(new QLineEdit("0.00", GroupBox7), "V_Edit");
    V_Edit->setGeometry(454, 42, 44, 22);
    V_Edit->setAccessibleName("DC Offset (V)");
    V_Edit->installEventFilter(this);
    Edit3 = UnitText(GroupBox7, "Edit3", "V");
    Edit3->setGeometry(500, 42, 14, 22);
    OffsetButton = Named(new QPushButton("Set", GroupBox7), "OffsetButton");
    OffsetButton->setGeometry(516, 41, 38, 24);
    OffsetBut = Named(new TLampButton("Offset On", GroupBox7), "OffsetBut");
    OffsetBut->setGeometry(472, 12, 82, 26);

    FitChildrenInsideFrame(GroupBox7);
}

void OutputView::showOutput() {
    Ch1_Mode_Button->setLit(card_.channel(channel_()).OutputOn);
}

void OutputView::showAttenuation() {
    const TWaveSettings& w = card_.channel(channel_()).Wave;
    if (IsKnown(w.Attenuation)) {
        Att_Slider->setValue(static_cast<int>(std::lround(w.Attenuation)));
        showSliderValue(Att_Slider); // also when the position stays
        marks_.setPlainToolTip(Att_Edit, marks_.plainToolTip(Att_Slider));
    } else {
        // The slider keeps its place; the value shows as not known.
        Att_Edit->setText("--");
        marks_.setPlainToolTip(Att_Edit, "Not known: the card refused the attenuation it was "
                                         "sent when it was selected. Press Set to send one.");
    }
}

void OutputView::showOffset() {
    const TWaveSettings& w = card_.channel(channel_()).Wave;
    V_Slider->setValue(static_cast<int>(std::lround(w.DCOffset * 100)));
    OffsetBut->setLit(w.OffsetOn);
}

OutputView::~OutputView() {
    card_.unsubscribe(*this);
}

void OutputView::cardChanged(const CardChange& change) {
    if (change.origin && change.origin == owner_)
        return; // the window's own: the refreshes its operation names show it
    showChanged(change.channel[channel_()]);
}

void OutputView::showChanged(const ChannelChange& changed) {
    if (changed.settings[Setting("_Wave/Attenuation").index()])
        showAttenuation();
    if (changed.settings[Setting("_Wave/DCOffset").index()] || changed.output)
        showOffset();
    if (changed.output)
        showOutput();
}

void OutputView::refreshMarks() {
    const bool card = card_.session() != 0;
    const TAcceptedChannel& a = card_.accepted().Channel[channel_()];
    const bool att = card && UnsentAttenuation(Att_Slider->value(), a);
    marks_.mark(Att_Slider, att, kAttButton);
    marks_.mark(Att_Edit, att, kAttButton);
    const bool offset = card && UnsentOffset(V_Slider->value() / 100.0, a);
    marks_.mark(V_Slider, offset, kOffsetButton);
    marks_.mark(V_Edit, offset, kOffsetButton);
}

void OutputView::setToolTips() {
    marks_.setPlainToolTip(
        Att_Slider, QString::fromStdString(RangeDescription(Setting("_Wave/Attenuation"))) + ".");
    const QString offset =
        QString("%1, %2 to %3, in steps of 0.01 V; type a value and press Enter.")
            .arg(Setting("_Wave/DCOffset").description)
            .arg(Att_Slider->locale().toString(V_Slider->minimum() / 100.0, 'f', 2))
            .arg(Att_Slider->locale().toString(V_Slider->maximum() / 100.0, 'f', 2));
    marks_.setPlainToolTip(V_Slider, offset);
    marks_.setPlainToolTip(V_Edit, offset);
    AttenSetButton->setToolTip("Sends the attenuation to the channel (Ctrl+Shift+A).");
    OffsetButton->setToolTip("Sends the DC offset to the channel (Ctrl+Shift+D).");
}

void OutputView::switchOutput() {
    operate_([this] {
        const int c = channel_();
        SetOutput(card_, c, !card_.channel(c).OutputOn);
        showOutput();
    });
}

void OutputView::showSliderValue(QSlider* slider) {
    if (slider == Att_Slider)
        Att_Edit->setText(QString::asprintf("%2d", Att_Slider->value()).left(10));
    else
        V_Edit->setText(OffsetText(V_Slider->value() / 100.0));
}

void OutputView::setAttenuation() {
    operate_([this] {
        SetAttenuation(card_, channel_(), Att_Slider->value());
        showAttenuation();
        showOffset();
    });
}

void OutputView::setOffset() {
    sendOffset([this](double volts) { SetOffset(card_, channel_(), volts); });
}

void OutputView::switchOffsetPower() {
    sendOffset(
        [this](double volts) { SetOffsetPower(card_, channel_(), volts, OffsetBut->lit()); });
}

void OutputView::sendOffset(const std::function<void(double)>& send) {
    operate_([&] {
        const double volts = V_Slider->value() / 100.0;
        V_Edit->setText(OffsetText(volts));
        send(volts);
        showAttenuation();
        showOffset();
    });
}

void OutputView::offsetTyped(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    QString text = V_Edit->text().left(10);
    text.replace('+', ' ');
    bool ok = false;
    double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) {
        // Not a number: the field shows the slider's value again.
        showSliderValue(V_Slider);
        return;
    }
    V_Edit->setText(OffsetText(value));
    const double hundredths = std::trunc(std::clamp(value * 100, -1e6, 1e6));
    V_Slider->setValue(static_cast<int>(hundredths));
}

bool OutputView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == V_Edit && event->type() == QEvent::KeyPress)
        offsetTyped(static_cast<QKeyEvent*>(event)->key());
    return QObject::eventFilter(watched, event);
}

void OutputView::setLocked(bool locked) {
    GroupBox7->setEnabled(!locked);
}

void OutputView::pressSetAttenuation() {
    PressIfReady(AttenSetButton);
}

void OutputView::pressSetOffset() {
    PressIfReady(OffsetButton);
}

void OutputView::onEdited(std::function<void()> edited) {
    for (QSlider* slider : {Att_Slider, V_Slider})
        connect(slider, &QSlider::valueChanged, this, [edited] { edited(); });
}

std::vector<EditableField> OutputView::editableFields() const {
    return {{Att_Slider, {&Setting("_Wave/Attenuation")}, 1},
            {V_Slider, {&Setting("_Wave/DCOffset")}, 100}};
}
