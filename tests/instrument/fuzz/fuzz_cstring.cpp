// The C program's string literals: whatever the bytes, the literal a C or C++
// compiler reads back is exactly those bytes, with no trigraph in it and
// nothing but printable ASCII in the source.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CProgram.h"

namespace {

// The bytes a compiler reads from `literal`, or abort() where it would read
// something else (a trigraph, a byte beyond printable ASCII, an escape the
// writer never makes, a quote that ends the literal early).
std::string Read(const std::string& literal) {
    if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"')
        std::abort();
    static const char* const kTrigraphEnds = "=/'()!<>-";
    std::string out;
    for (size_t i = 1; i + 1 < literal.size(); ++i) {
        const char c = literal[i];
        if (c < 0x20 || c > 0x7E || c == '"')
            std::abort();
        if (c == '?' && i + 2 < literal.size() && literal[i + 1] == '?' &&
            std::strchr(kTrigraphEnds, literal[i + 2]))
            std::abort();
        if (c != '\\') {
            out += c;
            continue;
        }
        const char e = literal[++i];
        if (e == '"' || e == '\\' || e == '?') {
            out += e;
            continue;
        }
        int value = 0, digits = 0;
        while (digits < 3 && literal[i] >= '0' && literal[i] <= '7')
            value = value * 8 + (literal[i++] - '0'), ++digits;
        if (digits != 3 || value > 0377)
            std::abort();
        out += static_cast<char>(value);
        --i;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (Read(CStringLiteral(text)) != text)
        std::abort();
    return 0;
}
