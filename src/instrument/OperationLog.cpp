#include "OperationLog.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>

std::unique_ptr<std::vector<std::string>> LogLines;
bool LogEnabled = false;
int MaxLogLines = 0;

namespace {
// Whoever follows the log: any number of each, by key.
template <class F> struct Listeners {
    std::vector<std::pair<int, F>> list;
    int add(F f) {
        list.emplace_back(++lastKey, std::move(f));
        return lastKey;
    }
    void remove(int key) {
        std::erase_if(list, [key](const auto& l) { return l.first == key; });
    }
    template <class... A> void call(const A&... a) const {
        const auto copy = list; // a listener may remove itself
        for (const auto& l : copy)
            l.second(a...);
    }
    int lastKey = 0;
};
Listeners<std::function<void()>> clearedListeners;
Listeners<std::function<void(const std::string&)>> entryListeners;
std::vector<LogRecord> records; // parallel to LogLines' last entries
// How many records each card has (0: of none), kept with `records`.
std::map<uint32_t, long long> recordsOf;

void Recount() {
    recordsOf.clear();
    for (const LogRecord& r : records)
        ++recordsOf[r.card];
}

// The locale's long time format with its time-zone field removed; computed
// again only when the default locale changes.
const QString& TimeFormat() {
    static QString localeName;
    static QString format;
    const QLocale locale;
    if (format.isEmpty() || locale.name() != localeName) {
        localeName = locale.name();
        format = locale.timeFormat(QLocale::LongFormat);
        static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
        format.replace(zone, QStringLiteral(" "));
        format = format.trimmed();
    }
    return format;
}
} // namespace

void CreateLogLines() {
    LogLines = std::make_unique<std::vector<std::string>>();
}

void FreeLogLines() {
    LogLines.reset();
    records.clear();
    recordsOf.clear();
}

int AddLogClearedListener(std::function<void()> listener) {
    return clearedListeners.add(std::move(listener));
}

void RemoveLogClearedListener(int key) {
    clearedListeners.remove(key);
}

std::string LogTimeText(const QTime& time) {
    return QLocale().toString(time, TimeFormat()).toStdString();
}

namespace {
// Commands come in bursts: the time text is formatted once per second.
std::string CurrentTimeText() {
    static std::time_t cachedSecond = -1;
    static QLocale cachedLocale;
    static std::string cachedText;
    // Reading the local time is costly (time-zone rules); the clock is cheap.
    const std::time_t second = std::time(nullptr);
    const QLocale locale;
    if (second != cachedSecond || locale != cachedLocale) {
        cachedText = LogTimeText(QTime::currentTime());
        cachedSecond = second;
        cachedLocale = locale;
    }
    return cachedText;
}
} // namespace

namespace {
// The card of each entry, oldest first. Records are kept for the last
// entries; an older entry names no card.
std::vector<uint32_t> EntryCards() {
    const size_t lines = LogLines ? LogLines->size() : 0;
    const size_t n = std::min(lines, records.size());
    std::vector<uint32_t> cards(lines - n, 0);
    for (size_t i = records.size() - n; i < records.size(); ++i)
        cards.push_back(records[i].card);
    return cards;
}

bool Shows(uint32_t view, uint32_t of) {
    return view == 0 || of == 0 || of == view;
}

// The cards with entries; none when every entry is of no card.
std::vector<uint32_t> CardsLogged() {
    std::vector<uint32_t> cards;
    for (const auto& [card, count] : recordsOf)
        if (card != 0 && count > 0)
            cards.push_back(card);
    return cards;
}

std::map<uint32_t, int> limits; // each card's own, where its log window set one

// How many entries a view shows, counted without copying them.
long long ShownCount(uint32_t view) {
    const size_t lines = LogLines ? LogLines->size() : 0;
    if (view == 0)
        return static_cast<long long>(lines);
    if (records.size() <= lines) { // as the records keep it: no scan
        const auto of = [](uint32_t card) {
            const auto it = recordsOf.find(card);
            return it == recordsOf.end() ? 0LL : it->second;
        };
        return static_cast<long long>(lines - records.size()) + of(0) + of(view);
    }
    // The store was emptied behind the log's back: each entry looked at.
    const std::vector<uint32_t> cards = EntryCards();
    return std::count_if(cards.begin(), cards.end(),
                         [view](uint32_t of) { return Shows(view, of); });
}

// Before an entry of `card` (0: of none) is appended: each view it shows in
// that holds more than its limit is emptied. With the entries of one card
// only, that is the whole log against its limit, as it always was.
void ClearFullViews(uint32_t card) {
    if (card != 0) {
        if (ShownCount(card) > MaxLogLinesOf(card))
            ClearLog(card);
        return;
    }
    std::vector<uint32_t> views = CardsLogged();
    if (views.empty())
        views.push_back(0);
    for (uint32_t view : views)
        if (ShownCount(view) > MaxLogLinesOf(view))
            ClearLog(view);
}
} // namespace

