#pragma once

#include <QString>

struct sqlite3;

namespace orv::store {

// The distinct values of a table's column, ranked in the order a list shows them sorted: no value
// first, then numbers by value, then texts in code-page-936 byte order (the order of the
// program's other sorted lists), then anything else; or all of that reversed. The ranks go to a
// temporary table of the connection, `ranks` (rank integer primary key, v), so a list is read in
// that order through the rows' own indexes, and nothing is ever written to the file. Without an
// index of the column alone in the file (`ownIndex`), the connection gets one of its own for the
// list: `ranks`_rows (k integer primary key, v), k the row's rowid, indexed by v. Replaces
// earlier tables of the name; raises StoreError when the column cannot be read.
void writeRanks(sqlite3 *db, const QString &ranks, const QString &table, const QString &column, bool descending,
                bool ownIndex);

// Drops the ranks tables, if the connection still has them.
void dropRanks(sqlite3 *db, const QString &ranks) noexcept;

// Whether the file has an index of the table's column alone: rows with one value are then found at
// once, and in the order they were added (an index of more columns orders them by the others).
bool hasOwnIndex(sqlite3 *db, const QString &table, const QString &column);

} // namespace orv::store
