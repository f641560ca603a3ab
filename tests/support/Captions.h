// Whether a window's buttons and labels show their texts whole.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

#include "PanelWidgets.h"

// The room a button's caption is drawn in.
inline int CaptionRoom(const QAbstractButton* b) {
    if (qobject_cast<const TLampButton*>(b))
        return b->width() - 26; // the lamp, then the text (TLampButton::paintEvent)
    if (qobject_cast<const QPushButton*>(b)) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        return b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b).width();
    }
    // Check boxes and radio buttons ask for no more than their indicator and text.
    return b->width() - b->minimumSizeHint().width() +
           b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&'));
}

// The buttons of `window` (shown) too narrow for their captions.
inline QStringList CutButtons(const QWidget* window) {
    QStringList cut;
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        const QString caption = QString(b->text()).remove('&');
        if (!b->isVisibleTo(window) || caption.isEmpty())
            continue;
        const int need = b->fontMetrics().horizontalAdvance(caption);
        if (need > CaptionRoom(b))
            cut << QString("%1 \"%2\": %3 > %4")
                       .arg(b->objectName(), caption)
                       .arg(need)
                       .arg(CaptionRoom(b));
    }
    return cut;
}

// The labels of `window` (shown) that wrap their text into less height than it needs.
inline QStringList CutLabels(const QWidget* window) {
    QStringList cut;
    for (const QLabel* l : window->findChildren<QLabel*>())
        if (l->isVisibleTo(window) && l->wordWrap() && !l->text().isEmpty() &&
            l->heightForWidth(l->width()) > l->height())
            cut << QString("%1: %2 > %3")
                       .arg(l->objectName())
                       .arg(l->heightForWidth(l->width()))
                       .arg(l->height());
    return cut;
}
