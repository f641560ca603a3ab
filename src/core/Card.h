// One open card: its session and the command link its commands go through,
// the card record, what each channel accepted, the clock multipliers shown
// but not yet sent, and everyone told about its commands and changes. Two
// card objects in one process share nothing but what is process-wide by
// nature: the bound libraries and their entry points, VISA's default
// resource manager and the operation log.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Accepted.h"
#include "CardModels.h"
#include "CardState.h"
#include "Commands.h"
#include "SettingRanges.h"

// What one operation changed of one channel, in the record and in what the
// card accepted.
struct ChannelChange {
    SettingFlags settings{}; // the settings table's rows whose value changed
    bool samples = false;    // the samples, their file, length or repetition rate
    bool output = false;     // the output switch, the offset's power or the FSK level
    bool accepted = false;   // what the card accepted
    bool any() const;
};

// What one operation changed, told once when it ended.
struct CardChange {
    std::array<ChannelChange, kChannelCount + 1> channel{}; // [1] .. [3]
    // Who ran it, as it said (Card::Operation); null when nobody said.
    const void* origin = nullptr;
    // Who ran it, for the operator ("127.0.0.1:40040"); empty when nobody said.
    std::string who;
};

// Which card a card object holds: its resource, card id and model.
struct CardIdentity {
    std::string resource;             // empty: none
    int32_t cardId = 0;               // 0: not read
    const CardModel* model = nullptr; // null: not known, taken as the three-channel card
};

// Told about one card: any number of them (a window, its strip, the command
// line, a server), each added and removed on its own.
class CardSubscriber {
public:
    virtual ~CardSubscriber() = default;
    // A command's outcome, told once the card's own picture is up to date.
    virtual void commandReported(const CommandOutcome& outcome) { (void)outcome; }
    // The record took its defaults: whatever shows it reads it again.
    virtual void recordReset() {}
    // An operation ended having changed something: told once, after the
    // card's own picture is up to date.
    virtual void cardChanged(const CardChange& change) { (void)change; }
};

class Card {
public:
    Card();
    ~Card();
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    // The session of the card; 0 while no card is open.
    ViSession session() const { return link_.session(); }
    CommandLink& link() { return link_; }

    // Which card it is; set when a card is taken into use, cleared with it.
    const CardIdentity& identity() const { return identity_; }
    void setIdentity(CardIdentity identity) { identity_ = std::move(identity); }
    // Its model (the three-channel card when not known) and channel count.
    const CardModel& model() const {
        return identity_.model ? *identity_.model : ModelWithChannels(kChannelCount);
    }
    int channels() const { return model().channels; }

    // Who holds this card object, for the operator ("panel 2"); empty when
    // nobody said.
    void setHolderName(std::string name) { holderName_ = std::move(name); }
    const std::string& holderName() const { return holderName_; }
    // "72-815 card 1001 (PXI1::13::INSTR)", or "no card" while none is open.
    std::string describe() const;
    // Another card object of this process that has `resource` open (names
    // compared ignoring case); null when none has.
    const Card* heldElsewhere(const std::string& resource) const;

    // Who runs the operation alive, as its outermost said (empty when none
    // is, or it did not say): for whoever shows a command's outcome.
    const std::string& operationWho() const { return who_; }

    // The card record: a configuration load changes it without sending.
    TCardInfo& record() { return record_; }
    const TCardInfo& record() const { return record_; }
    TChannelInfo& channel(int c) { return record_.Channel.at(static_cast<size_t>(c)); }
    const TChannelInfo& channel(int c) const { return record_.Channel.at(static_cast<size_t>(c)); }

    // The clock multiplier shown for a channel (1..3), sent with the next clock Update.
    int32_t& pendingMultiplier(int c) { return pending_.at(static_cast<size_t>(c)); }
    int32_t pendingMultiplier(int c) const { return pending_.at(static_cast<size_t>(c)); }

    // What the card accepted; all empty while no card is open. Only the
    // operations change it.
    const TAcceptedCard& accepted() const { return accepted_; }

    void subscribe(CardSubscriber& subscriber);
    void unsubscribe(CardSubscriber& subscriber);

    // Every record field to its default, each pending multiplier to 20, the
    // next command re-selects its channel; then every subscriber is told.
    void resetRecord();

    // `session` (0: none) becomes the card's: its selected channel and what
    // it accepted are forgotten. Sends nothing.
    void useSession(ViSession session);

    // Opens `resource` in place of the card in use, locked exclusively when
    // asked: the new session is opened (and locked) before the old one is
    // closed; then its card id is read, and its model from the card's PCI
    // subsystem id unless `known` names it (kept as it was when neither
    // says). The new session is then the card's (useSession). On a failure
    // the card in use stays as it was. Sends no command.
    ViStatus open(const std::string& resource, bool lock, const CardModel* known = nullptr);
    // Closes the session, the outputs left as they are; the card is forgotten.
    void close();

    // Back to how a card object starts: a zero-filled record, no session,
    // nothing accepted, no pending multipliers. Subscribers stay.
    void clear();

    // While one is alive, the card gathers what changes; when the outermost
    // ends, every subscriber is told once what changed (when anything did),
    // with the origin the outermost was given (none when one inside it gave
    // another). The operations open their own; a front end opens one around
    // what it does to say it did it.
    class Operation {
    public:
        explicit Operation(Card& card, const void* origin = nullptr, std::string who = {});
        ~Operation();
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

    private:
        Card& card_;
    };

private:
    struct Picture;
    void tellChange();
    friend TAcceptedChannel& AcceptedChannel(Card& card, int channel);

    CommandLink link_;
    CardIdentity identity_;
    TCardInfo record_;
    std::array<int32_t, kChannelCount + 1> pending_{};
    TAcceptedCard accepted_;
    std::vector<CardSubscriber*> subscribers_;
    int operations_ = 0;           // Operations alive
    const void* origin_ = nullptr; // the outermost's
    std::string who_;              // the outermost's
    std::string holderName_;
    std::unique_ptr<Picture> before_; // as the outermost began
};
