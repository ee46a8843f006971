#pragma once

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

    static Outcome refused(const QString &message);
    static Outcome doneWith(QStringList changed, const QString &message = QString());
};

} // namespace orv::ops
