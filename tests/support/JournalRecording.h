// Records every call the simulated chassis journals during a run and compares
// the record with one kept in the source tree as plain text, call for call and
// argument for argument. Session handles are written as #1, #2, ... in the
// order they first appear, so a run that opened other sessions before (a test
// run alone or after others) compares equal. With NV815_JOURNAL_WRITE=1 the
// kept record is written instead.
#pragma once

#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>

#include "nvsim.h"

class JournalRecording {
public:
    JournalRecording() { nvsim_journal_follow(&Append, this); }
    ~JournalRecording() { nvsim_journal_follow(nullptr, nullptr); }
    JournalRecording(const JournalRecording&) = delete;
    JournalRecording& operator=(const JournalRecording&) = delete;

    int size() const { return int(lines_.size()); }
    const QStringList& lines() const { return lines_; }

    // "viClose(4180) = 0" becomes "viClose(#3) = 0": a call's leading number
    // is the session (resource manager, instrument or find list) it is made on.
    QString numbered(const QString& line) {
        const qsizetype open = line.indexOf('(');
        qsizetype end = open + 1;
        while (end < line.size() && line[end].isDigit())
            ++end;
        if (open < 0 || end == open + 1)
            return line;
        const QString handle = line.mid(open + 1, end - open - 1);
        auto known = handles_.constFind(handle);
        if (known == handles_.constEnd())
            known = handles_.insert(handle, int(handles_.size()) + 1);
        return line.left(open + 1) + '#' + QString::number(*known) + line.mid(end);
    }

    // The first difference from the kept record, or an empty text.
    QString compareWith(const QString& path) const {
        QFile file(path);
        if (qEnvironmentVariableIntValue("NV815_JOURNAL_WRITE") == 1) {
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text) ||
                file.write(lines_.join('\n').toLatin1() + '\n') < 0)
                return "cannot write " + path;
            return QString();
        }
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return "no recorded journal at " + path;
        QStringList kept = QString::fromLatin1(file.readAll()).split('\n');
        if (!kept.isEmpty() && kept.last().isEmpty())
            kept.removeLast();
        const qsizetype n = std::min(kept.size(), lines_.size());
        for (qsizetype i = 0; i < n; ++i)
            if (kept[i] != lines_[i])
                return QString("call %1 (line %2): recorded \"%3\", now \"%4\"")
                    .arg(i)
                    .arg(i + 1)
                    .arg(kept[i], lines_[i]);
        if (kept.size() != lines_.size())
            return QString("%1 calls recorded, %2 now").arg(kept.size()).arg(lines_.size());
        return QString();
    }

private:
    static void Append(const char* line, void* self) {
        auto* recording = static_cast<JournalRecording*>(self);
        recording->lines_.append(recording->numbered(QString::fromLatin1(line)));
    }
    QStringList lines_;
    QHash<QString, int> handles_;
};
