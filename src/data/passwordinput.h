#pragma once

#include <QString>

namespace orv {

// The first line of standard input, without its line end, for tools run without a window. At a
// terminal `prompt` is shown first and the typing is kept off the screen.
QString passwordFromStandardInput(const char *prompt);

} // namespace orv
