#pragma once

#include "cursor.h"
#include "statementpool.h"

#include <sqlite3.h>

namespace orv::store {

// A condition of the set, as the statements of a table cursor use it.
struct Filter {
    QString text;                   // " AND (condition)", or empty
    std::vector<QByteArray> values; // bound from ?3 on, where the condition's texts became parameters
};

// A condition of the shape the pages write, column='text' joined by and, becomes parameters, so
// that one statement serves every value; any other condition stays as written.
Filter filterOf(const QString &condition);

// The text a set over one table is prepared on to learn its columns: the parameterized shape of
// the statement where it has one, otherwise the statement itself.
QString columnsProbeText(const QString &table, const QString &condition, const QString &sql);

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
    // A statement taken from the connection's pool on first use: most sets need few of theirs.
    struct Lazy {
        // %1 the table, %2 the filter where the statement is filtered.
        explicit Lazy(QString textFormat, bool isFiltered = true) : format(std::move(textFormat)), filtered(isFiltered)
        {
        }
        QString format;
        bool filtered;
        PooledStatement statement;
    };

    QString m_table;
    Filter m_filter;
    PooledStatement m_forward;              // rows after a rowid, in insertion order
    Lazy m_backward;                        // rows before a rowid, in reverse order
    Lazy m_exists;                          // whether the set has any row now
    Lazy m_byRowid;                         // one row, for a fresh read
    Lazy m_atRowid;                         // one row if the set holds it, for a bookmark
    Lazy m_counter;                         // how many rows the set has
    std::vector<PooledStatement> m_finders; // per column: equal values after a rowid, taken on first use

    sqlite3_int64 m_rowid = 0;
    // The statement that stands on the current row, while nothing has changed since.
    sqlite3_stmt *m_live = nullptr;
    std::uint64_t m_liveVersion = 0;
    std::vector<FieldValue> m_cache;
    bool m_cacheValid = false;
    std::uint64_t m_cacheVersion = 0;

    PooledStatement take(const QString &text, bool filtered);
    sqlite3_stmt *get(Lazy &lazy);
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
