#pragma once

#include <QStringList>

namespace orv {

class Connection;

namespace schema {

// The statements that create the eight tables (and their look-up indexes) of a new database.
QStringList creationStatements();

// Sample rooms, residents and a fee standard that keep every rule between the tables, so that a
// new user sees a working dormitory.
void fillDemo(Connection &connection);

} // namespace schema
} // namespace orv
