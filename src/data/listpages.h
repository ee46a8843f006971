#pragma once

#include "fieldvalue.h"
#include "statements.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace orv {
class Connection;
}

namespace orv::store {

// A list's statement read a block of rows at a time, in the order the statement reads them whole,
// so a list never holds more than the blocks it shows. Opening walks the rows' keys once (what a
// count of the statement costs) and keeps the key that ends each block: any block is then one
// indexed read, wherever it lies. The list covers the rows there were when it was opened: rows
// added since, in any of its tables, stay out until it is opened again.
class ListPages final {
public:
    static constexpr int kBlockRows = 256;

    // Raises StoreError when the statement cannot be read.
    ListPages(Connection &connection, sql::ListQuery query, int blockRows = kBlockRows);

    long count() const noexcept { return m_count; }
    int blockRows() const noexcept { return m_blockRows; }
    long blockCount() const noexcept;

    // The columns shown, found by name as a recordset finds them; raises StoreError for a name
    // the statement does not have.
    void showColumns(const QStringList &columns);
    int columnCount() const noexcept { return static_cast<int>(m_positions.size()); }

    // The cells of a block, row after row, each text as the recordset's value shows it. A row
    // deleted since the list was opened leaves an empty row at the block's end, so no later row
    // moves. Raises StoreError when the store cannot be read.
    std::vector<QString> readBlock(long block);

    // The statement a block is read with, and the one that walks the keys.
    QString blockStatement() const;
    QString keyStatement() const;

private:
    // The condition and the bounds every statement shares, parameters from ?1 on.
    QString bounded() const;
    QString keyOrder(bool descending) const;

    Connection &m_connection;
    sql::ListQuery m_query;
    int m_blockRows;
    long m_count = 0;
    std::vector<std::int64_t> m_bounds;    // per key table, its highest rowid when opened
    std::vector<std::int64_t> m_blockEnds; // per block, the keys of its last row
    std::vector<int> m_positions;          // the columns shown, in the block statement
    std::vector<FieldValue::Kind> m_kinds;
};

} // namespace orv::store
