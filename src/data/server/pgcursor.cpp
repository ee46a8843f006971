#include "pgcursor.h"

#include "data/connection.h"
#include "serverschema.h"
#include "serverstore.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orv::server {

namespace {

using ValueKind = FieldValue::Kind;
using Parameters = ServerConnection::Parameters;

constexpr std::int64_t kBeforeAll = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kAfterAll = std::numeric_limits<std::int64_t>::max();
// Rows read at once: a screen of a list and then some, so a walk costs a round trip per window.
constexpr int kWindow = 200;
// A walk that runs on past a window reads the next one twice as long, up to this many rows: a
// long list then costs a few round trips instead of one per screen.
constexpr int kLongestWindow = 12800;
// The slot of the first of a parameterized condition's texts in the file's statements.
constexpr int kFirstConditionSlot = 3;

// The server's type numbers (pg_type.oid), fixed for the built-in types.
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kText = 25;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kBpchar = 1042;
constexpr Oid kVarchar = 1043;
constexpr Oid kNumeric = 1700;

const QString kRead = QStringLiteral("读取记录失败");
const QString kGone = QStringLiteral("当前记录已经被删除，不能读取。");

QByteArray realParameter(double value, int digits)
{
    if (std::isnan(value))
        return QByteArrayLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QByteArrayLiteral("-Infinity") : QByteArrayLiteral("Infinity");
    // Enough digits that the server reads back the very value.
    return QByteArray::number(value, 'g', digits);
}

double realOf(const char *text, bool &ok)
{
    const QByteArray value(text);
    if (value == "NaN") {
        ok = true;
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (value == "Infinity" || value == "-Infinity") {
        ok = true;
        return value.startsWith('-') ? -std::numeric_limits<double>::infinity()
                                     : std::numeric_limits<double>::infinity();
    }
    return value.toDouble(&ok);
}

} // namespace

FieldValue::Kind kindOfType(Oid type)
{
    switch (type) {
    case kInt2:
        return ValueKind::Int16;
    case kInt4:
        return ValueKind::Int32;
    case kFloat4:
        return ValueKind::Single;
    case kFloat8:
        return ValueKind::Double;
    case kText:
    case kBpchar:
    case kVarchar:
        return ValueKind::Text;
    default:
        return ValueKind::Empty;
    }
}

FieldValue readValue(const PGresult *result, int row, int column, FieldValue::Kind kind)
{
    if (PQgetisnull(result, row, column))
        return FieldValue::null();
    const char *text = PQgetvalue(result, row, column);
    bool ok = true;
    switch (kind) {
    case ValueKind::Int16:
        return FieldValue::int16(QByteArray(text).toShort(&ok));
    case ValueKind::Int32:
        return FieldValue::int32(QByteArray(text).toInt(&ok));
    case ValueKind::Single:
        return FieldValue(static_cast<float>(realOf(text, ok)));
    case ValueKind::Double:
        return FieldValue(realOf(text, ok));
    case ValueKind::Text:
        break;
    default: {
        // As a file's column without a declared type: a whole number within 32 bits is one, any
        // other number a double.
        const Oid type = PQftype(result, column);
        if (type == kInt8) {
            const qlonglong number = QByteArray(text).toLongLong(&ok);
            if (number >= std::numeric_limits<std::int32_t>::min() &&
                number <= std::numeric_limits<std::int32_t>::max())
                return FieldValue::int32(static_cast<std::int32_t>(number));
            return FieldValue(static_cast<double>(number));
        }
        if (type == kNumeric) {
            const double number = realOf(text, ok);
            if (ok)
                return FieldValue(number);
        }
        break;
    }
    }
    return FieldValue(QString::fromUtf8(text, PQgetlength(result, row, column)));
}

std::optional<QByteArray> parameterOf(const FieldValue &value)
{
    switch (value.kind()) {
    case ValueKind::Empty:
    case ValueKind::Null:
        return std::nullopt;
    case ValueKind::Text:
        return value.asText().toUtf8();
    case ValueKind::Int16:
        return QByteArray::number(value.asInt16());
    case ValueKind::Int32:
        return QByteArray::number(value.asInt32());
    case ValueKind::Single:
        return realParameter(static_cast<double>(value.asSingle()), 9);
    case ValueKind::Double:
        return realParameter(value.asDouble(), 17);
    }
    return std::nullopt;
}

PgCursor::PgCursor(Connection &connection, const store::Columns &columns, ServerStore &store,
                   const store::SelectShape &shape)
    : Cursor(connection, columns), m_store(store), m_name(shape.table.toString()),
      m_table(orderedView(m_name.toLower()))
{
    QStringList listed{quoted(kOrderColumn)};
    for (int i = 0; i < columns.size(); ++i)
        listed.append(quoted(columns[i].name));
    m_listed = listed.join(QLatin1Char(','));
    if (!shape.parameterized.isEmpty()) {
        m_condition = shape.parameterized;
        m_conditionValues = shape.values;
    } else {
        m_condition = shape.condition.toString();
    }
}

QString PgCursor::filter(int first) const
{
    if (m_condition.isEmpty())
        return QString();
    QString condition = m_condition;
    if (!m_conditionValues.empty()) {
        // The file's slots (?3, ?4 ...) become the server's, after the statement's own.
        static const QRegularExpression slot(QStringLiteral("\\?(\\d+)"));
        QString renumbered;
        qsizetype done = 0;
        for (auto it = slot.globalMatch(condition); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            renumbered += QStringView(condition).mid(done, match.capturedStart() - done);
            renumbered += QLatin1Char('$') + QString::number(match.captured(1).toInt() - kFirstConditionSlot + first);
            done = match.capturedEnd();
        }
        renumbered += QStringView(condition).mid(done);
        condition = std::move(renumbered);
    }
    return QStringLiteral(" AND (%1)").arg(condition);
}

Parameters PgCursor::parameters(Parameters leading) const
{
    for (const QByteArray &value : m_conditionValues)
        leading.emplace_back(value);
    return leading;
}

bool PgCursor::windowUsable() const
{
    return m_window && m_row >= 0 && m_windowVersion == m_connection.version();
}

bool PgCursor::fetch(const QString &sql, Parameters leading, Order order, bool filtered)
{
    m_window = m_store.run(sql, filtered ? parameters(std::move(leading)) : std::move(leading), kRead);
    m_windowOrder = order;
    m_windowVersion = m_connection.version();
    m_windowRows = 0;
    m_windowFromEnd = false;
    m_row = -1;
    if (PQntuples(m_window.get()) == 0) {
        m_window.reset();
        return false;
    }
    landOn(0);
    return true;
}

bool PgCursor::fetchFrom(std::int64_t from, Order order, int rows)
{
    const bool up = order == Order::Up;
    const QString sql =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 %4 $1%5 ORDER BY %3%6 LIMIT %7")
            .arg(m_listed, m_table, quoted(kOrderColumn), up ? QStringLiteral(">") : QStringLiteral("<"), filter(2),
                 up ? QString() : QStringLiteral(" DESC"), QString::number(rows));
    const bool found = fetch(sql, {QByteArray::number(static_cast<qlonglong>(from))}, order);
    m_windowRows = rows;
    m_windowFromEnd = from == kBeforeAll || from == kAfterAll;
    return found;
}

bool PgCursor::windowRepeats() const
{
    // A unit reads from one snapshot of the server's rows, and the window's version says nothing
    // changed through the connection since: the same statement would read the same rows.
    return windowUsable() && m_store.inUnit();
}

bool PgCursor::walkOn(Order order)
{
    // Past the end of a window read the same way and still current, the walk goes on.
    const bool onward = windowUsable() && m_windowOrder == order && m_row + 1 == PQntuples(m_window.get());
    if (onward && windowRepeats() && PQntuples(m_window.get()) < m_windowRows) {
        // The window held every row there was: the next read would find none, and leave the
        // cursor as this does.
        m_window.reset();
        m_row = -1;
        return false;
    }
    return fetchFrom(m_order, order, onward ? std::min(2 * m_windowRows, kLongestWindow) : kWindow);
}

void PgCursor::landOn(int row)
{
    m_row = row;
    m_order = QByteArray(PQgetvalue(m_window.get(), row, 0)).toLongLong();
}

bool PgCursor::isEmpty()
{
    QString condition = filter(1);
    if (!condition.isEmpty())
        condition = QStringLiteral(" WHERE TRUE") + condition;
    const PgResultHandle result = m_store.run(
        QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1%2)").arg(m_table, condition), parameters({}), kRead);
    return QByteArray(PQgetvalue(result.get(), 0, 0)) != "t";
}

long PgCursor::count()
{
    QString condition = filter(1);
    if (!condition.isEmpty())
        condition = QStringLiteral(" WHERE TRUE") + condition;
    const PgResultHandle result =
        m_store.run(QStringLiteral("SELECT count(*) FROM %1%2").arg(m_table, condition), parameters({}), kRead);
    return static_cast<long>(QByteArray(PQgetvalue(result.get(), 0, 0)).toLongLong());
}

bool PgCursor::first()
{
    // A set opened and then rewound, as every list is, reads its first rows once.
    if (windowRepeats() && m_windowOrder == Order::Up && m_windowFromEnd) {
        landOn(0);
        return true;
    }
    return fetchFrom(kBeforeAll, Order::Up, kWindow);
}

bool PgCursor::last()
{
    if (windowRepeats() && m_windowOrder == Order::Down && m_windowFromEnd) {
        landOn(0);
        return true;
    }
    return fetchFrom(kAfterAll, Order::Down, kWindow);
}

bool PgCursor::next()
{
    if (windowUsable() && m_windowOrder == Order::Up && m_row + 1 < PQntuples(m_window.get())) {
        landOn(m_row + 1);
        return true;
    }
    return walkOn(Order::Up);
}

bool PgCursor::previous()
{
    if (windowUsable() && m_windowOrder == Order::Down && m_row + 1 < PQntuples(m_window.get())) {
        landOn(m_row + 1);
        return true;
    }
    return walkOn(Order::Down);
}

const PGresult *PgCursor::currentRow()
{
    // Read by its order value alone: a row changed so that the condition no longer holds for it
    // is still the current one.
    if (!windowUsable() &&
        !fetch(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = $1").arg(m_listed, m_table, quoted(kOrderColumn)),
               {QByteArray::number(static_cast<qlonglong>(m_order))}, Order::One, false))
        store::noCurrentRecord(kGone);
    return m_window.get();
}

FieldValue PgCursor::value(int at)
{
    const PGresult *rows = currentRow();
    return readValue(rows, m_row, at + 1, m_columns[at].kind); // column 0 is the order value
}

bool PgCursor::storedTexts(const int *at, size_t count, std::optional<QByteArrayView> *texts) const
{
    if (!windowUsable())
        return false;
    const PGresult *rows = m_window.get();
    for (size_t i = 0; i < count; ++i) {
        const int column = at[i] + 1;
        if (PQgetisnull(rows, m_row, column))
            texts[i] = QByteArrayView();
        else if (kindOfType(PQftype(rows, column)) == ValueKind::Text)
            texts[i] = QByteArrayView(PQgetvalue(rows, m_row, column), PQgetlength(rows, m_row, column));
        else
            texts[i] = std::nullopt;
    }
    return true;
}

bool PgCursor::moveTo(std::int64_t bookmark)
{
    return fetch(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = $1%4").arg(m_listed, m_table, quoted(kOrderColumn), filter(2)),
        {QByteArray::number(static_cast<qlonglong>(bookmark))}, Order::One);
}

// Texts are compared by the server, whose equality of texts is byte for byte as the store's is;
// any other case is left to a walk, which applies the store's conversions row by row.
store::Cursor::Seek PgCursor::seek(int at, const FieldValue &value, From from)
{
    const store::Column &column = m_columns[at];
    if (column.kind != ValueKind::Text || value.isNull())
        return Seek::Walk;
    // The current row is the first candidate when seeking on from it.
    const std::int64_t after = from == From::Start ? kBeforeAll : m_order - 1;
    if (value.kind() != ValueKind::Text) { // a text never equals a value of another kind
        m_window.reset();
        return Seek::None;
    }
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 > $1 AND %4 = $2%5 ORDER BY %3 LIMIT 1")
                            .arg(m_listed, m_table, quoted(kOrderColumn), quoted(column.name), filter(3));
    return fetch(sql, {QByteArray::number(static_cast<qlonglong>(after)), value.asText().toUtf8()}, Order::One)
               ? Seek::Found
               : Seek::None;
}

PgResultHandle PgCursor::write(const QString &sql, const Parameters &parameters)
{
    m_window.reset();
    PgResultHandle result = m_store.run(sql, parameters, QStringLiteral("写入表“%1”失败").arg(m_name));
    m_store.noteWrite();
    return result;
}

void PgCursor::insert(const store::PendingValues &values)
{
    QStringList names;
    QStringList slots;
    Parameters written;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (const std::optional<FieldValue> &value = values[static_cast<size_t>(i)]) {
            names.append(quoted(m_columns[i].name));
            written.push_back(parameterOf(*value));
            slots.append(QLatin1Char('$') + QString::number(written.size()));
        }
    }
    const QString sql =
        names.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING %2").arg(m_table, quoted(kOrderColumn))
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
                  .arg(m_table, names.join(QLatin1Char(',')), slots.join(QLatin1Char(',')), quoted(kOrderColumn));
    const PgResultHandle result = write(sql, written);
    // The new row becomes the current one.
    m_order = QByteArray(PQgetvalue(result.get(), 0, 0)).toLongLong();
    m_store.noteAdded(m_order);
}

