// Where the program's windows appear.
#pragma once

// From now on every window shown with its top-left corner outside the
// screen's available area (as a window larger than the screen, or a dialog
// centred over one, would be) is moved just far enough that its title bar
// and menu lie inside that area: a larger window to the area's top-left.
void KeepWindowsOnScreen();

// Moves the window just far enough that its frame lies inside `area`, as
// far as it fits (a larger window to the area's top-left).
class QRect;
class QWidget;
void MoveInside(QWidget* window, const QRect& area);

// A dialog larger than `area` (its frame counted) is made as small as its
// layout lets it, down to the area: a list in it shrinks, its buttons stay.
void FitInside(QWidget* window, const QRect& area);
