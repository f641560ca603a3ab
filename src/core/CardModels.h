// The card models the panel drives, in one table: what each is called (the
// name VISA's model name holds and *IDN? answers), how many channels it has
// and the PCI subsystem id that tells it apart. Discovery, the card dialog,
// the command line and a card's identity all read it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct CardModel {
    const char* name;     // "72-815"
    int channels;         // 3 or 2
    uint16_t subsystemId; // the subsystem id of its PCI configuration space
};

// Every model, in the order the card dialog offers them.
std::span<const CardModel> CardModels();
// The model of `name` ("72-815"); null for any other.
const CardModel* ModelNamed(std::string_view name);
// The model a card's subsystem id names: the two-channel card's own id, and
// any other id the three-channel card.
const CardModel& ModelOfSubsystem(uint16_t subsystemId);
// The model with `channels` channels (3 for any count but 2).
const CardModel& ModelWithChannels(int channels);

// "72-815 or 82-815": the models' names, as a message lists them.
std::string ModelNamesText(std::span<const CardModel> models = CardModels());

// The maker a card's identity names (*IDN?).
extern const char* const kCardMaker;
