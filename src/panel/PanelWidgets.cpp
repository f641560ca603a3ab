#include "PanelWidgets.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QVBoxLayout>

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
