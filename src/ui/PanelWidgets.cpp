#include "PanelWidgets.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "FrequencyText.h"

namespace {
constexpr int kLampSize = 10;
}

TLampButton::TLampButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setCheckable(true);
}

void TLampButton::setLit(bool on) {
    const QSignalBlocker block(this);
    setChecked(on);
}

QSize TLampButton::sizeHint() const {
    QSize s = QPushButton::sizeHint();
    return {s.width() + kLampSize + 6, s.height()};
}

void TLampButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.state &= ~QStyle::State_On; // the lamp, not the bevel, shows the state
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);
    const QRect r = rect();
    const QRect lamp(r.left() + 7, r.center().y() - kLampSize / 2, kLampSize, kLampSize);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(lit() ? QColor(40, 220, 40) : QColor(40, 70, 40));
    p.drawEllipse(lamp);
    p.setPen(isEnabled() ? palette().color(QPalette::ButtonText)
                         : palette().color(QPalette::Disabled, QPalette::ButtonText));
    p.drawText(r.adjusted(kLampSize + 12, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
}

namespace {

// The application's style, but with no modifier key that multiplies a step.
class NoStepModifierStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_SpinBox_StepModifier)
            return Qt::NoModifier;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

QStyle* SpinEditStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new NoStepModifierStyle;
        style->setParent(qApp); // goes with the application
    }
    return style;
}

// Hands `event` to `handle`, a Page key as the arrow key it stands for: the
// Page keys step like the arrow keys.
template <typename Handler> void AsArrowKey(QKeyEvent* event, Handler handle) {
    const int key = event->key();
    const int arrow = key == Qt::Key_PageUp     ? Qt::Key_Up
                      : key == Qt::Key_PageDown ? Qt::Key_Down
                                                : key;
    if (arrow == key)
        return handle(event);
    QKeyEvent stepped(event->type(), arrow, event->modifiers(), event->text(),
                      event->isAutoRepeat(), static_cast<ushort>(event->count()));
    handle(&stepped);
    event->setAccepted(stepped.isAccepted());
}

} // namespace

void PressIfReady(QPushButton* button) {
    if (button->isEnabled() && button->isVisible())
        button->click();
}

void SetStyleProperty(QWidget* widget, const char* name, const QVariant& value) {
    if (widget->property(name) == value)
        return;
    widget->setProperty(name, value);
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {
    setStyle(SpinEditStyle());
}

std::optional<int> TSpinEdit::typedNumber() const {
    const QString text = cleanText().trimmed();
    const QLocale here = locale();
    if (!numberRead_ || text != numberText_ || here != numberLocale_) {
        bool ok = false;
        const int value = here.toInt(text, &ok);
        number_ = ok ? std::optional<int>(value) : std::nullopt;
        numberText_ = text;
        numberLocale_ = here;
        numberRead_ = true;
    }
    return number_;
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    AsArrowKey(event, [this](QKeyEvent* e) { QSpinBox::keyPressEvent(e); });
}

void TSpinEdit::keyReleaseEvent(QKeyEvent* event) {
    AsArrowKey(event, [this](QKeyEvent* e) { QSpinBox::keyReleaseEvent(e); });
}

void TSpinEdit::setStepKeepingText(int step) {
    if (singleStep() == step)
        return;
    QLineEdit* edit = lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    const int selected = edit->selectionStart(), length = edit->selectedText().size();
    setSingleStep(step);
    if (edit->text() == text)
        return;
    const QSignalBlocker quiet(edit);
    edit->setText(text);
    if (selected >= 0)
        edit->setSelection(selected, length);
    else
        edit->setCursorPosition(cursor);
}

void TSpinEdit::setWidestValue(int value) {
    widest_ = value;
    fitText();
}

void TSpinEdit::resizeEvent(QResizeEvent* event) {
    QSpinBox::resizeEvent(event);
    fitText();
}

void TSpinEdit::changeEvent(QEvent* event) {
    QSpinBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitText();
}

void TSpinEdit::fitText() {
    if (fitting_)
        return;
    fitting_ = true;
    // The longer text of the two limits, unless a widest value is named.
    const QString low = textFromValue(minimum()), high = textFromValue(maximum());
    const QString text = widest_ ? textFromValue(*widest_) : low.size() > high.size() ? low : high;
    QLineEdit* edit = lineEdit();
    const QMargins m = edit->textMargins();
    // QLineEdit keeps two pixels free at either side of its text.
    const int room = edit->contentsRect().width() - m.left() - m.right() - 4;
    QFont face = font();
    while (room > 0 && QFontMetrics(face).horizontalAdvance(text) > room && face.pointSizeF() > 5.5)
        face.setPointSizeF(face.pointSizeF() - 0.5);
    if (edit->font() != face)
        edit->setFont(face);
    fitting_ = false;
}

TFrequencySpinEdit::TFrequencySpinEdit(QWidget* parent) : TSpinEdit(parent) {
    setKeyboardTracking(false); // the value changes when typing ends
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { setRefused(false); });
}

