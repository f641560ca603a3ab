// Taking a card into use, the same for every front end: the card a name
// means, found among the models' cards; opened (locked when asked), its
// model from the table, its selection logged, and the start-up calls a
// front end that drives the card sends. The front ends word the outcome.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "Card.h"
#include "CardModels.h"
#include "VISA_Unit.h"

// The card a resource name means, as discovery lists it.
struct CardLookup {
    std::string resource;             // empty when none: `problem` says why
    const CardModel* model = nullptr; // the model it was found as
    std::string problem;              // "There is no resource 'X' (see --list-cards)."
};
// Searches VISA for each model's cards (then every PXI instrument, to tell
// another model from no resource at all); opens nothing.
CardLookup FindCardNamed(const std::string& name, std::span<const CardModel> models = CardModels());

struct TakeOptions {
    bool lock = true;                 // an exclusive lock
    const CardModel* model = nullptr; // known from discovery; else read from the card
    // The start-up calls of a front end that drives the card (the window):
    // every channel of the card at 10 dB, its output off.
    bool startUp = false;
};

struct TakenCard {
    const Card* heldBy = nullptr; // another card object of this program has it: nothing opened
    ViStatus status = VI_SUCCESS; // of the open
    // Start-up: the channels whose attenuation the card refused (not known).
    std::vector<int> unknownAttenuation;
    bool ok() const { return heldBy == nullptr && status == VI_SUCCESS; }
};

// Takes `resource` into use in place of the card's session: refused while
// another card object of the program has it; opened, the record's card
// named, "New card selected - RESOURCE" logged, and the start-up calls
// sent when asked.
TakenCard TakeCard(Card& card, const std::string& resource, const TakeOptions& options);

// The driver's revision of the card in use ("1.46"); empty when no card is
// open or the driver does not answer.
std::string DriverRevision(const Card& card);
