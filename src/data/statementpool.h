#pragma once

#include "columnvalues.h"
#include "statement.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orv::store {

class StatementPool;

// A statement taken from the pool for one user at a time; it goes back, reset, when the lease
// ends. Leases end before their connection closes: every recordset is closed first.
class PooledStatement final {
public:
    PooledStatement() = default;
    PooledStatement(StatementPool *pool, QString text, sqlite3_stmt *statement) noexcept
        : m_pool(pool), m_text(std::move(text)), m_statement(statement)
    {
    }
    ~PooledStatement() { giveBack(); }
    PooledStatement(PooledStatement &&other) noexcept;
    PooledStatement &operator=(PooledStatement &&other) noexcept;
    PooledStatement(const PooledStatement &) = delete;
    PooledStatement &operator=(const PooledStatement &) = delete;

    sqlite3_stmt *get() const noexcept { return m_statement; }
    // Ends the lease without giving the statement back: the caller owns it now.
    sqlite3_stmt *release() noexcept
    {
        m_pool = nullptr;
        return std::exchange(m_statement, nullptr);
    }
    sqlite3_stmt *handle() const noexcept { return m_statement; }
    explicit operator bool() const noexcept { return m_statement != nullptr; }
    // The few calls the cursors make on a lent statement.
    void bind(int index, std::int64_t value) const noexcept;
    int step() const noexcept;
    int columnCount() const noexcept;

private:
    void giveBack() noexcept;

    StatementPool *m_pool = nullptr;
    QString m_text;
    sqlite3_stmt *m_statement = nullptr;
};

// The statement texts of the sets over one table with one shape of condition, made once while
// the schema stays the same: a batch opens sets on the same tables thousands of times.
struct TableTexts {
    QString forward;  // rows after a rowid, in insertion order
    QString backward; // rows before a rowid, in reverse order
    QString exists;   // whether the set has any row now
    QString byRowid;  // one row, for a fresh read
    QString atRowid;  // one row if the set holds it, for a bookmark
    QString counter;  // how many rows the set has
    QString remove;   // deletes one row by its rowid
    // Per column, made on first use: equal values after a rowid.
    std::vector<QString> finders;
    // Inserts and updates by the columns written (a bit per column).
    QHash<std::uint64_t, QString> inserts;
    QHash<std::uint64_t, QString> updates;
};

// The prepared statements of one connection that are not in use, by their text: a batch opens
// the same sets and writes the same rows thousands of times, and preparing costs more than the
// look-up or write itself.
class StatementPool final {
public:
    StatementPool() = default;
    ~StatementPool() { clear(); }
    StatementPool(const StatementPool &) = delete;
    StatementPool &operator=(const StatementPool &) = delete;

    // A statement of that text on `db`; one is prepared when none is free, raising StoreError
    // naming the text as a fresh prepare does. With `written`, a statement of which `text` is the
    // parameterized shape, that one is prepared first when none is free, so that its own fault
    // is the one raised.
    PooledStatement take(sqlite3 *db, const QString &text, const QString &written = QString());
    // A statement of that text on `db` that comes back here when it ends: a free one, else one
    // prepared now (a refused one stays empty, with the engine's code in its status).
    Statement lend(sqlite3 *db, const QString &text);
    // A free statement of that text, or an empty lease when none is free.
    PooledStatement reuse(sqlite3 *db, const QString &text);
    // Lends a statement the caller prepared; it joins the pool when the lease ends.
    PooledStatement adopt(const QString &text, sqlite3_stmt *statement) noexcept
    {
        return PooledStatement(this, text, statement);
    }
    // The columns a statement of that text was found to have, while the schema stays the same;
    // the sets opened on it share them, with what their look-ups by name have learnt.
    std::shared_ptr<const Columns> columnsOf(const QString &text) const;
    std::shared_ptr<const Columns> keepColumns(const QString &text, std::vector<Column> columns);
    // The texts of sets over `table` whose condition reads `filter` (" AND (...)", or empty).
    std::shared_ptr<TableTexts> tableTexts(const QString &table, const QString &filter);
    // Whether a table was seen in the file under the present schema; a rolled-back unit may have
    // made it, so a rollback forgets what was seen.
    bool knowsTable(const QString &table) const { return m_tables.contains(table); }
    void knowTable(const QString &table) { m_tables.insert(table); }
    void forgetTables() noexcept { m_tables.clear(); }
    // Finalizes every free statement: before the file closes, or when its schema may have changed.
    void clear() noexcept;
    // Clears the pool when the file's schema has changed since the last call (a table dropped
    // through this connection or another), so that the next prepare refuses what is gone.
    void forgetIfSchemaChanged(sqlite3 *db) noexcept;

private:
    friend class PooledStatement;
    friend class orv::Statement;
    void put(const QString &text, sqlite3_stmt *statement) noexcept;

    QHash<QString, std::vector<sqlite3_stmt *>> m_free;
    QHash<QString, std::shared_ptr<const Columns>> m_columns;
    QHash<QString, std::shared_ptr<TableTexts>> m_tableTexts;
    QSet<QString> m_tables;
    sqlite3_stmt *m_schemaVersion = nullptr; // reads the file's schema cookie
    std::int64_t m_schema = -1;
};

} // namespace orv::store
