// The "Waveform" page: Update, the single/sweep and auto/manual choices, the
// software sweep buttons and the start-frequency stepping keys.
#include "Main_Unit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>
#include <functional>

#include "CardState.h"
#include "Main_Controls.h"
#include "Operations.h"
#include "OperatorDialogs.h"
#include "PanelWidgets.h"
#include "WaveformView.h"

// ---------------------------------------------------------------------------
// Start-frequency stepping keys: Shift steps by 10, Ctrl by 100, Alt by 1000.

void TMain_Form::FormKeyDown(const QKeyEvent* event) {
    constexpr Qt::KeyboardModifiers kHeld =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    Qt::KeyboardModifiers held = event->modifiers() & kHeld;
    // The press of a modifier key counts that key as held, whichever way the
    // platform reports it.
    switch (event->key()) {
    case Qt::Key_Shift:
        held |= Qt::ShiftModifier;
        break;
    case Qt::Key_Control:
        held |= Qt::ControlModifier;
        break;
    case Qt::Key_Alt:
        held |= Qt::AltModifier;
        break;
    case Qt::Key_Meta:
        held |= Qt::MetaModifier;
        break;
    default:
        break;
    }
    // What is being typed in the field stays as typed.
    if (held == Qt::ShiftModifier)
        wave_->setStartStep(10);
    else if (held == Qt::ControlModifier)
        wave_->setStartStep(100);
    else if (held == Qt::AltModifier)
        wave_->setStartStep(1000);
}

void TMain_Form::FormKeyUp(const QKeyEvent*) {
    wave_->setStartStep(1);
}

namespace {

// Shows the window every key meant for one of its controls before the control
// sees it (once per key: not again as the key travels up to the parents).
class KeyPreviewFilter final : public QObject {
public:
    using KeyHandler = std::function<void(const QKeyEvent*)>;
    KeyPreviewFilter(TMain_Form* form, KeyHandler down, KeyHandler up)
        : QObject(form), form_(form), down_(std::move(down)), up_(std::move(up)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
            return false;
        QWidget* target = QApplication::focusWidget();
        if (!target)
            target = form_;
        if (watched != target || target->window() != form_)
            return false;
        (type == QEvent::KeyPress ? down_ : up_)(static_cast<QKeyEvent*>(event));
        return false;
    }

private:
    TMain_Form* form_;
    KeyHandler down_, up_;
};

} // namespace

// A click on the start frequency or the repetition rate switches the key
// preview on for the rest of the run. Before it, the window sees keys only
// when no control has the focus.
void TMain_Form::WatchStepKeyClicks() {
    wave_->onStepFieldClick([this] {
        keyPreview_ = true;
        qApp->installEventFilter(new KeyPreviewFilter(
            this, [this](const QKeyEvent* e) { FormKeyDown(e); },
            [this](const QKeyEvent* e) { FormKeyUp(e); }));
    });
}

void TMain_Form::keyPressEvent(QKeyEvent* event) {
    if (!keyPreview_ && (!focusWidget() || focusWidget() == this))
        FormKeyDown(event);
    QMainWindow::keyPressEvent(event);
}

void TMain_Form::keyReleaseEvent(QKeyEvent* event) {
    if (!keyPreview_ && (!focusWidget() || focusWidget() == this))
        FormKeyUp(event);
    QMainWindow::keyReleaseEvent(event);
}
