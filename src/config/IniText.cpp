#include "IniText.h"

#include <algorithm>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string Join(std::string_view section, std::string_view key) {
    std::string out(section);
    out += '\n';
    out += key;
    return out;
}

} // namespace

std::string IniText::Fold(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

IniText::IniText(std::string_view text) {
    read(text);
}

void IniText::read(std::string_view text) {
    std::string section;   // folded; keys before any section belong to ""
    bool firstCopy = true; // of the section now being read
    std::map<std::string, bool> seen{{"", true}};
    size_t at = 0;
    while (at < text.size()) {
        const size_t stop = std::min(text.find_first_of("\r\n", at), text.size());
        Line line;
        line.body = std::string(text.substr(at, stop - at));
        at = stop;
        if (at < text.size()) {
            const size_t width = text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
            line.end = std::string(text.substr(at, width));
            at += width;
            if (firstEnd_.empty())
                firstEnd_ = line.end;
        }
        std::string_view body = line.body;
        if (lines_.empty() && body.substr(0, 3) == "\xEF\xBB\xBF")
            body.remove_prefix(3); // a byte-order mark
        const size_t first = body.find_first_not_of(" \t");
        const std::string_view rest =
            first == std::string_view::npos ? std::string_view() : body.substr(first);
        const size_t index = lines_.size();
        if (!rest.empty() && rest.front() == '[') {
            const size_t close = rest.find(']');
            if (close != std::string_view::npos) {
                section = Fold(Trimmed(rest.substr(1, close - 1)));
                firstCopy = seen.try_emplace(section, true).second;
                if (firstCopy)
                    lastKeyLine_[section] = index;
            }
        } else if (!rest.empty() && rest.front() != ';' && rest.front() != '#') {
            const size_t equals = rest.find('=');
            const std::string_view key = equals == std::string_view::npos
                                             ? std::string_view()
                                             : Trimmed(rest.substr(0, equals));
            if (!key.empty()) {
                // The value is replaced; the blanks around "=" stay as written.
                line.valueFrom = static_cast<size_t>(rest.data() - line.body.data()) + equals + 1;
                while (line.valueFrom < line.body.size() && IsBlank(line.body[line.valueFrom]))
                    ++line.valueFrom;
                keys_.try_emplace(Join(section, Fold(key)), Place{Place::Kind::Line, index, 0});
                if (firstCopy)
                    lastKeyLine_[section] = index;
            }
        }
        lines_.push_back(std::move(line));
    }
}

std::string IniText::newLine() const {
    return firstEnd_.empty() ? std::string("\n") : firstEnd_;
}

void IniText::set(std::string_view section, std::string_view key, std::string_view value) {
    using Kind = Place::Kind;
    const std::string folded = Fold(section);
    const std::string where = Join(folded, Fold(key));
    std::string entry(key);
    entry += '=';
    entry += value;
    if (auto found = keys_.find(where); found != keys_.end()) {
        const Place& p = found->second;
        if (p.kind == Kind::Line) {
            Line& line = lines_[p.at];
            line.body.resize(line.valueFrom);
            line.body += value;
        } else if (p.kind == Kind::AddedAfter) {
            lines_[p.at].added[p.index] = std::move(entry);
        } else {
            appended_[p.at].keys[p.index] = std::move(entry);
        }
        return;
    }
    if (auto last = lastKeyLine_.find(folded); last != lastKeyLine_.end()) {
        Line& anchor = lines_[last->second];
        keys_.emplace(where, Place{Kind::AddedAfter, last->second, anchor.added.size()});
        anchor.added.push_back(std::move(entry));
        return;
    }
    auto [it, isNew] = newSections_.try_emplace(folded, appended_.size());
    if (isNew)
        appended_.push_back({std::string(section), {}});
    NewSection& target = appended_[it->second];
    keys_.emplace(where, Place{Kind::InNewSection, it->second, target.keys.size()});
    target.keys.push_back(std::move(entry));
}

std::optional<std::string> IniText::value(std::string_view section, std::string_view key) const {
    using Kind = Place::Kind;
    const auto found = keys_.find(Join(Fold(section), Fold(key)));
    if (found == keys_.end())
        return std::nullopt;
    const Place& p = found->second;
    const std::string& entry = p.kind == Kind::Line         ? lines_[p.at].body
                               : p.kind == Kind::AddedAfter ? lines_[p.at].added[p.index]
                                                            : appended_[p.at].keys[p.index];
    const size_t from = p.kind == Kind::Line ? lines_[p.at].valueFrom : entry.find('=') + 1;
    return std::string(Trimmed(std::string_view(entry).substr(from)));
}

std::string IniText::text() const {
    const std::string end = newLine();
    std::string out;
    for (const Line& line : lines_) {
        out += line.body;
        // A last line without a line end gets one when something follows it.
        const bool more = !line.added.empty() || &line != &lines_.back() || !appended_.empty();
        out += line.end.empty() && more ? end : line.end;
        for (const std::string& added : line.added)
            out += added + end;
    }
    for (const NewSection& section : appended_) {
        // A blank line before it, unless the text already ends in one or is empty.
        const bool blankBefore =
            !out.empty() && !(out.size() >= 2 * end.size() &&
                              out.compare(out.size() - 2 * end.size(), end.size(), end) == 0);
        if (blankBefore)
            out += end;
        out += "[" + section.name + "]" + end;
        for (const std::string& key : section.keys)
            out += key + end;
    }
    return out;
}
