// The channel status strip beside the channel tabs: what each channel of
// the card holds, from what the card accepted. A view of one card: it draws
// itself again when an operation on the card ends.
#pragma once

#include "Card.h"

class QFrame;
class QLabel;
class QRect;
class QWidget;

class StatusStripView final : private CardSubscriber {
public:
    // The strip in `client` at `area`, showing `card`.
    StatusStripView(QWidget* client, const QRect& area, Card& card);
    ~StatusStripView() override;
    StatusStripView(const StatusStripView&) = delete;
    StatusStripView& operator=(const StatusStripView&) = delete;

    // Draws what changed since the strip was drawn last (nothing else).
    void refresh();

private:
    void cardChanged(const CardChange&) override { refresh(); }

    Card& card_;
    // What the strip was drawn from: nothing else changes it.
    bool drawn_ = false;
    ViSession drawnSession_ = 0;
    int drawnChannels_ = 0;
    TAcceptedCard drawnAccepted_;
    QFrame* panel_;
    QLabel* labels_[kChannelCount + 1] = {}; // [1] .. [3]
};
