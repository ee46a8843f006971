#pragma once

#include "data/columnvalues.h"
#include "data/fieldvalue.h"
#include "data/listpages.h"
#include "serverconnection.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace orv::server {

class ServerStore;

// A list on a server, read a block at a time on the desk's own connection. The order is given by
// keys the server compares as one row value: the key tables' order columns, led, when sorted by a
// shown column, by whether the value is there and the value itself (a text by its code page 936
// bytes, as the file orders it). Each block read leaves its first and last keys, so the next block
// down or up is read from its neighbour's edge; a block with no known neighbour is reached by
// skipping rows from the nearest edge known or either end. The server orders at once: there is
// nothing to write beside it.
class ServerPages final : public store::ListPages {
public:
    // Notes the key tables' highest order values, so rows added later stay out, and counts the
    // rows; raises StoreError when the server refuses the statement.
    ServerPages(ServerStore &store, sql::ListQuery query, int blockRows);

    long count() const noexcept override { return m_count; }
    bool counted() const noexcept override { return true; }
    void countBeside(std::function<void()>) override {}
    void settleCount() override {}
    int blockRows() const noexcept override { return m_blockRows; }
    long blockCount() const noexcept override;

    void showColumns(const QStringList &columns) override;
    int columnCount() const noexcept override { return static_cast<int>(m_positions.size()); }

    std::vector<QString> readBlock(long block) override;
    long readAll(const RowCells &row) override;

    bool setOrder(int column, Order order) override;
    bool ordersAtOnce(int) const override { return true; }
    // Orders at once, as setOrder does; there is never an order to write beside.
    bool orderBeside(int column, Order order, std::function<void()> ready) override;
    bool ordering() const noexcept override { return false; }
    Progress writeOrder(std::size_t) override { return Progress::Done; }
    Order order() const noexcept override { return m_order; }
    int orderColumn() const noexcept override { return m_order == Order::Added ? -1 : m_orderColumn; }

private:
    // One key of the order: what the server compares, what is read back for the next read's
    // edge, and how that value is given back as a parameter.
    struct KeyPart {
        QString compared;
        QString selected;
        QString parameter; // with %1 for the parameter's number
        bool reversed;     // whether the list has it descending
    };
    using Key = std::vector<QByteArray>;
    struct Known {
        Key first;
        Key last;
    };
    struct Source {
        QString expression; // the column as the statement reaches it; empty for a computed one
        QString table;
    };

    std::vector<KeyPart> keyParts() const;
    // Where a read starts and ends: past (or at) a key, or at an end of the list without one.
    struct Edge {
        const Key *key = nullptr;
        bool included = false;
    };
    // Reads up to `rows` rows between the edges, in the list's order, skipping `skip`: forwards
    // from the lower edge, or backwards from the upper one. The cells of the shown columns and the
    // rows' keys are appended in the order read. Returns the rows read.
    long readRows(Edge lower, Edge upper, bool forwards, long skip, long rows, std::vector<QString> &cells,
                  std::vector<Key> &keys) const;
    PgResultHandle runRange(Edge lower, Edge upper, bool forwards, long skip, long rows) const;
    // The cells of the shown columns and the keys of a result's first `rows` rows, appended.
    void takeRows(const PGresult *result, int rows, std::vector<QString> &cells, std::vector<Key> &keys) const;
    long rowsIn(long block) const noexcept;
    QString cellText(const PGresult *result, int row, int column) const;

    ServerStore &m_store;
    sql::ListQuery m_query;
    int m_blockRows;
    long m_count = 0;
    QString m_from;                                  // the key tables as their ordered views, under their own names
    QStringList m_selected;                          // the select list, a star spelled out
    std::vector<Source> m_sources;                   // per entry of the select list
    std::vector<QByteArray> m_bounds;                // per key table, its highest order value when opened
    std::vector<int> m_positions;                    // the shown columns in the select list
    std::shared_ptr<const store::Columns> m_columns; // of the select list
    std::vector<FieldValue::Kind> m_kinds;
    std::map<long, Known> m_known;
    PgResultHandle m_firstRows; // what opening the list read, until its first block is shown
    std::uint64_t m_firstChanges = 0;
    Order m_order = Order::Added;
    int m_orderColumn = -1;
};

} // namespace orv::server
