#pragma once

#include "cursor.h"
#include "statementpool.h"

#include <sqlite3.h>

namespace orv::store {

// Fills a shape's parameters and columns probe from its condition. A condition of the shape the
// pages write, column='text' joined by and, becomes parameters, so that one statement serves every
// value; any other condition stays as written and the statement itself is the probe.
void describeCondition(SelectShape &shape, const QString &sql);

// The rows of one table, with an optional condition, in insertion order. Rows are found by
// rowid, so every move sees the table's current rows, including changes made through other
// sets. The statement that reached the current row is read in place while nothing has changed
// since; otherwise the row is read afresh by its rowid.
class TableCursor final : public Cursor, public RowWriter {
public:
    // `values` are bound to the condition's parameters in the texts' statements.
    TableCursor(Connection &connection, const Columns &columns, std::vector<QByteArray> values,
                std::shared_ptr<TableTexts> texts);

    RowWriter *writer() noexcept override { return this; }
    bool isEmpty() override;
    long count() override;
    bool first() override;
    bool last() override;
    bool next() override;
    bool previous() override;
    FieldValue value(int at) override;
    bool storedTexts(const int *at, size_t count, std::optional<QByteArrayView> *texts) const override;
    std::int64_t bookmark() const override { return m_rowid; }
    bool moveTo(std::int64_t bookmark) override;
    Seek seek(int at, const FieldValue &value, From from) override;
    void reread() noexcept override;
    void settle(bool rolledBack) noexcept override;

    void insert(const PendingValues &values) override;
    bool update(const PendingValues &values) override;
    void remove() override;

private:
    // A statement taken from the connection's pool on first use: most sets need few of theirs.
    struct Lazy {
        explicit Lazy(PooledText &statementText, bool isFiltered = true) : text(&statementText), filtered(isFiltered) {}
        PooledText *text; // held by the set's table texts
        bool filtered;
        PooledStatement statement;
    };

    std::vector<QByteArray> m_filterValues;
    std::shared_ptr<TableTexts> m_texts;
    PooledStatement m_forward;
    Lazy m_backward{m_texts->backward};
    Lazy m_exists{m_texts->exists};
    Lazy m_byRowid{m_texts->byRowid, false};
    Lazy m_atRowid{m_texts->atRowid};
    Lazy m_counter{m_texts->counter};
    std::vector<PooledStatement> m_finders; // per column: equal values after a rowid, taken on first use

    sqlite3_int64 m_rowid = 0;
    // The statement that stands on the current row, while nothing has changed since.
    sqlite3_stmt *m_live = nullptr;
    std::uint64_t m_liveVersion = 0;
    std::vector<FieldValue> m_cache;
    bool m_cacheValid = false;
    std::uint64_t m_cacheVersion = 0;

    PooledStatement take(PooledText &text, bool filtered);
    sqlite3_stmt *get(Lazy &lazy);
    void dropLive() noexcept;
    bool liveUsable(sqlite3_stmt *statement) const;
    // Steps a statement of the "rowid, *" shape from a rowid, or on from where it stands.
    bool stepFrom(sqlite3_stmt *statement, sqlite3_int64 from);
    bool stepLive(sqlite3_stmt *statement);
    // Stands on the row a statement of that shape stepped to, or on none.
    bool landOn(sqlite3_stmt *statement, bool found);
    const std::vector<FieldValue> &freshRow();
    // Runs one write statement, taken after the connection is readied for the write, with the
    // values written bound in column order, then the rowid if asked.
    void write(const PooledStatement &statement, const PendingValues *values, sqlite3_int64 key, bool bindKey);
    // A statement inserting or updating the columns written; its text is made once per set of
    // columns.
    PooledStatement writeStatement(bool inserting, const PendingValues &values);
};

} // namespace orv::store
