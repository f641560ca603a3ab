// The Waveform page's controls and their layout.
#include "WaveformView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ElidedLabel.h"
#include "Named.h"
#include "PanelWidgets.h"
#include "SettingRanges.h"
#include "TriggerView.h"

WaveformView::WaveformView(ViewHost host) : QObject(), host_(std::move(host)) {
    Wave_TabSheet = Named(new QWidget, "Wave_TabSheet");
    setParent(Wave_TabSheet);
    auto* page = new QVBoxLayout(Wave_TabSheet);
    page->setContentsMargins(4, 4, 4, 4);
    Wave_PageControl = Named(new QTabWidget(Wave_TabSheet), "Wave_PageControl");
    Wave_PageControl->addTab(createBasicPage(), "Basic");
    Wave_PageControl->addTab(createArbitraryPage(), "Arbitrary");
    page->addWidget(Wave_PageControl, 1);

    AM_CheckBox = Named(new QCheckBox("AM Mode", Wave_TabSheet), "AM_CheckBox");
    Bind(AM_CheckBox, Setting("_Wave/AMFlag"));
    WaveUpdate_Button = Named(new QPushButton("Update", Wave_TabSheet), "WaveUpdate_Button");
    WaveUpdate_Button->setToolTip("Sends the waveform to the channel (Ctrl+Enter).");
    auto* apply = new QHBoxLayout;
    apply->addWidget(AM_CheckBox);
    apply->addStretch(1);
    apply->addWidget(WaveUpdate_Button);
    page->addLayout(apply);

    trigger = new TriggerView(Wave_TabSheet, host_.card, host_.channel, host_.operate);
    page->addWidget(trigger->group());
    bound_.collect(Wave_TabSheet, trigger->group());
    watchEdits();
    host_.card.subscribe(*this);
    connect(WaveUpdate_Button, &QPushButton::clicked, this, [this] { update(); });
    connect(Import_Button, &QPushButton::clicked, this, [this] {
        if (import_)
            import_(LoadText_RadioButton->isChecked());
    });
    connect(Save_Button, &QPushButton::clicked, this, [this] {
        if (save_)
            save_(SaveText_RadioButton->isChecked());
    });
}

WaveformView::~WaveformView() {
    host_.card.unsubscribe(*this);
}

void WaveformView::cardChanged(const CardChange& change) {
    if (host_.owns(change))
        return;
    const int c = host_.channel();
    showChanged(change.channel[c], c);
}

QWidget* WaveformView::createBasicPage() {
    TabSheet7 = Named(new QWidget, "TabSheet7");
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setVerticalSpacing(4);
    WaveType_ComboBox = DropDown(TabSheet7, "WaveType_ComboBox", {"Sine", "Triangle", "Square"}, 0);
    Bind(WaveType_ComboBox, Setting("_Wave/WaveType"));
    form->addRow("Waveform Type:", WaveType_ComboBox);
    Symm_SpinEdit = SpinEdit(TabSheet7, "Symm_SpinEdit", Setting("_Wave/Symmetry"), 50);
    form->addRow("Symmetry (%)", Symm_SpinEdit);
    SingleF_RadioButton =
        Named(new QRadioButton("Single Frequency", TabSheet7), "SingleF_RadioButton");
    SingleF_RadioButton->setChecked(true);
    SweepF_RadioButton =
        Named(new QRadioButton("Sweep Frequencies", TabSheet7), "SweepF_RadioButton");
    Bind(SingleF_RadioButton, Setting("_Wave/SweepFlag"), 0, false);
    Bind(SweepF_RadioButton, Setting("_Wave/SweepFlag"), 1);
    form->addRow(SingleF_RadioButton);
    form->addRow(SweepF_RadioButton);
    StartF_SpinEdit = FrequencySpinEdit(TabSheet7, "StartF_SpinEdit", "Start Frequency (Hz)",
                                        Setting("_Wave/StartF"), 1000);
    form->addRow("Start Frequency (Hz)", StartF_SpinEdit);
    EndF_SpinEdit = FrequencySpinEdit(TabSheet7, "EndF_SpinEdit", "End Frequency (Hz)",
                                      Setting("_Wave/EndF"), 1000);
    form->addRow("End Frequency (Hz)", EndF_SpinEdit);
    SweepStep_SpinEdit = FrequencySpinEdit(TabSheet7, "SweepStep_SpinEdit", "Sweep Step (Hz)",
                                           Setting("_Wave/SweepStep"), 1);
    form->addRow("Sweep Step (Hz)", SweepStep_SpinEdit);
    StepInt_SpinEdit = SpinEdit(TabSheet7, "StepInt_SpinEdit", Setting("_Wave/StepInterval"), 1000);
    form->addRow("Step Interval (uS)", StepInt_SpinEdit);
    FSK_ComboBox = DropDown(TabSheet7, "FSK_ComboBox", kFskSources, 0, true);
    Bind(FSK_ComboBox, Setting("_Wave/FSKSource"));
    form->addRow("Trigger Source", FSK_ComboBox);
    form->addRow(createSweepGroup());
    TabSheet7->setLayout(form);

    connect(SingleF_RadioButton, &QRadioButton::clicked, this, [this] { selectSweep(false); });
    connect(SweepF_RadioButton, &QRadioButton::clicked, this, [this] { selectSweep(true); });
    return TabSheet7;
}

