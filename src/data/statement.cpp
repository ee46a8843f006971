#include "statement.h"

#include "connection.h"
#include "statementpool.h"

#include <sqlite3.h>

namespace orv {

void Statement::Finalizer::operator()(sqlite3_stmt *statement) const noexcept
{
    sqlite3_finalize(statement);
}

Statement::Statement(sqlite3 *db, const QString &text) : m_db(db)
{
    sqlite3_stmt *raw = nullptr;
    const QByteArray utf8 = text.toUtf8();
    m_status = sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &raw, nullptr);
    m_statement.reset(raw);
}

Statement::~Statement()
{
    if (m_pool && m_statement)
        m_pool->put(m_key, m_statement.release());
}

Statement Statement::adopt(sqlite3 *db, sqlite3_stmt *statement) noexcept
{
    Statement adopted;
    adopted.m_db = db;
    adopted.m_statement.reset(statement);
    adopted.m_status = SQLITE_OK;
    return adopted;
}

void Statement::returnTo(store::StatementPool *pool, const QString &key)
{
    m_pool = pool;
    m_key = key;
}

Statement Statement::prepared(sqlite3 *db, const QString &text, const QString &what)
{
    Statement statement(db, text);
    if (statement.m_status != SQLITE_OK)
        raiseEngineError(db, statement.m_status, what);
    return statement;
}

Statement &Statement::bind(int index, const QString &value)
{
    const QByteArray text = value.toUtf8();
    sqlite3_bind_text(m_statement.get(), index, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement &Statement::bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(m_statement.get(), index, value);
    return *this;
}

Statement &Statement::bind(int index, float value)
{
    return bind(index, static_cast<double>(value));
}

Statement &Statement::bind(int index, double value)
{
    sqlite3_bind_double(m_statement.get(), index, value);
    return *this;
}

Statement &Statement::bindNull(int index)
{
    sqlite3_bind_null(m_statement.get(), index);
    return *this;
}

int Statement::step() noexcept
{
    return sqlite3_step(m_statement.get());
}

bool Statement::next(const QString &what)
{
    if (!m_statement)
        return false;
    const int rc = step();
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        raiseEngineError(m_db, rc, what);
    return false;
}

void Statement::run(const QString &what)
{
    const int rc = step();
    if (rc != SQLITE_DONE)
        raiseEngineError(m_db, rc, what);
}

void Statement::reset() noexcept
{
    sqlite3_reset(m_statement.get());
}

int Statement::finalize() noexcept
{
    return sqlite3_finalize(m_statement.release());
}

int Statement::columnCount() const noexcept
{
    return sqlite3_column_count(m_statement.get());
}

bool Statement::isNull(int column) const noexcept
{
    return sqlite3_column_type(m_statement.get(), column) == SQLITE_NULL;
}

std::int64_t Statement::integer(int column) const noexcept
{
    return sqlite3_column_int64(m_statement.get(), column);
}

double Statement::real(int column) const noexcept
{
    return sqlite3_column_double(m_statement.get(), column);
}

QString Statement::text(int column) const
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_statement.get(), column)));
}

} // namespace orv
