// The "Wave Memory Test" dialog: tests the wave memory of the three channels
// one after the other and shows each channel's result.
#pragma once

#include <QDialog>
#include <array>

class QGroupBox;
class Card;
class QLabel;
class QPushButton;

class TMemTest_Form : public QDialog {
    Q_OBJECT
public:
    explicit TMemTest_Form(QWidget* parent = nullptr);
    // The card whose session it shows or tests (none: nullptr).
    void SetCard(Card* card) { card_ = card; }

    void InitLabels();
    void TestAll();

    QGroupBox* GroupBox1;                 // "Channels"
    std::array<QGroupBox*, 3> ChannelBox; // GroupBox2..4
    std::array<QLabel*, 3> Status_Label;  // Ch1_Status_Label ..
    std::array<QLabel*, 3> ErrAdd_Label;  // Ch1_ErrAdd_Label ..
    std::array<QLabel*, 3> ErrData_Label; // Ch1_ErrData_Label ..
    std::array<QLabel*, 3> ExpData_Label; // Ch1_ExpData_Label ..
    QPushButton* Test_Button;
    QPushButton* Cancel_Button;
    QPushButton* Close_Button;

    bool CancelRequested = false;
    bool Testing() const { return testing_; }

public slots:
    // While a test runs the dialog stays open: Escape and the frame do nothing.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Card* card_ = nullptr;
    void FormShow();
    void Test_ButtonClick();
    void Cancel_ButtonClick();
    void Close_ButtonClick();
    void SetLabels(int index, const QString& status, const QString& data, const QString& expected,
                   const QString& address);

    bool testing_ = false;
};
