#include "ClockView.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "Accepted.h"
#include "CardState.h"
#include "ChannelStatus.h"
#include "Named.h"
#include "Operations.h"
#include "OperatorDialogs.h"
#include "PanelWidgets.h"
#include "SettingRanges.h"
#include "UnsentMarks.h"

ClockView::ClockView(ViewHost host)
    : QObject(), host_(std::move(host)), multiplier_(&Setting("_Clock/Multiplier")),
      counterStep_(&Setting("_Clock/MemStep")) {
    Clk_TabSheet = Named(new QWidget, "Clk_TabSheet");
    setParent(Clk_TabSheet);
    auto* page = new QVBoxLayout(Clk_TabSheet);
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(createDdsGroup());
    page->addWidget(createMemoryClockGroup());
    page->addWidget(createCounterGroup());
    ClkUpdate_Button = Named(new QPushButton("Update", Clk_TabSheet), "ClkUpdate_Button");
    ClkUpdate_Button->setToolTip("Sends the clock settings to the channel (Ctrl+Enter).");
    auto* apply = new QHBoxLayout;
    apply->addStretch(1);
    apply->addWidget(ClkUpdate_Button);
    page->addLayout(apply);
    page->addStretch(1);
    bound_.collect(Clk_TabSheet);
    watchEdits();
    connect(ClkUpdate_Button, &QPushButton::clicked, this, [this] { update(); });
    host_.card.subscribe(*this);
}

ClockView::~ClockView() {
    host_.card.unsubscribe(*this);
}

void ClockView::cardChanged(const CardChange& change) {
    if (host_.owns(change))
        return;
    const int c = host_.channel();
    showChanged(change.channel[c], c);
}

void ClockView::update() {
    host_.operate([this] {
        if (!host_.readable(frequencyFields()))
            return;
        const int c = host_.channel();
        const TChannelInfo sent = draft(c);
        DialogOperatorUi ui(Clk_TabSheet->window());
        if (ApplyClock(host_.card, c, sent, ui))
            host_.redraw({Refresh::AllControls});
    });
}

void ClockView::pressUpdate() {
    PressIfReady(ClkUpdate_Button);
}

QGroupBox* ClockView::createDdsGroup() {
    GroupBox2 = Named(new QGroupBox("DDS Ref Clock", Clk_TabSheet), "GroupBox2");
    auto* multiplierLabel = Named(new QLabel("Clock Multiplier Value", GroupBox2), "Label11");
    ClkX_Edit = Named(new QLineEdit("20", GroupBox2), "ClkX_Edit");
    ClkX_Edit->setReadOnly(true);
    Bind(ClkX_Edit, *multiplier_);
    ClkX_Edit->setFixedWidth(48);
    multiplierLabel->setBuddy(ClkX_Edit);
    ClkX_SpinButton = Named(new TUpDown(GroupBox2), "ClkX_SpinButton");
    ClkX_SpinButton->setFixedHeight(24);
    RefFreq_Label = Named(new QLabel("Ref Clock Freq:", GroupBox2), "RefFreq_Label");
    auto* dds = new QGridLayout(GroupBox2);
    dds->addWidget(multiplierLabel, 0, 0, 1, 3);
    dds->addWidget(ClkX_Edit, 1, 0);
    dds->addWidget(ClkX_SpinButton, 1, 1);
    dds->setColumnStretch(2, 1);
    dds->addWidget(RefFreq_Label, 2, 0, 1, 3);
    connect(ClkX_SpinButton, &TUpDown::upClicked, this, [this] { multiplierUp(); });
    connect(ClkX_SpinButton, &TUpDown::downClicked, this, [this] { multiplierDown(); });
    return GroupBox2;
}

