#pragma once

#include "importcommand.h"

#include <QString>

class QTextStream;

namespace orv {

// "orvane --migrate-to URI": the database of the current folder, every table and every row in
// order, into an empty database on a PostgreSQL server, which gets the program's tables first. A
// database with operators is opened for its 管理员 `who`. Prints what was copied once the server's
// rows are counted and its rules checked, and returns 0; otherwise prints why and returns 1,
// leaving the server's database as it was.
int runMigrateToCommand(const QString &uri, QTextStream &out, QTextStream &err, const CommandOperator &who = {});

// "orvane --migrate-from URI FILE": the server's database into the new file `file`, which must not
// exist. With `who` the file is keyed with a key of its own and gets a key file beside it whose
// first 管理员 is `who`; without, it is keyed with the program's password. Nothing is left behind
// when it fails.
int runMigrateFromCommand(const QString &uri, const QString &file, QTextStream &out, QTextStream &err,
                          const CommandOperator &who = {});

} // namespace orv
