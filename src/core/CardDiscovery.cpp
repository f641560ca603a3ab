#include "CardDiscovery.h"

#include "Operations.h"

ViStatus DiscoverCards(const CardModel& model, std::vector<FoundCard>& cards,
                       const DiscoveryOptions& options, SearchStop* stop) {
    cards.clear();
    std::vector<std::string> found;
    const ViStatus status = FindVisaResources(model.name, found, stop);
    for (const std::string& resource : found) {
        FoundCard card;
        card.resource = resource;
        card.model = &model;
        if (options.inUseSession != 0 && resource == options.inUseResource) {
            card.cardId = ReadCardId(options.inUseSession);
            if (options.readChannels)
                card.channels = ReadChannelCount(options.inUseSession);
        } else {
            TSelectedCard probe;
            probe.Resource = resource;
            card.openStatus = OpenCard(probe, false);
            if (card.openStatus == VI_SUCCESS) {
                card.cardId = ReadCardId(probe.Session);
                if (options.readChannels)
                    card.channels = ReadChannelCount(probe.Session);
            }
            CloseCard(probe);
        }
        cards.push_back(card);
    }
    return status;
}