QGroupBox* ClockView::createMemoryClockGroup() {
    GroupBox3 = Named(new QGroupBox("Waveform Memory Clock", Clk_TabSheet), "GroupBox3");
    SweepMode_ComboBox = DropDown(GroupBox3, "SweepMode_ComboBox",
                                  {"Continuous (Start Frequency)", "Triangle sweep (Start <-> End)",
                                   "Swept FSK (Start <-> End)", "FSK (Start or End Freq's)"},
                                  -1);
    Bind(SweepMode_ComboBox, Setting("_Clock/SweepMode"));
    SwpStartF_SpinEdit = FrequencySpinEdit(GroupBox3, "SwpStartF_SpinEdit", "Start Freq (Hz)",
                                           Setting("_Clock/StartF"), 1000);
    SwpEndF_SpinEdit = FrequencySpinEdit(GroupBox3, "SwpEndF_SpinEdit", "End Freq (Hz)",
                                         Setting("_Clock/EndF"), 2000);
    SwpEndF_SpinEdit->setEnabled(false);
    SwpStep_SpinEdit = FrequencySpinEdit(GroupBox3, "SwpStep_SpinEdit", "Sweep Step Hz",
                                         Setting("_Clock/SweepStep"), 1);
    SwpStep_SpinEdit->setEnabled(false);
    SwpInt_SpinEdit = SpinEdit(GroupBox3, "SwpInt_SpinEdit", Setting("_Clock/StepInterval"), 1000);
    SwpInt_SpinEdit->setEnabled(false);
    FSKSource_ComboBox = DropDown(GroupBox3, "FSKSource_ComboBox", kFskSources, 0, true);
    Bind(FSKSource_ComboBox, Setting("_Wave/FSKSource"));
    for (TFrequencySpinEdit* spin : frequencyFields())
        spin->setMaximumWidth(96);
    auto* memoryClock = new QFormLayout(GroupBox3);
    memoryClock->setVerticalSpacing(4);
    memoryClock->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    memoryClock->addRow(new QLabel("Clock Sweep Mode:", GroupBox3));
    memoryClock->addRow(SweepMode_ComboBox);
    memoryClock->addRow("Start Freq (Hz)", SwpStartF_SpinEdit);
    memoryClock->addRow("End Freq (Hz)", SwpEndF_SpinEdit);
    memoryClock->addRow("Sweep Step Hz:", SwpStep_SpinEdit);
    memoryClock->addRow(new QLabel("Sweep Step Interval (uS):", GroupBox3));
    memoryClock->addRow(SwpInt_SpinEdit);
    memoryClock->addRow("FSK Source", FSKSource_ComboBox);
    connect(SweepMode_ComboBox, &QComboBox::currentIndexChanged, this, [this] { applyRules(); });
    connect(SwpStartF_SpinEdit, &QSpinBox::textChanged, this, [this] { startChanged(); });
    connect(SwpEndF_SpinEdit, &QSpinBox::textChanged, this, [this] { endChanged(); });
    return GroupBox3;
}

// The wave memory counter step: 2^N, N by its arrows.
QGroupBox* ClockView::createCounterGroup() {
    GroupBox4 = Named(new QGroupBox("Memory Counter", Clk_TabSheet), "GroupBox4");
    auto* stepLabel = Named(new QLabel("2^N,    N =", GroupBox4), "Label12");
    CounterStep_Edit = Named(new QLineEdit("1", GroupBox4), "CounterStep_Edit");
    CounterStep_Edit->setEnabled(false);
    Bind(CounterStep_Edit, *counterStep_);
    CounterStep_Edit->setFixedWidth(48);
    stepLabel->setBuddy(CounterStep_Edit);
    CounterStep_UpDown = Named(new TUpDown(GroupBox4), "CounterStep_UpDown");
    CounterStep_UpDown->setRange(static_cast<int>(std::log2(counterStep_->minimum)),
                                 static_cast<int>(std::log2(counterStep_->maximum)));
    CounterStep_UpDown->setFixedHeight(24);
    auto* counter = new QHBoxLayout(GroupBox4);
    counter->addWidget(stepLabel);
    counter->addWidget(CounterStep_Edit);
    counter->addWidget(CounterStep_UpDown);
    counter->addStretch(1);
    connect(CounterStep_UpDown, &TUpDown::clicked, this, [this] { counterStepChosen(); });
    return GroupBox4;
}

void ClockView::watchEdits() {
    const auto edited = [this] { host_.edited(); };
    for (QComboBox* combo : {SweepMode_ComboBox, FSKSource_ComboBox})
        connect(combo, &QComboBox::currentIndexChanged, this, edited);
    for (QSpinBox* spin : std::initializer_list<QSpinBox*>{SwpStartF_SpinEdit, SwpEndF_SpinEdit,
                                                           SwpStep_SpinEdit, SwpInt_SpinEdit})
        connect(spin, &QSpinBox::valueChanged, this, edited);
    for (QLineEdit* edit : {ClkX_Edit, CounterStep_Edit})
        connect(edit, &QLineEdit::textChanged, this, edited);
}

std::vector<TFrequencySpinEdit*> ClockView::frequencyFields() const {
    return {SwpStartF_SpinEdit, SwpEndF_SpinEdit, SwpStep_SpinEdit};
}

