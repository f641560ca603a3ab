// For the operations only: the picture of what the card accepted, writable.
#pragma once

#include "Card.h"

TAcceptedChannel& AcceptedChannel(Card& card, int channel);
