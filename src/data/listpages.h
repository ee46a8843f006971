#pragma once

#include "fieldvalue.h"
#include "statement.h"
#include "statements.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <vector>

struct sqlite3;

namespace orv {
class Connection;
} // namespace orv

namespace orv::store {

// A list's statement read a block of rows at a time, in the order the statement reads them whole,
// so a list never holds more than the blocks it shows. A block is found by its neighbours' keys
// (the rowids that give the order): each block read leaves its first and last keys in a sparse
// map, so the next block down or up is one indexed read from there; the last block is read
// backwards from the end. To reach a block with no known neighbour, the keys are walked from the
// nearest key known or from either end, whichever is fewer rows, and the walk leaves the edge key
// of every block it passes in the map. The list covers the rows there were when it was opened:
// rows added since, in any of its tables, stay out until it is opened again.
class ListPages final {
public:
    static constexpr int kBlockRows = 256;

    // Counts the rows; raises StoreError when the statement cannot be read.
    ListPages(Connection &connection, sql::ListQuery query, int blockRows = kBlockRows);

    long count() const noexcept { return m_count; }
    int blockRows() const noexcept { return m_blockRows; }
    long blockCount() const noexcept;

    // The columns shown, found by name as a recordset finds them; raises StoreError for a name
    // the statement does not have.
    void showColumns(const QStringList &columns);
    int columnCount() const noexcept { return static_cast<int>(m_positions.size()); }

    // The cells of a block, row after row, each text as the recordset's value shows it. A row
    // deleted since the list was opened leaves an empty row at the block's edge, so no row shown
    // before moves. Raises StoreError when the store cannot be read.
    std::vector<QString> readBlock(long block);

    // The statement rows are read with, forwards or backwards, from a key to a key: the shown
    // columns and then the keys (or only the keys), with ?limit and ?offset last.
    QString rangeStatement(bool keysOnly, bool descending, bool lowerIncluded, bool upperIncluded) const;

private:
    using Key = std::vector<std::int64_t>;
    // A block's first and last keys, either empty while unknown.
    struct Known {
        Key first;
        Key last;
    };
    struct Range {
        Key lower;
        bool lowerIncluded;
        Key upper;
        bool upperIncluded;
    };

    // The condition and the bounds every statement shares, parameters from ?1 on.
    QString bounded() const;
    QString keyOrder(bool descending) const;
    Range everything() const;
    long rowsIn(long block) const noexcept;
    // A range statement with its values bound, prepared once per connection and kept; the caller
    // resets it when done, so no read stays open between blocks.
    Statement &prepareRange(bool keysOnly, bool descending, const Range &range, long limit, long offset) const;
    // Reads up to `rows` rows of the range, in the list's order, into `cells`; returns how many.
    long readRange(bool descending, const Range &range, long rows, std::vector<QString> &cells, Known &keys) const;
    // Walks the keys from the nearest key known or an end, whichever leaves fewer rows, to the
    // edge of the block, keeping the edge keys of every block passed.
    void walkTowards(long block);

    Connection &m_connection;
    sql::ListQuery m_query;
    int m_blockRows;
    long m_count = 0;
    Key m_bounds;                                // per key table, its highest rowid when opened
    std::map<long, Known> m_known;               // edge keys of blocks read or walked past
    std::vector<int> m_positions;                // the columns shown, in the range statement
    mutable std::map<int, Statement> m_prepared; // by the range statement's shape
    mutable sqlite3 *m_preparedOn = nullptr;     // the engine handle they were prepared on
    std::vector<FieldValue::Kind> m_kinds;
};

} // namespace orv::store
