#pragma once

#include <QStringList>

namespace orv {

class Connection;

namespace schema {

// The statements that create the eight tables (and their look-up indexes) of a new database.
QStringList creationStatements();
// The look-up indexes alone; each is created only where it is missing, so a file made by an
// earlier build gains the ones it lacks when it is opened.
QStringList indexStatements();

// Sample rooms, residents and a fee standard that keep every rule between the tables, so that a
// new user sees a working dormitory.
void fillDemo(Connection &connection);

} // namespace schema
} // namespace orv
