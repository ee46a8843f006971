#include "serverpages.h"

#include "data/columnvalues.h"
#include "pgcursor.h"
#include "serverschema.h"
#include "serverstore.h"

#include <QRegularExpression>

#include <algorithm>
#include <iterator>

namespace orv::server {

namespace {

const QString kRead = QStringLiteral("读取记录失败");
// Rows an export reads at once: few statements, and a bounded result in memory.
constexpr long kReadAllRows = 4096;

QString orderOf(const QString &table)
{
    return table + QLatin1Char('.') + quoted(kOrderColumn);
}

const TableDef *tableNamed(const QString &name)
{
    for (const TableDef &table : tables()) {
        if (table.name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    }
    return nullptr;
}

} // namespace

ServerPages::ServerPages(ServerStore &store, sql::ListQuery query, int blockRows)
    : m_store(store), m_query(std::move(query)), m_blockRows(blockRows)
{
    QStringList from;
    QStringList highest;
    for (const QString &table : m_query.keyTables) {
        from.append(orderedView(table.toLower()) + QStringLiteral(" AS ") + table);
        highest.append(QStringLiteral("(SELECT max(%1) FROM %2) AS b%3")
                           .arg(quoted(kOrderColumn), orderedView(table.toLower()))
                           .arg(highest.size()));
    }
    m_from = from.join(QStringLiteral(", "));

    // The statement's own list, a star spelled out so the order columns stay out of it; each
    // entry that names a table's column can be sorted by.
    static const QRegularExpression column(QStringLiteral(R"(^\s*(?:([^\s.,]+)\.)?([^\s.,]+)(?:\s+as\s+\S+)?\s*$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (m_query.columns.trimmed() == QLatin1String("*")) {
        for (const QString &table : m_query.keyTables) {
            const TableDef *def = tableNamed(table);
            if (!def)
                throw StoreError(ServerCode::Failed, QStringLiteral("数据库服务器上没有表 %1").arg(table));
            for (const ColumnDef &c : def->columns) {
                m_selected.append(table + QLatin1Char('.') + quoted(c.name));
                m_sources.push_back({m_selected.constLast(), table});
            }
        }
    } else {
        for (const QString &entry : m_query.columns.split(QLatin1Char(','))) {
            m_selected.append(entry.trimmed());
            const QRegularExpressionMatch match = column.match(entry);
            // A column named alone belongs to the one table there is.
            const QString table = match.hasMatch() && match.captured(1).isEmpty() && m_query.keyTables.size() == 1
                                      ? m_query.keyTables.front()
                                      : match.captured(1);
            if (match.hasMatch() && m_query.keyTables.contains(table))
                m_sources.push_back({table + QLatin1Char('.') + quoted(match.captured(2)), table});
            else
                m_sources.push_back({});
        }
    }

    // The columns' names and kinds, asked once per statement while the program runs.
    m_columns = m_store.columnsOf(
        QStringLiteral("SELECT %1 FROM %2").arg(m_selected.join(QStringLiteral(", ")), m_from), store::SelectShape{});
    for (int i = 0; i < m_columns->size(); ++i)
        m_kinds.push_back((*m_columns)[i].kind);

    // The first block and one row more, in the order added: for a list no longer than a block
    // they are the whole list, its count and its keys' bounds (a row added later has a higher
    // order value in its table), and the first block is then shown without reading it again.
    m_firstRows = runRange({}, {}, true, 0, m_blockRows + 1L);
    m_firstChanges = m_store.changes();
    const int read = PQntuples(m_firstRows.get());
    if (read <= m_blockRows) {
        m_count = read;
        const auto keyAt = static_cast<int>(m_selected.size());
        for (int i = 0; i < m_query.keyTables.size(); ++i) {
            qint64 top = 0;
            for (int row = 0; row < read; ++row)
                top = std::max(top, QByteArray(PQgetvalue(m_firstRows.get(), row, keyAt + i)).toLongLong());
            m_bounds.push_back(QByteArray::number(top));
        }
        return;
    }

    // The highest order values and the rows up to them, in one statement.
    QString counting = QStringLiteral("SELECT count(*) FROM %1 WHERE ").arg(m_from);
    if (!m_query.where.isEmpty())
        counting += QLatin1Char('(') + m_query.where + QStringLiteral(") AND ");
    QStringList within;
    for (int i = 0; i < m_query.keyTables.size(); ++i)
        within.append(QStringLiteral("%1 <= bounds.b%2").arg(orderOf(m_query.keyTables.at(i))).arg(i));
    const PgResultHandle counted =
        m_store.run(QStringLiteral("WITH bounds AS (SELECT %1) SELECT (%2), bounds.* FROM bounds")
                        .arg(highest.join(QStringLiteral(", ")), counting + within.join(QStringLiteral(" AND "))),
                    {}, kRead);
    m_count = QByteArray(PQgetvalue(counted.get(), 0, 0)).toLong();
    for (int i = 1; i < PQnfields(counted.get()); ++i)
        m_bounds.emplace_back(PQgetisnull(counted.get(), 0, i) ? QByteArray("0")
                                                               : QByteArray(PQgetvalue(counted.get(), 0, i)));
}

long ServerPages::blockCount() const noexcept
{
    return (m_count + m_blockRows - 1) / m_blockRows;
}

long ServerPages::rowsIn(long block) const noexcept
{
    return std::clamp<long>(m_count - block * m_blockRows, 0, m_blockRows);
}

void ServerPages::showColumns(const QStringList &columns)
{
    std::vector<int> positions;
    for (const QString &name : columns)
        positions.push_back(m_columns->indexOf(name));
    m_positions = std::move(positions);
}

std::vector<ServerPages::KeyPart> ServerPages::keyParts() const
{
    std::vector<KeyPart> parts;
    QStringList tables = m_query.keyTables;
    if (m_order != Order::Added) {
        const auto at = static_cast<size_t>(m_positions[static_cast<size_t>(m_orderColumn)]);
        const Source &source = m_sources[at];
        // Missing values first (last, descending) as the file has them; texts by their code page 936 bytes (GB18030
        // keeps those and places every other character after them).
        const bool reversed = m_order == Order::Descending;
        parts.push_back({QStringLiteral("(%1 IS NOT NULL)").arg(source.expression),
                         QStringLiteral("(%1 IS NOT NULL)").arg(source.expression), QStringLiteral("$%1::boolean"),
                         reversed});
        if (m_kinds[at] == FieldValue::Kind::Text)
            parts.push_back({QStringLiteral("convert_to(coalesce(%1, ''), 'GB18030')").arg(source.expression),
                             QStringLiteral("coalesce(%1, '')").arg(source.expression),
                             QStringLiteral("convert_to($%1::text, 'GB18030')"), reversed});
        else // the server gives the value read back the column's own type, so it compares exactly
            parts.push_back({QStringLiteral("coalesce(%1, 0)").arg(source.expression),
                             QStringLiteral("coalesce(%1, 0)").arg(source.expression), QStringLiteral("$%1"),
                             reversed});
        // Rows of one value in the order their own table got them, then as the list has them,
        // whichever way the values go.
        tables.move(tables.indexOf(source.table), 0);
    }
    for (const QString &table : tables)
        parts.push_back({orderOf(table), orderOf(table), QStringLiteral("$%1::bigint"), false});
    return parts;
}

PgResultHandle ServerPages::runRange(Edge lower, Edge upper, bool forwards, long skip, long rows) const
{
    const std::vector<KeyPart> parts = keyParts();
    QStringList selected = m_selected;
    QStringList ordered;
    for (const KeyPart &part : parts) {
        selected.append(part.selected);
        ordered.append(part.compared + (part.reversed == forwards ? QStringLiteral(" DESC") : QString()));
    }
    // The bounds, once known: the list's first read is what finds them for a short list.
    ServerConnection::Parameters values(m_bounds.begin(), m_bounds.end());
    QStringList conditions{QStringLiteral("true")};
    if (!m_query.where.isEmpty())
        conditions.append(QLatin1Char('(') + m_query.where + QLatin1Char(')'));
    for (size_t i = 0; i < m_bounds.size(); ++i)
        conditions.append(
            QStringLiteral("%1 <= $%2").arg(orderOf(m_query.keyTables.at(static_cast<int>(i)))).arg(i + 1));
    // Past an edge in the list's order: key by key, each compared its own way.
    const auto past = [&](Edge edge, bool after) {
        if (!edge.key)
            return;
        QStringList given;
        for (size_t i = 0; i < parts.size(); ++i) {
            given.append(parts[i].parameter.arg(values.size() + 1));
            values.emplace_back((*edge.key)[i]);
        }
        const auto beyond = [&](size_t i) {
            return after != parts[i].reversed ? QStringLiteral(" > ") : QStringLiteral(" < ");
        };
        QString condition;
        for (auto i = parts.size(); i-- > 0;) {
            const QString &key = parts[i].compared;
            if (i + 1 == parts.size()) {
                condition = key + beyond(i).trimmed() + (edge.included ? QStringLiteral("= ") : QStringLiteral(" ")) +
                            given[static_cast<int>(i)];
                continue;
            }
            condition = QStringLiteral("(%1%2%3 OR (%1 = %3 AND %4))")
                            .arg(key, beyond(i), given[static_cast<int>(i)], condition);
        }
        // The leading key alone as well, so the server reads only that range of its table.
        conditions.append(parts.front().compared + beyond(0).trimmed() + QStringLiteral("= ") + given.front());
        conditions.append(condition);
    };
    past(lower, true);
    past(upper, false);
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT %5 OFFSET %6")
                            .arg(selected.join(QStringLiteral(", ")), m_from, conditions.join(QStringLiteral(" AND ")),
                                 ordered.join(QStringLiteral(", ")))
                            .arg(rows)
                            .arg(skip);
    return m_store.run(sql, values, kRead);
}

QString ServerPages::cellText(const PGresult *result, int row, int column) const
{
    const FieldValue::Kind kind = m_kinds[static_cast<size_t>(column)];
    if (kind == FieldValue::Kind::Text && !PQgetisnull(result, row, column))
        return QString::fromUtf8(PQgetvalue(result, row, column), PQgetlength(result, row, column));
    return readValue(result, row, column, kind).toDisplayText();
}

void ServerPages::takeRows(const PGresult *result, int rows, std::vector<QString> &cells, std::vector<Key> &keys) const
{
    const auto keyAt = static_cast<int>(m_selected.size());
    const int width = PQnfields(result) - keyAt;
    for (int row = 0; row < rows; ++row) {
        for (const int at : m_positions)
            cells.push_back(cellText(result, row, at));
        Key key;
        for (int i = 0; i < width; ++i)
            key.emplace_back(PQgetvalue(result, row, keyAt + i), PQgetlength(result, row, keyAt + i));
        keys.push_back(std::move(key));
    }
}

long ServerPages::readRows(Edge lower, Edge upper, bool forwards, long skip, long rows, std::vector<QString> &cells,
                           std::vector<Key> &keys) const
{
    const PgResultHandle result = runRange(lower, upper, forwards, skip, rows);
    const int found = PQntuples(result.get());
    takeRows(result.get(), found, cells, keys);
    return found;
}

std::vector<QString> ServerPages::readBlock(long block)
{
    const long rows = rowsIn(block);
    const auto width = m_positions.size();
    std::vector<QString> cells;
    std::vector<Key> keys;
    if (rows <= 0)
        return cells;
    // The first block as the list's opening read it, while nothing has changed since.
    const PgResultHandle opening = std::move(m_firstRows);
    if (block == 0 && opening && m_order == Order::Added && m_firstChanges == m_store.changes() &&
        PQntuples(opening.get()) >= rows) {
        takeRows(opening.get(), static_cast<int>(rows), cells, keys);
        m_known[0] = {keys.front(), keys.back()};
        return cells;
    }
    const long first = block * m_blockRows;
    const long last = first + rows - 1;
    bool forwards = true;
    Edge lower;
    Edge upper;
    long skip = 0;
    const auto known = [this](long at) { return m_known.find(at); };
    if (const auto own = known(block); own != m_known.end()) {
        // Read before: between its own edges, so rows gone since leave a gap, not a shift.
        lower = {&own->second.first, true};
        upper = {&own->second.last, true};
    } else if (const auto before = known(block - 1); before != m_known.end()) {
        lower = {&before->second.last, false};
        if (const auto after = known(block + 1); after != m_known.end())
            upper = {&after->second.first, false};
    } else if (const auto after = known(block + 1); after != m_known.end()) {
        forwards = false;
        upper = {&after->second.first, false};
    } else {
        // From either end, or from the nearest edge of a block read before, whichever skips fewest.
        skip = first;
        if (m_count - 1 - last < skip) {
            forwards = false;
            skip = m_count - 1 - last;
        }
        for (const auto &[at, edges] : m_known) {
            const long start = at * m_blockRows;
            const long end = start + rowsIn(at) - 1;
            if (end < first && first - end - 1 < skip) {
                forwards = true;
                lower = {&edges.last, false};
                upper = {};
                skip = first - end - 1;
            } else if (start > last && start - last - 1 < skip) {
                forwards = false;
                upper = {&edges.first, false};
                lower = {};
                skip = start - last - 1;
            }
        }
    }
    std::vector<QString> got;
    got.reserve(static_cast<size_t>(rows) * width);
    const long read = readRows(lower, upper, forwards, skip, rows, got, keys);
    // A row deleted since the list was opened leaves an empty row at the block's far edge.
    if (forwards) {
        cells = std::move(got);
        cells.resize(static_cast<size_t>(rows) * width);
    } else {
        // Read backwards: the rows came last first.
        cells.resize(static_cast<size_t>(rows - read) * width);
        for (long row = read - 1; row >= 0; --row) {
            const auto at = got.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(row) * width);
            std::move(at, at + static_cast<std::ptrdiff_t>(width), std::back_inserter(cells));
        }
        std::reverse(keys.begin(), keys.end());
    }
    if (!keys.empty() && read == rows)
        m_known[block] = {keys.front(), keys.back()};
    return cells;
}

long ServerPages::readAll(const RowCells &row)
{
    long handed = 0;
    Key edge;
    std::vector<QByteArray> shown(m_positions.size());
    std::vector<QByteArrayView> views(m_positions.size());
    for (;;) {
        const PgResultHandle result = runRange({edge.empty() ? nullptr : &edge, false}, {}, true, 0, kReadAllRows);
        const PGresult *got = result.get();
        const int found = PQntuples(got);
        const auto keyAt = static_cast<int>(m_selected.size());
        for (int r = 0; r < found; ++r) {
            for (size_t i = 0; i < m_positions.size(); ++i) {
                const int at = m_positions[i];
                if (m_kinds[static_cast<size_t>(at)] == FieldValue::Kind::Text && !PQgetisnull(got, r, at)) {
                    views[i] = QByteArrayView(PQgetvalue(got, r, at), PQgetlength(got, r, at));
                } else {
                    shown[i] = cellText(got, r, at).toUtf8();
                    views[i] = shown[i];
                }
            }
            ++handed;
            if (!row(views))
                return handed;
        }
        if (found < kReadAllRows)
            return handed;
        edge.clear();
        for (int i = keyAt; i < PQnfields(got); ++i)
            edge.emplace_back(PQgetvalue(got, found - 1, i), PQgetlength(got, found - 1, i));
    }
}

bool ServerPages::setOrder(int column, Order order)
{
    if (order != Order::Added) {
        if (column < 0 || column >= columnCount() ||
            m_sources[static_cast<size_t>(m_positions[static_cast<size_t>(column)])].expression.isEmpty())
            return false;
        m_orderColumn = column;
    }
    m_order = order;
    m_known.clear();
    return true;
}

bool ServerPages::orderBeside(int column, Order order, std::function<void()>)
{
    return setOrder(column, order);
}

} // namespace orv::server
