// The about box: program, driver and VISA versions.
#pragma once

#include <QDialog>

class TAbout_Form : public QDialog {
    Q_OBJECT
public:
    explicit TAbout_Form(QWidget* parent = nullptr);
};
