// PXI resource names read into their numbers.
#include <cctype>
#include <optional>
#include <string>

#include "SimChassis.h"

namespace sim {

namespace {

// Reads a resource name left to right: literal parts ignore case, numbers are
// runs of digits (at most their first 9 count).
class NameReader {
public:
    explicit NameReader(const std::string& text) : text_(text) {}
    bool literal(const char* word) {
        size_t i = pos_;
        for (const char* w = word; *w; ++w, ++i)
            if (i >= text_.size() || std::tolower(static_cast<unsigned char>(text_[i])) !=
                                         std::tolower(static_cast<unsigned char>(*w)))
                return false;
        pos_ = i;
        return true;
    }
    // Digits (none allowed when `empty` is true); nothing when none are there.
    std::optional<int> number(bool empty = false) {
        size_t end = pos_;
        while (end < text_.size() && std::isdigit(static_cast<unsigned char>(text_[end])))
            ++end;
        if (end == pos_ && !empty)
            return std::nullopt;
        const std::string digits = text_.substr(pos_, std::min<size_t>(end - pos_, 9));
        pos_ = end;
        return digits.empty() ? 0 : std::stoi(digits);
    }
    // "::" and digits after it, or nothing (and nothing read).
    std::optional<int> separatedNumber(const char* separator) {
        const size_t at = pos_;
        if (literal(separator))
            if (const std::optional<int> n = number())
                return n;
        pos_ = at;
        return std::nullopt;
    }
    bool atEnd() const { return pos_ == text_.size(); }

private:
    const std::string& text_;
    size_t pos_ = 0;
};

} // namespace

ResourceName ParseResourceName(const std::string& name) {
    // PXI[interface]::device[::function][::INSTR] or PXI[interface]::bus-device[.function][::INSTR]
    ResourceName r;
    NameReader in(name);
    if (!in.literal("PXI"))
        return r;
    const std::optional<int> interfaceNumber = in.number(true);
    if (!in.literal("::"))
        return r;
    const std::optional<int> first = in.number();
    if (!first)
        return r;
    const std::optional<int> device = in.separatedNumber("-");
    const std::optional<int> dotted = in.separatedNumber(".");
    const std::optional<int> function = in.separatedNumber("::");
    in.literal("::INSTR");
    if (!in.atEnd())
        return r;
    r.valid = true;
    r.interfaceNumber = *interfaceNumber;
    if (device) { // bus-device[.function]
        r.bus = *first;
        r.device = *device;
        r.function = dotted.value_or(0);
    } else {
        r.bus = r.interfaceNumber;
        r.device = *first;
        r.function = function.value_or(0);
    }
    r.canonical = "PXI" + std::to_string(r.interfaceNumber) + "::" + std::to_string(r.bus) + "-" +
                  std::to_string(r.device) + "." + std::to_string(r.function) + "::INSTR";
    return r;
}

} // namespace sim
