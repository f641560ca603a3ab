// Small controls of the front panel that Qt has no exact match for.
#pragma once

#include <QImage>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>
#include <optional>

class QToolButton;

// Sets a property the widget's style sheet reads and, only when its value
// changed, draws the widget again by it.
void SetStyleProperty(QWidget* widget, const char* name, const QVariant& value);

// Clicks the button where the operator could (enabled and shown), as a key
// that stands for it does.
void PressIfReady(QPushButton* button);

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

// A spin edit that steps by exactly its single step, whichever modifier keys
// are held and however it is stepped (arrow buttons, arrow and Page keys, the
// wheel): Qt's own spin box steps ten times as far with Ctrl held, and a page
// at a time with the Page keys.
//
// Its text shows the widest value it takes whole at the size it is given:
// where the field's font would cut it, the field's text is drawn smaller.
class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);
    // The value whose text must show whole; by default the wider limit. An
    // unbounded field names the largest value it is meant for.
    void setWidestValue(int value);
    // Sets the single step without touching what is being typed
    // (QSpinBox::setSingleStep writes the value's text over it).
    void setStepKeepingText(int step);
    // The whole number the text says in the field's locale, or nothing; read
    // again only when the text changed.
    std::optional<int> typedNumber() const;
    // Whether the field holds `value` and its text says it (no typing over it).
    bool shows(int value) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fitText();
    std::optional<int> widest_;
    bool fitting_ = false;
    // The text typedNumber read last, and what it read as.
    mutable QString numberText_;
    mutable QLocale numberLocale_;
    mutable std::optional<int> number_;
    mutable bool numberRead_ = false;
};

// A spin edit for a frequency in whole units that reads what was typed
// exactly, engineering suffixes included ("10.5k" is 10500, "2M" 2000000), or
// refuses it: a refused text stays as typed, marked (property "refused"),
// and the value does not change. A number beyond the range is held at its
// limit. The value changes only when typing ends (Enter or leaving the field).
class TFrequencySpinEdit : public TSpinEdit {
    Q_OBJECT
public:
    explicit TFrequencySpinEdit(QWidget* parent = nullptr);

    // What the text says, held within the range; empty when it is refused.
    std::optional<int> typedValue() const;
    bool refused() const { return refused_; }
    // Marks the field as refused or clears the mark.
    void setRefused(bool refused);
    // Sets the value and shows it, clearing any mark.
    void setValue(int value);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    void fixup(QString& input) const override;
    void stepBy(int steps) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // What `text` says, held within the range; empty when it is refused.
    std::optional<int> read(const QString& text) const;
    // Runs the spin box's own end of typing, then puts back a refused text.
    template <typename Finish> void finishTyping(Finish finish);

    bool refused_ = false;
    QString hint_; // the tooltip the field had before a mark
    // The last text read and what it read as: a draft reads every field
    // again, and the text rarely changed since.
    mutable QString readText_;
    mutable std::optional<int> readValue_;
    mutable QLocale readLocale_;
    mutable int readMinimum_ = 0, readMaximum_ = 0;
};

// Up and down arrows. As an up-down control it holds a position within a range
// that the arrows step; as a spin button it only reports the arrows.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);
    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
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
