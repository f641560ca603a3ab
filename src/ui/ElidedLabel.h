// A one-line label that shows as much of its text as its width allows,
// eliding where asked ("..."), and gives the whole text to its tooltip and
// to assistive tools. It asks for no width of its own beyond the part of its
// text that must stay whole: a layout gives it the room there is.
#pragma once

#include <QLabel>

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideMiddle);

    // The whole text; `note` is added to the tooltip (not to the shown text).
    // `kept` characters at its start (eliding at the right) or its end
    // (eliding at the left) are never elided while the label has room for
    // them, and it asks its layout for that room as its minimum width.
    void setFullText(const QString& text, const QString& note = QString(), int kept = 0);
    const QString& fullText() const { return full_; }
    // The name assistive tools read while there is no text.
    void setEmptyName(const QString& name);
    // The most it asks for the kept part (negative: no limit): beyond it the
    // kept part too is cut, at a word, where the room runs out.
    void setKeptAtMost(int width);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fit();
    // The text that must stay whole, with the ellipsis beside it; empty when none.
    QString keptText() const;
    QString full_, emptyName_;
    Qt::TextElideMode mode_;
    int kept_ = 0;
    int keptAtMost_ = -1;
};
