// Reading a frequency as an operator types it into a whole-unit field.
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

// The text exactly as typed: blanks, an optional sign, digits with at most
// one decimal separator (the locale's, or a full stop where the locale does
// not group digits with one), blanks, and an optional engineering suffix:
// k or K (x 1000) or M (x 1 000 000). The locale's own digits count as
// digits. Empty when the text is anything else or no whole number of units
// ("10.5" is refused, "10.5k" is 10500). Values beyond 64 bits are held at
// its limits.
std::optional<int64_t> ParseWholeFrequency(const QString& text, const QLocale& locale);
