#include "MemTest_Unit.h"

TMemTest_Form::TMemTest_Form(QWidget* parent) : QDialog(parent) {
    setObjectName("MemTest_Form");
    setWindowTitle("Wave Memory Test");
}
