#include "MemTest_Unit.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "Card.h"
#include "Commands.h"
#include "Named.h"
#include "OperatorDialogs.h"

namespace {

QString Hex(uint32_t value, int digits) {
    return QString("%1").arg(value, digits, 16, QChar('0')).toUpper();
}

QLabel* ChannelLabel(QWidget* parent, int channel, const char* part) {
    const QString name = QString("Ch%1_%2_Label").arg(channel).arg(part);
    return Named(new QLabel(parent), name.toLatin1().constData());
}

// The test's failure box, shown once the channel's status says it was not tested.
class ChannelTestUi final : public OperatorUi {
public:
    ChannelTestUi(QWidget* form, QLabel* status) : dialogs_(form), status_(status) {}
    void error(const std::string& text) override {
        status_->setText("Status: Not Tested");
        dialogs_.error(text);
    }
    void warning(const std::string& text) override { dialogs_.warning(text); }
    void information(const std::string& text) override { dialogs_.information(text); }
    bool confirm(const std::string& text) override { return dialogs_.confirm(text); }

private:
    DialogOperatorUi dialogs_;
    QLabel* status_;
};

} // namespace

TMemTest_Form::TMemTest_Form(QWidget* parent) : QDialog(parent) {
    setObjectName("MemTest_Form");
    setWindowTitle("Wave Memory Test");
    GroupBox1 = Named(new QGroupBox("Channels", this), "GroupBox1");
    auto* channels = new QHBoxLayout(GroupBox1);
    for (int i = 0; i < 3; ++i) {
        const QString name = QString("GroupBox%1").arg(i + 2);
        ChannelBox[i] = Named(new QGroupBox(QString("Channel %1").arg(i + 1), GroupBox1),
                              name.toLatin1().constData());
        Status_Label[i] = ChannelLabel(ChannelBox[i], i + 1, "Status");
        ErrAdd_Label[i] = ChannelLabel(ChannelBox[i], i + 1, "ErrAdd");
        ErrData_Label[i] = ChannelLabel(ChannelBox[i], i + 1, "ErrData");
        ExpData_Label[i] = ChannelLabel(ChannelBox[i], i + 1, "ExpData");
        auto* box = new QVBoxLayout(ChannelBox[i]);
        for (QLabel* label : {Status_Label[i], ErrAdd_Label[i], ErrData_Label[i], ExpData_Label[i]})
            box->addWidget(label);
        channels->addWidget(ChannelBox[i]);
    }
    Test_Button = Named(new QPushButton("Test All Channels", this), "Test_Button");
    Cancel_Button = Named(new QPushButton("Cancel Test", this), "Cancel_Button");
    Close_Button = Named(new QPushButton("Close", this), "Close_Button");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {Test_Button, Cancel_Button, Close_Button}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (QLabel* label : Status_Label)
        label->setMinimumWidth(170);
    InitLabels();

    connect(Test_Button, &QPushButton::clicked, this, [this] { Test_ButtonClick(); });
    connect(Cancel_Button, &QPushButton::clicked, this, [this] { Cancel_ButtonClick(); });
    connect(Close_Button, &QPushButton::clicked, this, [this] { Close_ButtonClick(); });
}

void TMemTest_Form::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TMemTest_Form::FormShow() {
    InitLabels();
}

void TMemTest_Form::SetLabels(int index, const QString& status, const QString& data,
                              const QString& expected, const QString& address) {
    Status_Label[index]->setText("Status: " + status);
    ErrData_Label[index]->setText("Error Data: " + data);
    ExpData_Label[index]->setText("Expected Data: " + expected);
    ErrAdd_Label[index]->setText("Error Address: " + address);
}

void TMemTest_Form::InitLabels() {
    Cancel_Button->setEnabled(false);
    for (int i = 0; i < 3; ++i)
        SetLabels(i, "Not Tested", "None", "None", "None");
}

void TMemTest_Form::TestAll() {
    InitLabels();
    if (!card_)
        return;
    Cancel_Button->setEnabled(true);
    Close_Button->setEnabled(false);
    Test_Button->setEnabled(false);
    CancelRequested = false;
    testing_ = true;
    for (int channel = 1; channel <= 3 && !CancelRequested; ++channel) {
        const int i = channel - 1;
        SetLabels(i, "Testing", "None", "None", "None");
        repaint();
        ChannelTestUi ui(this, Status_Label[i]);
        const MemoryTestResult r = TestChannelMemory(*card_, channel, ui);
        if (r.Status == MemoryTestFailed) {
            SetLabels(i, "Failed", Hex(r.Data, 4), Hex(r.Expected, 4), Hex(r.Address, 8));
            repaint();
        } else if (r.Status == VI_SUCCESS) {
            Status_Label[i]->setText("Status: OK");
        } else {
            Status_Label[i]->setText("Status: Not Tested");
            CancelRequested = true;
        }
        // A click on "Cancel Test" made during the test takes effect here.
        QApplication::processEvents();
    }
    testing_ = false;
    Cancel_Button->setEnabled(false);
    Close_Button->setEnabled(true);
    Test_Button->setEnabled(true);
}

void TMemTest_Form::Test_ButtonClick() {
    TestAll();
}

void TMemTest_Form::Cancel_ButtonClick() {
    CancelRequested = true;
}

void TMemTest_Form::Close_ButtonClick() {
    done(QDialog::Rejected);
}

void TMemTest_Form::reject() {
    if (!testing_)
        QDialog::reject();
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_MemTest_Unit.cpp"
