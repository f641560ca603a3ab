// What the command line's runs share: the libraries bound, a card found by
// its name, and both released in the program's order.
#pragma once

#include <cstdio>
#include <string>

#include "Card.h"
#include "Operations.h"

// Binds the libraries for a run without a window; false (the reason
// written) when they cannot be.
bool BindForCommandLine(std::FILE* err);

// The card `name` names, as discovery lists it; empty (the reason written)
// when VISA knows no such resource or it is no card of either model.
// `model` gets the model it was found as.
std::string FindCard(const std::string& name, std::FILE* err, std::string* model = nullptr);

// Opens the found card exclusively (sending nothing) and makes it the card
// object's, its id read and its selection logged; false (the reason
// written) when it cannot be opened.
bool OpenForCommandLine(TSelectedCard& selected, Card& card, std::FILE* err);

// Closes what the run opened and releases the libraries, in the program's order.
void Release(TSelectedCard& selected, Card& card);
