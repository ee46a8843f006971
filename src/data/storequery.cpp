#include "storequery.h"

#include "connection.h"
#include "statementpool.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <cmath>

namespace orv {

namespace {

// The engine's ?N is the server's $N; statement texts hold no question mark of their own.
QString serverParameters(const QString &text)
{
    static const QRegularExpression numbered(QStringLiteral(R"(\?(\d+))"));
    return QString(text).replace(numbered, QStringLiteral("$\\1"));
}

Statement prepareOnFile(Connection &connection, const QString &text, const QString &what, StoreQuery::Keep keep)
{
    sqlite3 *db = connection.handle();
    if (!db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
    switch (keep) {
    case StoreQuery::Keep::Kept:
        return connection.keptStatement(text, what);
    case StoreQuery::Keep::Once:
        return Statement::prepared(db, text, what);
    case StoreQuery::Keep::KeptChecked:
    case StoreQuery::Keep::KeptMayLack:
        break;
    }
    store::StatementPool &pool = connection.statementPool();
    pool.forgetIfSchemaChanged(db);
    Statement statement = pool.lend(db, text);
    if (statement.status() == SQLITE_ERROR && keep == StoreQuery::Keep::KeptMayLack)
        return statement;
    if (statement.status() != SQLITE_OK)
        raiseEngineError(db, statement.status(), what);
    return statement;
}

QByteArray realText(double value)
{
    if (std::isnan(value))
        return QByteArrayLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QByteArrayLiteral("-Infinity") : QByteArrayLiteral("Infinity");
    // Seventeen digits bring back the same double.
    return QByteArray::number(value, 'g', 17);
}

} // namespace

StoreQuery::StoreQuery(Connection &connection, const QString &text, QString what, Keep keep)
    : m_connection(connection), m_what(std::move(what)), m_backend(connection.backend())
{
    if (m_backend)
        m_serverText = serverParameters(text);
    else
        m_file = prepareOnFile(connection, text, m_what, keep);
}

StoreQuery::~StoreQuery() = default;

void StoreQuery::put(int index, std::optional<QByteArray> value)
{
    const auto at = static_cast<std::size_t>(index - 1);
    if (m_parameters.size() <= at)
        m_parameters.resize(at + 1);
    m_parameters[at] = std::move(value);
}

StoreQuery &StoreQuery::bind(int index, const QString &value)
{
    if (m_backend)
        put(index, value.toUtf8());
    else
        m_file.bind(index, value);
    return *this;
}

StoreQuery &StoreQuery::bind(int index, std::int64_t value)
{
    if (m_backend)
        put(index, QByteArray::number(static_cast<qlonglong>(value)));
    else
        m_file.bind(index, value);
    return *this;
}

StoreQuery &StoreQuery::bind(int index, float value)
{
    return bind(index, static_cast<double>(value));
}

StoreQuery &StoreQuery::bind(int index, double value)
{
    if (m_backend)
        put(index, realText(value));
    else
        m_file.bind(index, value);
    return *this;
}

StoreQuery &StoreQuery::bindNull(int index)
{
    if (m_backend)
        put(index, std::nullopt);
    else
        m_file.bindNull(index);
    return *this;
}

void StoreQuery::runOnServer(const QString &what)
{
    m_rows = m_backend->runStatement(m_serverText, m_parameters, what);
    m_ran = true;
    m_row = -1;
}

bool StoreQuery::next()
{
    if (!m_backend)
        return m_file.next(m_what);
    if (!m_ran)
        runOnServer(m_what);
    const auto rows = m_rows.columns > 0 ? static_cast<int>(m_rows.values.size()) / m_rows.columns : 0;
    if (m_row + 1 >= rows)
        return false;
    ++m_row;
    return true;
}

void StoreQuery::run(const QString &what)
{
    const QString &said = what.isEmpty() ? m_what : what;
    if (m_backend)
        runOnServer(said);
    else
        m_file.run(said);
}

std::int64_t StoreQuery::changes() const
{
    if (m_backend)
        return m_rows.changed;
    return sqlite3_changes(m_connection.handle());
}

int StoreQuery::columnCount() const
{
    return m_backend ? m_rows.columns : m_file.columnCount();
}

const std::optional<QByteArray> &StoreQuery::cell(int column) const
{
    const auto at =
        static_cast<std::size_t>(m_row) * static_cast<std::size_t>(m_rows.columns) + static_cast<std::size_t>(column);
    return m_rows.values.at(at);
}

bool StoreQuery::isNull(int column) const
{
    return m_backend ? !cell(column).has_value() : m_file.isNull(column);
}

std::int64_t StoreQuery::integer(int column) const
{
    if (!m_backend)
        return m_file.integer(column);
    const std::optional<QByteArray> &value = cell(column);
    return value ? value->toLongLong() : 0;
}

double StoreQuery::real(int column) const
{
    if (!m_backend)
        return m_file.real(column);
    const std::optional<QByteArray> &value = cell(column);
    return value ? value->toDouble() : 0.0;
}

QString StoreQuery::text(int column) const
{
    if (!m_backend)
        return m_file.text(column);
    const std::optional<QByteArray> &value = cell(column);
    return value ? QString::fromUtf8(*value) : QString();
}

} // namespace orv
