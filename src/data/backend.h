#pragma once

#include "columnvalues.h"
#include "statements.h"
#include "storeerror.h"

#include <QString>

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace orv {
class Connection;
}

namespace orv::store {

class Cursor;
class ListPages;
struct SelectShape;

// Values of a statement's parameters in the store's text form; none is a null.
using TextParameters = std::vector<std::optional<QByteArray>>;

// What one statement gave: its rows' values as UTF-8 text, row after row (none for a null), or
// for a write the number of rows it changed.
struct StatementRows {
    int columns = 0;
    std::vector<std::optional<QByteArray>> values;
    std::int64_t changed = 0;
};

// A store other than the connection's own file (a database server) that a Connection can be
// opened on. The connection keeps the recordsets and the unit serials; the backend reads and
// writes the rows.
class Backend {
public:
    Backend(const Backend &) = delete;
    Backend &operator=(const Backend &) = delete;
    virtual ~Backend() = default;

    // The columns of a statement's rows, in its order, with their kinds; raises StoreError for a
    // statement the store refuses.
    virtual std::shared_ptr<const Columns> columnsOf(const QString &sql, const SelectShape &shape) = 0;
    // A cursor over the statement's rows: updatable for one table, read-only otherwise.
    virtual std::unique_ptr<Cursor> openCursor(Connection &connection, const Columns &columns, const QString &sql,
                                               const SelectShape &shape) = 0;

    // A list's rows read a block at a time; raises StoreError when the statement cannot be read.
    virtual std::unique_ptr<ListPages> openList(sql::ListQuery query, int blockRows) = 0;

    // Runs statements that return no rows.
    virtual void execute(const QString &sql) = 0;
    // Runs one statement with $1, $2, ... bound to `parameters` and reads all its rows; raises
    // StoreError naming `what` when the store refuses it.
    virtual StatementRows runStatement(const QString &sql, const TextParameters &parameters, const QString &what) = 0;
    // The order value of the row the connection added last through a set.
    virtual std::int64_t lastAdded() const noexcept = 0;
    // A table's rows with the order they were added in as a column `rowid`, under the table's own
    // name, for statements written for the file's tables.
    virtual QString numbered(const QString &table) const = 0;

    // A unit is one transaction of the store's. A commit the store refuses raises StoreError, the
    // unit then being over.
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;
    virtual bool inUnit() const noexcept = 0;
    // Called with what refused the `attempt`-th run of a unit, after its rollback: true when the
    // unit is to be run again as a whole (it collided with another desk's); false when the
    // failure stands as it is. Raises the refusal that names the cause once the runs are spent.
    virtual bool runAgain(const StoreError &failure, int attempt) = 0;

    // Changes whenever rows change through the backend or a unit begins or ends: rows read before
    // are then read again.
    virtual std::uint64_t changes() const noexcept = 0;

protected:
    Backend() = default;
};

} // namespace orv::store
