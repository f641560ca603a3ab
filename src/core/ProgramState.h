// The program's state between operations, reset in one place.
#pragma once

// Back to how the program starts: the card record zero-filled and without a
// refresh hook, no session, no pending multipliers, no VISA resource manager
// session, no channel selected on the card, no command observer, tally or log
// entry hook, nothing
// accepted. Start-up and tests both call this.
void ResetProgramState();
