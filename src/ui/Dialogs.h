// Every message box and file dialog of the program goes through this
// interface, so tests can answer them without a modal loop.
#pragma once

#include <QString>

class QWidget;

class Dialogs {
public:
    enum class Kind { Error, Warning, Confirmation, Information, Question, QuestionOrCancel };
    enum class Answer { Ok, Abort, Closed, Yes, No, Cancel };

    virtual ~Dialogs() = default;

    // Error, warning and information boxes have an OK button; a confirmation
    // has OK and Abort; a question that means yes or no has Yes and No, and
    // Cancel too where the action can be cancelled. Closing the box otherwise
    // answers Closed.
    virtual Answer message(QWidget* parent, Kind kind, const QString& text) = 0;

    // Filters use the form "Description|pattern|Description|pattern"; the
    // patterns match names whatever their case. `defaultSuffix` (without the
    // dot, may be empty) is added to a typed name that has none. An empty
    // result means the dialog was cancelled.
    virtual QString openFileName(QWidget* parent, const QString& filter,
                                 const QString& defaultSuffix) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& filter,
                                 const QString& defaultSuffix) = 0;
    // An existing folder, starting at `start`; empty when cancelled.
    virtual QString folderName(QWidget* parent, const QString& start) = 0;
};

// The dialogs in use: the real ones unless a test installed others.
Dialogs& AppDialogs();

// Installs replacement dialogs (not owned); nullptr restores the real ones.
void SetAppDialogs(Dialogs* dialogs);
