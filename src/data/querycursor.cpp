#include "querycursor.h"

#include "connection.h"

#include <sqlite3.h>

namespace orv::store {

QueryCursor::QueryCursor(Connection &connection, const Columns &columns, const QString &sql)
    : Cursor(connection, columns), m_cursor(prepare(db(), sql)), m_probe(prepare(db(), sql))
{
}

bool QueryCursor::isEmpty()
{
    return hasNoRows(db(), m_probe.handle());
}

long QueryCursor::count()
{
    sqlite3_stmt *statement = m_probe.handle();
    sqlite3_reset(statement);
    long count = 0;
    while (stepRow(db(), statement))
        ++count;
    return count;
}

bool QueryCursor::next()
{
    if (!m_cursorOn && !seekRow(m_index))
        return false;
    m_cursorOn = false;
    if (!stepRow(db(), m_cursor.handle()))
        return false;
    ++m_index;
    m_cursorOn = true;
    return true;
}

FieldValue QueryCursor::value(int at)
{
    if (!m_cursorOn && !seekRow(m_index))
        noCurrentRecord(QStringLiteral("当前记录已经不在查询结果中，不能读取。"));
    return readColumn(m_cursor.handle(), at, m_columns[at].kind);
}

bool QueryCursor::storedTexts(const int *at, size_t count, std::optional<QByteArrayView> *texts) const
{
    if (!m_cursorOn)
        return false;
    for (size_t i = 0; i < count; ++i)
        texts[i] = textAt(m_cursor.handle(), at[i]);
    return true;
}

void QueryCursor::settle(bool) noexcept
{
    sqlite3_reset(m_cursor.handle());
    sqlite3_reset(m_probe.handle());
    m_cursorOn = false;
}

bool QueryCursor::seekRow(long n)
{
    sqlite3_stmt *statement = m_cursor.handle();
    sqlite3_reset(statement);
    m_cursorOn = false;
    for (long i = 0; i <= n; ++i) {
        if (!stepRow(db(), statement))
            return false;
    }
    m_index = n;
    m_cursorOn = true;
    return true;
}

} // namespace orv::store
