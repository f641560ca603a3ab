// Any bytes as a CSV/TSV file: the format found, then every column read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "CsvTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CsvSniff sniff = SniffCsv(text);
    if (!sniff.error.empty())
        return 0;
    if (sniff.format.columns < 1 || sniff.columns.size() != size_t(sniff.format.columns))
        __builtin_trap();
    for (int c = 0; c <= sniff.format.columns; ++c) {
        const CsvColumnRead r = ReadCsvColumn(text, sniff.format, c);
        if (r.error.empty() && r.values.empty()) // a read without numbers says why
            __builtin_trap();
    }
    return 0;
}
