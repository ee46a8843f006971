#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

struct sqlite3;

namespace orv::store {

// A value as stored, with what it sorts by.
struct RankedValue {
    int type = 5;      // the engine's type code; 5 is its null
    double number = 0; // integers and reals, by value
    std::int64_t integer = 0;
    QByteArray stored;   // a text's UTF-8 or a blob's bytes, as read
    QByteArray sortedBy; // a text's code-page-936 bytes
};

// A column's order, read on any connection of the file and written to any other: the distinct
// values of a table's column ranked in the order a list shows them sorted (no value first, then
// numbers by value, then texts in code-page-936 byte order, the order of the program's other
// sorted lists, then anything else; or all of that reversed), and, where the file has no index of
// the column alone, every row's rank beside its rowid, in order.
struct Ordering {
    std::vector<RankedValue> values;                         // rank i + 1 is values[i]
    std::vector<std::pair<std::int64_t, std::int64_t>> rows; // (rank, rowid), ascending
    bool ownRows = false;
};

// Reads a column's order; raises StoreError when the column cannot be read. With `ownIndex` the
// values are found through the file's index of the column and no rows are kept.
Ordering readOrdering(sqlite3 *db, const QString &table, const QString &column, bool descending, bool ownIndex);

// Writes an ordering to temporary tables of a connection, so a list is read in that order through
// the rows' own indexes and nothing is ever written to the file: `ranks` (rank integer primary
// key, v), and with rows of its own `ranks`_rows (r, k) keyed by rank and rowid. Written a slice
// at a time, so a long order never holds up the connection's other work for long; each slice is
// whole or not at all. Earlier tables of the name are replaced at the first slice.
class OrderWriter final {
public:
    OrderWriter(sqlite3 *db, QString ranks, const Ordering &ordering);
    // Writes up to `rows` more rows; true once everything is written. Raises StoreError when the
    // connection cannot write its temporary tables.
    bool write(std::size_t rows);

private:
    sqlite3 *m_db;
    QString m_ranks;
    const Ordering &m_ordering;
    std::size_t m_values = 0; // ranks written
    std::size_t m_rows = 0;   // rows written
    bool m_started = false;
};

// Reads and writes a column's order in one go (see readOrdering and OrderWriter).
void writeRanks(sqlite3 *db, const QString &ranks, const QString &table, const QString &column, bool descending,
                bool ownIndex);

// Drops the ranks tables, if the connection still has them.
void dropRanks(sqlite3 *db, const QString &ranks) noexcept;

// Whether the file has an index of the table's column alone: rows with one value are then found at
// once, and in the order they were added (an index of more columns orders them by the others).
bool hasOwnIndex(sqlite3 *db, const QString &table, const QString &column);

} // namespace orv::store
