// The main window's controls for tests, found as the operator's tools find
// them: by object name, among the objects of the main window itself (not of
// the dialogs it owns). A control that is not there stops the test run.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>

#include "Main_Unit.h"
#include "PanelWidgets.h"

template <class T> T* FindControl(TMain_Form& form, const char* name) {
    T* found = nullptr;
    for (T* candidate : form.findChildren<T*>(QString::fromLatin1(name))) {
        QWidget* widget = qobject_cast<QWidget*>(candidate);
        if (widget && widget->window() != &form)
            continue; // a control of an owned dialog
        if (found)
            qFatal("two controls named %s in the main window", name);
        found = candidate;
    }
    if (!found)
        qFatal("no control named %s in the main window", name);
    return found;
}

// Member names as the window's source calls them; each is found by its object name.
struct MainControls {
    explicit MainControls(TMain_Form& form) : window(form) {}
    TMain_Form& window;
    TMain_Form* operator->() const { return &window; }
    QAction* LoadConfig1 = FindControl<QAction>(window, "LoadConfig1");
    QAction* ApplyConfig1 = FindControl<QAction>(window, "ApplyConfig1");
    QAction* SaveConfig1 = FindControl<QAction>(window, "SaveConfig1");
    QAction* Exit1 = FindControl<QAction>(window, "Exit1");
    QAction* Card1 = FindControl<QAction>(window, "Card1");
    QAction* InternalClk_MenuItem = FindControl<QAction>(window, "InternalClk_MenuItem");
    QAction* ExternalClk_MenuItem = FindControl<QAction>(window, "ExternalClk_MenuItem");
    QAction* MemoryTest1 = FindControl<QAction>(window, "MemoryTest1");
    QAction* ReadCalibrationDate1 = FindControl<QAction>(window, "ReadCalibrationDate1");
    QAction* Log1 = FindControl<QAction>(window, "Log1");
    QAction* WaveBuilder1 = FindControl<QAction>(window, "WaveBuilder1");
    QAction* About1 = FindControl<QAction>(window, "About1");
    QTabWidget* Channel_PageControl = FindControl<QTabWidget>(window, "Channel_PageControl");
    QWidget* Ch1_TabSheet = FindControl<QWidget>(window, "Ch1_TabSheet");
    QWidget* Ch2_TabSheet = FindControl<QWidget>(window, "Ch2_TabSheet");
    QWidget* Ch3_TabSheet = FindControl<QWidget>(window, "Ch3_TabSheet");
    QTabWidget* Settings_PageControl = FindControl<QTabWidget>(window, "Settings_PageControl");
    QWidget* Wave_TabSheet = FindControl<QWidget>(window, "Wave_TabSheet");
    QWidget* Clk_TabSheet = FindControl<QWidget>(window, "Clk_TabSheet");
    QTabWidget* Wave_PageControl = FindControl<QTabWidget>(window, "Wave_PageControl");
    QWidget* TabSheet7 = FindControl<QWidget>(window, "TabSheet7");
    QWidget* TabSheet8 = FindControl<QWidget>(window, "TabSheet8");
    QComboBox* WaveType_ComboBox = FindControl<QComboBox>(window, "WaveType_ComboBox");
    QSpinBox* Symm_SpinEdit = FindControl<QSpinBox>(window, "Symm_SpinEdit");
    QRadioButton* SingleF_RadioButton = FindControl<QRadioButton>(window, "SingleF_RadioButton");
    QRadioButton* SweepF_RadioButton = FindControl<QRadioButton>(window, "SweepF_RadioButton");
    TFrequencySpinEdit* StartF_SpinEdit =
        FindControl<TFrequencySpinEdit>(window, "StartF_SpinEdit");
    TFrequencySpinEdit* EndF_SpinEdit = FindControl<TFrequencySpinEdit>(window, "EndF_SpinEdit");
    TFrequencySpinEdit* SweepStep_SpinEdit =
        FindControl<TFrequencySpinEdit>(window, "SweepStep_SpinEdit");
    QSpinBox* StepInt_SpinEdit = FindControl<QSpinBox>(window, "StepInt_SpinEdit");
    QComboBox* FSK_ComboBox = FindControl<QComboBox>(window, "FSK_ComboBox");
    QGroupBox* SweepBox = FindControl<QGroupBox>(window, "SweepBox");
    QRadioButton* AutoRadioButton = FindControl<QRadioButton>(window, "AutoRadioButton");
    QRadioButton* ManualRadioButton = FindControl<QRadioButton>(window, "ManualRadioButton");
    TLampButton* ManualUpButton = FindControl<TLampButton>(window, "ManualUpButton");
    TLampButton* ManualDownButton = FindControl<TLampButton>(window, "ManualDownButton");
    TLampButton* ManualDown_Button = FindControl<TLampButton>(window, "ManualDown_Button");
    QCheckBox* AM_CheckBox = FindControl<QCheckBox>(window, "AM_CheckBox");
    QPushButton* WaveUpdate_Button = FindControl<QPushButton>(window, "WaveUpdate_Button");
    QGroupBox* GroupBox6 = FindControl<QGroupBox>(window, "GroupBox6");
    QRadioButton* LoadBin_RadioButton = FindControl<QRadioButton>(window, "LoadBin_RadioButton");
    QRadioButton* LoadText_RadioButton = FindControl<QRadioButton>(window, "LoadText_RadioButton");
    QCheckBox* LoadNorm_CheckBox = FindControl<QCheckBox>(window, "LoadNorm_CheckBox");
    QPushButton* Import_Button = FindControl<QPushButton>(window, "Import_Button");
    QGroupBox* GroupBox5 = FindControl<QGroupBox>(window, "GroupBox5");
    QRadioButton* SaveBin_RadioButton = FindControl<QRadioButton>(window, "SaveBin_RadioButton");
    QRadioButton* SaveText_RadioButton = FindControl<QRadioButton>(window, "SaveText_RadioButton");
    QPushButton* Save_Button = FindControl<QPushButton>(window, "Save_Button");
    QGroupBox* GroupBox18 = FindControl<QGroupBox>(window, "GroupBox18");
    QLabel* ArbWave_Filename_Label = FindControl<QLabel>(window, "ArbWave_Filename_Label");
    QLabel* Arbwave_DataCount_Label = FindControl<QLabel>(window, "Arbwave_DataCount_Label");
    QLabel* Label18 = FindControl<QLabel>(window, "Label18");
    TFrequencySpinEdit* repRate1 = FindControl<TFrequencySpinEdit>(window, "repRate1");
    QGroupBox* GroupBox1 = FindControl<QGroupBox>(window, "GroupBox1");
    QComboBox* TrigMode_ComboBox = FindControl<QComboBox>(window, "TrigMode_ComboBox");
    QComboBox* TrigSource_ComboBox = FindControl<QComboBox>(window, "TrigSource_ComboBox");
    QPushButton* TrigUpdate_Button = FindControl<QPushButton>(window, "TrigUpdate_Button");
    QGroupBox* GroupBox2 = FindControl<QGroupBox>(window, "GroupBox2");
    QLineEdit* ClkX_Edit = FindControl<QLineEdit>(window, "ClkX_Edit");
    TUpDown* ClkX_SpinButton = FindControl<TUpDown>(window, "ClkX_SpinButton");
    QLabel* RefFreq_Label = FindControl<QLabel>(window, "RefFreq_Label");
    QGroupBox* GroupBox3 = FindControl<QGroupBox>(window, "GroupBox3");
    QComboBox* SweepMode_ComboBox = FindControl<QComboBox>(window, "SweepMode_ComboBox");
    TFrequencySpinEdit* SwpStartF_SpinEdit =
        FindControl<TFrequencySpinEdit>(window, "SwpStartF_SpinEdit");
    TFrequencySpinEdit* SwpEndF_SpinEdit =
        FindControl<TFrequencySpinEdit>(window, "SwpEndF_SpinEdit");
    TFrequencySpinEdit* SwpStep_SpinEdit =
        FindControl<TFrequencySpinEdit>(window, "SwpStep_SpinEdit");
    QSpinBox* SwpInt_SpinEdit = FindControl<QSpinBox>(window, "SwpInt_SpinEdit");
    QComboBox* FSKSource_ComboBox = FindControl<QComboBox>(window, "FSKSource_ComboBox");
    QGroupBox* GroupBox4 = FindControl<QGroupBox>(window, "GroupBox4");
    QLineEdit* CounterStep_Edit = FindControl<QLineEdit>(window, "CounterStep_Edit");
    TUpDown* CounterStep_UpDown = FindControl<TUpDown>(window, "CounterStep_UpDown");
    QPushButton* ClkUpdate_Button = FindControl<QPushButton>(window, "ClkUpdate_Button");
    QFrame* Panel1 = FindControl<QFrame>(window, "Panel1");
    QFrame* VrDisplay2 = FindControl<QFrame>(window, "VrDisplay2");
    TImage* Grat_Image = FindControl<TImage>(window, "Grat_Image");
    TImage* Wave_Image = FindControl<TImage>(window, "Wave_Image");
    QLabel* Max_Vert_Label = FindControl<QLabel>(window, "Max_Vert_Label");
    QLabel* Half_Vert_Label = FindControl<QLabel>(window, "Half_Vert_Label");
    QLabel* Min_Vert_Label = FindControl<QLabel>(window, "Min_Vert_Label");
    QLabel* Min_Sample_Label = FindControl<QLabel>(window, "Min_Sample_Label");
    QLabel* Max_Sample_Label = FindControl<QLabel>(window, "Max_Sample_Label");
    QPushButton* Preview_Button = FindControl<QPushButton>(window, "Preview_Button");
    QGroupBox* GroupBox7 = FindControl<QGroupBox>(window, "GroupBox7");
    TLampButton* Ch1_Mode_Button = FindControl<TLampButton>(window, "Ch1_Mode_Button");
    QSlider* Att_Slider = FindControl<QSlider>(window, "Att_Slider");
    QLineEdit* Att_Edit = FindControl<QLineEdit>(window, "Att_Edit");
    QLineEdit* Edit2 = FindControl<QLineEdit>(window, "Edit2");
    QPushButton* AttenSetButton = FindControl<QPushButton>(window, "AttenSetButton");
    QSlider* V_Slider = FindControl<QSlider>(window, "V_Slider");
    QLineEdit* V_Edit = FindControl<QLineEdit>(window, "V_Edit");
    QLineEdit* Edit3 = FindControl<QLineEdit>(window, "Edit3");
    QPushButton* OffsetButton = FindControl<QPushButton>(window, "OffsetButton");
    TLampButton* OffsetBut = FindControl<TLampButton>(window, "OffsetBut");
    QFrame* Panel2 = FindControl<QFrame>(window, "Panel2");
    TImage* Image1 = FindControl<TImage>(window, "Image1");
    QStatusBar* StatusBar1 = FindControl<QStatusBar>(window, "StatusBar1");
    QLabel* StatusText = FindControl<QLabel>(window, "StatusBar1_Panel0");
    QLabel* Feedback_Label = FindControl<QLabel>(window, "StatusBar1_Feedback");
};
