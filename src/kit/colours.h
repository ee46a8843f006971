#pragma once

#include <QColor>

class QWidget;

namespace orv {

// Backgrounds and static text of every window and page.
inline const QColor backgroundColour(160, 180, 220);
// Edits, lists and scroll bars.
inline const QColor fieldColour(233, 233, 220);

// Gives a window and everything in it the shared colours: black text on the two colours above;
// buttons keep the system's look. Call after the window's children exist.
void applySharedColours(QWidget *window);

} // namespace orv