std::optional<int> TFrequencySpinEdit::read(const QString& text) const {
    if (text == readText_ && minimum() == readMinimum_ && maximum() == readMaximum_ &&
        locale() == readLocale_)
        return readValue_;
    const std::optional<int64_t> typed = ParseWholeFrequency(text, locale());
    readValue_ = typed ? std::optional<int>(
                             static_cast<int>(std::clamp<int64_t>(*typed, minimum(), maximum())))
                       : std::nullopt;
    readText_ = text;
    readLocale_ = locale();
    readMinimum_ = minimum();
    readMaximum_ = maximum();
    return readValue_;
}

std::optional<int> TFrequencySpinEdit::typedValue() const {
    return read(lineEdit()->text());
}

void TFrequencySpinEdit::setRefused(bool refused) {
    if (refused == refused_)
        return;
    refused_ = refused;
    setProperty("refused", refused);
    // Refused: the text's background red; mended: the field's own again
    // (with whatever mark the field carries).
    if (refused) {
        QPalette palette = lineEdit()->palette();
        palette.setColor(QPalette::Base, QColor(255, 214, 214));
        lineEdit()->setPalette(palette);
    } else {
        lineEdit()->setPalette(QPalette());
    }
    if (refused) {
        hint_ = toolTip();
        setToolTip("Not read: a whole number, k (x 1000) or M (x 1000000) may follow it.");
    } else {
        setToolTip(hint_);
    }
}

bool TSpinEdit::shows(int value) const {
    return this->value() == value && lineEdit()->text() == textFromValue(value);
}

void TFrequencySpinEdit::setValue(int value) {
    setRefused(false);
    QSpinBox::setValue(value);
    // Even when the value is unchanged: typed text goes.
    if (const QString text = textFromValue(this->value()); lineEdit()->text() != text)
        lineEdit()->setText(text);
}

QValidator::State TFrequencySpinEdit::validate(QString& input, int&) const {
    // Anything may be typed. A readable number is final (beyond the range it
    // is held at the limit); anything else keeps the value as it was.
    return read(input) ? QValidator::Acceptable : QValidator::Intermediate;
}

int TFrequencySpinEdit::valueFromText(const QString& text) const {
    return read(text).value_or(value());
}

void TFrequencySpinEdit::fixup(QString&) const {} // a refused text is never rewritten

void TFrequencySpinEdit::stepBy(int steps) {
    setRefused(false);
    TSpinEdit::stepBy(steps);
}

template <typename Finish> void TFrequencySpinEdit::finishTyping(Finish finish) {
    const QString typed = lineEdit()->text();
    const bool readable = read(typed).has_value();
    finish();
    if (readable)
        return;
    const QSignalBlocker block(lineEdit());
    lineEdit()->setText(typed);
    setRefused(true);
}

void TFrequencySpinEdit::focusOutEvent(QFocusEvent* event) {
    finishTyping([&] { TSpinEdit::focusOutEvent(event); });
}

void TFrequencySpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        finishTyping([&] { TSpinEdit::keyPressEvent(event); });
    else
        TSpinEdit::keyPressEvent(event);
}

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
    up_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    up_->setAccessibleName("Up");
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::DownArrow);
    down_->setAccessibleName("Down");
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        b->setFixedWidth(18);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, [this] {
        setPosition(position_ + 1);
        emit upClicked();
        emit clicked();
    });
    connect(down_, &QToolButton::clicked, this, [this] {
        setPosition(position_ - 1);
        emit downClicked();
        emit clicked();
    });
}

void TUpDown::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    setPosition(position_);
}

void TUpDown::setPosition(int position) {
    position_ = std::clamp(position, minimum_, maximum_);
}

TImage::TImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void TImage::setPicture(const QImage& image) {
    picture_ = image;
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter p(this);
    if (stretch_) {
        p.drawImage(rect(), picture_);
        return;
    }
    // Centred, at its own size.
    const QPoint at((width() - picture_.width()) / 2, (height() - picture_.height()) / 2);
    p.drawImage(at, picture_);
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_PanelWidgets.cpp"
