#include "ReplacedEdits.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSlider>
#include <QSpinBox>
#include <cmath>
#include <optional>

#include "SettingRanges.h"
#include "UnsentMarks.h"

namespace {

std::optional<double> ValueOf(const EditableField& f) {
    if (const auto* slider = qobject_cast<const QSlider*>(f.control))
        return slider->value() / f.sliderScale;
    return BoundValue(f.control, f.binding);
}

// What the field shows, with its unit: "7777 Hz", "Triangle", "on".
QString TextOf(const EditableField& f, double value) {
    const SettingRange& r = *f.binding.setting;
    const QString unit = *r.unit ? QString(" ") + QString::fromUtf8(r.unit) : QString();
    if (const auto* spin = qobject_cast<const QSpinBox*>(f.control))
        return spin->text() + (spin->suffix().isEmpty() ? unit : QString());
    if (const auto* combo = qobject_cast<const QComboBox*>(f.control))
        return combo->currentText();
    if (qobject_cast<const QSlider*>(f.control))
        return QString::number(value, 'f', r.resolution < 1 ? 2 : 0) + unit;
    return value != 0 ? "on" : "off";
}

// "start frequency": the row's words without their unit, or the control's name.
QString CaptionOf(const EditableField& f) {
    QString words = QString::fromUtf8(f.binding.setting->description);
    if (const qsizetype in = words.indexOf(" in "); in > 0)
        words.truncate(in);
    if (words.isEmpty())
        words = f.control->accessibleName();
    if (words.isEmpty())
        if (const auto* button = qobject_cast<const QAbstractButton*>(f.control))
            words = button->text().remove('&');
    if (words.isEmpty())
        words = f.control->objectName();
    return words.left(1).toLower() + words.mid(1);
}

void Show(const EditableField& f, double value) {
    if (auto* slider = qobject_cast<QSlider*>(f.control))
        slider->setValue(static_cast<int>(std::lround(value * f.sliderScale)));
    else
        ShowBoundValue(f.control, f.binding, value);
}

} // namespace

void ReplacedEdits::take(const std::vector<EditableField>& fields, const SettingFlags& changed,
                         const UnsentMarks& marks) {
    taken_.clear();
    for (const EditableField& f : fields) {
        const SettingRange* r = f.binding.setting;
        if (!r || r->cardWide || !changed[r->index()] || !marks.marked(f.control))
            continue;
        if (const std::optional<double> mine = ValueOf(f))
            taken_.push_back({f.control, f, *mine, 0, TextOf(f, *mine), {}});
    }
}

QString ReplacedEdits::said(const QString& who, int channel) {
    std::vector<Edit> replaced;
    for (Edit& e : taken_) {
        const std::optional<double> theirs = e.control ? ValueOf(e.field) : std::nullopt;
        if (!theirs || *theirs == e.mine)
            continue; // gone, or set to what the operator had typed
        e.theirs = *theirs;
        e.theirsText = TextOf(e.field, *theirs);
        replaced.push_back(e);
    }
    taken_.clear();
    if (replaced.empty())
        return {};
    edits_ = std::move(replaced);
    QStringList set, mine;
    for (const Edit& e : edits_) {
        set << CaptionOf(e.field) + " " + e.theirsText;
        mine << e.mineText;
    }
    message_ = QString("%1 set channel %2 %3; your unsent %4 %5 replaced")
                   .arg(who.isEmpty() ? QString("Someone else") : who)
                   .arg(channel)
                   .arg(set.join(", "), mine.join(", "), edits_.size() == 1 ? "was" : "were");
    return message_;
}

QString ReplacedEdits::putBack() {
    QStringList back;
    for (const Edit& e : edits_) {
        if (!e.control || ValueOf(e.field) != e.theirs)
            continue; // gone, or edited again since
        Show(e.field, e.mine);
        back << CaptionOf(e.field) + " " + e.mineText;
    }
    clear();
    if (back.isEmpty())
        return "Nothing to put back: the fields were edited since.";
    return "Put back (not sent): " + back.join(", ") + ".";
}

void ReplacedEdits::clear() {
    taken_.clear();
    edits_.clear();
    message_.clear();
}
