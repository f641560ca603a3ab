// A one-line label that shows as much of its text as its width allows,
// eliding where asked ("..."), and gives the whole text to its tooltip and
// to assistive tools. It asks for no width of its own: a layout gives it the
// room there is.
#pragma once

#include <QLabel>

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideMiddle);

    // The whole text; `note` is added to the tooltip (not to the shown text).
    void setFullText(const QString& text, const QString& note = QString());
    const QString& fullText() const { return full_; }
    // The name assistive tools read while there is no text.
    void setEmptyName(const QString& name);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fit();
    QString full_, emptyName_;
    Qt::TextElideMode mode_;
};
