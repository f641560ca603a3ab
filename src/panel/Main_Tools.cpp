// The maintenance tools of the menu: wave memory test, calibration date and
// the about box.
#include "Main_Unit.h"

#include "About_Unit.h"
#include "CardState.h"
#include "Dialogs.h"
#include "MemTest_Unit.h"
#include "Operations.h"

void TMain_Form::MemoryTest1Click() {
    if (card_.session() == 0) {
        ShowNoCard(); // the test needs a card: say so where the operator looks
        return;
    }
    // The test overwrites wave memory: every output goes off first.
    SwitchOutputsOff(card_, CardChannels());
    UpdateModeLEDs();
    if (memTestForm_)
        memTestForm_->exec();
    UpdateModeLEDs(); // the test may have switched outputs off
}

void TMain_Form::ReadCalibrationDate1Click() {
    // A refusal, if it reached the card, is in the log.
    if (const std::optional<std::string> text = ReadCalibrationDate(card_))
        AppDialogs().message(this, Dialogs::Kind::Information, QString::fromStdString(*text));
}

void TMain_Form::About1Click() {
    if (aboutForm_)
        aboutForm_->ShowAbout();
}