bool PgCursor::update(const store::PendingValues &values)
{
    QStringList assigned;
    Parameters written;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (const std::optional<FieldValue> &value = values[static_cast<size_t>(i)]) {
            written.push_back(parameterOf(*value));
            assigned.append(quoted(m_columns[i].name) + QStringLiteral("=$") + QString::number(written.size()));
        }
    }
    written.emplace_back(QByteArray::number(static_cast<qlonglong>(m_order)));
    const PgResultHandle result =
        write(QStringLiteral("UPDATE %1 SET %2 WHERE %3=$%4")
                  .arg(m_table, assigned.join(QLatin1Char(',')), quoted(kOrderColumn), QString::number(written.size())),
              written);
    return QByteArray(PQcmdTuples(result.get())).toLongLong() > 0;
}

void PgCursor::remove()
{
    write(QStringLiteral("DELETE FROM %1 WHERE %2=$1").arg(m_table, quoted(kOrderColumn)),
          {QByteArray::number(static_cast<qlonglong>(m_order))});
}

QString inOrderAdded(const QString &sql)
{
    static const QRegularExpression join(
        QStringLiteral(
            R"(^\s*select\s+(.+?)\s+from\s+([A-Za-z_]\w*(?:\s*,\s*[A-Za-z_]\w*)*)(\s+where\s+.+?)?\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression ordered(QStringLiteral(R"(\border\s+by\b)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = join.match(sql);
    // A star would show the order columns; a statement that orders its rows keeps its order.
    if (!match.hasMatch() || match.capturedView(1).trimmed() == QLatin1String("*") || sql.contains(ordered))
        return sql;
    QStringList from;
    QStringList order;
    for (const QString &table : match.captured(2).split(QLatin1Char(','))) {
        const QString name = table.trimmed();
        // Under its own name, so the statement's qualified columns still find it.
        from.append(orderedView(name.toLower()) + QStringLiteral(" AS ") + name);
        order.append(name + QLatin1Char('.') + quoted(kOrderColumn));
    }
    return QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4")
        .arg(match.captured(1), from.join(QStringLiteral(", ")), match.captured(3), order.join(QStringLiteral(", ")));
}

PgQueryCursor::PgQueryCursor(Connection &connection, const store::Columns &columns, ServerStore &store,
                             const QString &sql)
    : Cursor(connection, columns), m_store(store), m_sql(inOrderAdded(sql))
{
}

const PGresult *PgQueryCursor::rows()
{
    if (!m_rows)
        m_rows = m_store.run(m_sql, {}, kRead);
    return m_rows.get();
}

bool PgQueryCursor::standOn(long row)
{
    if (row < 0 || row >= PQntuples(rows()))
        return false;
    m_row = static_cast<int>(row);
    return true;
}

bool PgQueryCursor::isEmpty()
{
    return PQntuples(rows()) == 0;
}

long PgQueryCursor::count()
{
    return PQntuples(rows());
}

bool PgQueryCursor::first()
{
    m_rows.reset();
    return standOn(0);
}

bool PgQueryCursor::last()
{
    m_rows.reset();
    return standOn(PQntuples(rows()) - 1);
}

bool PgQueryCursor::next()
{
    return standOn(m_row + 1);
}

bool PgQueryCursor::previous()
{
    return standOn(m_row - 1);
}

FieldValue PgQueryCursor::value(int at)
{
    if (m_row < 0 || m_row >= PQntuples(rows()))
        store::noCurrentRecord(QStringLiteral("当前记录已经不在查询结果中，不能读取。"));
    return readValue(m_rows.get(), m_row, at, m_columns[at].kind);
}

bool PgQueryCursor::storedTexts(const int *at, size_t count, std::optional<QByteArrayView> *texts) const
{
    if (!m_rows || m_row < 0 || m_row >= PQntuples(m_rows.get()))
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (PQgetisnull(m_rows.get(), m_row, at[i]))
            texts[i] = QByteArrayView();
        else if (kindOfType(PQftype(m_rows.get(), at[i])) == ValueKind::Text)
            texts[i] = QByteArrayView(PQgetvalue(m_rows.get(), m_row, at[i]), PQgetlength(m_rows.get(), m_row, at[i]));
        else
            texts[i] = std::nullopt;
    }
    return true;
}

bool PgQueryCursor::moveTo(std::int64_t bookmark)
{
    return bookmark >= 0 && bookmark <= std::numeric_limits<int>::max() && standOn(static_cast<long>(bookmark));
}

void PgQueryCursor::settle(bool rolledBack) noexcept
{
    // Rows read inside a unit rolled back may be gone.
    if (rolledBack)
        m_rows.reset();
}

} // namespace orv::server
