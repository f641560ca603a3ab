#include "WindowPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace {

class OnScreenFilter final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            Place(static_cast<QWidget*>(watched));
        return false;
    }

private:
    static void Place(QWidget* w) {
        // Menus, tool tips and drop-down lists place themselves.
        const Qt::WindowType type = w->windowType();
        if (!w->isWindow() || type == Qt::Popup || type == Qt::ToolTip || !w->screen())
            return;
        if (qobject_cast<QDialog*>(w))
            FitInside(w, w->screen()->availableGeometry());
        MoveInside(w, w->screen()->availableGeometry());
    }
};

} // namespace

void MoveInside(QWidget* w, const QRect& area) {
    const QRect frame = w->frameGeometry();
    const QPoint at(std::clamp(frame.left(), area.left(),
                               std::max(area.left(), area.right() + 1 - frame.width())),
                    std::clamp(frame.top(), area.top(),
                               std::max(area.top(), area.bottom() + 1 - frame.height())));
    if (at != frame.topLeft())
        w->move(at);
}

void FitInside(QWidget* w, const QRect& area) {
    // The frame the window manager adds: known once shown, else a title bar's worth.
    QSize frame = w->frameGeometry().size() - w->size();
    if (frame.isEmpty())
        frame = QSize(0, w->style()->pixelMetric(QStyle::PM_TitleBarHeight));
    const QSize room = area.size() - frame;
    if (w->width() <= room.width() && w->height() <= room.height())
        return;
    const QSize least = w->layout() ? w->layout()->minimumSize() : w->minimumSizeHint();
    const QSize fitted(std::max(std::min(w->width(), room.width()), least.width()),
                       std::max(std::min(w->height(), room.height()), least.height()));
    if (w->minimumSize() == w->maximumSize())
        w->setFixedSize(fitted); // a fixed-size dialog keeps a fixed size
    else
        w->resize(fitted);
}

void KeepWindowsOnScreen() {
    static OnScreenFilter* filter = nullptr;
    if (filter || !qApp)
        return;
    filter = new OnScreenFilter(qApp);
    qApp->installEventFilter(filter);
}
