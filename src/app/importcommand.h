#pragma once

#include "operations/batch.h"

#include <QString>

class QTextStream;

namespace orv {

// "orvane --import-checkins FILE" and "--import-readings FILE": a batch from a spreadsheet into the
// database of the current folder, without a window. Prints "第N行：<reason>" for every refused row
// and returns 1 with nothing written; otherwise imports every row (or, with checkOnly, only checks
// them), prints how many and returns 0. An unreadable file or a failing store also returns 1.
int runImportCommand(ops::BatchKind kind, const QString &file, bool checkOnly, const ops::BatchOperations &operations,
                     QTextStream &out, QTextStream &err);

} // namespace orv
