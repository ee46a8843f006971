#pragma once

#include "columnvalues.h"
#include "statement.h"

#include <QHash>
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
    // The columns a statement of that text was found to have, while the schema stays the same.
    const std::vector<Column> *columnsOf(const QString &text) const;
    void keepColumns(const QString &text, std::vector<Column> columns);
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
    QHash<QString, std::vector<Column>> m_columns;
    sqlite3_stmt *m_schemaVersion = nullptr; // reads the file's schema cookie
    std::int64_t m_schema = -1;
};

} // namespace orv::store
