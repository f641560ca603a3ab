// PXI resource names read into their numbers.
#include <cctype>
#include <optional>
#include <string>

#include "SimChassis.h"

namespace sim {

namespace {

// Reads a resource name left to right: literal parts ignore case, numbers are
// runs of digits no larger than their field allows.
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
    // Digits up to `largest` (none allowed when `empty`: then 0); nothing when
    // none are there. A number beyond its field makes the name no name.
    std::optional<int> number(int largest, bool empty = false) {
        size_t end = pos_;
        long long value = 0;
        while (end < text_.size() && std::isdigit(static_cast<unsigned char>(text_[end]))) {
            value = value * 10 + (text_[end++] - '0');
            if (value > largest)
                tooLarge_ = true;
            if (value > largest)
                value = largest; // read on to the end of the digits
        }
        if (end == pos_ && !empty)
            return std::nullopt;
        pos_ = end;
        return static_cast<int>(value);
    }
    // The separator and a number after it, or nothing (and nothing read).
    std::optional<int> separatedNumber(const char* separator, int largest) {
        const size_t at = pos_;
        if (literal(separator))
            if (const std::optional<int> n = number(largest))
                return n;
        pos_ = at;
        return std::nullopt;
    }
    bool atEnd() const { return pos_ == text_.size() && !tooLarge_; }

private:
    const std::string& text_;
    size_t pos_ = 0;
    bool tooLarge_ = false;
};

// The fields' limits: PCI bus, device and function; VISA's interface number.
constexpr int kInterfaceMax = 65535, kBusMax = 255, kDeviceMax = 31, kFunctionMax = 7;
constexpr int kChassisMax = 65535, kSlotMax = 31;

std::string Canonical(const ResourceName& r) {
    return "PXI" + std::to_string(r.interfaceNumber) + "::" + std::to_string(r.bus) + "-" +
           std::to_string(r.device) + "." + std::to_string(r.function) + "::INSTR";
}

// After "PXI[interface]::": CHASSISn::SLOTm[::FUNCf][::INSTR].
bool ReadSlot(NameReader& in, ResourceName& r) {
    const std::optional<int> chassis = in.number(kChassisMax);
    if (!chassis || !in.literal("::SLOT"))
        return false;
    const std::optional<int> slot = in.number(kSlotMax);
    if (!slot)
        return false;
    const std::optional<int> function = in.separatedNumber("::FUNC", kFunctionMax);
    in.literal("::INSTR");
    r.bySlot = true;
    r.chassis = *chassis;
    r.slot = *slot;
    r.function = function.value_or(0);
    r.canonical = "PXI" + std::to_string(r.interfaceNumber) + "::CHASSIS" +
                  std::to_string(r.chassis) + "::SLOT" + std::to_string(r.slot) + "::FUNC" +
                  std::to_string(r.function) + "::INSTR";
    return in.atEnd();
}

} // namespace

ResourceName ParseResourceName(const std::string& name) {
    // PXI[bus]::device[::function][::INSTR] (interface 0),
    // PXI[interface]::bus-device[.function][::INSTR],
    // PXI[interface]::CHASSISn::SLOTm[::FUNCf][::INSTR], PXI[interface]::MEMACC
    ResourceName r;
    NameReader in(name);
    if (!in.literal("PXI"))
        return r;
    const std::optional<int> leading = in.number(kInterfaceMax, true);
    if (!in.literal("::"))
        return r;
    if (in.literal("MEMACC")) {
        r.valid = in.atEnd();
        r.memoryAccess = true;
        r.interfaceNumber = *leading;
        r.canonical = "PXI" + std::to_string(r.interfaceNumber) + "::MEMACC";
        return r;
    }
    if (in.literal("CHASSIS")) {
        r.interfaceNumber = *leading;
        r.valid = ReadSlot(in, r);
        return r;
    }
    const std::optional<int> first = in.number(kBusMax);
    if (!first)
        return r;
    const std::optional<int> device = in.separatedNumber("-", kDeviceMax);
    const std::optional<int> dotted = device ? in.separatedNumber(".", kFunctionMax) : std::nullopt;
    const std::optional<int> function = in.separatedNumber("::", kFunctionMax);
    in.literal("::INSTR");
    if (!in.atEnd())
        return r;
    if (device) { // bus-device[.function]
        if (function)
            return r;
        r.interfaceNumber = *leading;
        r.bus = *first;
        r.device = *device;
        r.function = dotted.value_or(0);
    } else { // the leading number is the bus
        if (*first > kDeviceMax || *leading > kBusMax)
            return r;
        r.bus = *leading;
        r.device = *first;
        r.function = function.value_or(0);
    }
    r.valid = true;
    r.canonical = Canonical(r);
    return r;
}

} // namespace sim
