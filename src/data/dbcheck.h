#pragma once

#include <QStringList>

namespace orv {

class Connection;

// Checks the file without changing it: the engine's integrity check, then the rules the pages
// keep between the tables (each room's counters add up to its beds and match its residents and
// its count row; no room number or staff number is used twice; the residence history has an open
// stay, in the right room, for each resident and for nobody else), then the operation log's chain.
// Returns one line per finding; an empty list means the file is sound. Raises StoreError when the
// file cannot be read.
QStringList checkDatabase(Connection &connection);

} // namespace orv
