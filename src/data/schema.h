#pragma once

#include <QStringList>

struct sqlite3;

namespace orv {

class Connection;

namespace schema {

// The statements that create the eight tables (and their look-up indexes) of a new database,
// and the tables of our own beside them.
QStringList creationStatements();
// The tables of our own (settlement readings, rent periods, the operation log) and their indexes, each created only
// where it is missing.
QStringList ownTableStatements();
// Gives a file opened on `db` the tables of our own it lacks. Best-effort: a file that cannot be
// written opens and prints without them.
void addOwnTables(sqlite3 *db) noexcept;
// The look-up indexes alone; each is created only where it is missing, so a file made by an
// earlier build gains the ones it lacks when it is opened.
QStringList indexStatements();

// Sample rooms, residents and a fee standard that keep every rule between the tables, so that a
// new user sees a working dormitory.
void fillDemo(Connection &connection);

} // namespace schema
} // namespace orv
