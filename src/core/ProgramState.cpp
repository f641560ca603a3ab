#include "ProgramState.h"

#include "DriverCalls.h"
#include "VISA_def_v2.h"

void ResetProgramState() {
    DefaultRM = 0;
    SetDriverCallRecording(true);
    SetSessionSampleLimit(kSessionSampleLimit);
    ForgetAllSessionCalls();
}
