#include "Accepted.h"

#include "AcceptedUpdate.h"

namespace {
TAcceptedCard accepted;
} // namespace

const TAcceptedCard& Accepted() {
    return accepted;
}

TAcceptedChannel& AcceptedChannel(int channel) {
    return accepted.Channel.at(static_cast<size_t>(channel));
}

void ClearAccepted() {
    accepted = TAcceptedCard{};
}
