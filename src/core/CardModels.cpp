#include "CardModels.h"

namespace {
// The 82-815 is the 72-815 without its third channel.
constexpr CardModel kModels[] = {
    {"72-815", 3, 0x4403},
    {"82-815", 2, 0x4404},
};
} // namespace

const char* const kCardMaker = "Norvale";

std::span<const CardModel> CardModels() {
    return kModels;
}

const CardModel* ModelNamed(std::string_view name) {
    for (const CardModel& m : kModels)
        if (name == m.name)
            return &m;
    return nullptr;
}

// The first model (the three-channel card) unless another is named.
const CardModel& ModelOfSubsystem(uint16_t subsystemId) {
    for (const CardModel& m : kModels)
        if (m.subsystemId == subsystemId)
            return m;
    return kModels[0];
}

const CardModel& ModelWithChannels(int channels) {
    for (const CardModel& m : kModels)
        if (m.channels == channels)
            return m;
    return kModels[0];
}

std::string ModelNamesText(std::span<const CardModel> models) {
    std::string text;
    for (size_t i = 0; i < models.size(); ++i)
        text += (i == 0                   ? ""
                 : i + 1 == models.size() ? " or "
                                          : ", ") +
                std::string(models[i].name);
    return text;
}
