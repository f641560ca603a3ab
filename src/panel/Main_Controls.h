// Small builders and readers shared by the main window's handler files.
#pragma once

#include <optional>
#include <vector>

#include <QStringList>

#include "Card.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;
class TFrequencySpinEdit;
class QWidget;
struct SettingRange;

// A spin edit with its design range; one whose limits are both 0 does not clamp.
QSpinBox* SpinEdit(QWidget* parent, const char* name, int minimum, int maximum, int value);
// The same with the range of a setting (SettingRanges.h).
// The dynamic property naming the settings table's row a control edits.
constexpr const char* kSettingProperty = "setting";
// The row a control made from the table edits; null for any other.
const SettingRange* SettingOf(const QWidget* control);
// Makes `control` the editor of a table row. A radio button of a flag stands
// for one value of it (`value`), shown checked when the flag holds that
// value; the one that `decides` gives the flag its value or the other one,
// checked or not (its partner only shows the flag).
void Bind(QWidget* control, const SettingRange& setting, double value = 0, bool decides = true);
// How a control edits its row, as Bind made it: read once from the control.
struct Binding {
    const SettingRange* setting = nullptr; // null: the control edits none
    double value = 0;                      // the flag's value a radio button stands for
    bool decides = true;
};
Binding BindingOf(const QWidget* control);
// The value a bound control shows, in the record's unit: a spin edit's value,
// a list's choice, a check box's state, the flag a deciding radio button
// gives; nothing for its partner or a field of text.
std::optional<double> BoundValue(const QWidget* control, const Binding& binding);
// Shows a value of the record in a bound control.
void ShowBoundValue(QWidget* control, const Binding& binding, double value);
// The controls of a view bound to rows of the settings table, found once.
class BoundControls {
public:
    struct Entry : Binding {
        QWidget* control = nullptr;
    };
    // Every bound control inside `area`, but those inside `except`.
    void collect(const QWidget* area, const QWidget* except = nullptr);
    const std::vector<Entry>& entries() const { return entries_; }
    // Each control shows the record's value; or only those of the changed
    // settings (a channel's own: card-wide rows have controls of their own).
    void show(TChannelInfo& ch) const;
    void showChanged(const SettingFlags& changed, TChannelInfo& ch) const;
    // What the controls show, read into `draft`.
    void read(TChannelInfo& draft) const;

private:
    std::vector<Entry> entries_;
};
// The range a field made from the table takes, for its tooltip.
QString RangeToolTip(const SettingRange& setting);
QSpinBox* SpinEdit(QWidget* parent, const char* name, const SettingRange& range, int value);
// The same for a frequency in whole units, typed with or without k and M;
// `caption` names it to assistive tools and in messages.
TFrequencySpinEdit* FrequencySpinEdit(QWidget* parent, const char* name, const char* caption,
                                      int minimum, int maximum, int value);
TFrequencySpinEdit* FrequencySpinEdit(QWidget* parent, const char* name, const char* caption,
                                      const SettingRange& range, int value);

QComboBox* DropDown(QWidget* parent, const char* name, const QStringList& items, int index,
                    bool editable = false);

// A read-only, frameless field that only shows a unit.
QLineEdit* UnitText(QWidget* parent, const char* name, const QString& text);

// Moves the children of a group box placed at designed coordinates down by
// the difference between where this style draws the frame (below the
// caption) and where the design had it (through the caption's middle), so
// that none of them sticks up through the frame.
void FitChildrenInsideFrame(QGroupBox* group);

// The items of the two FSK source lists.
extern const QStringList kFskSources;

// The value of a spin edit; a text that is not a number reads as its minimum.
// A frequency field reads what was typed, or keeps its value when it refuses
// the text.
int SpinEditValue(const QSpinBox* spin);

// The item a combo box shows: for an editable one, the item its text names
// (ignoring case), or -1 when the text names none.
int ComboItemIndex(const QComboBox* combo);
