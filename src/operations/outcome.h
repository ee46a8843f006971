#pragma once

#include "data/oplog.h"
#include "operations/permissions.h"

#include <QString>
#include <QStringList>

namespace orv::ops {

// What an operation did. Refused: nothing was written and `message` is the exact text the user is
// told. Done: `message` is the success text to show (empty when the operation says nothing), and
// `changed` names the tables it wrote, for the list refresh and the operation log.
struct Outcome {
    bool done = false;
    QString message;
    QStringList changed;
    // The operation log's row for a done write: action, target and detail; the operator and the
    // time are the unit's to add. Empty for reads and refusals, which the log never sees.
    oplog::Entry log;

    static Outcome refused(const QString &message);
    static Outcome doneWith(QStringList changed, const QString &message = QString());
    // Names the write for the log, as the permission table names its action.
    Outcome &logged(Action action, const QString &target, const QString &detail = QString());
};

} // namespace orv::ops
