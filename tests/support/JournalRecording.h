// Records every call the simulated chassis journals during a run and compares
// the record with one kept in the source tree, call for call and argument for
// argument. With NV815_JOURNAL_WRITE=1 the kept record is written instead.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include "nvsim.h"

class JournalRecording {
public:
    JournalRecording() { nvsim_journal_follow(&Append, &lines_); }
    ~JournalRecording() { nvsim_journal_follow(nullptr, nullptr); }
    JournalRecording(const JournalRecording&) = delete;
    JournalRecording& operator=(const JournalRecording&) = delete;

    int size() const { return int(lines_.size()); }

    // The first difference from the kept record, or an empty text.
    QString compareWith(const QString& path) const {
        const QByteArray text = lines_.join('\n').toLatin1() + '\n';
        QFile file(path);
        if (qEnvironmentVariableIntValue("NV815_JOURNAL_WRITE") == 1) {
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(qCompress(text, 9)) < 0)
                return "cannot write " + path;
            return QString();
        }
        if (!file.open(QIODevice::ReadOnly))
            return "no recorded journal at " + path;
        const QStringList kept = QString::fromLatin1(qUncompress(file.readAll())).split('\n');
        const qsizetype n = std::min(kept.size() - 1, lines_.size());
        for (qsizetype i = 0; i < n; ++i)
            if (kept[i] != lines_[i])
                return QString("call %1: recorded \"%2\", now \"%3\"")
                    .arg(i)
                    .arg(kept[i], lines_[i]);
        if (kept.size() - 1 != lines_.size())
            return QString("%1 calls recorded, %2 now").arg(kept.size() - 1).arg(lines_.size());
        return QString();
    }

private:
    static void Append(const char* line, void* lines) {
        static_cast<QStringList*>(lines)->append(QString::fromLatin1(line));
    }
    QStringList lines_;
};
