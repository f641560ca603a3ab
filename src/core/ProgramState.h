// What is process-wide by nature, reset in one place: VISA's default
// resource manager session (none), the driver calls kept for each session
// (none, recorded again, with the usual sample limit). Each card object
// holds the rest of a card's state. Start-up and tests call this.
#pragma once

void ResetProgramState();
