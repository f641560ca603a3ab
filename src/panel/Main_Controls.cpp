#include "Main_Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVariant>
#include <algorithm>
#include <climits>
#include <cmath>

#include "Dialogs.h"
#include "Named.h"
#include "PanelWidgets.h"
#include "SettingRanges.h"

namespace {

// An unbounded field is meant for frequencies up to ten megahertz: that much
// shows whole.
constexpr int kWidestUnbounded = 10000000;

void SetUp(TSpinEdit* spin, int minimum, int maximum, int value) {
    spin->setProperty("designMinimum", minimum);
    // A spin edit whose limits are both 0 does not clamp.
    if (minimum == 0 && maximum == 0) {
        minimum = INT_MIN;
        maximum = INT_MAX;
        spin->setWidestValue(kWidestUnbounded);
    }
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setAccelerated(true);
}

} // namespace

QSpinBox* SpinEdit(QWidget* parent, const char* name, int minimum, int maximum, int value) {
    TSpinEdit* spin = Named(new TSpinEdit(parent), name);
    SetUp(spin, minimum, maximum, value);
    return spin;
}

TFrequencySpinEdit* FrequencySpinEdit(QWidget* parent, const char* name, const char* caption,
                                      int minimum, int maximum, int value) {
    TFrequencySpinEdit* spin = Named(new TFrequencySpinEdit(parent), name);
    SetUp(spin, minimum, maximum, value);
    spin->setAccessibleName(caption);
    return spin;
}

QSpinBox* SpinEdit(QWidget* parent, const char* name, const SettingRange& range, int value) {
    QSpinBox* spin = SpinEdit(parent, name, range.controlMinimum(), range.controlMaximum(), value);
    spin->setProperty(kSettingProperty, QString::fromLatin1(range.key));
    return spin;
}

TFrequencySpinEdit* FrequencySpinEdit(QWidget* parent, const char* name, const char* caption,
                                      const SettingRange& range, int value) {
    TFrequencySpinEdit* spin = FrequencySpinEdit(parent, name, caption, range.controlMinimum(),
                                                 range.controlMaximum(), value);
    spin->setProperty(kSettingProperty, QString::fromLatin1(range.key));
    return spin;
}

void Bind(QWidget* control, const SettingRange& setting, double value, bool decides) {
    control->setProperty(kSettingProperty, QString::fromLatin1(setting.key));
    control->setProperty("settingValue", value);
    control->setProperty("settingDecides", decides);
}

Binding BindingOf(const QWidget* control) {
    Binding b;
    b.setting = SettingOf(control);
    if (b.setting) {
        b.value = control->property("settingValue").toDouble();
        const QVariant decides = control->property("settingDecides");
        b.decides = !decides.isValid() || decides.toBool();
    }
    return b;
}

std::optional<double> BoundValue(const QWidget* control, const Binding& binding) {
    if (const auto* spin = qobject_cast<const QSpinBox*>(control))
        return SpinEditValue(spin) / binding.setting->scale;
    if (const auto* combo = qobject_cast<const QComboBox*>(control))
        return ComboItemIndex(combo);
    if (const auto* radio = qobject_cast<const QRadioButton*>(control)) {
        if (!binding.decides)
            return std::nullopt;
        return radio->isChecked() ? binding.value : 1 - binding.value;
    }
    if (const auto* check = qobject_cast<const QCheckBox*>(control))
        return check->isChecked() ? 1 : 0;
    return std::nullopt;
}

void ShowBoundValue(QWidget* control, const Binding& binding, double value) {
    if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        // A field already showing the value is left alone (setting it again
        // costs a redraw of its text).
        const int shown = static_cast<int>(std::lround(value * binding.setting->scale));
        if (const auto* edit = qobject_cast<const TSpinEdit*>(spin); !edit || !edit->shows(shown))
            spin->setValue(shown);
    } else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setCurrentIndex(static_cast<int>(value));
    else if (auto* radio = qobject_cast<QRadioButton*>(control))
        radio->setChecked(value == binding.value);
    else if (auto* check = qobject_cast<QCheckBox*>(control))
        check->setChecked(value != 0);
}

