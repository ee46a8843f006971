#include "tablecursor.h"

#include "connection.h"

#include <QStringList>

#include <limits>

namespace orv::store {

namespace {

constexpr sqlite3_int64 kBeforeAll = std::numeric_limits<sqlite3_int64>::min();
constexpr sqlite3_int64 kAfterAll = std::numeric_limits<sqlite3_int64>::max();

constexpr int kFirstFilterSlot = 3; // ?1 and ?2 are the rowid and a value sought

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// An unquoted name as the pages write one: no blank, sign, quote or bracket in it.
bool isNameCharacter(QChar c)
{
    return !isBlank(c) && !QStringLiteral("=<>!'\"`[]();,").contains(c);
}

// The parameterized form of column='text' [and column='text' ...]; false for any other condition,
// which is then left as written.
bool parameterize(QStringView condition, QString &shape, std::vector<QByteArray> &values)
{
    const qsizetype end = condition.size();
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < end && isBlank(condition[i]))
            ++i;
    };
    skipBlanks();
    while (true) {
        const qsizetype name = i;
        while (i < end && isNameCharacter(condition[i]))
            ++i;
        if (i == name)
            return false;
        const QStringView column = condition.mid(name, i - name);
        skipBlanks();
        if (i >= end || condition[i] != QLatin1Char('='))
            return false;
        ++i;
        skipBlanks();
        if (i >= end || condition[i] != QLatin1Char('\''))
            return false;
        const qsizetype text = ++i;
        while (i < end && condition[i] != QLatin1Char('\''))
            ++i;
        // A doubled quote inside the text is left to the engine's own reading.
        if (i >= end || (i + 1 < end && condition[i + 1] == QLatin1Char('\'')))
            return false;
        values.push_back(condition.mid(text, i - text).toUtf8());
        // Appended piece by piece: every set opened on a condition reads it here.
        const int slot = kFirstFilterSlot - 1 + static_cast<int>(values.size());
        shape += column;
        shape += QLatin1String("=?");
        if (slot < 10)
            shape += QChar(u'0' + slot);
        else
            shape += QString::number(slot);
        ++i;
        skipBlanks();
        if (i == end)
            return true;
        // "and" between two comparisons, followed by a blank as the engine needs it.
        if (end - i < 4 || condition.mid(i, 3).compare(QLatin1String("and"), Qt::CaseInsensitive) != 0 ||
            !isBlank(condition[i + 3]))
            return false;
        i += 3;
        skipBlanks();
        shape += QStringLiteral(" and ");
    }
}

} // namespace

void describeCondition(SelectShape &shape, const QString &sql)
{
    shape.probe = sql;
    if (shape.condition.isEmpty())
        return;
    QString parameterized;
    parameterized.reserve(shape.condition.size() + 8);
    if (parameterize(shape.condition, parameterized, shape.values)) {
        shape.parameterized = std::move(parameterized);
        const QLatin1String from("select * from ");
        const QLatin1String where(" where ");
        QString probe;
        probe.reserve(from.size() + shape.table.size() + where.size() + shape.parameterized.size());
        probe.append(from).append(shape.table).append(where).append(shape.parameterized);
        shape.probe = std::move(probe);
    } else {
        shape.values.clear();
    }
}

TableCursor::TableCursor(Connection &connection, const Columns &columns, std::vector<QByteArray> values,
                         std::shared_ptr<TableTexts> texts)
    : Cursor(connection, columns), m_filterValues(std::move(values)), m_texts(std::move(texts))
{
    m_forward = take(m_texts->forward, true);
}

PooledStatement TableCursor::take(PooledText &text, bool filtered)
{
    PooledStatement statement = text.take(db());
    if (filtered) {
        int slot = kFirstFilterSlot;
        for (const QByteArray &value : m_filterValues)
            sqlite3_bind_text(statement.get(), slot++, value.constData(), static_cast<int>(value.size()),
                              SQLITE_STATIC);
    }
    return statement;
}

sqlite3_stmt *TableCursor::get(Lazy &lazy)
{
    if (!lazy.statement)
        lazy.statement = take(*lazy.text, lazy.filtered);
    return lazy.statement.get();
}

bool TableCursor::isEmpty()
{
    return hasNoRows(db(), get(m_exists));
}

