#include "Card.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "AcceptedUpdate.h"
#include "SessionCalls.h"
#include "SettingRanges.h"

bool ChannelChange::any() const {
    return samples || output || accepted ||
           std::find(settings.begin(), settings.end(), true) != settings.end();
}

// What an operation may change of a channel, without the samples' values.
struct Card::Picture {
    struct Channel {
        std::array<double, kSettingCount> values{};
        uint64_t samples = 0;
        std::string file;
        int32_t length = 0;
        double repRate = 0;
        bool outputOn = false, offsetOn = false, fskHigh = false;
        TAcceptedChannel accepted;
    };
    std::array<Channel, kChannelCount + 1> channel;

    explicit Picture(Card& card) {
        for (int c = 1; c <= kChannelCount; ++c) {
            Channel& p = channel[c];
            const TChannelInfo& ch = card.channel(c);
            for (const SettingRange& s : SettingRanges())
                p.values[s.index()] = std::visit([](auto* v) { return static_cast<double>(*v); },
                                                 s.field(card.record(), c));
            p.samples = ch.Wave.Arb.Data.version();
            p.file = ch.Wave.Arb.ArbFile;
            p.length = ch.Wave.Arb.WaveLength;
            p.repRate = ch.Wave.RepRate;
            p.outputOn = ch.OutputOn;
            p.offsetOn = ch.Wave.OffsetOn;
            p.fskHigh = ch.FSKHigh;
            p.accepted = card.accepted().Channel[c];
        }
    }

    // What differs between this and `now`.
    CardChange against(const Picture& now) const {
        CardChange change;
        const auto same = [](double a, double b) {
            return a == b || (std::isnan(a) && std::isnan(b));
        };
        for (int c = 1; c <= kChannelCount; ++c) {
            const Channel &a = channel[c], &b = now.channel[c];
            ChannelChange& d = change.channel[c];
            for (size_t i = 0; i < kSettingCount; ++i)
                d.settings[i] = !same(a.values[i], b.values[i]);
            d.samples = a.samples != b.samples || a.file != b.file || a.length != b.length ||
                        !same(a.repRate, b.repRate);
            d.output =
                a.outputOn != b.outputOn || a.offsetOn != b.offsetOn || a.fskHigh != b.fskHigh;
            d.accepted = !(a.accepted == b.accepted);
        }
        return change;
    }
};

Card::Operation::Operation(Card& card, const void* origin, std::string who) : card_(card) {
    if (card_.operations_++ == 0) {
        card_.origin_ = origin;
        card_.who_ = std::move(who);
        card_.before_ = std::make_unique<Picture>(card_);
    } else if (origin && origin != card_.origin_) {
        card_.origin_ = nullptr; // another's inside it (a client's line under a message box)
        card_.who_.clear();
    }
}

Card::Operation::~Operation() {
    if (--card_.operations_ == 0)
        card_.tellChange();
}

void Card::tellChange() {
    const std::unique_ptr<Picture> before = std::move(before_);
    CardChange change = before->against(Picture(*this));
    change.origin = origin_;
    change.who = std::move(who_);
    origin_ = nullptr;
    who_.clear();
    bool any = false;
    for (int c = 1; c <= kChannelCount; ++c)
        any = any || change.channel[c].any();
    if (!any)
        return;
    const std::vector<CardSubscriber*> told = subscribers_;
    for (CardSubscriber* s : told)
        s->cardChanged(change);
}

namespace {
// Every card object of the process, to tell which of them holds a card.
std::vector<const Card*>& CardObjects() {
    static std::vector<const Card*> cards;
    return cards;
}

bool SameResource(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
} // namespace

std::string Card::describe() const {
    if (session() == 0)
        return "no card";
    return std::string(model().name) + " card " +
           (identity_.cardId ? std::to_string(identity_.cardId) + " " : std::string()) + "(" +
           identity_.resource + ")";
}

const Card* Card::heldElsewhere(const std::string& resource) const {
    for (const Card* other : CardObjects())
        if (other != this && other->session() != 0 &&
            SameResource(other->identity().resource, resource))
            return other;
    return nullptr;
}

Card::Card() {
    CardObjects().push_back(this);
    // The card's own observer of its link: the one that tells the subscribers.
    link_.addObserver([this](const CommandOutcome& outcome) {
        const std::vector<CardSubscriber*> told = subscribers_; // one may unsubscribe
        for (CardSubscriber* s : told)
            s->commandReported(outcome);
    });
}

Card::~Card() {
    std::erase(CardObjects(), this);
}

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

ViStatus Card::open(const std::string& resource, bool lock, const CardModel* known) {
    ViSession opened = 0;
    const ViStatus status = DriverOpenSession(resource, opened);
    if (status != VI_SUCCESS)
        return status;
    if (lock)
        VisaLockExclusive(opened);
    if (session() != 0)
        VisaCloseSession(session());
    const int32_t cardId = DriverCardId(opened);
    const CardModel* model = known;
    if (uint16_t subsystem = 0; !model && VisaPxiSubsystemId(opened, subsystem) == VI_SUCCESS)
        model = &ModelOfSubsystem(subsystem);
    identity_ = CardIdentity{resource, cardId, model ? model : identity_.model};
    useSession(opened);
    return VI_SUCCESS;
}

void Card::close() {
    if (session() != 0)
        VisaCloseSession(session());
    identity_ = CardIdentity{};
    useSession(0);
}

void Card::clear() {
    identity_ = CardIdentity{};
    record_ = TCardInfo{};
    pending_ = {};
    useSession(0);
}

TAcceptedChannel& AcceptedChannel(Card& card, int channel) {
    return card.accepted_.Channel.at(static_cast<size_t>(channel));
}
