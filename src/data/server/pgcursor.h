#pragma once

#include "data/cursor.h"
#include "pghandles.h"
#include "serverconnection.h"

namespace orv::server {

class ServerStore;

// The kind a result column of that server type is read as: smallint 16-bit, integer 32-bit, real
// single, text Text; any other the value decides, as a file's column without a declared type.
FieldValue::Kind kindOfType(Oid type);
// A value of a result, as its column's kind holds it.
FieldValue readValue(const PGresult *result, int row, int column, FieldValue::Kind kind);
// A value as a statement parameter in the server's text form; none for a null.
std::optional<QByteArray> parameterOf(const FieldValue &value);

// The rows of one table on the server, with an optional condition, in the order they were added
// (the table's hidden order column, which is also the bookmark). Rows are read a window at a time,
// a longer one each time a walk runs past one, and the window serves the moves through it while
// nothing has changed through the connection and no unit has begun or ended since; otherwise a
// move reads afresh from the current row's order value, so it sees the table's current rows.
class PgCursor final : public store::Cursor, public store::RowWriter {
public:
    PgCursor(Connection &connection, const store::Columns &columns, ServerStore &store,
             const store::SelectShape &shape);

    store::RowWriter *writer() noexcept override { return this; }
    bool isEmpty() override;
    long count() override;
    bool first() override;
    bool last() override;
    bool next() override;
    bool previous() override;
    FieldValue value(int at) override;
    bool storedTexts(const int *at, size_t count, std::optional<QByteArrayView> *texts) const override;
    std::int64_t bookmark() const override { return m_order; }
    bool moveTo(std::int64_t bookmark) override;
    Seek seek(int at, const FieldValue &value, From from) override;
    void reread() noexcept override { m_window.reset(); }
    void settle(bool) noexcept override { m_window.reset(); }

    void insert(const store::PendingValues &values) override;
    bool update(const store::PendingValues &values) override;
    void remove() override;

private:
    enum class Order { Up, Down, One };

    ServerStore &m_store;
    QString m_name;   // the table as the statement names it
    QString m_table;  // the table's ordered view, quoted
    QString m_listed; // the order column, then the set's columns, quoted
    // The condition with its texts as parameters numbered from the slot given, or as written.
    QString m_condition;
    std::vector<QByteArray> m_conditionValues;

    PgResultHandle m_window; // rows read at once, in the order read
    Order m_windowOrder = Order::One;
    int m_row = -1; // the current row in the window
    std::uint64_t m_windowVersion = 0;
    int m_windowRows = 0;         // the most rows the window's statement could read
    bool m_windowFromEnd = false; // read from the first row (Up) or the last (Down)
    std::int64_t m_order = 0;     // the current row's order value

    // " AND (condition)" with its parameters from slot `first` on; empty without a condition.
    QString filter(int first) const;
    // The condition's values after `leading` parameters of the statement's own.
    ServerConnection::Parameters parameters(ServerConnection::Parameters leading) const;
    bool windowUsable() const;
    // Usable, and read inside the unit that is open now: reading it again would give it again.
    bool windowRepeats() const;
    // Reads rows of the set's shape into the window and stands on the first; false for none,
    // which leaves the current row's order value as it was. A filtered statement takes the
    // condition's values after its own.
    bool fetch(const QString &sql, ServerConnection::Parameters leading, Order order, bool filtered = true);
    // Reads up to `rows` rows after (Up) or before (Down) the order value `from`.
    bool fetchFrom(std::int64_t from, Order order, int rows);
    // The next row on from the current one, in that order: a walk that ran off the end of a
    // window reads a longer one.
    bool walkOn(Order order);
    void landOn(int row);
    const PGresult *currentRow();
    // Runs a write, counting it as a change through the connection.
    PgResultHandle write(const QString &sql, const ServerConnection::Parameters &parameters);
};

// A join of the program's tables as the pages write one (select columns from tables where ...)
// with its rows in the order the file gives them: by the order each table's rows were added, the
// tables taken as listed. Any other statement is left as written.
QString inOrderAdded(const QString &sql);

// The rows of any other statement (the rent-list join), read-only: the whole result is read at
// the first row and again at every move to the first or last; a row is known by its place.
class PgQueryCursor final : public store::Cursor {
public:
    PgQueryCursor(Connection &connection, const store::Columns &columns, ServerStore &store, const QString &sql);

    store::RowWriter *writer() noexcept override { return nullptr; }
    bool isEmpty() override;
    long count() override;
    bool first() override;
    bool last() override;
    bool next() override;
    bool previous() override;
    FieldValue value(int at) override;
    bool storedTexts(const int *at, size_t count, std::optional<QByteArrayView> *texts) const override;
    std::int64_t bookmark() const override { return m_row; }
    bool moveTo(std::int64_t bookmark) override;
    Seek seek(int, const FieldValue &, From) override { return Seek::Walk; }
    void reread() noexcept override {}
    void settle(bool rolledBack) noexcept override;

private:
    ServerStore &m_store;
    QString m_sql;
    PgResultHandle m_rows;
    int m_row = -1;

    const PGresult *rows();
    bool standOn(long row);
};

} // namespace orv::server
