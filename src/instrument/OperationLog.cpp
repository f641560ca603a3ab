#include "OperationLog.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <ctime>

std::unique_ptr<std::vector<std::string>> LogLines;
bool LogEnabled = false;
int MaxLogLines = 0;

namespace {
std::function<void()> clearedHook;
std::function<void(const std::string&)> entryHook;

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
}

void SetLogClearedHook(std::function<void()> hook) {
    clearedHook = std::move(hook);
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

void AddToLog(const std::string& text) {
    if (!LogLines || !LogEnabled)
        return;
    if (static_cast<long long>(LogLines->size()) > MaxLogLines)
        ClearLog();
    std::string entry = CurrentTimeText();
    entry.reserve(entry.size() + text.size() + 4);
    entry += ": ";
    entry += text;
    entry += "\r\n";
    LogLines->push_back(std::move(entry));
    if (entryHook)
        entryHook(LogLines->back());
}

void SetLogEntryHook(std::function<void(const std::string& entry)> hook) {
    entryHook = std::move(hook);
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

void ClearLog() {
    if (!LogLines)
        return;
    LogLines->clear();
    AddToLog("Log Cleared");
    if (clearedHook)
        clearedHook();
}
