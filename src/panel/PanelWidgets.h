// Small controls of the front panel that Qt has no exact match for.
#pragma once

#include <QImage>
#include <QPushButton>
#include <QWidget>

class QToolButton;

// A push button with an indicator lamp: a click toggles the lamp, which shows
// lit (green) or dark. The lamp state is the button's checked state.
class TLampButton : public QPushButton {
    Q_OBJECT
public:
    explicit TLampButton(const QString& text, QWidget* parent = nullptr);
    bool lit() const { return isChecked(); }
    void setLit(bool on);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Up and down arrows. As an up-down control it holds a position within a range
// that the arrows step; as a spin button it only reports the arrows.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);
    void setRange(int minimum, int maximum);
    int position() const { return position_; }
    void setPosition(int position);
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void upClicked();
    void downClicked();
    void clicked(); // after either arrow, once the position has moved

private:
    QToolButton* up_;
    QToolButton* down_;
    int minimum_ = 0, maximum_ = 100, position_ = 0;
};

// An image that can be drawn into; its transparent parts show what lies below.
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);
    QImage& picture() { return picture_; }
    void setPicture(const QImage& image);
    void setStretch(bool stretch) { stretch_ = stretch; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    bool stretch_ = false;
};
