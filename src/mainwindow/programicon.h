#pragma once

#include <QIcon>

namespace orv {

// The program's icon in every size it ships (16 to 256 pixels), from the resources compiled into
// the program. Safe to call before or after the application object exists.
QIcon programIcon();

} // namespace orv
