#pragma once

#include "operations/batch.h"

#include <QString>

#include <functional>

class QTextStream;

namespace orv {

class Connection;
struct Unlocked;

// Who runs a command on a database with operators: "--operator NAME", and the password, asked for
// only when the database has operators.
struct CommandOperator {
    QString name;
    std::function<QString()> password;
};

// Opens the database of the current folder as a command does: with the program's password when it
// has no operators, else with its own key for the operator named, when `refusalFor` (told who
// signed in) has no refusal for them. `whom` is who --operator must name. Returns the refusal, or
// an empty text.
QString openForCommand(Connection &connection, const CommandOperator &who, const QString &whom,
                       const std::function<QString(const Unlocked &)> &refusalFor);

// The first line of standard input without its line end, not echoed when typed at a terminal.
QString passwordFromStandardInput(const QString &name);

// "orvane --import-checkins FILE" and "--import-readings FILE": a batch from a spreadsheet into the
// database of the current folder, without a window. Prints "第N行：<reason>" for every refused row
// and returns 1 with nothing written; otherwise imports every row (or, with checkOnly, only checks
// them), prints how many and returns 0. An unreadable file or a failing store also returns 1. A
// database with operators needs one whose role allows the batch; one without refuses an operator.
//
// With `serverUri` the batch goes to that PostgreSQL database instead, run by whoever the server
// signs in; `who` is then left empty.
int runImportCommand(ops::BatchKind kind, const QString &file, bool checkOnly, const ops::BatchOperations &operations,
                     QTextStream &out, QTextStream &err, const CommandOperator &who = {},
                     const QString &serverUri = {});

} // namespace orv
