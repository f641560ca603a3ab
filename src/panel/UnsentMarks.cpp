#include "UnsentMarks.h"

#include <QWidget>

#include "PanelWidgets.h"

// A control met for the first time carries the property, unmarked, and the
// rule that draws it.
UnsentMarks::Entry& UnsentMarks::entry(QWidget* control) {
    for (Entry& e : entries_)
        if (e.control == control)
            return e;
    Entry e;
    e.control = control;
    e.plainTip = control->toolTip();
    control->setProperty("unsent", false);
    if (control->styleSheet().isEmpty()) {
        const QFont face = control->font();
        control->setStyleSheet(kUnsentRule);
        control->setFont(face);
    }
    entries_.push_back(e);
    return entries_.back();
}

const UnsentMarks::Entry* UnsentMarks::find(const QWidget* control) const {
    for (const Entry& e : entries_)
        if (e.control == control)
            return &e;
    return nullptr;
}

bool UnsentMarks::marked(const QWidget* control) const {
    const Entry* e = find(control);
    return e && e->unsent;
}

QString UnsentMarks::plainToolTip(const QWidget* control) const {
    const Entry* e = find(control);
    return e ? e->plainTip : control->toolTip();
}

void UnsentMarks::setPlainToolTip(QWidget* control, const QString& text) {
    Entry& e = entry(control);
    e.plainTip = text;
    showToolTip(e);
}

void UnsentMarks::mark(QWidget* control, bool unsent, const char* button) {
    Entry& e = entry(control);
    if (e.unsent != unsent) {
        e.unsent = unsent;
        const QFont face = control->font(); // the panel's, not the style sheet's
        SetStyleProperty(control, "unsent", unsent);
        control->setFont(face);
    }
    e.button = button;
    showToolTip(e);
}

void UnsentMarks::showToolTip(Entry& e) {
    const auto* frequency = qobject_cast<TFrequencySpinEdit*>(e.control);
    if (frequency && frequency->refused())
        return; // the refusal's own tooltip stands until the text is mended
    if (e.tipUnsent != e.unsent || e.tipButton != e.button || e.tipPlain != e.plainTip) {
        e.tip = e.unsent ? (e.plainTip.isEmpty() ? QString() : e.plainTip + "\n") +
                               "Not on the card yet: press " + e.button + " to send it."
                         : e.plainTip;
        e.tipUnsent = e.unsent;
        e.tipButton = e.button;
        e.tipPlain = e.plainTip;
    }
    if (e.control->toolTip() != e.tip)
        e.control->setToolTip(e.tip);
}
