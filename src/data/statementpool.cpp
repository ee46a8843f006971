#include "statementpool.h"

#include "cursor.h"

#include <sqlite3.h>

#include <utility>

namespace orv::store {

PooledStatement::PooledStatement(PooledStatement &&other) noexcept
    : m_pool(std::exchange(other.m_pool, nullptr)), m_text(std::move(other.m_text)),
      m_home(std::exchange(other.m_home, nullptr)), m_statement(std::exchange(other.m_statement, nullptr))
{
}

PooledStatement &PooledStatement::operator=(PooledStatement &&other) noexcept
{
    if (this != &other) {
        giveBack();
        m_pool = std::exchange(other.m_pool, nullptr);
        m_text = std::move(other.m_text);
        m_home = std::exchange(other.m_home, nullptr);
        m_statement = std::exchange(other.m_statement, nullptr);
    }
    return *this;
}

void PooledStatement::giveBack() noexcept
{
    if (!m_statement)
        return;
    if (m_home) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
        m_home->push_back(m_statement);
    } else if (m_pool) {
        m_pool->put(m_text, m_statement);
    } else {
        sqlite3_finalize(m_statement);
    }
    m_statement = nullptr;
}

PooledText::~PooledText()
{
    for (sqlite3_stmt *statement : free)
        sqlite3_finalize(statement);
}

PooledStatement PooledText::take(sqlite3 *db)
{
    while (!free.empty()) {
        sqlite3_stmt *statement = free.back();
        free.pop_back();
        if (sqlite3_db_handle(statement) == db)
            return PooledStatement(&free, statement);
        sqlite3_finalize(statement);
    }
    return PooledStatement(&free, prepare(db, text).release());
}

PooledStatement StatementPool::reuse(sqlite3 *db, const QString &text)
{
    const auto found = m_free.find(text);
    if (found != m_free.end()) {
        std::vector<sqlite3_stmt *> &free = found.value();
        while (!free.empty()) {
            sqlite3_stmt *statement = free.back();
            free.pop_back();
            if (sqlite3_db_handle(statement) == db)
                return PooledStatement(this, text, statement);
            sqlite3_finalize(statement);
        }
    }
    return PooledStatement();
}

Statement StatementPool::lend(sqlite3 *db, const QString &text)
{
    PooledStatement free = reuse(db, text);
    Statement statement = free ? Statement::adopt(db, free.release()) : Statement(db, text);
    if (statement)
        statement.returnTo(this, text);
    return statement;
}

PooledStatement StatementPool::take(sqlite3 *db, const QString &text, const QString &written)
{
    if (PooledStatement statement = reuse(db, text))
        return statement;
    if (!written.isEmpty() && written != text)
        prepare(db, written);
    return PooledStatement(this, text, prepare(db, text).release());
}

void StatementPool::put(const QString &text, sqlite3_stmt *statement) noexcept
{
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    m_free[text].push_back(statement);
}

void StatementPool::forgetIfSchemaChanged(sqlite3 *db) noexcept
{
    if (m_schemaVersion && sqlite3_db_handle(m_schemaVersion) != db) {
        sqlite3_finalize(m_schemaVersion);
        m_schemaVersion = nullptr;
    }
    // A file that cannot answer keeps nothing, and the next prepare raises what is wrong.
    if (!m_schemaVersion &&
        sqlite3_prepare_v2(db, "PRAGMA schema_version", -1, &m_schemaVersion, nullptr) != SQLITE_OK) {
        clear();
        return;
    }
    const int rc = sqlite3_step(m_schemaVersion);
    const std::int64_t schema = rc == SQLITE_ROW ? sqlite3_column_int64(m_schemaVersion, 0) : -1;
    sqlite3_reset(m_schemaVersion);
    if (schema != m_schema || schema < 0) {
        clear();
        m_schema = schema;
    }
}

StatementPool::Known StatementPool::keep(const SelectShape &shape, std::vector<Column> columns)
{
    auto kept = std::make_shared<Columns>();
    kept->assign(std::move(columns));
    Known known{kept, nullptr};
    if (shape.oneTable) {
        auto texts = std::make_shared<TableTexts>();
        texts->table = shape.table.toString();
        const QStringView condition = shape.parameterized.isEmpty() ? shape.condition : shape.parameterized;
        if (!condition.isEmpty())
            texts->filter.append(QLatin1String(" AND (")).append(condition).append(QLatin1Char(')'));
        const QString &table = texts->table;
        const QString &filter = texts->filter;
        texts->forward.text =
            QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid > ?1%2 ORDER BY rowid").arg(table, filter);
        texts->backward.text =
            QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid < ?1%2 ORDER BY rowid DESC").arg(table, filter);
        texts->exists.text = QStringLiteral("SELECT 1 FROM %1 WHERE 1%2 LIMIT 1").arg(table, filter);
        texts->byRowid.text = QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid = ?1").arg(table);
        texts->atRowid.text = QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid = ?1%2").arg(table, filter);
        texts->counter.text = QStringLiteral("SELECT count(*) FROM %1 WHERE 1%2").arg(table, filter);
        texts->remove.text = QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(table);
        known.texts = std::move(texts);
    }
    m_known.insert(shape.probe, known);
    return known;
}

void StatementPool::clear() noexcept
{
    m_known.clear();
    m_tables.clear();
    sqlite3_finalize(m_schemaVersion);
    m_schemaVersion = nullptr;
    m_schema = -1;
    for (const std::vector<sqlite3_stmt *> &free : std::as_const(m_free)) {
        for (sqlite3_stmt *statement : free)
            sqlite3_finalize(statement);
    }
    m_free.clear();
}

void PooledStatement::bind(int index, std::int64_t value) const noexcept
{
    sqlite3_bind_int64(m_statement, index, value);
}

int PooledStatement::step() const noexcept
{
    return sqlite3_step(m_statement);
}

int PooledStatement::columnCount() const noexcept
{
    return sqlite3_column_count(m_statement);
}

} // namespace orv::store
