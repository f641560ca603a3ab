// The "Output" group: output switch, attenuation and DC offset of the active
// channel.
#include "Main_Unit.h"

#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <cmath>

#include "CardState.h"
#include "Commands.h"
#include "PanelWidgets.h"
#include "nv815_def.h"

namespace {

// Formats like C's "%-4.2f" with the user's decimal separator, cut to 10 characters.
QString OffsetText(double volts) {
    QString text = QLocale().toString(volts, 'f', 2);
    if (text.size() < 4)
        text = text.leftJustified(4);
    return text.left(10);
}

} // namespace

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
        if (status == VI_SUCCESS) {
            status = Driver.nv815_SetOutputOffsetVoltage(Session, w.DCOffset, w.OffsetOn ? 1 : 0);
            ReportCommandOutcome(Session, "Set  dcOffset - ", status);
        }
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
