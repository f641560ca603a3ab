#include "StickyTop.h"

#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

#include "Named.h"

StickyTop::StickyTop(QScrollArea* area, QTabWidget* tabs, std::vector<QWidget*> others)
    : QObject(area), area_(area), tabs_(tabs), bar_(tabs->tabBar()) {
    QWidget* client = area->widget();
    barInTabs_ = bar_->pos();
    int bottom = tabs->y() + barInTabs_.y() + bar_->height();
    for (QWidget* w : others) {
        others_.emplace_back(w, w->pos());
        bottom = std::max(bottom, w->y() + w->height());
    }
    band_ = Named(new QWidget(client), "StickyTop_Band");
    band_->setAutoFillBackground(true);
    band_->setGeometry(0, 0, client->width(), bottom);
    band_->hide(); // shown only while the client scrolls
    bar_->setParent(client);
    bar_->installEventFilter(this);
    bar_->show();
    connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { place(); });
    place();
}

// The tab widget lays its bar out in its own coordinates: each time it does,
// the bar goes where that is in the client, as far down as the view scrolled.
bool StickyTop::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bar_ && event->type() == QEvent::Move && !placing_) {
        barInTabs_ = bar_->pos();
        place();
    }
    return false;
}

void StickyTop::place() {
    placing_ = true;
    const int down = area_->verticalScrollBar()->value();
    band_->move(0, down);
    band_->setVisible(down > 0);
    band_->raise();
    bar_->move(tabs_->pos() + barInTabs_ + QPoint(0, down));
    bar_->raise();
    for (const auto& [w, at] : others_) {
        w->move(at + QPoint(0, down));
        w->raise();
    }
    placing_ = false;
}
