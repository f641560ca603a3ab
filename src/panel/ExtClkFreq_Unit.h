// The "External Clock Frequency" dialog: asks for the external DDS reference
// clock frequency in MHz.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TExternalClk_Form : public QDialog {
    Q_OBJECT
public:
    explicit TExternalClk_Form(QWidget* parent = nullptr);

    double Freq = 10.0; // MHz: set before showing, read after OK

    QLabel* Label1;
    QLineEdit* ExtClkFreq_Edit;
    QPushButton* OK_Button;
    QPushButton* Cancel_Button;

    void OK_ButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
};
