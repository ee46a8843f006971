#pragma once

#include "columnvalues.h"
#include "statement.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orv::store {

class StatementPool;
struct SelectShape;

// A statement taken from the pool for one user at a time; it goes back, reset, when the lease
// ends. Leases end before their connection closes: every recordset is closed first.
class PooledStatement final {
public:
    PooledStatement() = default;
    PooledStatement(StatementPool *pool, QString text, sqlite3_stmt *statement) noexcept
        : m_pool(pool), m_text(std::move(text)), m_statement(statement)
    {
    }
    // A statement that goes back to the free statements kept beside its text.
    PooledStatement(std::vector<sqlite3_stmt *> *home, sqlite3_stmt *statement) noexcept
        : m_home(home), m_statement(statement)
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
        m_home = nullptr;
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
    std::vector<sqlite3_stmt *> *m_home = nullptr;
    sqlite3_stmt *m_statement = nullptr;
};

// A statement text with its prepared statements that are not in use: the texts a set takes over
// and over keep theirs beside them, so taking one needs no look-up by text.
struct PooledText {
    PooledText() = default;
    ~PooledText();
    PooledText(PooledText &&other) noexcept = default;
    PooledText &operator=(PooledText &&) = delete;
    PooledText(const PooledText &) = delete;
    PooledText &operator=(const PooledText &) = delete;

    // A statement of the text on `db`: a free one, else one prepared now (raising StoreError
    // naming the text when the engine refuses it).
    PooledStatement take(sqlite3 *db);

    QString text;
    std::vector<sqlite3_stmt *> free;
};

// The statement texts of the sets over one table with one shape of condition, made once while
// the schema stays the same: a batch opens sets on the same tables thousands of times.
struct TableTexts {
    QString table;
    QString filter;      // " AND (condition)", or empty
    PooledText forward;  // rows after a rowid, in insertion order
    PooledText backward; // rows before a rowid, in reverse order
    PooledText exists;   // whether the set has any row now
    PooledText byRowid;  // one row, for a fresh read
    PooledText atRowid;  // one row if the set holds it, for a bookmark
    PooledText counter;  // how many rows the set has
    PooledText remove;   // deletes one row by its rowid
    // Per column, made on first use: equal values after a rowid.
    std::vector<PooledText> finders;
    // Inserts and updates by the columns written (a bit per column).
    std::unordered_map<std::uint64_t, PooledText> inserts;
    std::unordered_map<std::uint64_t, PooledText> updates;
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
    // What sets opened on a statement of that shape (its columns probe) were found to need, while
    // the schema stays the same: its columns, shared with what their look-ups by name have learnt,
    // and for a set over one table its statement texts. Empty when nothing is known yet.
    struct Known {
        std::shared_ptr<const Columns> columns;
        std::shared_ptr<TableTexts> texts;
    };
    Known known(const QString &probe) const { return m_known.value(probe); }
    Known keep(const SelectShape &shape, std::vector<Column> columns);
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
    QHash<QString, Known> m_known;
    QSet<QString> m_tables;
    sqlite3_stmt *m_schemaVersion = nullptr; // reads the file's schema cookie
    std::int64_t m_schema = -1;
};

} // namespace orv::store