long TableCursor::count()
{
    sqlite3_stmt *statement = get(m_counter);
    sqlite3_reset(statement);
    const int rc = sqlite3_step(statement);
    const long count = rc == SQLITE_ROW ? static_cast<long>(sqlite3_column_int64(statement, 0)) : 0;
    sqlite3_reset(statement);
    if (rc != SQLITE_ROW)
        raiseEngineError(db(), rc, QStringLiteral("读取记录失败"));
    return count;
}

bool TableCursor::first()
{
    return stepFrom(m_forward.handle(), kBeforeAll);
}

bool TableCursor::last()
{
    return stepFrom(get(m_backward), kAfterAll);
}

bool TableCursor::next()
{
    sqlite3_stmt *statement = m_forward.handle();
    return liveUsable(statement) ? stepLive(statement) : stepFrom(statement, m_rowid);
}

bool TableCursor::previous()
{
    sqlite3_stmt *statement = get(m_backward);
    return liveUsable(statement) ? stepLive(statement) : stepFrom(statement, m_rowid);
}

FieldValue TableCursor::value(int at)
{
    if (liveUsable(m_live))
        return readColumn(m_live, at + 1, m_columns[at].kind); // column 0 is the rowid
    return freshRow()[static_cast<size_t>(at)];
}

bool TableCursor::storedTexts(const int *at, size_t count, std::optional<QByteArrayView> *texts) const
{
    if (!liveUsable(m_live))
        return false;
    for (size_t i = 0; i < count; ++i)
        texts[i] = textAt(m_live, at[i] + 1); // column 0 is the rowid
    return true;
}

bool TableCursor::moveTo(std::int64_t bookmark)
{
    dropLive();
    sqlite3_stmt *statement = get(m_atRowid);
    sqlite3_reset(statement);
    sqlite3_bind_int64(statement, 1, bookmark);
    return landOn(statement, stepRow(db(), statement));
}

// Text columns are asked of the engine, whose binary comparison of texts is the store's own; any
// other case is left to a walk, which applies the store's conversions row by row.
Cursor::Seek TableCursor::seek(int at, const FieldValue &value, From from)
{
    const Column &column = m_columns[at];
    if (column.kind != FieldValue::Kind::Text || value.isNull())
        return Seek::Walk;
    // The current row is the first candidate when seeking on from it.
    const sqlite3_int64 after = from == From::Start ? kBeforeAll : m_rowid - 1;
    dropLive();
    if (value.kind() != FieldValue::Kind::Text) { // a text never equals a value of another kind
        landOn(nullptr, false);
        return Seek::None;
    }
    if (m_finders.empty())
        m_finders.resize(static_cast<size_t>(m_columns.size()));
    PooledStatement &finder = m_finders[static_cast<size_t>(at)];
    if (!finder) {
        std::vector<PooledText> &finders = m_texts->finders;
        if (finders.empty())
            finders.resize(static_cast<size_t>(m_columns.size()));
        PooledText &text = finders[static_cast<size_t>(at)];
        if (text.text.isEmpty()) {
            QString name = column.name;
            name.replace(QLatin1Char('"'), QLatin1String("\"\""));
            text.text = QStringLiteral("SELECT rowid, * FROM %1 WHERE \"%2\" = ?2 AND rowid > ?1%3 ORDER BY rowid")
                            .arg(m_texts->table, name, m_texts->filter);
        }
        finder = take(text, true);
    }
    sqlite3_stmt *statement = finder.handle();
    sqlite3_reset(statement);
    sqlite3_bind_int64(statement, 1, after);
    const QByteArray text = value.asText().toUtf8();
    sqlite3_bind_text(statement, 2, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    while (stepRow(db(), statement)) {
        if (readColumn(statement, at + 1, column.kind) == value) {
            landOn(statement, true);
            return Seek::Found;
        }
    }
    landOn(nullptr, false);
    return Seek::None;
}

void TableCursor::reread() noexcept
{
    m_cacheValid = false;
    dropLive();
}

void TableCursor::settle(bool rolledBack) noexcept
{
    dropLive();
    if (m_exists.statement)
        sqlite3_reset(m_exists.statement.get());
    if (rolledBack)
        m_cacheValid = false;
}

void TableCursor::insert(const PendingValues &values)
{
    m_connection.prepareWrite();
    write(writeStatement(true, values), &values, 0, false);
    // The new row becomes the current one.
    m_rowid = sqlite3_last_insert_rowid(db());
    m_cacheValid = false;
    dropLive();
}

bool TableCursor::update(const PendingValues &values)
{
    m_connection.prepareWrite();
    write(writeStatement(false, values), &values, m_rowid, true);
    m_cacheValid = false;
    return sqlite3_changes(db()) > 0;
}

void TableCursor::remove()
{
    m_connection.prepareWrite();
    write(m_texts->remove.take(db()), nullptr, m_rowid, true);
    m_cacheValid = false;
}

PooledStatement TableCursor::writeStatement(bool inserting, const PendingValues &values)
{
    // A table of more columns than the key holds is written with a text made each time.
    const bool keyed = m_columns.size() <= 64;
    std::uint64_t written = 0;
    for (int i = 0; keyed && i < m_columns.size(); ++i) {
        if (values[static_cast<size_t>(i)])
            written |= std::uint64_t{1} << i;
    }
    std::unordered_map<std::uint64_t, PooledText> &texts = inserting ? m_texts->inserts : m_texts->updates;
    if (keyed) {
        const auto found = texts.find(written);
        if (found != texts.end())
            return found->second.take(db());
    }
    QStringList names;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (values[static_cast<size_t>(i)])
            names.append(m_columns[i].name);
    }
    QString text;
    if (inserting) {
        text = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_texts->table)
                               : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                     .arg(m_texts->table, names.join(QLatin1Char(',')),
                                          QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')));
    } else {
        for (QString &name : names)
            name += QStringLiteral("=?");
        text = QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(m_texts->table, names.join(QLatin1Char(',')));
    }
    if (!keyed)
        return m_connection.statementPool().take(db(), text);
    PooledText &kept = texts[written];
    kept.text = std::move(text);
    return kept.take(db());
}

