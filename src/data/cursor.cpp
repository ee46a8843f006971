#include "cursor.h"

#include "connection.h"
#include "querycursor.h"
#include "tablecursor.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace orv::store {

Statement prepare(sqlite3 *db, const QString &text)
{
    // The message is only formatted for a statement refused: sets prepare several each.
    Statement statement(db, text);
    if (statement.status() != SQLITE_OK)
        raiseEngineError(db, statement.status(), QStringLiteral("数据库不接受这条语句：%1").arg(text));
    return statement;
}

sqlite3_stmt *LazyStatement::get()
{
    if (!m_statement)
        m_statement = prepare(m_db, m_text);
    return m_statement.handle();
}

void LazyStatement::reset() noexcept
{
    m_statement.reset();
}

bool stepRow(sqlite3 *db, sqlite3_stmt *statement)
{
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW)
        return true;
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE)
        raiseEngineError(db, rc, QStringLiteral("读取记录失败"));
    return false;
}

bool hasNoRows(sqlite3 *db, sqlite3_stmt *statement)
{
    sqlite3_reset(statement);
    const bool none = !stepRow(db, statement);
    sqlite3_reset(statement);
    return none;
}

std::optional<QByteArrayView> textAt(sqlite3_stmt *statement, int index)
{
    // One look-up of the column instead of three; reading its value directly is safe because
    // the connection is only ever used from one thread.
    sqlite3_value *value = sqlite3_column_value(statement, index);
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return QByteArrayView();
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return QByteArrayView(text, sqlite3_value_bytes(value));
    }
    default:
        return std::nullopt;
    }
}

[[noreturn]] void noCurrentRecord(const QString &why)
{
    throw StoreError(StoreCode::NoCurrentRecord, why);
}

sqlite3 *Cursor::db() const
{
    return m_connection.handle();
}

SelectShape shapeOf(const QString &sql)
{
    static const QRegularExpression simpleSelect(
        QStringLiteral(R"(^\s*select\s*\*\s*from\s+([^\s;,()'"]+)(?:\s+where\s+(.+?))?\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = simpleSelect.match(sql);
    if (!match.hasMatch())
        return {};
    return {true, match.captured(1), match.captured(2)};
}

QString columnsProbe(const QString &sql, const SelectShape &shape)
{
    return shape.oneTable ? columnsProbeText(shape.table, shape.condition, sql) : sql;
}

std::unique_ptr<Cursor> openCursor(Connection &connection, const Columns &columns, const QString &sql,
                                   const SelectShape &shape)
{
    if (shape.oneTable)
        return std::make_unique<TableCursor>(connection, columns, shape.table, shape.condition);
    return std::make_unique<QueryCursor>(connection, columns, sql);
}

} // namespace orv::store
