// Finding the cards of a model: one search for the card dialog and the
// command line. Each card found is read through a session of its own,
// opened and closed at once; the card in use is read through its own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CardModels.h"
#include "VISA_Unit.h"

struct FoundCard {
    std::string resource;
    const CardModel* model = nullptr;
    ViStatus openStatus = 0;     // of its probe; VI_SUCCESS for the card in use
    int32_t cardId = 0;          // 0: not read
    std::optional<int> channels; // from its PCI subsystem id, when asked for and read
};

struct DiscoveryOptions {
    bool readChannels = false; // read each card's channel count too
    // The resource and session of the card in use: read through that session.
    std::string inUseResource;
    ViSession inUseSession = 0;
};

// The cards of `model` in VISA's order, each once. VISA's failure ends the
// search (where: `stop`), the cards found so far kept; see FindVisaResources.
ViStatus DiscoverCards(const CardModel& model, std::vector<FoundCard>& cards,
                       const DiscoveryOptions& options = {}, SearchStop* stop = nullptr);
