// The marks on controls whose value the card does not hold yet: every
// control the marks know carries the dynamic property `unsent` (true while
// marked, false otherwise), which style sheets, accessibility tools and GUI
// automation read; the style-sheet rule kUnsentRule draws a marked one on
// the mark's colour, and its tooltip names the button that sends it. Each
// control's plain tooltip (without the mark's note) is kept here too. Only a
// change of a mark touches its control.
#pragma once

#include <QString>
#include <vector>

class QWidget;

class UnsentMarks {
public:
    // The rule each known control's style sheet holds.
    static constexpr const char* kUnsentRule = "*[unsent=\"true\"] { background-color: #ffe8a3; }";

    // Marks or unmarks `control`; `button` names what sends its value.
    void mark(QWidget* control, bool unsent, const char* button);
    bool marked(const QWidget* control) const;
    // The tooltip without the mark's note, and setting it.
    QString plainToolTip(const QWidget* control) const;
    void setPlainToolTip(QWidget* control, const QString& text);

private:
    struct Entry {
        QWidget* control = nullptr;
        bool unsent = false;
        const char* button = "";
        QString plainTip;
        // The tooltip last made, and what it was made of.
        QString tip, tipPlain;
        bool tipUnsent = false;
        const char* tipButton = nullptr;
    };
    Entry& entry(QWidget* control);
    const Entry* find(const QWidget* control) const;
    static void showToolTip(Entry& e);

    std::vector<Entry> entries_;
};
