// The card's settings as SCPI commands: for every setting the settings table
// names in SCPI, its setter (through the card object's operations: only its
// own command, with the card's other accepted settings) and its query (what
// the card accepted; 9.91E37 for what it has not accepted since it was opened).
#pragma once

#include <functional>

#include "Card.h"
#include "ScpiSession.h"

namespace scpi {

// `card` gives the card the window or the server has open (null or without a
// session: every setting command is an execution error saying so).
void AddCardCommands(CommandSet& commands, std::function<Card*()> card);

// What *IDN? answers for `card`: the maker, its model, its card id as the
// serial number, and the program's version.
Identity IdentityOf(const Card& card);

} // namespace scpi
