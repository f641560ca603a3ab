// The main window of the front panel.
#pragma once

#include <QMainWindow>

class QLabel;

class TMain_Form : public QMainWindow {
    Q_OBJECT
public:
    explicit TMain_Form(QWidget* parent = nullptr);
    ~TMain_Form() override;

    static constexpr int kClientWidth = 827;
    static constexpr int kClientHeight = 674;

    void UpdateAllControls();

private:
    void FormCreate();
    QLabel* statusText_ = nullptr;
};
