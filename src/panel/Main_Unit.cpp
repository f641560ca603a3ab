#include "Main_Unit.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QStatusBar>

#include "CardState.h"
#include "OperationLog.h"

TMain_Form::TMain_Form(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Main_Form");
    auto* central = new QWidget(this);
    central->setObjectName("Client");
    central->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(central);

    auto* status = new QStatusBar(this);
    status->setObjectName("StatusBar1");
    statusText_ = new QLabel("Selected Card: No card selected", status);
    statusText_->setObjectName("StatusBar1_Panel0");
    status->addWidget(statusText_, 1);
    setStatusBar(status);

    FormCreate();

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMain_Form::~TMain_Form() {
    SetCardInfoRefreshHook({});
}

void TMain_Form::FormCreate() {
    setWindowTitle("Norvale 815 Soft Front Panel v1.46");
    SetCardInfoRefreshHook([this] { UpdateAllControls(); });
    InitCardInfoRecord();
    CreateLogLines();
}

void TMain_Form::UpdateAllControls() {
    // The controls that show the card record arrive with the settings pages.
}
