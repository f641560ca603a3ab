#include "IniText.h"

#include <algorithm>
#include <new>

// Texts are single bytes, taken as they stand: no wide-character conversion,
// and the reader's implementation compiled here rather than taken from the
// shared library, which would bring in a Unicode library for nothing.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace {

// The reader's conversion of the loaded text, which here only copies it,
// noting where the copy went: every name and value the reader hands out
// points into that copy, at the place it stands in the text.
thread_local const char* loadedCopy = nullptr;

class PlaceNotingConvert : public SI_ConvertA<char> {
public:
    PlaceNotingConvert() = default;
    explicit PlaceNotingConvert(bool utf8) : SI_ConvertA<char>(utf8) {}
    bool ConvertFromStore(const char* in, size_t inLength, char* out, size_t outLength) {
        loadedCopy = out;
        return SI_ConvertA<char>::ConvertFromStore(in, inLength, out, outLength);
    }
};

using PlacedIni = CSimpleIniTempl<char, SI_NoCase<char>, PlaceNotingConvert>;

std::string Fold(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

struct IniText::Reader {
    PlacedIni ini{false, true, false}; // no Unicode, equal keys kept, no multi-line values
    const char* copy = nullptr;
    size_t size = 0;

    // The place in the reader's copy, or npos for a pointer outside it.
    size_t offset(const char* p) const {
        return p >= copy && p <= copy + size ? static_cast<size_t>(p - copy) : std::string::npos;
    }
};

IniText::IniText(std::string text) : text_(std::move(text)), reader_(std::make_unique<Reader>()) {
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0)
        base_ = 3; // the reader skips a byte-order mark
    try {
        loadedCopy = nullptr;
        ok_ = reader_->ini.LoadData(text_.data(), text_.size()) >= 0;
    } catch (const std::bad_alloc&) {
        ok_ = false;
    }
    reader_->copy = loadedCopy;
    reader_->size = text_.size() - base_;
    ok_ = ok_ && (reader_->copy || reader_->size == 0);
}

IniText::~IniText() = default;

size_t IniText::lineEnd(size_t offset) const {
    const size_t stop = std::min(text_.find_first_of("\r\n", offset), text_.size());
    if (stop == text_.size())
        return stop;
    return stop + (text_.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
}

std::string IniText::newLine() const {
    const size_t stop = text_.find_first_of("\r\n");
    if (stop == std::string::npos)
        return "\n";
    return text_.compare(stop, 2, "\r\n") == 0 ? "\r\n" : text_.substr(stop, 1);
}

size_t IniText::insertionPoint(const std::string& section) {
    const std::string folded = Fold(section);
    if (auto known = insertAt_.find(folded); known != insertAt_.end())
        return known->second;
    size_t last = std::string::npos;
    const PlacedIni& ini = reader_->ini;
    if (ok_ && ini.GetSectionSize(section.c_str()) >= 0) {
        PlacedIni::TNamesDepend sections;
        ini.GetAllSections(sections);
        for (const auto& s : sections)
            if (Fold(s.pItem) == folded)
                last = reader_->offset(s.pItem);
        PlacedIni::TNamesDepend keys, values;
        ini.GetAllKeys(section.c_str(), keys);
        for (const auto& k : keys) {
            ini.GetAllValues(section.c_str(), k.pItem, values);
            for (const auto& v : values) {
                const size_t at = reader_->offset(v.pItem);
                if (at != std::string::npos && (last == std::string::npos || at > last))
                    last = at;
            }
        }
    }
    const size_t point = last == std::string::npos ? last : lineEnd(base_ + last);
    insertAt_.emplace(folded, point);
    return point;
}

void IniText::set(std::string_view sectionName, std::string_view key, std::string_view value) {
    const std::string section(sectionName), name(key);
    const std::string folded = Fold(section) + "\n" + Fold(name);
    std::string entry = name + "=" + std::string(value);
    if (auto known = added_.find(folded); known != added_.end()) {
        *known->second = std::move(entry);
        return;
    }
    if (ok_) {
        const char* held = reader_->ini.GetValue(section.c_str(), name.c_str(), nullptr);
        const size_t at = held ? reader_->offset(held) : std::string::npos;
        if (at != std::string::npos) {
            replaced_[base_ + at] = {std::char_traits<char>::length(held), std::string(value)};
            return;
        }
    }
    std::string* line = &addedLines_.emplace_back(std::move(entry));
    added_.emplace(folded, line);
    const size_t point = insertionPoint(section);
    if (point != std::string::npos) {
        inserted_[point].push_back(line);
        return;
    }
    auto found = std::find_if(appended_.begin(), appended_.end(),
                              [&](const Section& s) { return Fold(s.name) == Fold(section); });
    if (found == appended_.end())
        found = appended_.insert(appended_.end(), Section{section, {}});
    found->keys.push_back(line);
}

const char* IniText::value(std::string_view section, std::string_view key) const {
    if (!ok_)
        return nullptr;
    return reader_->ini.GetValue(std::string(section).c_str(), std::string(key).c_str(), nullptr);
}

std::string IniText::text() const {
    const std::string end = newLine();
    std::string out;
    out.reserve(text_.size() + 4096);
    // Replacements and insertions in the order of their places.
    auto replaced = replaced_.begin();
    auto inserted = inserted_.begin();
    size_t at = 0;
    while (replaced != replaced_.end() || inserted != inserted_.end()) {
        // At one place (a last value without a line end) the value comes first.
        const bool replace = inserted == inserted_.end() ||
                             (replaced != replaced_.end() && replaced->first <= inserted->first);
        const size_t place = replace ? replaced->first : inserted->first;
        out.append(text_, at, place - at);
        at = place;
        if (replace) {
            out += replaced->second.second;
            at += replaced->second.first;
            ++replaced;
        } else {
            if (!out.empty() && out.back() != '\n' && out.back() != '\r')
                out += end; // the last line had no line end
            for (const std::string* line : inserted->second)
                out += *line + end;
            ++inserted;
        }
    }
    out.append(text_, at, std::string::npos);
    for (const Section& section : appended_) {
        if (!out.empty() && out.back() != '\n' && out.back() != '\r')
            out += end;
        // A blank line before it, unless the text is empty or ends in one.
        const bool endsBlank = out.size() >= 2 * end.size() &&
                               out.compare(out.size() - 2 * end.size(), end.size(), end) == 0;
        if (!out.empty() && !endsBlank)
            out += end;
        out += "[" + section.name + "]" + end;
        for (const std::string* key : section.keys)
            out += *key + end;
    }
    return out;
}