void BoundControls::collect(const QWidget* area, const QWidget* except) {
    entries_.clear();
    for (QWidget* control : area->findChildren<QWidget*>()) {
        const Binding binding = BindingOf(control);
        if (!binding.setting || (except && except->isAncestorOf(control)))
            continue;
        Entry e;
        static_cast<Binding&>(e) = binding;
        e.control = control;
        entries_.push_back(e);
    }
}

void BoundControls::show(TChannelInfo& ch) const {
    for (const Entry& e : entries_)
        ShowBoundValue(e.control, e, e.setting->get(ch));
}

void BoundControls::showChanged(const SettingFlags& changed, TChannelInfo& ch) const {
    for (const Entry& e : entries_)
        if (!e.setting->cardWide && changed[e.setting->index()])
            ShowBoundValue(e.control, e, e.setting->get(ch));
}

void BoundControls::read(TChannelInfo& draft) const {
    for (const Entry& e : entries_)
        if (const std::optional<double> value = BoundValue(e.control, e))
            e.setting->set(draft, *value);
}

QString RangeToolTip(const SettingRange& setting) {
    QString text = QString::fromStdString(RangeDescription(setting));
    text += QLatin1String(setting.unit) == QLatin1String("Hz")
                ? "; k (x 1000) or M (x 1000000) may follow the number."
                : ".";
    return text;
}

const SettingRange* SettingOf(const QWidget* control) {
    const QString key = control->property(kSettingProperty).toString();
    for (const SettingRange& r : SettingRanges())
        if (key == QLatin1String(r.key))
            return &r;
    return nullptr;
}

QComboBox* DropDown(QWidget* parent, const char* name, const QStringList& items, int index,
                    bool editable) {
    auto* combo = Named(new QComboBox(parent), name);
    combo->addItems(items);
    combo->setEditable(editable);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCurrentIndex(index);
    return combo;
}

QLineEdit* UnitText(QWidget* parent, const char* name, const QString& text) {
    auto* edit = Named(new QLineEdit(text, parent), name);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFrame(false);
    edit->setStyleSheet("background: transparent");
    return edit;
}

void FitChildrenInsideFrame(QGroupBox* group) {
    const QList<QWidget*> children =
        group->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    int lowest = 0;
    for (const QWidget* child : children)
        lowest = std::max(lowest, child->geometry().bottom() + 1);
    // As far down as the frame moved, as long as the lowest child stays inside.
    const int wanted = group->contentsRect().top() - group->fontMetrics().height() / 2;
    const int shift = std::min(wanted, group->height() - 2 - lowest);
    if (shift <= 0)
        return;
    for (QWidget* child : children)
        child->move(child->x(), child->y() + shift);
}

const QStringList kFskSources = {"Software", "Front (Trigger Input)",
                                 "PXI 0",    "PXI 1",
                                 "PXI 2",    "PXI 3",
                                 "PXI 4",    "PXI 5",
                                 "PXI 6",    "PXI 7",
                                 "PXI Star"};

int SpinEditValue(const QSpinBox* spin) {
    if (const auto* frequency = qobject_cast<const TFrequencySpinEdit*>(spin))
        return frequency->typedValue().value_or(frequency->value());
    std::optional<int> value;
    if (const auto* edit = qobject_cast<const TSpinEdit*>(spin)) {
        value = edit->typedNumber();
    } else {
        bool ok = false;
        const int number = spin->locale().toInt(spin->cleanText().trimmed(), &ok);
        value = ok ? std::optional<int>(number) : std::nullopt;
    }
    // Typed text may stand outside the range until the spin edit fixes it up.
    return value ? std::clamp(*value, spin->minimum(), spin->maximum())
                 : spin->property("designMinimum").toInt();
}

int ComboItemIndex(const QComboBox* combo) {
    if (!combo->isEditable())
        return combo->currentIndex();
    return combo->findText(combo->currentText(), Qt::MatchFixedString);
}
