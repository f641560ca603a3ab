// Keeps the top of a scrolled panel in view: the channel tabs and the
// status strip stay at the top of the scroll area's view while the pages
// below them scroll (on a screen too small for the whole panel). Nothing
// moves while the panel does not scroll.
#pragma once

#include <QObject>
#include <QPoint>
#include <vector>

class QScrollArea;
class QTabWidget;
class QWidget;

class StickyTop : public QObject {
public:
    // `tabs`' bar is lifted out of it into the scrolled client (so that it
    // can lie above the controls over the pages) and kept where the tab
    // widget places it; `others` (children of the client) stay at their
    // places. A band of the window's background lies behind them.
    StickyTop(QScrollArea* area, QTabWidget* tabs, std::vector<QWidget*> others);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QScrollArea* area_;
    QTabWidget* tabs_;
    QWidget* bar_;
    QWidget* band_;
    QPoint barInTabs_; // where the tab widget puts its bar, in its own place
    std::vector<std::pair<QWidget*, QPoint>> others_;
    bool placing_ = false;
};