QWidget* WaveformView::createSweepGroup() {
    SweepBox = Named(new QGroupBox("Software Sweep", TabSheet7), "SweepBox");
    AutoRadioButton = Named(new QRadioButton("Sweep Auto", SweepBox), "AutoRadioButton");
    AutoRadioButton->setChecked(true);
    ManualRadioButton = Named(new QRadioButton("Sweep Manual", SweepBox), "ManualRadioButton");
    ManualUpButton = Named(new TLampButton("  Up   ", SweepBox), "ManualUpButton");
    ManualDownButton = Named(new TLampButton("Down ", SweepBox), "ManualDownButton");
    ManualUpButton->setMaximumWidth(64);
    ManualDownButton->setMaximumWidth(64);
    auto* sweep = new QGridLayout(SweepBox);
    sweep->setHorizontalSpacing(4);
    sweep->setVerticalSpacing(2);
    sweep->addWidget(AutoRadioButton, 0, 0);
    sweep->addWidget(ManualRadioButton, 1, 0);
    sweep->addWidget(ManualUpButton, 0, 1);
    sweep->addWidget(ManualDownButton, 1, 1);
    // Kept outside the group's visible area, as on the original panel.
    ManualDown_Button = Named(new TLampButton("Manual Down ", SweepBox), "ManualDown_Button");
    ManualDown_Button->setGeometry(0, 2000, ManualDown_Button->sizeHint().width(), 24);
    ManualDown_Button->setFocusPolicy(Qt::NoFocus);

    for (QRadioButton* mode : {AutoRadioButton, ManualRadioButton})
        connect(mode, &QRadioButton::clicked, this, [this] { sweepModeChosen(); });
    connect(ManualUpButton, &QPushButton::clicked, this, [this] { sweepStep(true); });
    for (TLampButton* down : {ManualDownButton, ManualDown_Button})
        connect(down, &QPushButton::clicked, this, [this] { sweepStep(false); });
    return SweepBox;
}

QWidget* WaveformView::createArbitraryPage() {
    TabSheet8 = Named(new QWidget, "TabSheet8");
    auto* page = new QVBoxLayout(TabSheet8);
    page->setSpacing(4);
    page->addWidget(createLoadGroup());
    page->addWidget(createSaveGroup());

    GroupBox18 = Named(new QGroupBox("Information", TabSheet8), "GroupBox18");
    // A long name is cut at a word with an ellipsis, the whole in its tooltip.
    ArbWave_Filename_Label =
        Named(new TElidedLabel(GroupBox18, Qt::ElideRight), "ArbWave_Filename_Label");
    ArbWave_Filename_Label->setFullText("Filename: ");
    Arbwave_DataCount_Label =
        Named(new QLabel("Data Points: ", GroupBox18), "Arbwave_DataCount_Label");
    auto* info = new QVBoxLayout(GroupBox18);
    info->setSpacing(2);
    info->addWidget(ArbWave_Filename_Label);
    info->addWidget(Arbwave_DataCount_Label);
    page->addWidget(GroupBox18);

    Label18 = Named(new QLabel("Repetitin rate (kHz):", TabSheet8), "Label18");
    repRate1 = FrequencySpinEdit(TabSheet8, "repRate1", "Repetitin rate (kHz)", 1, 10000000, 1000);
    Label18->setBuddy(repRate1);
    auto* rate = new QHBoxLayout;
    rate->addWidget(Label18);
    rate->addWidget(repRate1, 1);
    page->addLayout(rate);
    page->addStretch(1);
    return TabSheet8;
}

QGroupBox* WaveformView::createLoadGroup() {
    GroupBox6 = Named(new QGroupBox("Load Wave", TabSheet8), "GroupBox6");
    LoadBin_RadioButton =
        Named(new QRadioButton("Binary File MSB-LSB", GroupBox6), "LoadBin_RadioButton");
    LoadText_RadioButton = Named(new QRadioButton("Text File ", GroupBox6), "LoadText_RadioButton");
    LoadText_RadioButton->setChecked(true);
    LoadNorm_CheckBox =
        Named(new QCheckBox("Normalise To Full Scale", GroupBox6), "LoadNorm_CheckBox");
    Bind(LoadBin_RadioButton, Setting("_Wave/TextFlag"), 0, false);
    Bind(LoadText_RadioButton, Setting("_Wave/TextFlag"), 1);
    Bind(LoadNorm_CheckBox, Setting("_Wave/NormaliseFlag"));
    Import_Button = Named(new QPushButton("Import File", GroupBox6), "Import_Button");
    auto* load = new QVBoxLayout(GroupBox6);
    load->setSpacing(2);
    load->addWidget(LoadBin_RadioButton);
    load->addWidget(LoadText_RadioButton);
    load->addWidget(LoadNorm_CheckBox);
    load->addWidget(Import_Button);

    connect(LoadBin_RadioButton, &QRadioButton::clicked, this, [this] { loadFormatChosen(false); });
    connect(LoadText_RadioButton, &QRadioButton::clicked, this, [this] { loadFormatChosen(true); });
    // Also when the program changes the box, as the refresh and the radio buttons do.
    connect(LoadNorm_CheckBox, &QCheckBox::toggled, this, [this] { normaliseChosen(); });
    return GroupBox6;
}

QGroupBox* WaveformView::createSaveGroup() {
    GroupBox5 = Named(new QGroupBox("Save Wave", TabSheet8), "GroupBox5");
    SaveBin_RadioButton =
        Named(new QRadioButton("Binary File MSB-LSB", GroupBox5), "SaveBin_RadioButton");
    SaveText_RadioButton =
        Named(new QRadioButton("Text File of 0% - 100%", GroupBox5), "SaveText_RadioButton");
    SaveText_RadioButton->setChecked(true);
    Save_Button = Named(new QPushButton("Save As", GroupBox5), "Save_Button");
    auto* save = new QVBoxLayout(GroupBox5);
    save->setSpacing(2);
    save->addWidget(SaveBin_RadioButton);
    save->addWidget(SaveText_RadioButton);
    save->addWidget(Save_Button);
    return GroupBox5;
}
