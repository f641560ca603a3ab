#include "ProgramState.h"

#include "AcceptedUpdate.h"
#include "CardState.h"
#include "Commands.h"
#include "DriverCalls.h"
#include "OperationLog.h"
#include "VISA_def_v2.h"

void ResetProgramState() {
    CardInfo = TCardInfo{};
    SetCardInfoRefreshHook(nullptr);
    Session = 0;
    PendingMultiplier = {};
    DefaultRM = 0;
    ActiveChannel = 0;
    SetCommandObserver(nullptr);
    SetCommandTally(nullptr);
    SetLogEntryHook(nullptr);
    ClearAccepted();
    SetDriverCallRecording(true);
    SetSessionSampleLimit(kSessionSampleLimit);
    ForgetAllSessionCalls();
}
