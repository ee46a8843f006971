#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
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
    explicit operator bool() const noexcept { return m_statement != nullptr; }

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
    // Finalizes every free statement: before the file closes, or when its schema may have changed.
    void clear() noexcept;
    // Clears the pool when the file's schema has changed since the last call (a table dropped
    // through this connection or another), so that the next prepare refuses what is gone.
    void forgetIfSchemaChanged(sqlite3 *db);

private:
    friend class PooledStatement;
    void put(const QString &text, sqlite3_stmt *statement) noexcept;

    QHash<QString, std::vector<sqlite3_stmt *>> m_free;
    sqlite3_stmt *m_schemaVersion = nullptr; // reads the file's schema cookie
    std::int64_t m_schema = -1;
};

} // namespace orv::store
