#pragma once

#include "statements.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace orv {
class Connection;
} // namespace orv

namespace orv::store {

// A list's statement read a block of rows at a time, in the order the statement reads them whole,
// so a list never holds more than the blocks it shows. The list covers the rows there were when it
// was opened: rows added since stay out until it is opened again. Each store reads its blocks its
// own way (FilePages on the file, the server's own on a server).
class ListPages {
public:
    static constexpr int kBlockRows = 256;

    // Counting the rows at once, or beside the program on a connection of its own, for a list
    // long enough that counting could hold up the window.
    enum class Counting { Now, Beside };
    // How the rows follow one another: as they were added, or by a shown column's values.
    enum class Order { Added, Ascending, Descending };
    enum class Progress { Waiting, Writing, Done };
    // Each row's cells as UTF-8, each the text readBlock gives, valid until the call returns;
    // returning false stops.
    using RowCells = std::function<bool(const std::vector<QByteArrayView> &cells)>;

    // The list on the connection's store; raises StoreError when the statement cannot be read.
    static std::unique_ptr<ListPages> open(Connection &connection, sql::ListQuery query, int blockRows = kBlockRows,
                                           Counting counting = Counting::Now);

    ListPages(const ListPages &) = delete;
    ListPages &operator=(const ListPages &) = delete;
    virtual ~ListPages() = default;

    // The rows; while a count beside runs, the rows known so far.
    virtual long count() const noexcept = 0;
    virtual bool counted() const noexcept = 0;
    // Counts beside the program when the rows are not all known yet; `done` is called on the
    // counting thread once the count is known, and settleCount then takes it.
    virtual void countBeside(std::function<void()> done) = 0;
    // Takes the count made beside, waiting for it.
    virtual void settleCount() = 0;
    virtual int blockRows() const noexcept = 0;
    virtual long blockCount() const noexcept = 0;

    // The columns shown, found by name as a recordset finds them; raises StoreError for a name
    // the statement does not have.
    virtual void showColumns(const QStringList &columns) = 0;
    virtual int columnCount() const noexcept = 0;

    // The cells of a block, row after row, each text as the recordset's value shows it. A row
    // deleted since the list was opened leaves an empty row at the block's edge, so no row shown
    // before moves. Raises StoreError when the store cannot be read.
    virtual std::vector<QString> readBlock(long block) = 0;
    // Every row in the list's order: the least an export of every row can read. Returns the rows
    // handed; raises StoreError when the store cannot be read.
    virtual long readAll(const RowCells &row) = 0;

    // Orders the rows by a shown column (ignored for Added) from the next block read on. Raises
    // StoreError when the column's values cannot be read, keeping the order there was; a column
    // of no table's (a computed one) cannot be sorted by and leaves the order as it was, returning
    // false.
    virtual bool setOrder(int column, Order order) = 0;
    // Whether ordering by the column is done at once.
    virtual bool ordersAtOnce(int column) const = 0;
    // Orders the rows by a shown column beside the program, calling `ready` once writeOrder can
    // take it; false, with nothing started, for a column that cannot be sorted by.
    virtual bool orderBeside(int column, Order order, std::function<void()> ready) = 0;
    // Whether an order beside is still to be written.
    virtual bool ordering() const noexcept = 0;
    // Takes up to `rows` rows of an order made beside; Done once the blocks are read in it.
    virtual Progress writeOrder(std::size_t rows) = 0;
    virtual Order order() const noexcept = 0;
    // The column ordered by; -1 in the order added.
    virtual int orderColumn() const noexcept = 0;

protected:
    ListPages() = default;
};

} // namespace orv::store
