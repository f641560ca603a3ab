// The operation log: a time-stamped entry for every instrument command and
// card selection, held in memory only. Process-wide by nature: every card
// of the process writes to the one log the log window shows.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "visa_types.h"

class QTime;

// The entries, oldest first; null while the main window does not exist.
extern std::unique_ptr<std::vector<std::string>> LogLines;
extern bool LogEnabled; // false until the log window switches it on
extern int MaxLogLines; // the log is emptied when an append finds more entries than this

void CreateLogLines();
void FreeLogLines();

// Appends "<time>: <text>\r\n". When the log already holds more than
// MaxLogLines entries it is cleared first. Does nothing while logging is off
// or the store does not exist.
void AddToLog(const std::string& text);

// What a command's entry says, field by field (for the log's exports).
struct LogRecord {
    std::string time;
    bool command = false;               // false: a note such as "New card selected - ..."
    int32_t channel = 0;                // 0: the command names no channel
    std::string title;                  // the entry's first line, or the whole note
    std::vector<std::string> arguments; // "Level 12dB", one per line of the entry
    ViStatus status = 0;
    std::string errorText; // the driver's text for a status other than 0
    uint32_t card = 0;     // the card whose link wrote it (CommandLink::cardTag); 0: none
};

// Appends a command's entry (as AddToLog(text)) with its fields.
void AddToLog(const std::string& text, LogRecord record);

// A note about one card ("New card selected - ..."), as AddToLog(text).
void AddCardNote(const std::string& text, uint32_t card);

// The entries a card's log window shows, oldest first: those of the card
// tagged `card` and those of no card; every entry for 0.
std::vector<std::string> LogLinesOf(uint32_t card);

// The limit of the entries a card's view holds (its log window's), and
// setting it (MaxLogLines too: the limit of a card that set none).
int MaxLogLinesOf(uint32_t card);
void SetMaxLogLines(uint32_t card, int limit);

// The fields of LogLines' entries, oldest first, one per entry.
std::vector<LogRecord> LogRecords();
// The newest entry's fields (nothing while the log is empty).
std::optional<LogRecord> LastLogRecord();

// Every entry a card's view shows (LogLinesOf), with its time, each ending in CR LF.
std::string LogText(uint32_t card = 0);
// One CSV row per entry of a card's view after a header: time, channel,
// command, arguments, status (8 hex digits), driver text.
std::string LogCsv(uint32_t card = 0);

// A status as the log and every front end write it: eight hex digits ("BFFC0802").
std::string StatusHex(ViStatus status);

// Empties the log, records "Log Cleared" (when logging is on) and refreshes
// the log windows. For a card while other cards have entries: only the
// entries its view shows go, and its "Log Cleared" is its own.
void ClearLog(uint32_t card = 0);

// Called with each entry as it is appended, any number of them; the key
// removes one.
int AddLogEntryListener(std::function<void(const std::string& entry)> listener);
void RemoveLogEntryListener(int key);

// An entry on one line: its line ends and the indents after them become one blank.
std::string LogEntryLine(const std::string& entry);

// Called after ClearLog (a log window refills its grid); the key removes one.
int AddLogClearedListener(std::function<void()> listener);
void RemoveLogClearedListener(int key);

// The local time of day in the user's long time format, without a time zone.
std::string LogTimeText(const QTime& time);
