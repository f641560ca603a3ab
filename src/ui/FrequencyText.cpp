#include "FrequencyText.h"

#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

// 0..9 for an ASCII digit or one of the locale's own; -1 for anything else.
int DigitValue(QChar c, QChar zero) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    const int d = c.unicode() - zero.unicode();
    return zero != u'0' && d >= 0 && d <= 9 ? d : -1;
}

// Strips `prefix` from the front of `text`.
bool Take(QStringView& text, QStringView prefix) {
    if (prefix.isEmpty() || !text.startsWith(prefix))
        return false;
    text = text.mid(prefix.size());
    return true;
}

} // namespace

std::optional<int64_t> ParseWholeFrequency(const QString& typed, const QLocale& locale) {
    QStringView text = QStringView(typed).trimmed();
    bool negative = false;
    if (Take(text, locale.negativeSign()) || Take(text, u"-"))
        negative = true;
    else if (!Take(text, locale.positiveSign()))
        Take(text, u"+");

    int64_t multiplier = 1;
    if (text.endsWith(u'k') || text.endsWith(u'K'))
        multiplier = 1000;
    else if (text.endsWith(u'M'))
        multiplier = 1000000;
    if (multiplier != 1)
        text = text.chopped(1).trimmed();

    const QString point = locale.decimalPoint();
    const bool dotToo = point != u"." && locale.groupSeparator() != u".";
    const QString zeroText = locale.zeroDigit();
    const QChar zero = zeroText.size() == 1 ? zeroText[0] : QChar(u'0');

    // Whole part saturates; the fraction keeps its digits up to the first
    // that cannot matter (more than six places is never whole).
    int64_t whole = 0;
    int64_t fraction = 0, scale = 1;
    int digits = 0;
    bool inFraction = false, tooFine = false;
    while (!text.isEmpty()) {
        if (!inFraction && (Take(text, point) || (dotToo && Take(text, u".")))) {
            inFraction = true;
            continue;
        }
        const int d = DigitValue(text[0], zero);
        if (d < 0)
            return std::nullopt;
        text = text.mid(1);
        ++digits;
        if (!inFraction) {
            whole = whole > (kMax - d) / 10 ? kMax : whole * 10 + d;
        } else if (d != 0 || scale < 10000000) {
            if (scale >= 10000000) {
                tooFine = true; // a non-zero digit beyond the seventh place
                continue;
            }
            fraction = fraction * 10 + d;
            scale *= 10;
        }
    }
    if (digits == 0)
        return std::nullopt;
    // Trailing zeros of the fraction change nothing.
    while (scale > 1 && fraction % 10 == 0) {
        fraction /= 10;
        scale /= 10;
    }
    if (tooFine || (fraction * multiplier) % scale != 0)
        return std::nullopt; // a fraction of a unit
    const int64_t part = fraction * multiplier / scale;
    const int64_t value = whole > (kMax - part) / multiplier ? kMax : whole * multiplier + part;
    return negative ? -value : value;
}
