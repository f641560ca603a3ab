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
            // A card object of its own, opened without a lock as any card is.
            Card probe;
            card.openStatus = probe.open(resource, false, &model);
            if (card.openStatus == VI_SUCCESS) {
                card.cardId = probe.identity().cardId;
                if (options.readChannels)
                    card.channels = ReadChannelCount(probe.session());
            }
            probe.close();
        }
        cards.push_back(card);
    }
    return status;
}
