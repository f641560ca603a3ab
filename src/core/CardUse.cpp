#include "CardUse.h"

#include <algorithm>

#include "Commands.h"
#include "LibraryBindings.h"
#include "OperationLog.h"
#include "Operations.h"
#include "SessionCalls.h"

namespace {

std::string NoSuchResource(const std::string& name) {
    return "There is no resource '" + name + "' (see --list-cards).";
}

} // namespace

CardLookup FindCardNamed(const std::string& name, std::span<const CardModel> models) {
    if (std::string missing = MissingLibraryText(); !missing.empty())
        return {{}, nullptr, missing};
    ViStatus status = VI_SUCCESS;
    const std::string wanted = ExpandedResourceName(name, status);
    if (status == VI_ERROR_RSRC_NFOUND) // a resource name, of no resource
        return {{}, nullptr, NoSuchResource(name)};
    if (wanted.empty())
        return {{}, nullptr, "'" + name + "' is no VISA resource name: " + VisaStatusWords(status)};
    // The cards of each model, as discovery lists them; when none holds it,
    // every PXI instrument, to tell another model from no resource at all.
    std::vector<const CardModel*> searched;
    for (const CardModel& m : models)
        searched.push_back(&m);
    searched.push_back(nullptr);
    for (const CardModel* model : searched) {
        std::vector<std::string> found;
        status = FindVisaResources(model ? model->name : "", found);
        if (status != VI_SUCCESS && status != VI_ERROR_RSRC_NFOUND)
            return {{}, nullptr, "The card search failed: " + VisaStatusWords(status)};
        const auto match = std::find_if(found.begin(), found.end(), [&](const std::string& r) {
            ViStatus s;
            return ExpandedResourceName(r, s) == wanted;
        });
        if (match != found.end() && model)
            return {*match, model, {}};
        if (!model)
            return {{},
                    nullptr,
                    match == found.end() ? NoSuchResource(name)
                                         : "'" + name + "' is not a " + ModelNamesText(models) +
                                               " card (see --list-cards)."};
    }
    return {};
}

TakenCard TakeCard(Card& card, const std::string& resource, const TakeOptions& options) {
    TakenCard taken;
    // Another panel's card is never taken from it: nothing is sent.
    if ((taken.heldBy = card.heldElsewhere(resource)))
        return taken;
    taken.status = card.open(resource, options.lock, options.model);
    if (taken.status != VI_SUCCESS)
        return taken;
    AddCardNote("New card selected - " + resource, card.link().cardTag());
    card.record().Resource = resource; // what a saved configuration names as its card
    if (options.startUp)
        taken.unknownAttenuation = UseCard(card, card.session(), card.channels());
    return taken;
}

std::string DriverRevision(const Card& card) {
    if (card.session() == 0)
        return {};
    char driver[NV815_REVISION_BUFLEN] = {}, instrument[NV815_REVISION_BUFLEN] = {};
    CmdRevisionQuery(card.session(), driver, instrument); // a failed query leaves it empty
    driver[NV815_REVISION_BUFLEN - 1] = '\0';
    return driver;
}
