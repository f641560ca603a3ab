// The maintenance tools of the menu: wave memory test, calibration date and
// the about box.
#include "Main_Unit.h"

#include "About_Unit.h"
#include "CardState.h"
#include "Commands.h"
#include "Dialogs.h"
#include "MemTest_Unit.h"

void TMain_Form::MemoryTest1Click() {
    if (Session == 0) {
        ShowNoCard(); // the test needs a card: say so where the operator looks
        return;
    }
    // The test overwrites wave memory: every output goes off first.
    for (int c = 1; c <= kChannelCount; ++c)
        if (CmdSetInstrumentMode(Session, c, false) == VI_SUCCESS)
            CardInfo.Channel[c].OutputOn = false;
    UpdateModeLEDs();
    if (memTestForm_)
        memTestForm_->exec();
    UpdateModeLEDs(); // the test may have switched outputs off
}

void TMain_Form::ReadCalibrationDate1Click() {
    uint32_t year = 0, month = 0, day = 0;
    if (CmdGetCalibrationDate(Session, &year, &month, &day) != VI_SUCCESS)
        return; // the failure, if any reached the card, is in the log
    auto two = [](uint32_t n) { return (n < 10 ? "0" : "") + QString::number(n); };
    AppDialogs().message(this, Dialogs::Kind::Information,
                         "Calibration Date (dd-mm-yy): " + two(day) + "-" + two(month) + "-" +
                             two(year));
}

void TMain_Form::About1Click() {
    if (aboutForm_)
        aboutForm_->ShowAbout();
}
