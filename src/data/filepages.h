#pragma once

#include "fieldvalue.h"
#include "listorder.h"
#include "listpages.h"
#include "statement.h"
#include "statements.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

struct sqlite3;

namespace orv {
class Connection;
} // namespace orv

namespace orv::store {

// The file's lists. A block is found by its neighbours' keys
// (the rowids that give the order): each block read leaves its first and last keys in a sparse
// map, so the next block down or up is one indexed read from there; the last block is read
// backwards from the end. To reach a block with no known neighbour, the keys are walked from the
// nearest key known or from either end, whichever is fewer rows, and the walk leaves the edge key
// of every block it passes in the map.
//
// Sorted by a shown column, the same blocks are read in the column's order: each distinct value
// of the column gets a rank (see writeRanks), and the rank leads the keys, followed by the
// column's table's rowid and the other tables' rowids, so rows of one value keep the order they
// were added in and every row has one place.
class FilePages final : public ListPages {
public:
    // Counts the rows (or, counting beside, the rows of the first block and one more); raises
    // StoreError when the statement cannot be read.
    FilePages(Connection &connection, sql::ListQuery query, int blockRows = kBlockRows,
              Counting counting = Counting::Now);
    // Stops a count beside, without waiting for its thread.
    ~FilePages() override;
    FilePages(const FilePages &) = delete;
    FilePages &operator=(const FilePages &) = delete;

    long count() const noexcept override { return m_count; }
    bool counted() const noexcept override { return m_counted; }
    // Counts on a thread with a connection of its own, which goes on to walk the keys and leave
    // every block's edges, so a jump anywhere then reads at once.
    void countBeside(std::function<void()> done) override;
    // Counts here instead when the count beside failed.
    void settleCount() override;
    int blockRows() const noexcept override { return m_blockRows; }
    long blockCount() const noexcept override;

    void showColumns(const QStringList &columns) override;
    int columnCount() const noexcept override { return static_cast<int>(m_positions.size()); }

    std::vector<QString> readBlock(long block) override;
    // The statement stepped once; no order beside is written meanwhile.
    long readAll(const RowCells &row) override;

    // The blocks read before belong to the old order.
    bool setOrder(int column, Order order) override;
    // Whether ordering by the column reads few enough rows to be done at once.
    bool ordersAtOnce(int column) const override;
    // The order is read on a connection of its own, on a thread, which calls `ready` there once
    // it can be written; writeOrder then writes it here a slice at a time. The rows keep their
    // order until it is all written, and the thread goes on to walk the keys in the new order,
    // leaving every block's edges. An order beside still under way gives way to this one, as it
    // does to setOrder.
    bool orderBeside(int column, Order order, std::function<void()> ready) override;
    bool ordering() const noexcept override { return m_pending.has_value(); }
    // Waiting while the order is being read, or while a unit is open (a rolled-back unit would
    // take the slice with it); Writing while rows remain; Done once the blocks are read in the new
    // order, or with no order under way. An order that could not be read beside is made here, at
    // once. Raises StoreError when it cannot be written, leaving the order there was.
    Progress writeOrder(std::size_t rows) override;
    Order order() const noexcept override { return m_sorting.order; }
    int orderColumn() const noexcept override { return m_sorting.order == Order::Added ? -1 : m_sorting.column; }

    // The statement rows are read with, forwards or backwards, from a key to a key: the shown
    // columns and then the keys (or only the keys), with ?limit and ?offset last.
    QString rangeStatement(bool keysOnly, bool descending, bool lowerIncluded, bool upperIncluded) const;

private:
    // What the rows are ordered by.
    struct Sorting {
        Order order = Order::Added;
        int column = -1;
        bool indexed = false; // whether the file has an index of the column alone
        QString ranks;        // the temporary table of the column's ranks
    };
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
    // What gives the order, outermost first: the key tables' rowids, after a column's rank.
    QStringList keyColumns() const;
    int keyWidth() const noexcept;
    // Whether the list's tables are its key tables alone, so the ranks can lead the reading.
    bool drivenByRanks() const;
    // Whether the rows are found through the connection's own index of the column.
    bool ownRows() const;
    QString keyOrder(bool descending) const;
    // Writes the ranks again on a new engine handle, whose temporary tables are its own.
    void rankOn(sqlite3 *db) const;
    // The sorting for a column, or nothing when it cannot be sorted by.
    std::optional<Sorting> sortingFor(int column, Order order) const;
    // Stops an order beside and drops what it wrote here.
    void dropPending() noexcept;
    Range everything() const;
    long rowsIn(long block) const noexcept;
    // A range statement with its values bound, prepared once per connection and kept; the caller
    // resets it when done, so no read stays open between blocks.
    Statement &prepareRange(bool keysOnly, bool descending, const Range &range, long limit, long offset) const;
    void bindRange(Statement &statement, const Range &range, long limit, long offset) const;
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
    bool m_counted = true;

    // The count beside: what its thread and the list share, so the list can end without waiting
    // for the thread (which may still be opening its connection).
    struct Counter {
        std::mutex lock;
        std::condition_variable countKnown;
        bool stop = false;
        sqlite3 *handle = nullptr;                 // the thread's connection, to interrupt
        long rows = -1;                            // the count; -2 when it failed
        std::vector<std::pair<long, Known>> found; // edges walked, not yet taken
    };
    std::shared_ptr<Counter> m_counter;

    long countHere(sqlite3 *db) const;
    // On the thread: counts, tells, then walks the keys, handing over block edges as it goes.
    static void countAndWalk(const std::shared_ptr<Counter> &counter, sqlite3 *db, const QString &counting,
                             const QString &walking, const Key &bounds, int blockRows,
                             const std::function<void()> &done);
    // Walks the keys of a statement from the first row, handing over every block's edges.
    static void walk(Counter &counter, Statement &statement, int blockRows, size_t keys);
    // Takes the edges walked beside so far into the map.
    void takeEdgesFound();

    // An order read beside: what its thread and the list share.
    struct Sorter : Counter {
        int state = 0; // 0 while reading, 1 once read, -1 when it failed
        std::shared_ptr<const Ordering> ordering;
    };
    // Tells a thread beside to stop, interrupting what it reads.
    static void stopBeside(Counter &counter) noexcept;
    struct Pending {
        Sorting sorting;
        std::shared_ptr<Sorter> sorter;
        std::unique_ptr<OrderWriter> writer;
        sqlite3 *writtenOn = nullptr;
    };
    std::optional<Pending> m_pending;
    std::shared_ptr<Sorter> m_sorter; // the order's walk beside, once its order is taken
    int m_orderings = 0;              // orders written, so a pending one writes beside the one read

    // Each shown column's table and column name in the file; empty for a computed column.
    std::vector<std::pair<QString, QString>> m_sources;
    Sorting m_sorting;
    mutable sqlite3 *m_rankedOn = nullptr; // the engine handle the ranks were written on
    bool m_readingAll = false;             // readAll's statement holds the ranks' tables
};

} // namespace orv::store
