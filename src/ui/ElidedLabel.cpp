#include "ElidedLabel.h"

#include <QEvent>
#include <algorithm>

TElidedLabel::TElidedLabel(QWidget* parent, Qt::TextElideMode mode) : QLabel(parent), mode_(mode) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void TElidedLabel::setFullText(const QString& text, const QString& note, int kept) {
    const bool minimumChanged = kept_ != 0 || kept != 0;
    full_ = text;
    kept_ = std::clamp(kept, 0, static_cast<int>(text.size()));
    if (minimumChanged)
        updateGeometry();
    setToolTip(text.isEmpty() ? QString() : note.isEmpty() ? text : text + "\n" + note);
    setAccessibleName(text.isEmpty() ? emptyName_ : text);
    fit();
}

void TElidedLabel::setEmptyName(const QString& name) {
    emptyName_ = name;
    if (full_.isEmpty())
        setAccessibleName(name);
}

QString TElidedLabel::keptText() const {
    if (kept_ == 0 || kept_ == full_.size())
        return kept_ == 0 ? QString() : full_;
    if (mode_ == Qt::ElideRight)
        return full_.left(kept_) + QChar(0x2026);
    if (mode_ == Qt::ElideLeft)
        return QChar(0x2026) + full_.right(kept_);
    return {};
}

namespace {
// `text` cut at a blank to fit `room`, an ellipsis where it was cut: never
// inside a word, an address or a number. Only an ellipsis when no word fits.
QString ElideAtWord(const QString& text, Qt::TextElideMode mode, int room,
                    const QFontMetrics& metrics) {
    if (metrics.horizontalAdvance(text) <= room)
        return text;
    const QString dots(QChar(0x2026));
    if (mode == Qt::ElideRight) {
        for (qsizetype at = text.lastIndexOf(' '); at > 0; at = text.lastIndexOf(' ', at - 1))
            if (const QString cut = text.left(at) + dots; metrics.horizontalAdvance(cut) <= room)
                return cut;
    } else if (mode == Qt::ElideLeft) {
        for (qsizetype at = text.indexOf(' '); at >= 0; at = text.indexOf(' ', at + 1))
            if (const QString cut = dots + text.mid(at + 1); metrics.horizontalAdvance(cut) <= room)
                return cut;
    } else {
        return metrics.elidedText(text, mode, room);
    }
    return metrics.horizontalAdvance(dots) <= room ? dots : QString();
}
} // namespace

void TElidedLabel::setKeptAtMost(int width) {
    if (width == keptAtMost_)
        return;
    keptAtMost_ = width;
    updateGeometry();
}

QSize TElidedLabel::minimumSizeHint() const {
    const QString kept = keptText();
    int width = kept.isEmpty() ? 0
                               : fontMetrics().horizontalAdvance(kept) + 2 * margin() +
                                     2 * std::max(indent(), 0) + 4;
    if (keptAtMost_ >= 0)
        width = std::min(width, keptAtMost_);
    return {width, QLabel::minimumSizeHint().height()};
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

void TElidedLabel::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    fit();
}

void TElidedLabel::fit() {
    if (!isVisible()) { // no room known yet: whole, until it is shown and laid out
        QLabel::setText(full_);
        return;
    }
    const int room = std::max(0, contentsRect().width() - 2 * margin() - std::max(indent(), 0));
    const QFontMetrics metrics = fontMetrics();
    const QString kept = keptText();
    if (metrics.horizontalAdvance(full_) <= room || kept.isEmpty() ||
        metrics.horizontalAdvance(kept) > room) {
        QLabel::setText(ElideAtWord(full_, mode_, room, metrics));
        return;
    }
    // The part kept whole, and as much of the rest as there is room for.
    const QString whole = mode_ == Qt::ElideRight ? full_.left(kept_) : full_.right(kept_);
    const QString rest = mode_ == Qt::ElideRight ? full_.mid(kept_) : full_.chopped(kept_);
    const QString shown =
        ElideAtWord(rest, mode_, room - metrics.horizontalAdvance(whole), metrics);
    QLabel::setText(mode_ == Qt::ElideRight ? whole + shown : shown + whole);
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_ElidedLabel.cpp"
