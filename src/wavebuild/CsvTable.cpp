#include "CsvTable.h"

#include "WaveParse.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSniffLines = 64; // lines looked at to find the format
constexpr size_t kShownValues = 3;

// Splits off the next line (without its CR LF, CR or LF).
bool NextLine(std::string_view& text, std::string_view& line) {
    if (text.empty())
        return false;
    size_t end = 0;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r')
        ++end;
    line = text.substr(0, end);
    if (end == text.size()) {
        text = {};
        return true;
    }
    size_t skip = end + 1;
    if (text[end] == '\r' && skip < text.size() && text[skip] == '\n')
        ++skip;
    text.remove_prefix(skip);
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        s = s.substr(1, s.size() - 2);
    return s;
}

bool Blank(std::string_view line) {
    return Trim(line).empty();
}

// The cell's number, read as the text waveform import reads a line; false
// for anything else (a unit, a word, an empty cell).
bool Number(std::string_view cell, char decimal, double& value) {
    cell = Trim(cell);
    return !cell.empty() &&
           ParseSampleLine(cell.data(), cell.data() + cell.size(), decimal, value) &&
           std::isfinite(value);
}

// Calls `take(index, cell)` for each cell of the line; stops when it says false.
template <typename Take> void Cells(std::string_view line, char delimiter, Take take) {
    if (delimiter == ' ') {
        int index = 0;
        size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
                ++i;
            if (i >= line.size())
                break;
            const size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                ++i;
            if (!take(index++, line.substr(start, i - start)))
                return;
        }
        return;
    }
    // Cells are short: a plain scan beats a library search per cell.
    int index = 0;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); ++i)
        if (i == line.size() || line[i] == delimiter) {
            if (!take(index++, line.substr(start, i - start)))
                return;
            start = i + 1;
        }
}

// How many cells of the line are numbers, and how many cells it has.
std::pair<int, int> Count(std::string_view line, char delimiter, char decimal) {
    int numbers = 0, cells = 0;
    Cells(line, delimiter, [&](int, std::string_view cell) {
        double v;
        ++cells;
        numbers += Number(cell, decimal, v) ? 1 : 0;
        return true;
    });
    return {numbers, cells};
}

// How well a format reads the first lines: rows of numbers found with a
// steady cell count after the header lines, more cells counting for more.
int Score(const std::vector<std::string_view>& lines, CsvFormat& f) {
    size_t first = 0;
    while (first < lines.size()) {
        const auto [numbers, cells] = Count(lines[first], f.delimiter, f.decimal);
        if (numbers > 0 && numbers == cells)
            break;
        ++first;
    }
    if (first == lines.size())
        return -1;
    f.headerLines = static_cast<int>(first);
    f.columns = Count(lines[first], f.delimiter, f.decimal).second;
    int rows = 0;
    for (size_t i = first; i < lines.size(); ++i) {
        const auto [numbers, cells] = Count(lines[i], f.delimiter, f.decimal);
        if (numbers != cells || cells != f.columns)
            return rows * f.columns;
        ++rows;
    }
    return rows * f.columns * 2; // every line read: beats a format that stops early
}

} // namespace

const char* DelimiterName(char delimiter) {
    switch (delimiter) {
    case ',':
        return "comma";
    case ';':
        return "semicolon";
    case '\t':
        return "tab";
    default:
        return "space";
    }
}

CsvSniff SniffCsv(std::string_view text) {
    CsvSniff s;
    std::vector<std::string_view> lines;
    std::string_view line;
    while (static_cast<int>(lines.size()) < kSniffLines && NextLine(text, line))
        if (!Blank(line))
            lines.push_back(line);
    int best = -1;
    for (char delimiter : {',', ';', '\t', ' '})
        for (char decimal : {'.', ','}) {
            if (decimal == delimiter)
                continue;
            CsvFormat f{delimiter, decimal, 0, 1};
            const int score = Score(lines, f);
            if (score > best) {
                best = score;
                s.format = f;
            }
        }
    if (best < 0) {
        s.error = "No line of numbers was found.";
        return s;
    }
    const CsvFormat& f = s.format;
    s.columns.resize(static_cast<size_t>(f.columns));
    for (int c = 0; c < f.columns; ++c)
        s.columns[static_cast<size_t>(c)].title = "Column " + std::to_string(c + 1);
    if (f.headerLines > 0)
        Cells(lines[static_cast<size_t>(f.headerLines - 1)], f.delimiter,
              [&](int c, std::string_view cell) {
                  if (c < f.columns && !Trim(cell).empty())
                      s.columns[static_cast<size_t>(c)].title = std::string(Trim(cell));
                  return c < f.columns;
              });
    for (size_t i = static_cast<size_t>(f.headerLines);
         i < lines.size() && i < static_cast<size_t>(f.headerLines) + kShownValues; ++i)
        Cells(lines[i], f.delimiter, [&](int c, std::string_view cell) {
            if (c < f.columns)
                s.columns[static_cast<size_t>(c)].first.emplace_back(Trim(cell));
            return c < f.columns;
        });
    return s;
}

CsvColumnRead ReadCsvColumn(std::string_view text, const CsvFormat& format, int column) {
    CsvColumnRead r;
    r.values.reserve(text.size() / 8); // a short number and its line end
    std::string_view line;
    size_t lineNumber = 0;
    int headers = format.headerLines;
    while (NextLine(text, line)) {
        ++lineNumber;
        if (Blank(line))
            continue;
        if (headers > 0) {
            --headers;
            continue;
        }
        bool found = false, ok = false;
        double value = 0;
        Cells(line, format.delimiter, [&](int c, std::string_view cell) {
            if (c < column)
                return true;
            found = true;
            ok = Number(cell, format.decimal, value);
            return false;
        });
        if (!ok) {
            r.line = lineNumber;
            r.column = column + 1;
            r.error = found ? "Line " + std::to_string(lineNumber) + ", column " +
                                  std::to_string(column + 1) + " is not a number."
                            : "Line " + std::to_string(lineNumber) + " has no column " +
                                  std::to_string(column + 1) + ".";
            return r;
        }
        r.values.push_back(value);
    }
    if (r.values.empty())
        r.error = "The column holds no numbers.";
    return r;
}
