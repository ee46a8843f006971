#pragma once

#include <QColor>

class QStyle;
class QWidget;

namespace orv {

// Backgrounds and static text of every window and page.
inline const QColor backgroundColour(160, 180, 220);
// Edits, lists and scroll bars.
inline const QColor fieldColour(233, 233, 220);
// The ring around the control that has the keyboard focus: the house blue, dark enough to stand
// out on both colours above.
inline const QColor focusColour(20, 60, 150);

// Gives a window and everything in it the shared colours: black text on the two colours above;
// buttons keep the system's look. Call after the window's children exist.
void applySharedColours(QWidget *window);

// The application's style with a clear focus ring drawn around whichever control has the keyboard
// focus; the desktop style's own focus marks are too faint to follow a form by keyboard.
QStyle *createFocusRingStyle();

} // namespace orv