int MaxLogLinesOf(uint32_t card) {
    const auto own = limits.find(card);
    return card != 0 && own != limits.end() ? own->second : MaxLogLines;
}

void SetMaxLogLines(uint32_t card, int limit) {
    MaxLogLines = limit;
    if (card != 0)
        limits[card] = limit;
}

void AddToLog(const std::string& text) {
    LogRecord note;
    note.title = text;
    AddToLog(text, std::move(note));
}

void AddToLog(const std::string& text, LogRecord record) {
    if (!LogLines || !LogEnabled)
        return;
    ClearFullViews(record.card);
    std::string entry = CurrentTimeText();
    record.time = entry;
    entry.reserve(entry.size() + text.size() + 4);
    entry += ": ";
    entry += text;
    entry += "\r\n";
    LogLines->push_back(std::move(entry));
    if (records.size() >= LogLines->size()) { // the store was emptied behind the log's back
        records.erase(records.begin(),
                      records.end() - static_cast<std::ptrdiff_t>(LogLines->size() - 1));
        Recount();
    }
    ++recordsOf[record.card];
    records.push_back(std::move(record));
    if (!entryListeners.list.empty())
        entryListeners.call(LogLines->back());
}

void AddCardNote(const std::string& text, uint32_t card) {
    LogRecord note;
    note.title = text;
    note.card = card;
    AddToLog(text, std::move(note));
}

std::vector<std::string> LogLinesOf(uint32_t card) {
    if (!LogLines)
        return {};
    if (card == 0)
        return *LogLines;
    const std::vector<uint32_t> cards = EntryCards();
    std::vector<std::string> shown;
    for (size_t i = 0; i < cards.size(); ++i)
        if (Shows(card, cards[i]))
            shown.push_back((*LogLines)[i]);
    return shown;
}

std::optional<LogRecord> LastLogRecord() {
    if (!LogLines || LogLines->empty() || records.empty())
        return std::nullopt;
    return records.back();
}

std::vector<LogRecord> LogRecords() {
    const size_t n = LogLines ? std::min(LogLines->size(), records.size()) : 0;
    return std::vector<LogRecord>(records.end() - static_cast<std::ptrdiff_t>(n), records.end());
}

std::string LogText(uint32_t card) {
    std::string text;
    for (const std::string& entry : LogLinesOf(card))
        text += entry;
    return text;
}

namespace {
// A CSV field, quoted when it holds a separator, a quote or a line end.
std::string CsvField(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos)
        return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}
} // namespace

std::string StatusHex(ViStatus status) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(status));
    return code;
}

std::string LogCsv(uint32_t card) {
    std::string csv = "Time,Channel,Command,Arguments,Status,Driver text\r\n";
    for (const LogRecord& r : LogRecords()) {
        if (!Shows(card, r.card))
            continue;
        std::string arguments;
        for (const std::string& a : r.arguments)
            arguments += (arguments.empty() ? "" : "; ") + a;
        const std::string status = r.command ? StatusHex(r.status) : std::string();
        csv += CsvField(r.time) + ',' + (r.channel ? std::to_string(r.channel) : "") + ',' +
               CsvField(r.title) + ',' + CsvField(arguments) + ',' + status + ',' +
               CsvField(r.errorText) + "\r\n";
    }
    return csv;
}

int AddLogEntryListener(std::function<void(const std::string& entry)> listener) {
    return entryListeners.add(std::move(listener));
}

void RemoveLogEntryListener(int key) {
    entryListeners.remove(key);
}

std::string LogEntryLine(const std::string& entry) {
    std::string line;
    bool lineStart = false;
    for (char c : entry) {
        if (c == '\r' || c == '\n') {
            lineStart = true;
            continue;
        }
        if (lineStart && c == ' ')
            continue; // the indent of a continuation line
        if (lineStart && !line.empty() && line.back() != ' ')
            line += ' ';
        lineStart = false;
        line += c;
    }
    return line;
}

void ClearLog(uint32_t card) {
    if (!LogLines)
        return;
    const std::vector<uint32_t> others = CardsLogged();
    if (card == 0 ||
        std::all_of(others.begin(), others.end(), [&](uint32_t c) { return c == card; })) {
        LogLines->clear();
        records.clear();
        recordsOf.clear();
        AddToLog("Log Cleared");
    } else { // the entries another card's view shows stay
        const std::vector<uint32_t> cards = EntryCards();
        const size_t n = std::min(records.size(), cards.size());
        const size_t firstRecorded = cards.size() - n, recordBase = records.size() - n;
        std::vector<std::string> lines;
        std::vector<LogRecord> kept;
        for (size_t i = 0; i < cards.size(); ++i) {
            if (Shows(card, cards[i]))
                continue;
            lines.push_back((*LogLines)[i]);
            if (i >= firstRecorded)
                kept.push_back(records[recordBase + i - firstRecorded]);
        }
        *LogLines = std::move(lines);
        records = std::move(kept);
        Recount();
        AddCardNote("Log Cleared", card);
    }
    clearedListeners.call();
}
