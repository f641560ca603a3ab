// The preview: one period of the active channel's waveform, the imported
// samples on the "Arbitrary" page, else a sketch of the basic shape.
#include "Main_Unit.h"

#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QSpinBox>
#include <QTabWidget>

#include "CardState.h"
#include "Display_Unit.h"
#include "Main_Controls.h"
#include "PanelWidgets.h"

void TMain_Form::Preview_ButtonClick() {
    Preview_Wave();
}

// Another than the operator changed the channel's waveform (a configuration
// sent or loaded, a client): a preview already drawn follows it. (Importing
// and Update leave it as it is, and nothing is drawn before it is asked for.)
void TMain_Form::RedrawPreview() {
    if (previewDrawn_)
        Preview_Wave();
}

void TMain_Form::Preview_Wave() {
    previewDrawn_ = true;
    const int c = ActiveChannelNumber();
    if (Wave_PageControl->currentIndex() == 1) {
        const TArbWave& arb = card_.channel(c).Wave.Arb;
        Min_Sample_Label->setText("Data Point 0");
        Max_Sample_Label->setText("Data Point " + QString::number(arb.WaveLength));
        display_->DrawWaveData(arb.Data, arb.WaveLength);
    } else {
        // One period at the start frequency the page shows.
        double period = 1.0 / std::max(SpinEditValue(StartF_SpinEdit), 1);
        QString unit = "s";
        if (period < 1) {
            unit = period < 0.001 ? "uS" : "mS";
            period *= period < 0.001 ? 1000000 : 1000;
        }
        Max_Sample_Label->setText("Time: " + QLocale().toString(period, 'g', 4) + unit);
        Min_Sample_Label->setText("Time: 0" + unit);
        display_->DrawBasicShape(WaveType_ComboBox->currentIndex(), 128,
                                 SpinEditValue(Symm_SpinEdit));
    }
    Grat_Image->update();
    Wave_Image->update();
}
