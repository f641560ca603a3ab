// What a view of the panel is given by the window it sits in: its card, the
// channel the window shows, how to run a change as one of the window's own
// operations, where its unsent marks go and whom to tell of an edit.
#pragma once

#include <functional>

class Card;
class UnsentMarks;

struct ViewHost {
    Card& card;
    UnsentMarks& marks;
    std::function<int()> channel;
    std::function<void(const std::function<void()>&)> operate;
    std::function<void()> edited;  // a control's value changed: the marks follow
    std::function<void()> refresh; // the window shows the record again
};

// What sends an unsent value, as its mark's tooltip says.
inline constexpr const char* kWaveButton = "Update on the Waveform page (Ctrl+Enter)";
inline constexpr const char* kTriggerButton =
    "Update in the Trigger group (the Waveform page's Update sends it too)";
inline constexpr const char* kClockButton = "Update on the Clock page (Ctrl+Enter)";
