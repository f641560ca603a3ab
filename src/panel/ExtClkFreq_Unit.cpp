#include "ExtClkFreq_Unit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "Dialogs.h"
#include "Named.h"
#include "SettingRanges.h"

namespace {

// A limit as an operator writes it: 0.000001, 1000.
QString Limit(double megahertz) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = locale.toString(megahertz, 'f', 6);
    while (text.contains(locale.decimalPoint()) && text.endsWith('0'))
        text.chop(1);
    if (text.endsWith(locale.decimalPoint()))
        text.chop(1);
    return text;
}

} // namespace

TExternalClk_Form::TExternalClk_Form(QWidget* parent) : QDialog(parent) {
    setObjectName("ExternalClk_Form");
    setWindowTitle("External Clock Frequency");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    Label1 = Named(
        new QLabel("Enter the external clock frequency in MHz using floating point format. ", this),
        "Label1");
    Label1->setWordWrap(true);
    ExtClkFreq_Edit = Named(new QLineEdit("10.0000", this), "ExtClkFreq_Edit");
    Label1->setBuddy(ExtClkFreq_Edit);
    ExtClkFreq_Edit->setToolTip(QString("External clock frequency in MHz, a number such as 10 or "
                                        "12.5, from %1 to %2.")
                                    .arg(Limit(Setting("_Clock/ExtFreq").minimum))
                                    .arg(Limit(Setting("_Clock/ExtFreq").maximum)));
    OK_Button = Named(new QPushButton("OK", this), "OK_Button");
    OK_Button->setDefault(true);
    Cancel_Button = Named(new QPushButton("Cancel", this), "Cancel_Button");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OK_Button);
    buttons->addWidget(Cancel_Button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ExtClkFreq_Edit);
    layout->addLayout(buttons);
    setFixedSize(320, 130);
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(Cancel_Button, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
}

void TExternalClk_Form::showEvent(QShowEvent* event) {
    // General format, up to 8 significant digits, no trailing zeros and no
    // group separators (the text also goes into the menu caption).
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    ExtClkFreq_Edit->setText(locale.toString(Freq, 'g', 8));
    QDialog::showEvent(event);
}

void TExternalClk_Form::OK_ButtonClick() {
    // The user's decimal separator, or the full stop the message asks for;
    // a group separator makes the text no number ("1,234.5", "1.234,5").
    const QString text = ExtClkFreq_Edit->text().trimmed();
    QLocale user, fullStop = QLocale::c();
    user.setNumberOptions(QLocale::RejectGroupSeparator);
    fullStop.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double value = user.toDouble(text, &ok);
    if (!ok)
        value = fullStop.toDouble(text, &ok);
    if (!ok || !std::isfinite(value)) {
        AppDialogs().message(this, Dialogs::Kind::Error,
                             "Please enter a floating point number using only 0..9 characters "
                             "\r\nand \".\" (fullstop)");
        return;
    }
    // The limits every front end holds a loaded configuration by.
    const SettingRange& range = Setting("_Clock/ExtFreq");
    if (value < range.minimum || value > range.maximum) {
        AppDialogs().message(this, Dialogs::Kind::Error,
                             QString("The external clock frequency must lie from %1 to %2 MHz.")
                                 .arg(Limit(range.minimum))
                                 .arg(Limit(range.maximum)));
        return;
    }
    Freq = value;
    done(QDialog::Accepted);
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_ExtClkFreq_Unit.cpp"
