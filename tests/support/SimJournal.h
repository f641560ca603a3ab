// Reading the simulated chassis's call journal in tests.
#pragma once

#include <QString>
#include <QStringList>

#include "nvsim.h"

inline QStringList SimJournal() {
    QStringList lines;
    for (int i = 0; i < nvsim_journal_count(); ++i)
        lines << QString::fromLatin1(nvsim_journal_line(i));
    return lines;
}

// The journal lines of calls to one entry point.
inline QStringList SimCalls(const char* function) {
    QStringList calls;
    const QString prefix = QString::fromLatin1(function) + "(";
    for (const QString& line : SimJournal())
        if (line.startsWith(prefix))
            calls << line;
    return calls;
}

inline double SimValue(const char* resource, int channel, const char* field) {
    double v = -12345.0;
    nvsim_channel_value(resource, channel, field, &v);
    return v;
}
