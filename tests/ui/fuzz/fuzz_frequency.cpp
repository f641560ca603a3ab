// libFuzzer target: typed frequencies. Never more than one reading, and a
// number read alone reads a thousand times as much with "k" after it.
#include <QLocale>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "FrequencyText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QLocale locales[] = {QLocale::c(), QLocale("de_DE"), QLocale("ar_EG")};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    for (const QLocale& locale : locales) {
        const std::optional<int64_t> plain = ParseWholeFrequency(text, locale);
        if (!plain || *plain > INT64_MAX / 1000 || *plain < -(INT64_MAX / 1000))
            continue;
        const QString trimmed = text.trimmed();
        if (trimmed.endsWith('k') || trimmed.endsWith('K') || trimmed.endsWith('M'))
            continue;
        const std::optional<int64_t> kilo = ParseWholeFrequency(trimmed + "k", locale);
        if (!kilo || *kilo != *plain * 1000)
            __builtin_trap();
    }
    return 0;
}
