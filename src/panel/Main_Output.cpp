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
#include "Operations.h"
#include "PanelWidgets.h"

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
    OwnOperation own(*this);
    const int c = ActiveChannelNumber();
    TChannelInfo& ch = card_.channel(c);
    SetOutput(card_, c, !ch.OutputOn);
    UpdateModeLEDs();
}

void TMain_Form::OnSliderChange(QSlider* sender) {
    if (sender == Att_Slider)
        Att_Edit->setText(QString::asprintf("%2d", Att_Slider->value()).left(10));
    else if (sender == V_Slider)
        V_Edit->setText(OffsetText(V_Slider->value() / 100.0));
}

void TMain_Form::AttenButtonClick(QPushButton* sender) {
    OwnOperation own(*this);
    const int c = ActiveChannelNumber();
    if (sender == AttenSetButton) {
        SetAttenuation(card_, c, Att_Slider->value());
    } else if (sender == OffsetButton) {
        const double value = V_Slider->value() / 100.0;
        V_Edit->setText(OffsetText(value));
        SetOffset(card_, c, value);
    }
    UpdateAttControls();
}

void TMain_Form::OffsetButClick() {
    OwnOperation own(*this);
    const int c = ActiveChannelNumber();
    const double value = V_Slider->value() / 100.0;
    V_Edit->setText(OffsetText(value));
    SetOffsetPower(card_, c, value, OffsetBut->lit());
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
