#include "WaveParse.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Appends while keeping the range of what was read; false when memory ran out.
[[gnu::always_inline]] inline bool Append(WaveReadResult& r, double v) {
    try {
        r.samples.push_back(v);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (r.samples.size() == 1) {
        r.minimum = r.maximum = v;
    } else {
        r.minimum = std::min(r.minimum, v);
        r.maximum = std::max(r.maximum, v);
    }
    return true;
}

void Reserve(WaveReadResult& r, size_t expected) {
    try {
        r.samples.reserve(std::min<size_t>(expected, WaveMemorySize));
    } catch (const std::bad_alloc&) {
    }
}

} // namespace

bool ParseSampleLine(const char* begin, const char* end, char decimalSeparator, double& value) {
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
    // Check the form in place: [sign] digits [separator digits] [e [sign] digits],
    // gathering the digits as an integer on the way.
    const char* p = begin;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char* const mantissa = p;
    int digits = 0;
    uint64_t whole = 0; // all mantissa digits, while they fit
    int fractionDigits = 0;
    while (p < end && IsDigit(*p)) {
        if (digits < 19)
            whole = whole * 10 + static_cast<uint64_t>(*p - '0');
        ++p;
        ++digits;
    }
    const char* separator = nullptr;
    if (p < end && *p == decimalSeparator) {
        separator = p++;
        while (p < end && IsDigit(*p)) {
            if (digits < 19)
                whole = whole * 10 + static_cast<uint64_t>(*p - '0');
            ++p;
            ++digits;
            ++fractionDigits;
        }
    }
    if (digits == 0)
        return false;
    int exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p < end && (*p == '+' || *p == '-')) {
            negativeExponent = *p == '-';
            ++p;
        }
        const char* first = p;
        while (p < end && IsDigit(*p)) {
            if (exponent < 100000)
                exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (p == first)
            return false;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (p != end)
        return false; // anything else on the line, a tab included

    // Exact integer and exact power of ten: one correctly rounded operation.
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const int scale = exponent - fractionDigits;
    if (digits <= 19 && whole <= (uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
        const double m = static_cast<double>(whole);
        value = scale < 0 ? m / kPowers[-scale] : m * kPowers[scale];
        if (negative)
            value = -value;
        return true;
    }

    const char* from = *begin == '+' ? mantissa : begin; // from_chars takes no '+'
    if (separator && decimalSeparator != '.') {
        // Give from_chars the full stop it reads; digits past what a double
        // holds are dropped from a very long fraction.
        char buf[400];
        if (separator - from >= static_cast<std::ptrdiff_t>(sizeof buf))
            return false; // hundreds of integer digits: far beyond any double
        const size_t keep = std::min<size_t>(static_cast<size_t>(end - from), sizeof buf);
        std::memcpy(buf, from, keep);
        buf[separator - from] = '.';
        size_t n = keep;
        if (keep < static_cast<size_t>(end - from)) {
            // Too long to copy whole: only a long fraction without exponent can be.
            if (std::find_if(separator, end, [](char c) { return c == 'e' || c == 'E'; }) != end)
                return false;
            n = sizeof buf;
        }
        const auto [ptr, ec] = std::from_chars(buf, buf + n, value);
        return ec == std::errc() && ptr == buf + n && std::isfinite(value);
    }
    const auto [ptr, ec] = std::from_chars(from, end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

TextWaveReader::TextWaveReader(char decimalSeparator, size_t expectedSize)
    : separator_(decimalSeparator) {
    Reserve(r_, expectedSize / 4 + 1);
}

bool TextWaveReader::fail(WaveReadResult::Outcome outcome) {
    r_.outcome = outcome;
    if (outcome == WaveReadResult::Outcome::NonNumeric)
        r_.failedLine = line_;
    done_ = true;
    return false;
}

bool TextWaveReader::takeLine(const char* p, const char* stop) {
    ++line_;
    // Lengths count every byte of the line, as a line read in pieces counts them.
    const size_t length = static_cast<size_t>(stop - p);
    if (std::memchr(p, '!', std::min(length, kMaxSampleLine)))
        return true; // a comment
    if (line_ == 1 && length >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3; // a UTF-8 byte-order mark
    if (p == stop)
        return true; // empty
    double v;
    if (length > kMaxSampleLine || !ParseSampleLine(p, stop, separator_, v))
        return fail(WaveReadResult::Outcome::NonNumeric);
    if (!Append(r_, v))
        return fail(WaveReadResult::Outcome::OutOfMemory);
    return true;
}

// The start of a line that goes on in the next piece. A comment need not be
// kept; a line grown past any number's length is not a number.
bool TextWaveReader::keepPartial(const char* p, const char* end) {
    if (partialComment_)
        return true;
    const size_t room = kMaxSampleLine - std::min(partial_.size(), kMaxSampleLine);
    const size_t looked = std::min(static_cast<size_t>(end - p), room + 1);
    if (std::memchr(p, '!', std::min(looked, room))) {
        partialComment_ = true;
        partial_.clear();
        return true;
    }
    if (looked > room) {
        ++line_;
        return fail(WaveReadResult::Outcome::NonNumeric);
    }
    try {
        partial_.append(p, end);
    } catch (const std::bad_alloc&) {
        return fail(WaveReadResult::Outcome::OutOfMemory);
    }
    return true;
}

bool TextWaveReader::feed(const char* data, size_t size) {
    const char* p = data;
    const char* const end = data + size;
    if (afterCr_ && p < end) {
        afterCr_ = false;
        if (*p == '\n')
            ++p; // the LF of a CR LF split between pieces
    }
    while (!done_ && p < end) {
        if (r_.samples.size() >= static_cast<size_t>(WaveMemorySize)) {
            leftover_ = true;
            done_ = true;
            break;
        }
        // The line ends at the first LF or CR.
        const char* q =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (const void* cr = std::memchr(p, '\r', static_cast<size_t>((q ? q : end) - p)))
            q = static_cast<const char*>(cr);
        if (!q)
            return keepPartial(p, end) && !done_;
        bool ok = true;
        if (partialComment_) {
            ++line_; // a comment: skipped
        } else if (!partial_.empty()) {
            ok = keepPartial(p, q) && takeLine(partial_.data(), partial_.data() + partial_.size());
        } else {
            ok = takeLine(p, q);
        }
        partial_.clear();
        partialComment_ = false;
        if (!ok)
            break;
        p = q + 1;
        if (*q == '\r') {
            if (p == end)
                afterCr_ = true;
            else if (*p == '\n')
                ++p;
        }
    }
    if (r_.samples.size() >= static_cast<size_t>(WaveMemorySize))
        done_ = true;
    return !done_;
}

WaveReadResult TextWaveReader::finish(bool moreInFile) {
    const bool unfinished = partialComment_ || !partial_.empty();
    if (!done_ && unfinished) { // the last line, without a line end
        if (partialComment_)
            ++line_;
        else
            takeLine(partial_.data(), partial_.data() + partial_.size());
    } else if (done_ && unfinished) {
        leftover_ = true;
    }
    if (r_.outcome == WaveReadResult::Outcome::Complete)
        r_.dataLeft =
            r_.samples.size() >= static_cast<size_t>(WaveMemorySize) && (leftover_ || moreInFile);
    return std::move(r_);
}

WaveReadResult ReadTextWave(const char* data, size_t size, char decimalSeparator) {
    TextWaveReader reader(decimalSeparator, size);
    reader.feed(data, size);
    return reader.finish(false);
}

WaveReadResult ReadBinaryWave(const unsigned char* data, size_t size) {
    WaveReadResult r;
    Reserve(r, size / 2);
    size_t at = 0;
    // The first word is read before the end of the file is looked at, so an
    // empty file reads beyond its end like one of odd length.
    do {
        if (at + 2 > size) {
            r.outcome = WaveReadResult::Outcome::ReadBeyondEnd;
            return r;
        }
        if (!Append(r, data[at] * 256.0 + data[at + 1])) {
            r.outcome = WaveReadResult::Outcome::OutOfMemory;
            return r;
        }
        at += 2;
    } while (at < size && r.samples.size() < static_cast<size_t>(WaveMemorySize));
    r.dataLeft = at < size;
    return r;
}

void NormaliseSamples(std::vector<double>& samples, double minimum, double maximum) {
    double range = maximum - minimum;
    double shift = minimum, factor = 1.0;
    if (std::isinf(range)) {
        // Samples near the limits of a double: halving is exact there and
        // keeps the range finite.
        factor = 0.5;
        shift = minimum * 0.5;
        range = maximum * 0.5 - shift;
    }
    if (!(range > 0)) {
        for (double& v : samples)
            v = 0.0; // a constant waveform
        return;
    }
    // (v - min) / range is monotonic in v and exactly 1 for the largest
    // sample, so every result lies in 0..100 with both ends reached exactly.
    for (double& v : samples)
        v = (v * factor - shift) / range * 100.0;
}

void AppendTextSample(std::string& out, double value, char decimalSeparator) {
    char buf[64];
    const double magnitude = std::fabs(value);
    char* end;
    if (!std::isfinite(value)) {
        end = buf + std::snprintf(buf, sizeof buf, "%s", std::isnan(value) ? "NAN" : "INF");
    } else if (magnitude >= 1e7) {
        // Too many integer digits for seven significant ones in fixed notation.
        end = buf + std::snprintf(buf, sizeof buf, "%.6E", value);
    } else {
        int integerDigits =
            magnitude < 1 ? 1 : static_cast<int>(std::floor(std::log10(magnitude))) + 1;
        int decimals = std::clamp(7 - integerDigits, 0, 4);
        end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals).ptr;
        // Rounding may carry into a new integer digit (9999.9995 -> 10000.000).
        const char* dot = std::find(buf, end, '.');
        const int shownInteger = static_cast<int>(dot - buf) - (buf[0] == '-' ? 1 : 0);
        if (shownInteger > integerDigits && decimals > 0) {
            --decimals;
            end =
                std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals).ptr;
        }
        if (decimals == 0)
            *end++ = '.';
        for (int i = decimals; i < 4; ++i)
            *end++ = '0';
        // A value that rounds to zero is written without a sign.
        if (buf[0] == '-' && std::all_of(buf + 1, end, [](char c) { return c == '0' || c == '.'; }))
            std::memmove(buf, buf + 1, static_cast<size_t>(--end - buf));
    }
    for (char* c = buf; c < end; ++c)
        if (*c == '.')
            *c = decimalSeparator;
    out.append(buf, end);
}

uint16_t BinaryWord(double value) {
    const double word = std::nearbyint(value * 655.2);
    if (!(word > 0))
        return 0; // negative values and NaN
    if (word >= 65535)
        return 65535;
    return static_cast<uint16_t>(word);
}
