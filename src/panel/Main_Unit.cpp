#include "Main_Unit.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>
#include <cmath>

#include "CardState.h"
#include "Card_Unit.h"
#include "Commands.h"
#include "Dialogs.h"
#include "ExtClkFreq_Unit.h"
#include "JpegImage.h"
#include "Log_Unit.h"
#include "Named.h"
#include "OperationLog.h"
#include "PanelWidgets.h"
#include "VISA_def_v2.h"
#include "WaveFile.h"
#include "nv815_def.h"

namespace {

QSpinBox* SpinEdit(QWidget* parent, const char* name, int minimum, int maximum, int value) {
    auto* spin = Named(new QSpinBox(parent), name);
    spin->setProperty("designMinimum", minimum);
    // A spin edit whose limits are both 0 does not clamp.
    if (minimum == 0 && maximum == 0) {
        minimum = INT_MIN;
        maximum = INT_MAX;
    }
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setAccelerated(true);
    return spin;
}

QComboBox* DropDown(QWidget* parent, const char* name, const QStringList& items, int index,
                    bool editable = false) {
    auto* combo = Named(new QComboBox(parent), name);
    combo->addItems(items);
    combo->setEditable(editable);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCurrentIndex(index);
    return combo;
}

QLineEdit* UnitText(QWidget* parent, const char* name, const QString& text) {
    auto* edit = Named(new QLineEdit(text, parent), name);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFrame(false);
    edit->setStyleSheet("background: transparent");
    return edit;
}

const QStringList kFskSources = {"Software", "Front (Trigger Input)",
                                 "PXI 0",    "PXI 1",
                                 "PXI 2",    "PXI 3",
                                 "PXI 4",    "PXI 5",
                                 "PXI 6",    "PXI 7",
                                 "PXI Star"};

// The value of a spin edit; a text that is not a number reads as its minimum.
int SpinEditValue(const QSpinBox* spin) {
    bool ok = false;
    const int value = spin->locale().toInt(spin->cleanText().trimmed(), &ok);
    return ok ? value : spin->property("designMinimum").toInt();
}

// The item a combo box shows: for an editable one, the item its text names
// (ignoring case), or -1 when the text names none.
int ComboItemIndex(const QComboBox* combo) {
    if (!combo->isEditable())
        return combo->currentIndex();
    return combo->findText(combo->currentText(), Qt::MatchFixedString);
}

// Formats like C's "%-4.2f" with the user's decimal separator, cut to 10 characters.
QString OffsetText(double volts) {
    QString text = QLocale().toString(volts, 'f', 2);
    if (text.size() < 4)
        text = text.leftJustified(4);
    return text.left(10);
}

} // namespace

TMain_Form::TMain_Form(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Main_Form");
    // The panel was laid out for an 8-point face; larger faces would not fit its fixed size.
    QFont face = font();
    face.setPointSize(8);
    setFont(face);

    CreateMenu();

    StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusText =
        Named(new QLabel("Selected Card: No card selected", StatusBar1), "StatusBar1_Panel0");
    StatusBar1->addWidget(StatusText, 1);
    setStatusBar(StatusBar1);

    // The client area holds the status bar, as the window's fixed size counts it.
    auto* client = Named(new QWidget(this), "Client");
    client->setFixedSize(kClientWidth, kClientHeight - StatusBar1->sizeHint().height());
    setCentralWidget(client);

    Channel_PageControl = Named(new QTabWidget(client), "Channel_PageControl");
    Channel_PageControl->setGeometry(4, 4, kClientWidth - 8, client->height() - 6);
    Ch1_TabSheet = Named(new QWidget, "Ch1_TabSheet");
    Ch2_TabSheet = Named(new QWidget, "Ch2_TabSheet");
    Ch3_TabSheet = Named(new QWidget, "Ch3_TabSheet");
    Channel_PageControl->addTab(Ch1_TabSheet, "Channel 1");
    Channel_PageControl->addTab(Ch2_TabSheet, "Channel 2");
    Channel_PageControl->addTab(Ch3_TabSheet, "Channel 3");

    // The tabs carry no controls: one set of controls above them serves every channel.
    CreatePreview(client);
    CreateOutputGroup(client);
    CreateLogo(client);
    CreateSettings(client);

    FormCreate();

    connect(Channel_PageControl, &QTabWidget::currentChanged, this,
            [this] { Channel_PageControlChange(); });
    connect(Settings_PageControl, &QTabWidget::currentChanged, this,
            [this] { Settings_PageControlChange(); });

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMain_Form::~TMain_Form() {
    FormClose();
    SetCardInfoRefreshHook({});
}

void TMain_Form::AttachForms(TExternalClk_Form* extClk, TCard_Form* card, TAbout_Form* about,
                             TLog_Form* log, TMemTest_Form* memTest) {
    extClkForm_ = extClk;
    cardForm_ = card;
    aboutForm_ = about;
    logForm_ = log;
    memTestForm_ = memTest;
}

void TMain_Form::CreateMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu");
    QMenu* file = Named(bar->addMenu("File"), "File1");
    LoadConfig1 = Named(file->addAction("Load Config"), "LoadConfig1");
    SaveConfig1 = Named(file->addAction("Save Config"), "SaveConfig1");
    file->addSeparator();
    Exit1 = Named(file->addAction("Exit"), "Exit1");
    Card1 = Named(bar->addAction("Card Select"), "Card1");
    QMenu* options = Named(bar->addMenu("Options"), "Options1");
    QMenu* clock = Named(options->addMenu("DDS Ref Clock Source"), "DDSRefClockSource1");
    InternalClk_MenuItem = Named(clock->addAction("Internal (PXI 10MHz)"), "InternalClk_MenuItem");
    ExternalClk_MenuItem = Named(clock->addAction("External (Unknown)"), "ExternalClk_MenuItem");
    // Radio items that show no check mark until one of them is used.
    InternalClk_MenuItem->setCheckable(true);
    ExternalClk_MenuItem->setCheckable(true);
    MemoryTest1 = Named(options->addAction("Perform Memory Test"), "MemoryTest1");
    ReadCalibrationDate1 =
        Named(options->addAction("Read Calibration Date"), "ReadCalibrationDate1");
    Log1 = Named(options->addAction("Operation Log"), "Log1");
    About1 = Named(bar->addAction("About"), "About1");

    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    connect(InternalClk_MenuItem, &QAction::triggered, this, [this] { UseInternalClock(); });
    connect(ExternalClk_MenuItem, &QAction::triggered, this, [this] { UseExternalClock(); });
    connect(Card1, &QAction::triggered, this, [this] { Card1Click(); });
    connect(Log1, &QAction::triggered, this, [this] { Log1Click(); });
}

