#include "ElidedLabel.h"

#include <QEvent>

TElidedLabel::TElidedLabel(QWidget* parent, Qt::TextElideMode mode) : QLabel(parent), mode_(mode) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void TElidedLabel::setFullText(const QString& text, const QString& note) {
    full_ = text;
    setToolTip(text.isEmpty() ? QString() : note.isEmpty() ? text : text + "\n" + note);
    setAccessibleName(text.isEmpty() ? emptyName_ : text);
    fit();
}

void TElidedLabel::setEmptyName(const QString& name) {
    emptyName_ = name;
    if (full_.isEmpty())
        setAccessibleName(name);
}

QSize TElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QSize TElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(full_) + 2 * margin() + 2 * indent() + 4,
            QLabel::sizeHint().height()};
}

void TElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void TElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fit();
}

void TElidedLabel::fit() {
    const int room = std::max(0, contentsRect().width() - 2 * margin() - std::max(indent(), 0));
    QLabel::setText(fontMetrics().elidedText(full_, mode_, room));
}