void ClockView::show(int c) {
    TChannelInfo& ch = host_.card.channel(c);
    bound_.show(ch);
    showMultiplier(c);
    showCounterStep(ch.MemStep);
    applyRules();
}

void ClockView::showChanged(const ChannelChange& changed, int c) {
    TChannelInfo& ch = host_.card.channel(c);
    bound_.showChanged(changed.settings, ch);
    if (changed.settings[multiplier_->index()]) {
        host_.card.pendingMultiplier(c) = ch.Multiplier;
        showMultiplier(c);
    }
    if (changed.settings[counterStep_->index()])
        showCounterStep(ch.MemStep);
}

void ClockView::showMultiplier(int c) {
    ClkX_Edit->setText(QString::number(host_.card.pendingMultiplier(c)));
}

void ClockView::showCounterStep(double step) {
    CounterStep_UpDown->setPosition(static_cast<int>(std::lround(std::log2(step))));
    counterStepChosen();
}

TChannelInfo ClockView::draft(int c) const {
    TChannelInfo d = DraftOf(host_.card.channel(c));
    bound_.read(d);
    multiplier_->set(d, host_.card.pendingMultiplier(c));
    counterStep_->set(d, std::pow(2.0, CounterStep_UpDown->position()));
    return d;
}

void ClockView::applyRules() {
    static const bool kEnabled[4][5] = {{true, false, false, false, false},
                                        {true, true, true, true, false},
                                        {true, true, true, true, true},
                                        {true, true, false, false, true}};
    const int mode = SweepMode_ComboBox->currentIndex();
    if (mode < 0 || mode > 3)
        return;
    QWidget* const controls[5] = {SwpStartF_SpinEdit, SwpEndF_SpinEdit, SwpStep_SpinEdit,
                                  SwpInt_SpinEdit, FSKSource_ComboBox};
    for (int i = 0; i < 5; ++i)
        controls[i]->setEnabled(kEnabled[mode][i]);
}

// Controls that cannot be changed now are not marked; the counter step's
// field only shows what its arrows set.
void ClockView::refreshMarks(int c) {
    const bool card = host_.card.session() != 0;
    const SettingFlags unsent = UnsentSettings(
        draft(c), {Step::ClockSource, Step::CounterStep, Step::ClockMode, Step::FSKSource},
        host_.card.accepted().Channel[c]);
    for (const BoundControls::Entry& e : bound_.entries()) {
        const QWidget* enabled = e.control == CounterStep_Edit ? CounterStep_UpDown : e.control;
        host_.marks.mark(e.control, card && enabled->isEnabled() && unsent[e.setting->index()],
                         kClockButton);
    }
}

void ClockView::setToolTips() {
    for (QSpinBox* spin : std::initializer_list<QSpinBox*>{SwpStartF_SpinEdit, SwpEndF_SpinEdit,
                                                           SwpStep_SpinEdit, SwpInt_SpinEdit})
        host_.marks.setPlainToolTip(spin, RangeToolTip(*SettingOf(spin)));
    host_.marks.setPlainToolTip(ClkX_Edit,
                                "Clock multiplier, 1 or 4 to 20: the arrows beside it change it.");
    host_.marks.setPlainToolTip(
        CounterStep_Edit, "Memory counter step as a power of two: 0 to 18 (steps of 1 to 262144).");
}

void ClockView::multiplierUp() {
    host_.operate([this] {
        const int c = host_.channel();
        int32_t& m = host_.card.pendingMultiplier(c);
        m = m <= 1 ? 4 : std::min(m + 1, 20);
        showMultiplier(c);
    });
}

void ClockView::multiplierDown() {
    host_.operate([this] {
        const int c = host_.channel();
        int32_t& m = host_.card.pendingMultiplier(c);
        m = m <= 4 ? 1 : m - 1;
        showMultiplier(c);
    });
}

void ClockView::counterStepChosen() {
    CounterStep_Edit->setText(QString::number(CounterStep_UpDown->position()));
}

// Only while both fields hold a number they can read.
void ClockView::startChanged() {
    const std::optional<int> start = SwpStartF_SpinEdit->typedValue();
    const std::optional<int> end = SwpEndF_SpinEdit->typedValue();
    if (start && end && *end < *start)
        SwpEndF_SpinEdit->setValue(*start);
}

void ClockView::endChanged() {
    const std::optional<int> start = SwpStartF_SpinEdit->typedValue();
    const std::optional<int> end = SwpEndF_SpinEdit->typedValue();
    if (start && end && *start > *end)
        SwpStartF_SpinEdit->setValue(*end);
}
