#include "ConfigKeys.h"

#include <algorithm>
#include <vector>

#include "SettingRanges.h"

namespace {

#define CARD(member) [](TCardInfo& card, int) -> ConfigField { return &card.member; }
#define CHANNEL(member)                                                                            \
    [](TCardInfo& card, int c) -> ConfigField { return &card.Channel[c].member; }

// The keys that are no setting of the table: the card's name and a channel's
// waveform file, with their places among the settings' keys.
struct FileKey {
    ConfigKey key;
    int saveOrder;
};
const FileKey kFileKeys[] = {
    {{"_Wave", "ArbFile", CHANNEL(Wave.Arb.ArbFile), 0, 10}, 10},
    // Applied only by the re-import, so it never exceeds the samples held.
    {{"_Wave", "WaveLength", CHANNEL(Wave.Arb.WaveLength), 0, 13, false}, 13},
};

#undef CARD
#undef CHANNEL

// Each setting's field as a configuration key holds it; the table's rows live
// as long as the program, so their names can be handed out.
struct SettingKeys {
    std::vector<std::string> sections, names;
    std::vector<ConfigKey> keys;
    SettingKeys() {
        const auto rows = SettingRanges();
        sections.reserve(rows.size());
        names.reserve(rows.size());
        std::vector<std::pair<int, ConfigKey>> ordered;
        for (const FileKey& f : kFileKeys)
            ordered.emplace_back(f.saveOrder, f.key);
        for (size_t i = 0; i < rows.size(); ++i) {
            const SettingRange& r = rows[i];
            sections.push_back(r.section());
            names.push_back(r.name());
            ConfigKey k{sections.back().c_str(), names.back().c_str(), nullptr, r.fileDefault,
                        r.loadOrder};
            k.setting = i;
            ordered.emplace_back(r.saveOrder, k);
        }
        std::stable_sort(ordered.begin(), ordered.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        keys.push_back({"Card", "Resource",
                        [](TCardInfo& card, int) -> ConfigField { return &card.Resource; }, 0, -1});
        for (const auto& [order, key] : ordered)
            keys.push_back(key);
    }
};

} // namespace

ConfigField ConfigKey::fieldOf(TCardInfo& card, int channel) const {
    if (ownField)
        return ownField(card, channel);
    return std::visit([](auto* v) -> ConfigField { return v; },
                      SettingRanges()[setting].field(card, channel));
}

std::span<const ConfigKey> ConfigKeys() {
    static const SettingKeys table;
    return table.keys;
}
