#include "Card.h"

#include <algorithm>

#include "AcceptedUpdate.h"
#include "SettingRanges.h"

Card::Card() {
    // The card's own observer of its link: the one that tells the subscribers.
    link_.addObserver([this](const CommandOutcome& outcome) {
        const std::vector<CardSubscriber*> told = subscribers_; // one may unsubscribe
        for (CardSubscriber* s : told)
            s->commandReported(outcome);
    });
}

Card::~Card() = default;

void Card::subscribe(CardSubscriber& subscriber) {
    if (std::find(subscribers_.begin(), subscribers_.end(), &subscriber) == subscribers_.end())
        subscribers_.push_back(&subscriber);
}

void Card::unsubscribe(CardSubscriber& subscriber) {
    std::erase(subscribers_, &subscriber);
}

void Card::resetRecord() {
    InitCardInfoRecord(record_);
    for (int c = 1; c <= kChannelCount; ++c)
        pending_[c] = 20;
    link_.forgetSelectedChannel();
    const std::vector<CardSubscriber*> told = subscribers_;
    for (CardSubscriber* s : told)
        s->recordReset();
}

void Card::useSession(ViSession session) {
    link_.setSession(session);
    accepted_ = TAcceptedCard{};
}

void Card::clear() {
    record_ = TCardInfo{};
    pending_ = {};
    useSession(0);
}

TAcceptedChannel& AcceptedChannel(Card& card, int channel) {
    return card.accepted_.Channel.at(static_cast<size_t>(channel));
}
