// An INI text changed key by key while every other byte stays as it was:
// comments (also at the end of a section or of the file), blank lines,
// lines without "=", later copies of a key and unknown sections keep their
// place. Lines are told apart as the configuration reader (SimpleIni) tells
// them apart, so the key changed here is the key the reader reads:
// - a line ends at LF, CR LF or CR alone;
// - blanks (space, tab) before the first character are ignored; a UTF-8
//   byte-order mark before the first line is skipped;
// - ";" or "#" first: a comment; "[" first: a section name up to "]"
//   (trimmed; a line without "]" is nothing);
// - otherwise a key up to the first "=" (trimmed, not empty); a line
//   without "=" is nothing;
// - section and key names ignore ASCII case; a section may appear several
//   times, and the first copy of a key, in file order, is the one that counts.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniText {
public:
    explicit IniText(std::string_view text);

    // Sets the value of the first `key` of `section`. A missing key is added
    // after the last key of the section's first copy; a missing section is
    // added at the end, after a blank line.
    void set(std::string_view section, std::string_view key, std::string_view value);

    // The value the first `key` of `section` holds (trimmed), if any.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    std::string text() const;

private:
    struct Line {
        std::string body;               // without its line end
        std::string end;                // "\n", "\r\n", "\r" or "" for a last line without one
        size_t valueFrom = 0;           // for a key: where the value starts in body
        std::vector<std::string> added; // new key lines that follow this one
    };
    struct Place {
        enum class Kind { Line, AddedAfter, InNewSection } kind = Kind::Line;
        size_t at = 0;    // the line, or the new section
        size_t index = 0; // of the added line
    };
    struct NewSection {
        std::string name;
        std::vector<std::string> keys; // "key=value"
    };

    static std::string Fold(std::string_view name);
    void read(std::string_view text);
    std::string newLine() const;

    std::vector<Line> lines_;
    std::map<std::string, Place> keys_;         // "section\nkey", folded
    std::map<std::string, size_t> lastKeyLine_; // folded section -> its first copy's last key
    std::map<std::string, size_t> newSections_; // folded section -> index in appended_
    std::vector<NewSection> appended_;
    std::string firstEnd_; // the text's own line end, for new lines
};
