#include "ChannelList.h"

#include <algorithm>
#include <set>

std::optional<std::vector<int>> ParseChannelList(const std::string& text) {
    constexpr char kLast = '3';
    std::set<int> channels;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string item = text.substr(at, comma - at);
        if (item.size() != 1 || item[0] < '1' || item[0] > kLast ||
            !channels.insert(item[0] - '0').second)
            return std::nullopt;
        at = comma + 1;
    }
    return std::vector<int>(channels.begin(), channels.end());
}