void TMain_Form::CreatePreview(QWidget* client) {
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

void TMain_Form::CreateOutputGroup(QWidget* client) {
    GroupBox7 = Named(new QGroupBox("Output", client), "GroupBox7");
    GroupBox7->setGeometry(16, 466, 561, 84);

    Ch1_Mode_Button = Named(new TLampButton("Output On ", GroupBox7), "Ch1_Mode_Button");
    Ch1_Mode_Button->setGeometry(8, 26, 96, 44);

    auto* attLabel = Named(new QLabel("Attenuation", GroupBox7), "Label9");
    attLabel->move(116, 20);
    Att_Slider = Named(new QSlider(Qt::Horizontal, GroupBox7), "Att_Slider");
    Att_Slider->setRange(0, 40);
    Att_Slider->setTickInterval(10);
    Att_Slider->setTickPosition(QSlider::TicksBelow);
    Att_Slider->setGeometry(112, 40, 100, 30);
    Att_Slider->setAccessibleName("Attenuation");
    Att_Edit = Named(new QLineEdit(" 0", GroupBox7), "Att_Edit");
    Att_Edit->setMaxLength(2); // two digits; it only shows the slider
    Att_Edit->setEnabled(false);
    Att_Edit->setGeometry(216, 42, 28, 22);
    Edit2 = UnitText(GroupBox7, "Edit2", "dB");
    Edit2->setGeometry(246, 42, 22, 22);
    AttenSetButton = Named(new QPushButton("Set", GroupBox7), "AttenSetButton");
    AttenSetButton->setGeometry(270, 41, 40, 24);

    auto* offsetLabel = Named(new QLabel("DC Offset", GroupBox7), "Label10");
    offsetLabel->move(334, 20);
    V_Slider = Named(new QSlider(Qt::Horizontal, GroupBox7), "V_Slider");
    V_Slider->setRange(-500, 500);
    V_Slider->setTickInterval(100);
    V_Slider->setTickPosition(QSlider::TicksBelow);
    V_Slider->setGeometry(330, 40, 120, 30);
    V_Slider->setAccessibleName("DC Offset");
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

    connect(Ch1_Mode_Button, &QPushButton::clicked, this, [this] { Ch1_Mode_ButtonClick(); });
    connect(Att_Slider, &QSlider::valueChanged, this, [this] { OnSliderChange(Att_Slider); });
    connect(V_Slider, &QSlider::valueChanged, this, [this] { OnSliderChange(V_Slider); });
    connect(AttenSetButton, &QPushButton::clicked, this,
            [this] { AttenButtonClick(AttenSetButton); });
    connect(OffsetButton, &QPushButton::clicked, this, [this] { AttenButtonClick(OffsetButton); });
    connect(OffsetBut, &QPushButton::clicked, this, [this] { OffsetButClick(); });
}

void TMain_Form::CreateLogo(QWidget* client) {
    Panel2 = Named(new QFrame(client), "Panel2");
    Panel2->setGeometry(32, 552, 521, 97);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Image1 = Named(new TImage(Panel2), "Image1");
    Image1->setGeometry((521 - 449) / 2, (97 - 81) / 2, 449, 81);
    Image1->setAccessibleName("Norvale");
    Q_INIT_RESOURCE(panel);
    QFile logo(":/nv815/norvale_logo.jpg");
    if (logo.open(QIODevice::ReadOnly))
        Image1->setPicture(DecodeJpeg(logo.readAll())); // a picture that fails stays empty
}

QWidget* TMain_Form::CreateBasicPage() {
    TabSheet7 = Named(new QWidget, "TabSheet7");
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setVerticalSpacing(4);
    WaveType_ComboBox = DropDown(TabSheet7, "WaveType_ComboBox", {"Sine", "Triangle", "Square"}, 0);
    form->addRow("Waveform Type:", WaveType_ComboBox);
    Symm_SpinEdit = SpinEdit(TabSheet7, "Symm_SpinEdit", 0, 100, 50);
    form->addRow("Symmetry (%)", Symm_SpinEdit);
    SingleF_RadioButton =
        Named(new QRadioButton("Single Frequency", TabSheet7), "SingleF_RadioButton");
    SingleF_RadioButton->setChecked(true);
    SweepF_RadioButton =
        Named(new QRadioButton("Sweep Frequencies", TabSheet7), "SweepF_RadioButton");
    form->addRow(SingleF_RadioButton);
    form->addRow(SweepF_RadioButton);
    StartF_SpinEdit = SpinEdit(TabSheet7, "StartF_SpinEdit", 1, 10000000, 1000);
    form->addRow("Start Frequency (Hz)", StartF_SpinEdit);
    EndF_SpinEdit = SpinEdit(TabSheet7, "EndF_SpinEdit", 1, 10000000, 1000);
    form->addRow("End Frequency (Hz)", EndF_SpinEdit);
    SweepStep_SpinEdit = SpinEdit(TabSheet7, "SweepStep_SpinEdit", 0, 0, 1);
    form->addRow("Sweep Step (Hz)", SweepStep_SpinEdit);
    StepInt_SpinEdit = SpinEdit(TabSheet7, "StepInt_SpinEdit", 1, 5242, 1000);
    form->addRow("Step Interval (uS)", StepInt_SpinEdit);
    FSK_ComboBox = DropDown(TabSheet7, "FSK_ComboBox", kFskSources, 0, true);
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
    ManualDown_Button->setGeometry(0, 2000, 90, 24);
    ManualDown_Button->setFocusPolicy(Qt::NoFocus);
    form->addRow(SweepBox);
    TabSheet7->setLayout(form);

    connect(SingleF_RadioButton, &QRadioButton::clicked, this, [this] { UpdateControlValues(); });
    connect(SweepF_RadioButton, &QRadioButton::clicked, this, [this] { UpdateControlValues(); });
    connect(AutoRadioButton, &QRadioButton::clicked, this, [this] { UpdateControlValues(); });
    connect(ManualRadioButton, &QRadioButton::clicked, this, [this] { UpdateControlValues(); });
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
    repRate1 = SpinEdit(TabSheet8, "repRate1", 1, 10000000, 1000);
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
    WaveUpdate_Button = Named(new QPushButton("Update", Wave_TabSheet), "WaveUpdate_Button");
    auto* apply = new QHBoxLayout;
    apply->addWidget(AM_CheckBox);
    apply->addStretch(1);
    apply->addWidget(WaveUpdate_Button);
    page->addLayout(apply);

    GroupBox1 = Named(new QGroupBox("Trigger", Wave_TabSheet), "GroupBox1");
    TrigMode_ComboBox = DropDown(GroupBox1, "TrigMode_ComboBox",
                                 {"High level", "Low level", "Positive edge", "Negative edge",
                                  "Pos edge single shot", "Neg edge single shot", "Continuous"},
                                 6);
    TrigSource_ComboBox = DropDown(GroupBox1, "TrigSource_ComboBox",
                                   {"Front panel", "PXI 0", "PXI 1", "PXI 2", "PXI 3", "PXI 4",
                                    "PXI 5", "PXI 6", "PXI 7", "PXI Star"},
                                   0);
    TrigUpdate_Button = Named(new QPushButton("Update", GroupBox1), "TrigUpdate_Button");
    auto* trigger = new QFormLayout(GroupBox1);
    trigger->setVerticalSpacing(4);
    trigger->addRow("Trigger Mode", TrigMode_ComboBox);
    trigger->addRow("Trigger Source", TrigSource_ComboBox);
    trigger->addRow(TrigUpdate_Button);
    page->addWidget(GroupBox1);
    connect(TrigUpdate_Button, &QPushButton::clicked, this, [this] { ApplyTrigger(); });
    // The list closing, with or without a new choice, decides the source's enabling.
    connect(TrigMode_ComboBox, &QComboBox::activated, this, [this] { TriggerModeChosen(); });
    TrigMode_ComboBox->view()->window()->installEventFilter(this);
    return Wave_TabSheet;
}

QWidget* TMain_Form::CreateClockPage() {
    Clk_TabSheet = Named(new QWidget, "Clk_TabSheet");
    auto* page = new QVBoxLayout(Clk_TabSheet);
    page->setContentsMargins(4, 4, 4, 4);

    GroupBox2 = Named(new QGroupBox("DDS Ref Clock", Clk_TabSheet), "GroupBox2");
    auto* multiplierLabel = Named(new QLabel("Clock Multiplier Value", GroupBox2), "Label11");
    ClkX_Edit = Named(new QLineEdit("20", GroupBox2), "ClkX_Edit");
    ClkX_Edit->setReadOnly(true);
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
    SwpStartF_SpinEdit = SpinEdit(GroupBox3, "SwpStartF_SpinEdit", 0, 0, 1000);
    SwpEndF_SpinEdit = SpinEdit(GroupBox3, "SwpEndF_SpinEdit", 0, 0, 2000);
    SwpEndF_SpinEdit->setEnabled(false);
    SwpStep_SpinEdit = SpinEdit(GroupBox3, "SwpStep_SpinEdit", 0, 0, 1);
    SwpStep_SpinEdit->setEnabled(false);
    SwpInt_SpinEdit = SpinEdit(GroupBox3, "SwpInt_SpinEdit", 1, 5242, 1000);
    SwpInt_SpinEdit->setEnabled(false);
    FSKSource_ComboBox = DropDown(GroupBox3, "FSKSource_ComboBox", kFskSources, 0, true);
    for (QSpinBox* spin : {SwpStartF_SpinEdit, SwpEndF_SpinEdit, SwpStep_SpinEdit})
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

    GroupBox4 = Named(new QGroupBox("Memory Counter", Clk_TabSheet), "GroupBox4");
    auto* stepLabel = Named(new QLabel("2^N,    N =", GroupBox4), "Label12");
    CounterStep_Edit = Named(new QLineEdit("1", GroupBox4), "CounterStep_Edit");
    CounterStep_Edit->setEnabled(false);
    CounterStep_Edit->setFixedWidth(48);
    stepLabel->setBuddy(CounterStep_Edit);
    CounterStep_UpDown = Named(new TUpDown(GroupBox4), "CounterStep_UpDown");
    CounterStep_UpDown->setRange(0, 18);
    CounterStep_UpDown->setFixedHeight(24);
    auto* counter = new QHBoxLayout(GroupBox4);
    counter->addWidget(stepLabel);
    counter->addWidget(CounterStep_Edit);
    counter->addWidget(CounterStep_UpDown);
    counter->addStretch(1);
    page->addWidget(GroupBox4);

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

void TMain_Form::CreateSettings(QWidget* client) {
    Settings_PageControl = Named(new QTabWidget(client), "Settings_PageControl");
    Settings_PageControl->setGeometry(584, 32, 234, client->height() - 38);
    Settings_PageControl->addTab(CreateWavePage(), "Wave_TabSheet");
    Settings_PageControl->addTab(CreateClockPage(), "Clk_TabSheet");
}

// ---------------------------------------------------------------------------
// Creation, showing and closing

void TMain_Form::FormCreate() {
    setWindowTitle("Norvale 815 Soft Front Panel v1.46");
    SetCardInfoRefreshHook([this] { UpdateAllControls(); });
    InitCardInfoRecord();
    CreateLogLines();

    // The two preview images fill the display but for a 12-pixel margin.
    const QRect inner(12, 12, VrDisplay2->width() - 24, VrDisplay2->height() - 24);
    Grat_Image->setGeometry(inner);
    Wave_Image->setGeometry(inner);
    // The scale labels are centred on the image's top edge, middle and bottom edge.
    const int top = VrDisplay2->y() + Grat_Image->y();
    const int height = Grat_Image->height();
    Max_Vert_Label->move(Max_Vert_Label->x(), top - Max_Vert_Label->height() / 2);
    Min_Vert_Label->move(Min_Vert_Label->x(), top + height - Min_Vert_Label->height() / 2);
    Half_Vert_Label->move(Half_Vert_Label->x(), top + height / 2 - Half_Vert_Label->height() / 2);
}

void TMain_Form::showEvent(QShowEvent* event) {
    FormShow();
    QMainWindow::showEvent(event);
}

void TMain_Form::FormShow() {
    Settings_PageControl->setTabText(0, "Waveform");
    Settings_PageControl->setTabText(1, "Clock");
    UpdateAllControls();
}

void TMain_Form::closeEvent(QCloseEvent* event) {
    FormClose();
    QMainWindow::closeEvent(event);
}

void TMain_Form::FormClose() {
    if (closed_)
        return;
    closed_ = true;
    if (cardForm_)
        cardForm_->CloseSelectedCard();
    Session = 0;
    if (DefaultRM != 0 && VisaLoaded)
        Visa.viClose(DefaultRM);
    DefaultRM = 0;
    FreeLogLines();
}

// ---------------------------------------------------------------------------
// Refresh from the card record

int TMain_Form::ActiveChannelNumber() const {
    return Channel_PageControl->currentIndex() + 1;
}

void TMain_Form::UpdateAllControls() {
    UpdateControlValues();
    UpdateModeLEDs();
    UpdateAttControls();
    TrigSource_ComboBox->setEnabled(false);
}

void TMain_Form::UpdateControlValues() {
    const int c = ActiveChannelNumber();
    const TChannelInfo& ch = CardInfo.Channel[c];
    if (Settings_PageControl->currentWidget() == Wave_TabSheet) {
        const TWaveSettings& w = ch.Wave;
        AM_CheckBox->setChecked(w.AMFlag);
        WaveType_ComboBox->setCurrentIndex(w.WaveType);
        Symm_SpinEdit->setValue(static_cast<int>(std::lround(w.Symmetry)));
        SweepF_RadioButton->setChecked(w.SweepFlag);
        SingleF_RadioButton->setChecked(!w.SweepFlag);
        StartF_SpinEdit->setValue(static_cast<int>(std::lround(w.StartF * 1000)));
        EndF_SpinEdit->setValue(static_cast<int>(std::lround(w.EndF * 1000)));
        SweepStep_SpinEdit->setValue(static_cast<int>(std::lround(w.SweepStep * 1000)));
        StepInt_SpinEdit->setValue(static_cast<int>(std::lround(w.StepInterval)));
        FSK_ComboBox->setCurrentIndex(ch.FSKSource);
        StartF_SpinEdit->setEnabled(true);
        const bool sweep = SweepF_RadioButton->isChecked();
        for (QWidget* w2 : std::initializer_list<QWidget*>{EndF_SpinEdit, SweepStep_SpinEdit,
                                                           StepInt_SpinEdit, FSK_ComboBox})
            w2->setEnabled(sweep);
        LoadText_RadioButton->setChecked(w.Arb.TextFlag);
        LoadBin_RadioButton->setChecked(!w.Arb.TextFlag);
        LoadNorm_CheckBox->setChecked(w.Arb.NormaliseFlag);
        LoadNorm_CheckBox->setEnabled(w.Arb.TextFlag); // binary files are always normalised
        Wave_PageControl->setCurrentWidget(w.ArbitraryFlag ? TabSheet8 : TabSheet7);
    }
    ApplySweepGroupRules();
}

void TMain_Form::ApplySweepGroupRules() {
    const bool live =
        SweepF_RadioButton->isChecked() && FSK_ComboBox->currentText() == QLatin1String("Software");
    AutoRadioButton->setEnabled(live);
    ManualRadioButton->setEnabled(live);
    const bool manual = live && ManualRadioButton->isChecked();
    ManualUpButton->setEnabled(manual);
    ManualDownButton->setEnabled(manual);
}

void TMain_Form::UpdateModeLEDs() {
    Ch1_Mode_Button->setLit(CardInfo.Channel[ActiveChannelNumber()].OutputOn);
}

void TMain_Form::UpdateAttControls() {
    const TWaveSettings& w = CardInfo.Channel[ActiveChannelNumber()].Wave;
    Att_Slider->setValue(static_cast<int>(std::lround(w.Attenuation)));
    V_Slider->setValue(static_cast<int>(std::lround(w.DCOffset * 100)));
    OffsetBut->setLit(w.OffsetOn);
}

void TMain_Form::Channel_PageControlChange() {
    UpdateAllControls();
    // The preview of the new channel is drawn here once the display can draw.
}

void TMain_Form::Settings_PageControlChange() {
    UpdateControlValues();
}

// ---------------------------------------------------------------------------
// Card selection and the log window

void TMain_Form::Card1Click() {
    if (!cardForm_ || cardForm_->exec() != QDialog::Accepted)
        return;
    const TSelectedCard& card = cardForm_->Selection;
    const QString resource = QString::fromStdString(card.Resource);
    if (card.CardID != 0)
        StatusText->setText("Selected Card ID: " + QString::number(card.CardID) +
                            " - VISA Resource: " + resource);
    else
        StatusText->setText("Selected Card: " + resource);
    AddToLog("New card selected - " + card.Resource);
    Session = card.Session;
    Channel_PageControl->setTabVisible(2, cardForm_->ThirdChannelShown);
    InitCardStates();
}

void TMain_Form::InitCardStates() {
    for (int c = 1; c <= kChannelCount; ++c) {
        if (CmdSetAttenuation(Session, c, 10.0) == VI_SUCCESS)
            CardInfo.Channel[c].Wave.Attenuation = 10.0;
        if (CmdSetInstrumentMode(Session, c, false) == VI_SUCCESS)
            CardInfo.Channel[c].OutputOn = false;
    }
    UpdateAttControls();
    UpdateModeLEDs();
}

void TMain_Form::Log1Click() {
    if (logForm_)
        logForm_->exec();
}

// ---------------------------------------------------------------------------
// Output group

void TMain_Form::Ch1_Mode_ButtonClick() {
    const int c = ActiveChannelNumber();
    const bool on = !CardInfo.Channel[c].OutputOn;
    if (CmdSetInstrumentMode(Session, c, on) == VI_SUCCESS)
        CardInfo.Channel[c].OutputOn = on;
    UpdateModeLEDs();
}

void TMain_Form::OnSliderChange(QSlider* sender) {
    if (sender == Att_Slider)
        Att_Edit->setText(QString::asprintf("%2d", Att_Slider->value()).left(10));
    else if (sender == V_Slider)
        V_Edit->setText(OffsetText(V_Slider->value() / 100.0));
}

void TMain_Form::AttenButtonClick(QPushButton* sender) {
    const int c = ActiveChannelNumber();
    TWaveSettings& w = CardInfo.Channel[c].Wave;
    if (sender == AttenSetButton) {
        const double previous = w.Attenuation;
        w.Attenuation = Att_Slider->value();
        if (CmdSetAttenuation(Session, c, w.Attenuation) != VI_SUCCESS)
            w.Attenuation = previous;
    } else if (sender == OffsetButton) {
        const double value = V_Slider->value() / 100.0;
        V_Edit->setText(OffsetText(value));
        const double previous = w.DCOffset;
        w.DCOffset = value;
        // The enable flag follows the offset power button, so the driver is
        // called directly after the channel is selected; no entry of its own.
        ViStatus status = CmdSetActiveChannel(Session, c);
        if (status == VI_SUCCESS)
            status = Driver.nv815_SetOutputOffsetVoltage(Session, w.DCOffset, w.OffsetOn ? 1 : 0);
        if (status != VI_SUCCESS)
            w.DCOffset = previous;
    }
    UpdateAttControls();
}

void TMain_Form::OffsetButClick() {
    const int c = ActiveChannelNumber();
    TWaveSettings& w = CardInfo.Channel[c].Wave;
    const double previousOffset = w.DCOffset;
    const bool previousOn = w.OffsetOn;
    const double value = V_Slider->value() / 100.0;
    V_Edit->setText(OffsetText(value));
    w.DCOffset = value;
    w.OffsetOn = OffsetBut->lit();
    const ViStatus status = CmdSetOutputOffsetVoltage(Session, c, w.OffsetOn ? w.DCOffset : 0.0);
    // A refused command must not show as applied: the record keeps what the card holds.
    if (status != VI_SUCCESS) {
        w.DCOffset = previousOffset;
        w.OffsetOn = previousOn;
    }
    UpdateAttControls();
}

void TMain_Form::EditKeyPress(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    QString text = V_Edit->text().left(10);
    text.replace('+', ' ');
    bool ok = false;
    double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) {
        // Not a number: the field shows the slider's value again.
        OnSliderChange(V_Slider);
        return;
    }
    V_Edit->setText(OffsetText(value));
    const double hundredths = std::trunc(std::clamp(value * 100, -1e6, 1e6));
    V_Slider->setValue(static_cast<int>(hundredths));
}

bool TMain_Form::eventFilter(QObject* watched, QEvent* event) {
    if (watched == V_Edit && event->type() == QEvent::KeyPress)
        EditKeyPress(static_cast<QKeyEvent*>(event)->key());
    // The trigger mode list closed: judge the choice once the combo box has taken it.
    if (watched == TrigMode_ComboBox->view()->window() && event->type() == QEvent::Hide)
        QTimer::singleShot(0, this, [this] { TriggerModeChosen(); });
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Trigger group

void TMain_Form::ApplyTrigger() {
    const int c = ActiveChannelNumber();
    TChannelInfo& ch = CardInfo.Channel[c];
    const int32_t savedSource = ch.TrigSource;
    const int32_t savedMode = ch.TrigMode;
    ch.TrigSource = TrigSource_ComboBox->currentIndex();
    ch.TrigMode = TrigMode_ComboBox->currentIndex();
    if (CmdSetTriggerMode(Session, ch.TrigSource, ch.TrigMode, c) != VI_SUCCESS) {
        ch.TrigSource = savedSource;
        ch.TrigMode = savedMode;
    }
}

void TMain_Form::TriggerModeChosen() {
    TrigSource_ComboBox->setEnabled(TrigMode_ComboBox->currentText() !=
                                    QLatin1String("Continuous"));
}

// ---------------------------------------------------------------------------
// Clock page

void TMain_Form::MultiplierUp() {
    int32_t& m = PendingMultiplier[ActiveChannelNumber()];
    if (m <= 1)
        m = 4;
    else if (m >= 20)
        m = 20;
    else
        m = m + 1;
    ClkX_Edit->setText(QString::number(m));
}

void TMain_Form::MultiplierDown() {
    int32_t& m = PendingMultiplier[ActiveChannelNumber()];
    if (m <= 4)
        m = 1;
    else
        m = m - 1;
    ClkX_Edit->setText(QString::number(m));
}

void TMain_Form::CounterStepClicked() {
    CounterStep_Edit->setText(QString::number(CounterStep_UpDown->position()));
}

void TMain_Form::ClockSweepModeChanged() {
    // Which of start, end, step, interval and FSK source each mode uses.
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

void TMain_Form::ClockStartChanged() {
    if (SwpStartF_SpinEdit->cleanText().isEmpty() || SwpEndF_SpinEdit->cleanText().isEmpty())
        return;
    if (SpinEditValue(SwpEndF_SpinEdit) < SpinEditValue(SwpStartF_SpinEdit))
        SwpEndF_SpinEdit->setValue(SpinEditValue(SwpStartF_SpinEdit));
}

void TMain_Form::ClockEndChanged() {
    if (SwpStartF_SpinEdit->cleanText().isEmpty() || SwpEndF_SpinEdit->cleanText().isEmpty())
        return;
    if (SpinEditValue(SwpStartF_SpinEdit) > SpinEditValue(SwpEndF_SpinEdit))
        SwpStartF_SpinEdit->setValue(SpinEditValue(SwpEndF_SpinEdit));
}

void TMain_Form::ApplyClock() {
    const int start = SpinEditValue(SwpStartF_SpinEdit);
    const int end = SpinEditValue(SwpEndF_SpinEdit);
    if (start > end) {
        AppDialogs().message(this, Dialogs::Kind::Error,
                             "Sweep end frequency value must always be greater or equal to "
                             "\r\nsweep start frequency.");
        return;
    }
    const int c = ActiveChannelNumber();
    TChannelInfo& ch = CardInfo.Channel[c];
    const TChannelInfo saved = ch;

    const int mode = SweepMode_ComboBox->currentIndex();
    ch.Wave.SweepFlag = mode == 2 || mode == 3;
    ch.Multiplier = PendingMultiplier[c];
    ch.SweepMode = mode;
    ch.ClkStartF = start / 1000.0;
    ch.ClkEndF = end / 1000.0;
    ch.ClkSweepStep = SpinEditValue(SwpStep_SpinEdit) / 1000.0;
    ch.ClkStepInterval = SpinEditValue(SwpInt_SpinEdit) / 1000.0;
    ch.FSKSource = ComboItemIndex(FSKSource_ComboBox);
    ch.MemStep = static_cast<uint32_t>(std::lround(std::pow(2.0, CounterStep_UpDown->position())));

    // All four commands are issued; each failure puts back only its own fields.
    if (CmdSetClockSource(Session, CardInfo.DDSSourceExtFlag ? 1 : 0, ch.Multiplier,
                          CardInfo.ExtFreq, c) != VI_SUCCESS) {
        ch.Multiplier = saved.Multiplier;
        PendingMultiplier[c] = saved.Multiplier;
    }
    if (CmdSetCounterStep(Session, ch.MemStep, c) != VI_SUCCESS)
        ch.MemStep = saved.MemStep;
    if (CmdSetClockMode(Session, ch.SweepMode, c, ch.ClkStartF, ch.ClkEndF, ch.ClkSweepStep,
                        ch.ClkStepInterval) != VI_SUCCESS) {
        ch.SweepMode = saved.SweepMode;
        ch.ClkStartF = saved.ClkStartF;
        ch.ClkEndF = saved.ClkEndF;
        ch.ClkSweepStep = saved.ClkSweepStep;
        ch.ClkStepInterval = saved.ClkStepInterval;
    }
    if (CmdSetFSKSource(Session, ch.FSKSource, c) != VI_SUCCESS)
        ch.FSKSource = saved.FSKSource;
    UpdateAllControls();
}

// ---------------------------------------------------------------------------
// DDS reference clock source

void TMain_Form::UpdateClockSourceChecks() {
    ExternalClk_MenuItem->setChecked(CardInfo.DDSSourceExtFlag);
    InternalClk_MenuItem->setChecked(!CardInfo.DDSSourceExtFlag);
}

void TMain_Form::UseInternalClock() {
    const int c = ActiveChannelNumber();
    const bool savedFlag = CardInfo.DDSSourceExtFlag;
    CardInfo.DDSSourceExtFlag = false;
    if (CmdSetClockSource(Session, 0, CardInfo.Channel[c].Multiplier, CardInfo.ExtFreq, c) !=
        VI_SUCCESS)
        CardInfo.DDSSourceExtFlag = savedFlag;
    UpdateClockSourceChecks();
}

void TMain_Form::UseExternalClock() {
    const int c = ActiveChannelNumber();
    const double savedFreq = CardInfo.ExtFreq;
    const bool savedFlag = CardInfo.DDSSourceExtFlag;
    if (extClkForm_) {
        extClkForm_->Freq = CardInfo.ExtFreq;
        if (extClkForm_->exec() == QDialog::Accepted) {
            CardInfo.ExtFreq = extClkForm_->Freq;
            ExternalClk_MenuItem->setText("External Clock (" +
                                          extClkForm_->ExtClkFreq_Edit->text() + " MHz)");
            CardInfo.DDSSourceExtFlag = true;
        } else {
            CardInfo.DDSSourceExtFlag = false; // Cancel selects the internal reference
        }
    }
    if (CmdSetClockSource(Session, CardInfo.DDSSourceExtFlag ? 1 : 0,
                          CardInfo.Channel[c].Multiplier, CardInfo.ExtFreq, c) != VI_SUCCESS) {
        CardInfo.ExtFreq = savedFreq;
        CardInfo.DDSSourceExtFlag = savedFlag;
    }
    UpdateClockSourceChecks();
}

// ---------------------------------------------------------------------------
// Arbitrary waveform files

namespace {

// The questions of an import or export, asked through the program's dialogs.
class DialogWaveUi final : public WaveFileUi {
public:
    explicit DialogWaveUi(QWidget* parent) : parent_(parent) {}
    void error(const std::string& text) override {
        AppDialogs().message(parent_, Dialogs::Kind::Error, QString::fromLocal8Bit(text.c_str()));
    }
    void warning(const std::string& text) override {
        AppDialogs().message(parent_, Dialogs::Kind::Warning, QString::fromLocal8Bit(text.c_str()));
    }
    bool confirm(const std::string& text) override {
        return AppDialogs().message(parent_, Dialogs::Kind::Confirmation,
                                    QString::fromLocal8Bit(text.c_str())) == Dialogs::Answer::Ok;
    }

private:
    QWidget* parent_;
};

const char* const kAllFiles = "All Files (*.*)|*.*";

} // namespace

ViStatus TMain_Form::ImportWaveFile(int channel, const std::string& fileName, bool normalise,
                                    bool text) {
    DialogWaveUi ui(this);
    TArbWave& arb = CardInfo.Channel[channel].Wave.Arb;
    const ViStatus status = ::ImportWaveFile(arb, fileName, normalise, text, ui);
    if (status == VI_SUCCESS) {
        ArbWave_Filename_Label->setText(
            "Filename: " + QFileInfo(QString::fromLocal8Bit(arb.ArbFile.c_str())).fileName());
        Arbwave_DataCount_Label->setText("Data Points: " + QString::number(arb.WaveLength));
    }
    return status;
}

ViStatus TMain_Form::SaveWaveFile(int channel, const std::string& fileName, int first, bool text,
                                  int count) {
    DialogWaveUi ui(this);
    return ::SaveWaveFile(CardInfo.Channel[channel].Wave.Arb, fileName, first, text, count, ui);
}

void TMain_Form::LoadBin_RadioButtonClick() {
    LoadNorm_CheckBox->setChecked(true);
    LoadNorm_CheckBox->setEnabled(false);
}

void TMain_Form::LoadText_RadioButtonClick() {
    LoadNorm_CheckBox->setChecked(true);
    LoadNorm_CheckBox->setEnabled(true);
}

void TMain_Form::LoadNorm_CheckBoxClick() {
    CardInfo.Channel[ActiveChannelNumber()].Wave.Arb.NormaliseFlag = LoadNorm_CheckBox->isChecked();
}

void TMain_Form::Import_ButtonClick() {
    const int c = ActiveChannelNumber();
    TArbWave& arb = CardInfo.Channel[c].Wave.Arb;
    const std::string previousFile = arb.ArbFile;
    const QString chosen = AppDialogs().openFileName(this, kAllFiles);
    if (chosen.isEmpty())
        return;
    arb.ArbFile = chosen.toLocal8Bit().toStdString();
    if (ImportWaveFile(c, arb.ArbFile, arb.NormaliseFlag, LoadText_RadioButton->isChecked()) !=
        VI_SUCCESS)
        arb.ArbFile = previousFile;
}

void TMain_Form::Save_ButtonClick() {
    const int c = ActiveChannelNumber();
    const QString chosen = AppDialogs().saveFileName(this, kAllFiles);
    if (chosen.isEmpty())
        return;
    SaveWaveFile(c, chosen.toLocal8Bit().toStdString(), 0, SaveText_RadioButton->isChecked(),
                 static_cast<int>(CardInfo.Channel[c].Wave.Arb.Data.size()));
}
