// The operator's unsent edits that a change made by someone else (a
// client, another part of the program) replaced: what the status field
// says of them, and putting them back with one action.
#pragma once

#include <QPointer>
#include <QString>
#include <vector>

#include "Main_Controls.h"

class UnsentMarks;

// A control that edits a row of the settings table; a slider shows the
// row's value times `sliderScale`.
struct EditableField {
    QWidget* control = nullptr;
    Binding binding;
    double sliderScale = 1;
};

class ReplacedEdits {
public:
    static constexpr const char* kHow = " (Ctrl+Shift+R or a click here puts it back)";
    // Before a change is shown: each marked field of `fields` whose row it
    // changed (a channel's own rows only). Forgets what was replaced before.
    void take(const std::vector<EditableField>& fields, const SettingFlags& changed,
              const UnsentMarks& marks);
    // Once it is shown: "WHO set channel C start frequency 3000 Hz; your
    // unsent 7777 Hz was replaced", or empty when it replaced no edit
    // (nothing is kept then); kHow says how to put them back.
    QString said(const QString& who, int channel);
    bool any() const { return !edits_.empty(); }
    // What said() said of the edits kept.
    const QString& message() const { return message_; }
    // Each edit back in its field where the field still shows what replaced
    // it (the marks follow the fields); what was put back, for the operator.
    QString putBack();
    void clear();

private:
    struct Edit {
        QPointer<QWidget> control;
        EditableField field;
        double mine = 0, theirs = 0;
        QString mineText, theirsText;
    };
    std::vector<Edit> taken_, edits_;
    QString message_;
};
