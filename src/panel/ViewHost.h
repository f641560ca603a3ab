// What a view of the panel is given by the window it sits in: its card, the
// channel the window shows, how to run a change as one of the window's own
// operations, where its unsent marks go and whom to tell of an edit.
#pragma once

#include <QString>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class Card;
class TFrequencySpinEdit;
class UnsentMarks;

// The window's specified refreshes, which a view runs where its operation ends.
enum class Refresh { AllControls, ControlValues, ModeLEDs };

struct ViewHost {
    Card& card;
    UnsentMarks& marks;
    std::function<int()> channel;
    std::function<void(const std::function<void()>&)> operate;
    std::function<void()> edited;  // a control's value changed: the marks follow
    std::function<void()> refresh; // the window shows the record again
    // Whether each field's text reads as a frequency (the window says which does not).
    std::function<bool(const std::vector<TFrequencySpinEdit*>&)> readable = {};
    // An action beginning on a channel: where its problems go ("Channel N: WHAT: ...").
    std::function<std::function<void(const std::string&)>(int channel, const QString& what)>
        problems = {};
    std::function<void(std::initializer_list<Refresh>)> redraw = {};
    // Whose operations the view leaves to the refreshes they name (the
    // window's); the view draws what any other changed from the card's notice.
    const void* owner = nullptr;
    // Whether the owner ran the operation that made `change`: the refreshes
    // its operation names show it, and a view leaves it alone.
    bool owns(const CardChange& change) const { return change.origin && change.origin == owner; }
};

// What sends an unsent value, as its mark's tooltip says.
inline constexpr const char* kWaveButton = "Update on the Waveform page (Ctrl+Enter)";
inline constexpr const char* kTriggerButton =
    "Update in the Trigger group (the Waveform page's Update sends it too)";
inline constexpr const char* kClockButton = "Update on the Clock page (Ctrl+Enter)";
