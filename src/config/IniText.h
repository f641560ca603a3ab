// An INI text changed key by key while every other byte stays as it was:
// comments (also at the end of a section or of the file), blank lines,
// lines without "=", later copies of a key and unknown sections keep their
// place. The text is read by the configuration reader itself (SimpleIni),
// which tells where each value stands, so the key changed here is always the
// key that reader reads: with equal keys, the first.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniText {
public:
    explicit IniText(std::string text);
    ~IniText();
    IniText(const IniText&) = delete;
    IniText& operator=(const IniText&) = delete;

    // Whether the reader could read the text (it may run out of memory).
    bool ok() const { return ok_; }

    // Sets the value of the first `key` of `section` (names ignore ASCII
    // case). A missing key is added after the line of the section's last key
    // (or its name); a missing section is added at the end, after a blank line.
    void set(std::string_view section, std::string_view key, std::string_view value);

    // The value of the first `key` of `section` in the text as it was read
    // (not as set since), or null.
    const char* value(std::string_view section, std::string_view key) const;

    std::string text() const;

private:
    struct Reader;
    struct Section {
        std::string name;
        std::vector<const std::string*> keys; // "key=value" lines
    };
    // Where the new keys of a section go: the offset of the line after its
    // last key (or its name); npos for a section the text does not hold.
    size_t insertionPoint(const std::string& section);
    size_t lineEnd(size_t offset) const;
    std::string newLine() const;

    std::string text_;
    std::unique_ptr<Reader> reader_;
    bool ok_ = false;
    size_t base_ = 0; // where the reader's copy starts in text_ (after a byte-order mark)
    std::map<size_t, std::pair<size_t, std::string>> replaced_;  // offset -> old length, value
    std::map<size_t, std::vector<const std::string*>> inserted_; // offset -> new key lines
    std::map<std::string, size_t> insertAt_;                     // folded section -> offset
    std::deque<std::string> addedLines_;                         // every new "key=value" line
    std::map<std::string, std::string*> added_; // folded "section\nkey" -> its new line
    std::vector<Section> appended_;
};
