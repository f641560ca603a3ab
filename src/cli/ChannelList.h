// The channel list of the command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

// "1,3" (each of 1..3 once, comma-separated, no blanks) in ascending order;
// nothing when the text is no such list.
std::optional<std::vector<int>> ParseChannelList(const std::string& text);