void TableCursor::dropLive() noexcept
{
    if (m_live)
        sqlite3_reset(m_live);
    m_live = nullptr;
}

bool TableCursor::liveUsable(sqlite3_stmt *statement) const
{
    return m_live && m_live == statement && m_liveVersion == m_connection.version();
}

bool TableCursor::stepFrom(sqlite3_stmt *statement, sqlite3_int64 from)
{
    dropLive();
    sqlite3_reset(statement);
    sqlite3_bind_int64(statement, 1, from);
    return stepLive(statement);
}

bool TableCursor::stepLive(sqlite3_stmt *statement)
{
    m_cacheValid = false;
    m_live = nullptr;
    return landOn(statement, stepRow(db(), statement));
}

bool TableCursor::landOn(sqlite3_stmt *statement, bool found)
{
    m_cacheValid = false;
    if (!found) {
        m_live = nullptr;
        return false;
    }
    m_live = statement;
    m_liveVersion = m_connection.version();
    m_rowid = sqlite3_column_int64(statement, 0);
    return true;
}

const std::vector<FieldValue> &TableCursor::freshRow()
{
    if (m_cacheValid && m_cacheVersion == m_connection.version())
        return m_cache;
    dropLive();
    sqlite3_stmt *statement = get(m_byRowid);
    sqlite3_reset(statement);
    sqlite3_bind_int64(statement, 1, m_rowid);
    if (!stepRow(db(), statement))
        noCurrentRecord(QStringLiteral("当前记录已经被删除，不能读取。"));
    m_cache.clear();
    for (int i = 0; i < m_columns.size(); ++i)
        m_cache.push_back(readColumn(statement, i + 1, m_columns[i].kind));
    sqlite3_reset(statement);
    m_cacheValid = true;
    m_cacheVersion = m_connection.version();
    return m_cache;
}

void TableCursor::write(const PooledStatement &statement, const PendingValues *values, sqlite3_int64 key, bool bindKey)
{
    int slot = 1;
    if (values) {
        for (const std::optional<FieldValue> &value : *values) {
            if (value)
                bindValue(statement.handle(), slot++, *value);
        }
    }
    if (bindKey)
        statement.bind(slot, static_cast<std::int64_t>(key));
    const int rc = statement.step();
    if (rc != SQLITE_DONE)
        raiseEngineError(db(), rc, QStringLiteral("写入表“%1”失败").arg(m_texts->table));
}

} // namespace orv::store
