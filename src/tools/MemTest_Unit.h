// The "Wave Memory Test" dialog.
#pragma once

#include <QDialog>

class TMemTest_Form : public QDialog {
    Q_OBJECT
public:
    explicit TMemTest_Form(QWidget* parent = nullptr);
};
