#include "listpages.h"

#include "columnvalues.h"
#include "connection.h"
#include "cursor.h"
#include "storeerror.h"

#include <limits>
#include <sqlite3.h>

namespace orv::store {

namespace {

constexpr std::int64_t kBeforeAll = std::numeric_limits<std::int64_t>::min();

QString keyOf(const QString &table)
{
    return table + QStringLiteral(".rowid");
}

// Whether the key tables' rowids, from parameter `first` on, come after (or before) the given
// key: compared column by column as the order compares them. Written without row values, which
// the engine linked here compares wrongly against an integer primary key.
QString pastKey(const QStringList &tables, int first, bool after, bool inclusive)
{
    const QString beyond = after ? QStringLiteral(" > ?") : QStringLiteral(" < ?");
    QString condition;
    for (int i = static_cast<int>(tables.size()) - 1; i >= 0; --i) {
        const QString key = keyOf(tables.at(i));
        const QString parameter = QString::number(first + i);
        const bool last = i == tables.size() - 1;
        QString here = key +
                       (last && inclusive ? (after ? QStringLiteral(" >= ?") : QStringLiteral(" <= ?")) : beyond) +
                       parameter;
        if (!last)
            here = QStringLiteral("(%1 or (%2 = ?%3 and %4))").arg(here, key, parameter, condition);
        condition = here;
    }
    // The outermost key alone, so the engine reads only the range of the driving table.
    const QString outer =
        keyOf(tables.first()) + (after ? QStringLiteral(" >= ?") : QStringLiteral(" <= ?")) + QString::number(first);
    return outer + QStringLiteral(" and ") + condition;
}

// The value's text as a recordset shows the column: a text column's stored text as it is, any
// other value as its FieldValue displays it.
QString cellText(sqlite3_stmt *statement, int at, FieldValue::Kind kind)
{
    if (kind == FieldValue::Kind::Text) {
        if (const std::optional<QByteArrayView> text = textAt(statement, at))
            return QString::fromUtf8(*text);
    }
    return readColumn(statement, at, kind).toDisplayText();
}

void bindKeys(Statement &statement, int first, const std::int64_t *keys, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        statement.bind(first + static_cast<int>(i), keys[i]);
}

} // namespace

ListPages::ListPages(Connection &connection, sql::ListQuery query, int blockRows)
    : m_connection(connection), m_query(std::move(query)), m_blockRows(blockRows)
{
    sqlite3 *db = m_connection.handle();
    if (!db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    for (const QString &table : m_query.keyTables) {
        Statement highest = prepare(db, QStringLiteral("select max(rowid) from ") + table);
        highest.next(QStringLiteral("读取记录失败"));
        m_bounds.push_back(highest.isNull(0) ? kBeforeAll : highest.integer(0));
    }
    const size_t keys = m_bounds.size();
    Statement walk = prepare(db, keyStatement());
    bindKeys(walk, 1, m_bounds.data(), keys);
    std::vector<std::int64_t> row(keys);
    while (walk.next(QStringLiteral("读取记录失败"))) {
        ++m_count;
        if (m_count % m_blockRows == 0) {
            for (size_t i = 0; i < keys; ++i)
                m_blockEnds.push_back(walk.integer(static_cast<int>(i)));
        }
        for (size_t i = 0; i < keys; ++i)
            row[i] = walk.integer(static_cast<int>(i));
    }
    if (m_count % m_blockRows != 0)
        m_blockEnds.insert(m_blockEnds.end(), row.begin(), row.end());
}

long ListPages::blockCount() const noexcept
{
    return (m_count + m_blockRows - 1) / m_blockRows;
}

QString ListPages::bounded() const
{
    QString text = QStringLiteral(" from ") + m_query.from + QStringLiteral(" where ");
    if (!m_query.where.isEmpty())
        text += QLatin1Char('(') + m_query.where + QStringLiteral(") and ");
    QStringList bounds;
    for (int i = 0; i < m_query.keyTables.size(); ++i)
        bounds.append(QStringLiteral("%1 <= ?%2").arg(keyOf(m_query.keyTables.at(i))).arg(i + 1));
    return text + bounds.join(QStringLiteral(" and "));
}

QString ListPages::keyOrder(bool descending) const
{
    QStringList keys;
    for (const QString &table : m_query.keyTables)
        keys.append(keyOf(table) + (descending ? QStringLiteral(" desc") : QString()));
    return QStringLiteral(" order by ") + keys.join(QStringLiteral(", "));
}

QString ListPages::keyStatement() const
{
    QStringList keys;
    for (const QString &table : m_query.keyTables)
        keys.append(keyOf(table));
    return QStringLiteral("select ") + keys.join(QStringLiteral(", ")) + bounded() + keyOrder(false);
}

QString ListPages::blockStatement() const
{
    const auto keys = static_cast<int>(m_query.keyTables.size());
    return QStringLiteral("select ") + m_query.columns + bounded() + QStringLiteral(" and ") +
           pastKey(m_query.keyTables, keys + 1, true, false) + QStringLiteral(" and ") +
           pastKey(m_query.keyTables, 2 * keys + 1, false, true) + keyOrder(false) + QStringLiteral(" limit ") +
           QString::number(m_blockRows);
}

void ListPages::showColumns(const QStringList &columns)
{
    Statement statement = prepare(m_connection.handle(), blockStatement());
    sqlite3_stmt *handle = statement.handle();
    std::vector<Column> known;
    for (int i = 0; i < statement.columnCount(); ++i)
        known.push_back(
            {QString::fromUtf8(sqlite3_column_name(handle, i)), kindOfDeclared(sqlite3_column_decltype(handle, i))});
    Columns names;
    names.assign(known);
    m_positions.clear();
    m_kinds.clear();
    for (const QString &column : columns) {
        const int at = names.indexOf(column);
        m_positions.push_back(at);
        m_kinds.push_back(known[static_cast<size_t>(at)].kind);
    }
}

std::vector<QString> ListPages::readBlock(long block)
{
    const auto columns = m_positions.size();
    if (block < 0 || block >= blockCount())
        return {};
    const long rows = std::min<long>(m_blockRows, m_count - block * m_blockRows);
    std::vector<QString> cells(static_cast<size_t>(rows) * columns);
    sqlite3 *db = m_connection.handle();
    if (!db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    const size_t keys = m_bounds.size();
    const std::vector<std::int64_t> start(keys, kBeforeAll);
    Statement statement = prepare(db, blockStatement());
    bindKeys(statement, 1, m_bounds.data(), keys);
    bindKeys(statement, static_cast<int>(keys) + 1,
             block == 0 ? start.data() : m_blockEnds.data() + static_cast<size_t>(block - 1) * keys, keys);
    bindKeys(statement, 2 * static_cast<int>(keys) + 1, m_blockEnds.data() + static_cast<size_t>(block) * keys, keys);
    size_t at = 0;
    while (at < cells.size() && statement.next(QStringLiteral("读取记录失败"))) {
        for (size_t column = 0; column < columns; ++column)
            cells[at++] = cellText(statement.handle(), m_positions[column], m_kinds[column]);
    }
    return cells;
}

} // namespace orv::store
