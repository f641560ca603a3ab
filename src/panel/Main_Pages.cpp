// Layout of the settings pages: Waveform (Basic and Arbitrary), the trigger
// group and the Clock page, with the connections of their controls.
#include "Main_Unit.h"
#include "TriggerView.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "Main_Controls.h"
#include "Named.h"
#include "PanelWidgets.h"
#include "SettingRanges.h"

QWidget* TMain_Form::CreateBasicPage() {
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
    form->addRow(SweepBox);
    TabSheet7->setLayout(form);

    connect(SingleF_RadioButton, &QRadioButton::clicked, this, [this] { SelectSingleFrequency(); });
    connect(SweepF_RadioButton, &QRadioButton::clicked, this, [this] { SelectSweep(); });
    connect(AutoRadioButton, &QRadioButton::clicked, this, [this] { SelectSweepAuto(); });
    connect(ManualRadioButton, &QRadioButton::clicked, this, [this] { SelectSweepManual(); });
    connect(ManualUpButton, &QPushButton::clicked, this, [this] { SweepUp(); });
    connect(ManualDownButton, &QPushButton::clicked, this, [this] { SweepDown(); });
    connect(ManualDown_Button, &QPushButton::clicked, this, [this] { SweepDown(); });
    return TabSheet7;
}

QWidget* TMain_Form::CreateArbitraryPage() {
    TabSheet8 = Named(new QWidget, "TabSheet8");
    auto* page = new QVBoxLayout(TabSheet8);
    page->setSpacing(4);

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
    page->addWidget(GroupBox6);

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
    page->addWidget(GroupBox5);

    GroupBox18 = Named(new QGroupBox("Information", TabSheet8), "GroupBox18");
    ArbWave_Filename_Label = Named(new QLabel("Filename: ", GroupBox18), "ArbWave_Filename_Label");
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

    connect(LoadBin_RadioButton, &QRadioButton::clicked, this,
            [this] { LoadBin_RadioButtonClick(); });
    connect(LoadText_RadioButton, &QRadioButton::clicked, this,
            [this] { LoadText_RadioButtonClick(); });
    // Also when the program changes the box, as the refresh and the radio buttons do.
    connect(LoadNorm_CheckBox, &QCheckBox::toggled, this, [this] { LoadNorm_CheckBoxClick(); });
    connect(Import_Button, &QPushButton::clicked, this, [this] { Import_ButtonClick(); });
    connect(Save_Button, &QPushButton::clicked, this, [this] { Save_ButtonClick(); });
    return TabSheet8;
}

QWidget* TMain_Form::CreateWavePage() {
    Wave_TabSheet = Named(new QWidget, "Wave_TabSheet");
    auto* page = new QVBoxLayout(Wave_TabSheet);
    page->setContentsMargins(4, 4, 4, 4);
    Wave_PageControl = Named(new QTabWidget(Wave_TabSheet), "Wave_PageControl");
    Wave_PageControl->addTab(CreateBasicPage(), "Basic");
    Wave_PageControl->addTab(CreateArbitraryPage(), "Arbitrary");
    page->addWidget(Wave_PageControl, 1);

    AM_CheckBox = Named(new QCheckBox("AM Mode", Wave_TabSheet), "AM_CheckBox");
    Bind(AM_CheckBox, Setting("_Wave/AMFlag"));
    WaveUpdate_Button = Named(new QPushButton("Update", Wave_TabSheet), "WaveUpdate_Button");
    auto* apply = new QHBoxLayout;
    apply->addWidget(AM_CheckBox);
    apply->addStretch(1);
    apply->addWidget(WaveUpdate_Button);
    page->addLayout(apply);

    trigger_ = new TriggerView(
        Wave_TabSheet, card_, [this] { return ActiveChannelNumber(); }, AsOwnOperation());
    GroupBox1 = trigger_->GroupBox1;
    TrigMode_ComboBox = trigger_->TrigMode_ComboBox;
    TrigSource_ComboBox = trigger_->TrigSource_ComboBox;
    page->addWidget(GroupBox1);
    connect(WaveUpdate_Button, &QPushButton::clicked, this, [this] { ApplyWaveform(); });
    return Wave_TabSheet;
}

