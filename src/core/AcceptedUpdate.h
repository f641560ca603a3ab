// For the operations only: the picture of what the card accepted, writable.
#pragma once

#include "Accepted.h"

TAcceptedChannel& AcceptedChannel(int channel);

// Everything forgotten: no card, or a card just opened.
void ClearAccepted();
