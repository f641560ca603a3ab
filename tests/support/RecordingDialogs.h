// Dialogs that answer from a script and remember what they were asked.
#pragma once

#include <QList>
#include <QStringList>
#include <functional>

#include "Dialogs.h"

class RecordingDialogs : public Dialogs {
public:
    struct Shown {
        Kind kind;
        QString text;
    };
    QList<Shown> messages;
    QList<Answer> answers;           // consumed in order; Ok (Yes to a question) once they run out
    QStringList fileNames;           // consumed in order; "" (cancel) once they run out
    std::function<void()> onMessage; // runs as each message is shown

    Answer message(QWidget*, Kind kind, const QString& text) override {
        messages.append({kind, text});
        if (onMessage)
            onMessage();
        if (!answers.isEmpty())
            return answers.takeFirst();
        return kind == Kind::Question || kind == Kind::QuestionOrCancel ? Answer::Yes : Answer::Ok;
    }
    QString lastFilter, lastSuffix; // of the last file dialog

    QString openFileName(QWidget*, const QString& filter, const QString& suffix) override {
        return nextFile(filter, suffix);
    }
    QString saveFileName(QWidget*, const QString& filter, const QString& suffix) override {
        return nextFile(filter, suffix);
    }
    QString folderName(QWidget*, const QString&) override { return nextFile("folder", {}); }

private:
    QString nextFile(const QString& filter, const QString& suffix) {
        lastFilter = filter;
        lastSuffix = suffix;
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
};
