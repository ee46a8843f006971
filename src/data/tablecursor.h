#pragma once

#include "cursor.h"

#include <sqlite3.h>

namespace orv::store {

// The rows of one table, with an optional condition, in insertion order. Rows are found by
// rowid, so every move sees the table's current rows, including changes made through other
// sets. The statement that reached the current row is read in place while nothing has changed
// since; otherwise the row is read afresh by its rowid.
class TableCursor final : public Cursor, public RowWriter {
public:
    TableCursor(Connection &connection, const Columns &columns, QString table, const QString &condition);

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
    QString m_table;
    QString m_filter;                 // " AND (condition)", or empty
    Statement m_forward;              // rows after a rowid, in insertion order
    LazyStatement m_backward;         // rows before a rowid, in reverse order
    LazyStatement m_exists;           // whether the set has any row now
    LazyStatement m_byRowid;          // one row, for a fresh read
    LazyStatement m_atRowid;          // one row if the set holds it, for a bookmark
    LazyStatement m_counter;          // how many rows the set has
    std::vector<Statement> m_finders; // per column: equal values after a rowid, prepared on first use

    sqlite3_int64 m_rowid = 0;
    // The statement that stands on the current row, while nothing has changed since.
    sqlite3_stmt *m_live = nullptr;
    std::uint64_t m_liveVersion = 0;
    std::vector<FieldValue> m_cache;
    bool m_cacheValid = false;
    std::uint64_t m_cacheVersion = 0;

    void dropLive() noexcept;
    bool liveUsable(sqlite3_stmt *statement) const;
    // Steps a statement of the "rowid, *" shape from a rowid, or on from where it stands.
    bool stepFrom(sqlite3_stmt *statement, sqlite3_int64 from);
    bool stepLive(sqlite3_stmt *statement);
    // Stands on the row a statement of that shape stepped to, or on none.
    bool landOn(sqlite3_stmt *statement, bool found);
    const std::vector<FieldValue> &freshRow();
    // Runs one write statement with the given values bound in order, then the rowid if asked.
    void write(const QString &text, const std::vector<FieldValue> &values, sqlite3_int64 key, bool bindKey);
};

} // namespace orv::store
