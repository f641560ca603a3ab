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

const CardModel& ModelOfSubsystem(uint16_t subsystemId) {
    return subsystemId == kModels[1].subsystemId ? kModels[1] : kModels[0];
}

const CardModel& ModelWithChannels(int channels) {
    return channels == kModels[1].channels ? kModels[1] : kModels[0];
}
