#include "WaveformView.h"

#include "ElidedLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <cmath>

#include "Accepted.h"
#include "CardState.h"
#include "ChannelStatus.h"
#include "Operations.h"
#include "OperatorDialogs.h"
#include "PanelWidgets.h"
#include "SafeFile.h"
#include "SettingRanges.h"
#include "TriggerView.h"
#include "UnsentMarks.h"

void WaveformView::show(int c) {
    TChannelInfo& ch = host_.card.channel(c);
    bound_.show(ch);
    StartF_SpinEdit->setEnabled(true);
    const bool sweep = SweepF_RadioButton->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{EndF_SpinEdit, SweepStep_SpinEdit,
                                                      StepInt_SpinEdit, FSK_ComboBox})
        w->setEnabled(sweep);
    LoadNorm_CheckBox->setEnabled(LoadText_RadioButton->isChecked());
    Wave_PageControl->setCurrentWidget(ch.Wave.ArbitraryFlag ? TabSheet8 : TabSheet7);
}

void WaveformView::showChanged(const ChannelChange& changed, int c) {
    TChannelInfo& ch = host_.card.channel(c);
    bound_.showChanged(changed.settings, ch);
    trigger->bound().showChanged(changed.settings, ch);
    if (changed.settings[Setting("_Wave/ArbitraryFlag").index()])
        Wave_PageControl->setCurrentWidget(ch.Wave.ArbitraryFlag ? TabSheet8 : TabSheet7);
    if (changed.samples)
        showSamplesInfo(c);
    // The sweep's Auto/Manual choice follows the sweep the card plays.
    const TAcceptedChannel& a = host_.card.accepted().Channel[c];
    if (changed.accepted && a.Generated && a.Generated->value("_Wave/SweepFlag").value_or(0) != 0)
        (a.Generated->Manual ? ManualRadioButton : AutoRadioButton)->setChecked(true);
}

void WaveformView::showSamplesInfo(int c) {
    const TArbWave& arb = host_.card.channel(c).Wave.Arb;
    ArbWave_Filename_Label->setFullText("Filename: " +
                                        QString::fromLocal8Bit(BaseName(arb.ArbFile).c_str()));
    // The whole name in its tooltip (the unsent mark's note beside it).
    host_.marks.setPlainToolTip(ArbWave_Filename_Label, ArbWave_Filename_Label->fullText());
    Arbwave_DataCount_Label->setText("Data Points: " + QString::number(arb.WaveLength));
}

TChannelInfo WaveformView::draft(int c) const {
    TChannelInfo d = DraftOf(host_.card.channel(c));
    bound_.read(d);
    trigger->bound().read(d);
    d.Wave.ArbitraryFlag = Wave_PageControl->currentWidget() == TabSheet8;
    d.Wave.RepRate = SpinEditValue(repRate1);
    return d;
}

bool WaveformView::manualSweep() const {
    return !AutoRadioButton->isChecked();
}

std::vector<TFrequencySpinEdit*> WaveformView::frequencyFields() const {
    return {StartF_SpinEdit, EndF_SpinEdit, SweepStep_SpinEdit, repRate1};
}

PreviewShape WaveformView::previewShape() const {
    return PreviewShape{Wave_PageControl->currentIndex() == 1, SpinEditValue(StartF_SpinEdit),
                        WaveType_ComboBox->currentIndex(), SpinEditValue(Symm_SpinEdit)};
}

PreviewShape WaveformView::recordShape(int c) const {
    const TWaveSettings& w = host_.card.channel(c).Wave;
    return PreviewShape{w.ArbitraryFlag, static_cast<int>(std::lround(w.StartF * 1000)), w.WaveType,
                        static_cast<int>(std::lround(w.Symmetry))};
}

void WaveformView::applyRules() {
    const bool sweep = SweepF_RadioButton->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{EndF_SpinEdit, SweepStep_SpinEdit,
                                                      StepInt_SpinEdit, FSK_ComboBox})
        w->setEnabled(sweep);
    // Binary files are always normalised.
    LoadNorm_CheckBox->setEnabled(LoadText_RadioButton->isChecked());
    applySweepRules();
}

void WaveformView::applySweepRules() {
    const bool live =
        SweepF_RadioButton->isChecked() && FSK_ComboBox->currentText() == QLatin1String("Software");
    AutoRadioButton->setEnabled(live);
    ManualRadioButton->setEnabled(live);
    const bool manual = live && ManualRadioButton->isChecked();
    ManualUpButton->setEnabled(manual);
    ManualDownButton->setEnabled(manual);
}

// Each control by the Update that sends it: the page's, or its trigger
// group's. Controls that cannot be changed now are not marked.
void WaveformView::refreshMarks(int c) {
    const TChannelInfo d = draft(c);
    markPage(c, d);
    const bool card = host_.card.session() != 0;
    const SettingFlags unsent =
        UnsentSettings(d, {Step::Trigger}, host_.card.accepted().Channel[c]);
    for (const BoundControls::Entry& e : trigger->bound().entries())
        host_.marks.mark(e.control, card && e.control->isEnabled() && unsent[e.setting->index()],
                         kTriggerButton);
}

