#include "StatusStripView.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

#include "ChannelStatus.h"
#include "Named.h"

namespace {

// The strip's colours follow the output.
const char* const kStripStyle =
    "QLabel[output=\"on\"] { background-color: #d4eed4; color: #0b4f0b; }"
    "QLabel[output=\"off\"] { background-color: #e4e4e4; color: #202020; }"
    "QLabel[output=\"unknown\"] { background-color: #f4f4f4; color: #505050; }"
    // A client asked the card to show itself (Identify): the strip flashes.
    "QFrame[identify=\"true\"] QLabel { background-color: #ffd24a; color: #000000; }";

// Draws a label again by its style sheet after its colours changed; the style
// sheet's polish would give it the application's face, not the panel's.
void Restyle(QWidget* widget) {
    const QFont face = widget->parentWidget()->font();
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->setFont(face);
    widget->update();
}

} // namespace

StatusStripView::StatusStripView(QWidget* client, const QRect& area, Card& card)
    : card_(card), panel_(Named(new QFrame(client), "ChannelStatus_Panel")) {
    panel_->setGeometry(area);
    panel_->setAccessibleName("Channel status");
    panel_->setStyleSheet(kStripStyle);
    auto* row = new QHBoxLayout(panel_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);
    const char* names[] = {"Channel1Status_Label", "Channel2Status_Label", "Channel3Status_Label"};
    // Three equal parts, fixed: a label's text never moves the others.
    const int width = (area.width() - (kChannelCount - 1) * row->spacing()) / kChannelCount;
    for (int c = 1; c <= kChannelCount; ++c) {
        QLabel* label = Named(new QLabel(panel_), names[c - 1]);
        label->setIndent(3);
        label->setFixedWidth(width);
        row->addWidget(label);
        labels_[c] = label;
    }
    card_.subscribe(*this);
}

StatusStripView::~StatusStripView() {
    card_.unsubscribe(*this);
}

void StatusStripView::refresh() {
    const int channels = card_.channels();
    if (drawn_ && drawnSession_ == card_.session() && drawnChannels_ == channels &&
        drawnAccepted_ == card_.accepted())
        return;
    drawn_ = true;
    drawnSession_ = card_.session();
    drawnChannels_ = channels;
    drawnAccepted_ = card_.accepted();
    QString lines[kChannelCount + 1];
    bool changed = false;
    for (int c = 1; c <= kChannelCount; ++c) {
        const ChannelPresence presence = card_.session() == 0 ? ChannelPresence::NoCard
                                         : c > channels       ? ChannelPresence::Absent
                                                              : ChannelPresence::Present;
        const ChannelStatus s = DescribeChannel(c, presence, card_.accepted().Channel[c]);
        QLabel* label = labels_[c];
        lines[c] = QString::fromStdString(s.line);
        const QString sentence = QString::fromStdString(s.sentence);
        if (label->accessibleName() == sentence)
            continue;
        changed = true;
        label->setToolTip(sentence);
        label->setAccessibleName(sentence);
        label->setProperty("line", lines[c]);
        const char* output = s.outputOn ? "on" : s.outputOff ? "off" : "unknown";
        if (label->property("output").toString() != QLatin1String(output)) {
            label->setProperty("output", output);
            Restyle(label);
        }
    }
    if (!changed)
        return;
    // Each label keeps its third of the strip whatever its text (nothing
    // moves as the card changes); a text longer than that gives up the
    // waveform's name first, then whole parts from its end, never a number.
    const QFontMetrics metrics = labels_[1]->fontMetrics();
    for (int c = 1; c <= kChannelCount; ++c) {
        QLabel* label = labels_[c];
        const int room = label->width() - 2 * label->indent() - 2;
        const std::vector<std::string> shorter = ShorterLines(lines[c].toStdString());
        QString shown = QString::fromStdString(shorter.back());
        for (const std::string& candidate : shorter)
            if (metrics.horizontalAdvance(QString::fromStdString(candidate)) <= room) {
                shown = QString::fromStdString(candidate);
                break;
            }
        label->setText(shown);
    }
}
