#include "WindowPlacement.h"

#include <QApplication>
#include <QScreen>
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

void KeepWindowsOnScreen() {
    static OnScreenFilter* filter = nullptr;
    if (filter || !qApp)
        return;
    filter = new OnScreenFilter(qApp);
    qApp->installEventFilter(filter);
}
