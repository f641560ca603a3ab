// Every key of a configuration file: the settings table's (SettingRanges.h)
// and the card's name and a channel's waveform file: its section, its name,
// the record field it holds, the value it loads when missing or unreadable,
// and its place in the save and load orders. Saving, loading and their tests
// all read this list.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "CardState.h"

// The field a key holds; its type gives the key's encoding: text as is, a
// flag as 1 or 0, integers in decimal (hexadecimal after 0x when read),
// reals as ConfigReal writes them.
using ConfigField = std::variant<std::string*, bool*, int32_t*, uint32_t*, double*>;

struct ConfigKey {
    // "Card", or the suffix of a channel's section ("_Wave" for "Channel1_Wave" ...).
    const char* section;
    const char* name;
    ConfigField (*ownField)(TCardInfo& card, int channel); // null: the setting's
    double loadDefault;                                    // a text loads empty
    // Place in a channel's load (the keys are saved in table order); -1 for a
    // key that is saved only.
    int loadOrder;
    // False for a key read (and reported when unreadable) but not applied.
    bool applied = true;
    size_t setting = 0; // the settings table's row, when `ownField` is null

    // The record field the key holds.
    ConfigField fieldOf(TCardInfo& card, int channel) const;

    bool perChannel() const { return section[0] == '_'; }
    std::string sectionName(int channel) const {
        return perChannel() ? "Channel" + std::to_string(channel) + section : section;
    }
};

// In save order: the card's keys, then each channel's.
std::span<const ConfigKey> ConfigKeys();