void WaveformView::markPage(int c, const TChannelInfo& d) {
    const bool card = host_.card.session() != 0;
    const WaveformUnsent wu = UnsentWaveform(d, manualSweep(), host_.card.channel(c).Wave.Arb,
                                             host_.card.accepted().Channel[c]);
    for (const BoundControls::Entry& e : bound_.entries()) {
        const Step step = e.setting->step;
        if (step == Step::AM || step == Step::Generator || step == Step::Sweep)
            host_.marks.mark(e.control,
                             card && e.control->isEnabled() && wu.Setting[e.setting->index()],
                             kWaveButton);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{AutoRadioButton, ManualRadioButton})
        host_.marks.mark(control, card && wu.Manual && control->isEnabled(), kWaveButton);
    for (QWidget* control :
         std::initializer_list<QWidget*>{ArbWave_Filename_Label, Arbwave_DataCount_Label})
        host_.marks.mark(control, card && wu.Samples && control->isEnabled(), kWaveButton);
}

void WaveformView::setToolTips() {
    for (QSpinBox* spin : TabSheet7->findChildren<QSpinBox*>()) {
        const SettingRange* setting = SettingOf(spin);
        if (!setting)
            continue;
        QString text = RangeToolTip(*setting);
        if (spin == StartF_SpinEdit)
            text += "\nWith the arrows, hold Shift to step by 10, Ctrl by 100, Alt by 1000.";
        host_.marks.setPlainToolTip(spin, text);
    }
    host_.marks.setPlainToolTip(repRate1, QString("Repetition rate in kHz, %1 to %2")
                                                  .arg(repRate1->minimum())
                                                  .arg(repRate1->maximum()) +
                                              "; k (x 1000) or M (x 1000000) may follow the "
                                              "number.");
}

// Every edit of a setting the card may not hold refreshes the marks.
void WaveformView::watchEdits() {
    const auto edited = [this] { host_.edited(); };
    connect(WaveType_ComboBox, &QComboBox::currentIndexChanged, this, edited);
    trigger->onEdited(edited);
    for (QSpinBox* spin : std::initializer_list<QSpinBox*>{
             Symm_SpinEdit, StartF_SpinEdit, EndF_SpinEdit, SweepStep_SpinEdit, StepInt_SpinEdit})
        connect(spin, &QSpinBox::valueChanged, this, edited);
    for (QAbstractButton* button :
         std::initializer_list<QAbstractButton*>{SingleF_RadioButton, SweepF_RadioButton,
                                                 AutoRadioButton, ManualRadioButton, AM_CheckBox})
        connect(button, &QAbstractButton::toggled, this, edited);
    connect(Wave_PageControl, &QTabWidget::currentChanged, this, edited);
}

// Choosing single or swept frequency takes effect in the record at once; the
// window then shows the record again.
void WaveformView::selectSweep(bool sweep) {
    host_.operate([this, sweep] {
        host_.card.channel(host_.channel()).Wave.SweepFlag = sweep;
        host_.refresh();
    });
}

// The sweep mode reaches the card with the next Update; meanwhile the window
// shows the record again and the Up and Down buttons follow the choice.
void WaveformView::sweepModeChosen() {
    host_.operate([this] { host_.refresh(); });
}

// The Up and Down buttons drive the channel's software FSK level. The click
// has already toggled the clicked button's lamp.
void WaveformView::sweepStep(bool up) {
    host_.operate([this, up] {
        const bool set = SetFskLevel(host_.card, host_.channel(), up) == VI_SUCCESS;
        ((up == set) ? ManualDownButton : ManualUpButton)->setLit(false);
    });
}

void WaveformView::loadFormatChosen(bool text) {
    host_.operate([this, text] {
        LoadNorm_CheckBox->setChecked(true);
        LoadNorm_CheckBox->setEnabled(text);
    });
}

void WaveformView::normaliseChosen() {
    host_.operate([this] {
        host_.card.channel(host_.channel()).Wave.Arb.NormaliseFlag = LoadNorm_CheckBox->isChecked();
    });
}

void WaveformView::update() {
    host_.operate([this] {
        if (!host_.readable(frequencyFields()))
            return;
        const int c = host_.channel();
        const TChannelInfo sent = draft(c);
        DialogOperatorUi ui(Wave_TabSheet->window());
        ui.onProblem(host_.problems(c, "waveform not loaded"));
        ApplyWaveform(host_.card, c, sent, manualSweep(), ui);
        host_.redraw({Refresh::ModeLEDs, Refresh::ControlValues});
    });
}

void WaveformView::pressUpdate() {
    PressIfReady(WaveUpdate_Button);
}

void WaveformView::onFiles(std::function<void(bool)> import, std::function<void(bool)> save) {
    import_ = std::move(import);
    save_ = std::move(save);
}

void WaveformView::setStartStep(int step) {
    StartF_SpinEdit->setStepKeepingText(step); // what is being typed stays as typed
}

void WaveformView::onStepFieldClick(std::function<void()> clicked) {
    stepFieldClicked_ = std::move(clicked);
    for (QSpinBox* spin : std::initializer_list<QSpinBox*>{StartF_SpinEdit, repRate1}) {
        spin->installEventFilter(this);
        if (auto* edit = spin->findChild<QLineEdit*>())
            edit->installEventFilter(this);
    }
}

bool WaveformView::eventFilter(QObject* watched, QEvent* event) {
    if (stepFieldClicked_ && event->type() == QEvent::MouseButtonPress)
        for (QSpinBox* spin : std::initializer_list<QSpinBox*>{StartF_SpinEdit, repRate1})
            if (watched == spin || watched->parent() == spin) {
                const auto clicked = std::exchange(stepFieldClicked_, nullptr); // told once
                clicked();
                break;
            }
    return QObject::eventFilter(watched, event);
}