// The wave memory counter step: 2^N, N by its arrows.
QGroupBox* TMain_Form::CreateCounterGroup() {
    GroupBox4 = Named(new QGroupBox("Memory Counter", Clk_TabSheet), "GroupBox4");
    auto* stepLabel = Named(new QLabel("2^N,    N =", GroupBox4), "Label12");
    CounterStep_Edit = Named(new QLineEdit("1", GroupBox4), "CounterStep_Edit");
    CounterStep_Edit->setEnabled(false);
    Bind(CounterStep_Edit, Setting("_Clock/MemStep"));
    CounterStep_Edit->setFixedWidth(48);
    stepLabel->setBuddy(CounterStep_Edit);
    CounterStep_UpDown = Named(new TUpDown(GroupBox4), "CounterStep_UpDown");
    const SettingRange& memStep = Setting("_Clock/MemStep");
    CounterStep_UpDown->setRange(static_cast<int>(std::log2(memStep.minimum)),
                                 static_cast<int>(std::log2(memStep.maximum)));
    CounterStep_UpDown->setFixedHeight(24);
    auto* counter = new QHBoxLayout(GroupBox4);
    counter->addWidget(stepLabel);
    counter->addWidget(CounterStep_Edit);
    counter->addWidget(CounterStep_UpDown);
    counter->addStretch(1);
    return GroupBox4;
}

QWidget* TMain_Form::CreateClockPage() {
    Clk_TabSheet = Named(new QWidget, "Clk_TabSheet");
    auto* page = new QVBoxLayout(Clk_TabSheet);
    page->setContentsMargins(4, 4, 4, 4);

    GroupBox2 = Named(new QGroupBox("DDS Ref Clock", Clk_TabSheet), "GroupBox2");
    auto* multiplierLabel = Named(new QLabel("Clock Multiplier Value", GroupBox2), "Label11");
    ClkX_Edit = Named(new QLineEdit("20", GroupBox2), "ClkX_Edit");
    ClkX_Edit->setReadOnly(true);
    Bind(ClkX_Edit, Setting("_Clock/Multiplier"));
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
    page->addWidget(GroupBox2);

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
    for (TFrequencySpinEdit* spin : {SwpStartF_SpinEdit, SwpEndF_SpinEdit, SwpStep_SpinEdit})
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
    page->addWidget(GroupBox3);

    page->addWidget(CreateCounterGroup());

    ClkUpdate_Button = Named(new QPushButton("Update", Clk_TabSheet), "ClkUpdate_Button");
    connect(ClkX_SpinButton, &TUpDown::upClicked, this, [this] { MultiplierUp(); });
    connect(ClkX_SpinButton, &TUpDown::downClicked, this, [this] { MultiplierDown(); });
    connect(CounterStep_UpDown, &TUpDown::clicked, this, [this] { CounterStepClicked(); });
    connect(SweepMode_ComboBox, &QComboBox::currentIndexChanged, this,
            [this] { ClockSweepModeChanged(); });
    connect(SwpStartF_SpinEdit, &QSpinBox::textChanged, this, [this] { ClockStartChanged(); });
    connect(SwpEndF_SpinEdit, &QSpinBox::textChanged, this, [this] { ClockEndChanged(); });
    connect(ClkUpdate_Button, &QPushButton::clicked, this, [this] { ApplyClock(); });
    auto* apply = new QHBoxLayout;
    apply->addStretch(1);
    apply->addWidget(ClkUpdate_Button);
    page->addLayout(apply);
    page->addStretch(1);
    return Clk_TabSheet;
}
