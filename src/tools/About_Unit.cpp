#include "About_Unit.h"

TAbout_Form::TAbout_Form(QWidget* parent) : QDialog(parent) {
    setObjectName("About_Form");
    setWindowTitle("About");
}
