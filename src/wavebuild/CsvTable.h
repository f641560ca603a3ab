// Columns of numbers from a CSV or TSV file, as spreadsheets and
// oscilloscopes export them: the delimiter, the decimal separator and the
// header lines are found from the text itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct CsvFormat {
    char delimiter = ','; // ',' ';' '\t' or ' ' (one column: none needed)
    char decimal = '.';   // '.' or ','
    int headerLines = 0;  // lines before the first row of numbers
    int columns = 1;      // cells in the first row of numbers
};

struct CsvColumnInfo {
    std::string title;              // from the last header line, or "Column N"
    std::vector<std::string> first; // the first few values as written
};

// What the text looks like; `columns` describes each column of the first rows.
struct CsvSniff {
    CsvFormat format;
    std::vector<CsvColumnInfo> columns;
    std::string error; // empty when a row of numbers was found
};

CsvSniff SniffCsv(std::string_view text);

struct CsvColumnRead {
    std::vector<double> values;
    std::string error; // empty when every row held a number in the column
    size_t line = 0;   // 1-based line of the first bad cell
    int column = 0;    // 1-based column of it
};

// The numbers of `column` (0-based) in every row after the header lines;
// blank lines are skipped. The first cell that is no number stops the read
// and is reported with its line and column.
CsvColumnRead ReadCsvColumn(std::string_view text, const CsvFormat& format, int column);

// "comma", "semicolon", "tab", "space".
const char* DelimiterName(char delimiter);
