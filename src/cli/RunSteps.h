// What the command line's runs share: the libraries bound, a card found by
// its name, and both released in the program's order.
#pragma once

#include <cstdio>
#include <span>
#include <string>

#include "Card.h"
#include "CardModels.h"
#include "Operations.h"

// Binds the libraries for a run without a window; false (the reason
// written) when they cannot be.
bool BindForCommandLine(std::FILE* err);

// The card `name` names, as discovery lists it; empty (the reason written)
// when VISA knows no such resource or it is no card of the models.
// `model` gets the model it was found as.
std::string FindCard(const std::string& name, std::FILE* err, std::string* model = nullptr,
                     std::span<const CardModel> models = CardModels());

// Opens the found card exclusively into the card object (Card::open:
// sending nothing; its model read from the card unless `model` names it) and
// logs its selection; false (the reason written) when it cannot be opened.
bool OpenForCommandLine(const std::string& resource, Card& card, std::FILE* err,
                        const CardModel* model = nullptr);

// Closes what the run opened and releases the libraries, in the program's order.
void Release(Card& card);
