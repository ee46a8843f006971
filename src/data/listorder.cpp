#include "listorder.h"

#include "cursor.h"
#include "statement.h"
#include "storeerror.h"

#include <QByteArray>
#include <QStringEncoder>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <sqlite3.h>
#include <vector>

namespace orv::store {

namespace {

const QString kCannotRead = QStringLiteral("读取记录失败");

// A value as stored, with what it sorts by.
struct Ranked {
    int type = SQLITE_NULL; // the engine's type code
    double number = 0;      // integers and reals, by value
    std::int64_t integer = 0;
    QByteArray stored;   // a text's UTF-8 or a blob's bytes, as read
    QByteArray sortedBy; // a text's code-page-936 bytes
};

int group(int type)
{
    switch (type) {
    case SQLITE_NULL:
        return 0;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return 1;
    case SQLITE_TEXT:
        return 2;
    default:
        return 3;
    }
}

bool before(const Ranked &a, const Ranked &b)
{
    const int left = group(a.type);
    const int right = group(b.type);
    if (left != right)
        return left < right;
    if (left == 1)
        return a.number < b.number || (a.number == b.number && a.integer < b.integer);
    // Bytes compare unsigned, so every double-byte character comes after ASCII, by its code.
    return a.sortedBy < b.sortedBy;
}

// Runs a statement that returns no rows.
void execute(sqlite3 *db, const QString &text)
{
    prepare(db, text).run(kCannotRead);
}

// Gives the savepoint back when the ranks are not all written, so none are left half done.
class Savepoint final {
public:
    explicit Savepoint(sqlite3 *db) : m_db(db) { execute(db, QStringLiteral("savepoint list_order")); }
    ~Savepoint()
    {
        if (!m_released) {
            sqlite3_exec(m_db, "rollback to list_order", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "release list_order", nullptr, nullptr, nullptr);
        }
    }
    Savepoint(const Savepoint &) = delete;
    Savepoint &operator=(const Savepoint &) = delete;
    void release()
    {
        execute(m_db, QStringLiteral("release list_order"));
        m_released = true;
    }

private:
    sqlite3 *m_db;
    bool m_released = false;
};

} // namespace

namespace {

Ranked readValue(sqlite3_stmt *row, QStringEncoder &toCp936)
{
    Ranked value;
    value.type = sqlite3_column_type(row, 0);
    if (value.type == SQLITE_INTEGER) {
        value.integer = sqlite3_column_int64(row, 0);
        value.number = static_cast<double>(value.integer);
    } else if (value.type == SQLITE_FLOAT) {
        value.number = sqlite3_column_double(row, 0);
    } else if (value.type != SQLITE_NULL) {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(row, 0));
        value.stored = QByteArray(bytes, sqlite3_column_bytes(row, 0));
        // GB18030 keeps the two-byte codes of code page 936 and gives every other character a
        // place after them; without the codec the text's own bytes serve.
        value.sortedBy = value.type == SQLITE_TEXT && toCp936.isValid()
                             ? QByteArray(toCp936(QString::fromUtf8(value.stored)))
                             : value.stored;
    }
    return value;
}

void bindValue(Statement &statement, int at, const Ranked &value)
{
    sqlite3_stmt *handle = statement.handle();
    switch (value.type) {
    case SQLITE_INTEGER:
        sqlite3_bind_int64(handle, at, value.integer);
        break;
    case SQLITE_FLOAT:
        sqlite3_bind_double(handle, at, value.number);
        break;
    case SQLITE_TEXT:
        sqlite3_bind_text(handle, at, value.stored.constData(), static_cast<int>(value.stored.size()), SQLITE_STATIC);
        break;
    case SQLITE_BLOB:
        sqlite3_bind_blob(handle, at, value.stored.constData(), static_cast<int>(value.stored.size()), SQLITE_STATIC);
        break;
    default:
        sqlite3_bind_null(handle, at);
    }
}

// The column's distinct values, in the engine's order.
std::vector<Ranked> distinctValues(sqlite3 *db, const QString &table, const QString &column, bool ownIndex)
{
    std::vector<Ranked> values;
    QStringEncoder toCp936("GB18030");
    if (!ownIndex) {
        Statement distinct = prepare(db, QStringLiteral("select distinct %1 from %2").arg(column, table));
        while (distinct.next(kCannotRead))
            values.push_back(readValue(distinct.handle(), toCp936));
        return values;
    }
    // Through the index, one look-up per value rather than a read of every row.
    Statement none = prepare(db, QStringLiteral("select %1 from %2 where %1 is null limit 1").arg(column, table));
    if (none.next(kCannotRead))
        values.push_back(readValue(none.handle(), toCp936));
    Statement first =
        prepare(db, QStringLiteral("select %1 from %2 where %1 is not null order by %1 limit 1").arg(column, table));
    if (!first.next(kCannotRead))
        return values;
    values.push_back(readValue(first.handle(), toCp936));
    Statement next =
        prepare(db, QStringLiteral("select %1 from %2 where %1 > ?1 order by %1 limit 1").arg(column, table));
    for (;;) {
        next.reset();
        bindValue(next, 1, values.back());
        if (!next.next(kCannotRead))
            break;
        values.push_back(readValue(next.handle(), toCp936));
    }
    next.reset();
    return values;
}

} // namespace

void writeRanks(sqlite3 *db, const QString &ranks, const QString &table, const QString &column, bool descending,
                bool ownIndex)
{
    dropRanks(db, ranks);
    execute(db, QStringLiteral("create temp table %1 (rank integer primary key, v unique)").arg(ranks));
    Savepoint written(db);
    std::vector<Ranked> values;
    if (ownIndex) {
        values = distinctValues(db, table, column, true);
    } else {
        // An index of the column for this connection alone: its rows by value, each value's in
        // the order they were added (k is the row's rowid). Its values are read back through it,
        // so the table is read once.
        const QString rows = ranks + QStringLiteral("_rows");
        execute(db, QStringLiteral("create temp table %1 (k integer primary key, v)").arg(rows));
        execute(db, QStringLiteral("insert into temp.%1 (k, v) select rowid, %2 from %3").arg(rows, column, table));
        execute(db, QStringLiteral("create index temp.%1_v on %1 (v)").arg(rows));
        values = distinctValues(db, QStringLiteral("temp.") + rows, QStringLiteral("v"), false);
    }
    std::sort(values.begin(), values.end(), before);
    if (descending)
        std::reverse(values.begin(), values.end());

    Statement insert = prepare(db, QStringLiteral("insert into temp.%1 (rank, v) values (?1, ?2)").arg(ranks));
    std::int64_t rank = 0;
    for (const Ranked &value : values) {
        insert.reset();
        insert.bind(1, ++rank);
        bindValue(insert, 2, value);
        insert.run(kCannotRead);
    }
    insert.reset();
    written.release();
}

void dropRanks(sqlite3 *db, const QString &ranks) noexcept
{
    if (!db)
        return;
    for (const QString &table : {ranks, ranks + QStringLiteral("_rows")})
        sqlite3_exec(db, QStringLiteral("drop table if exists temp.%1").arg(table).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
}

bool hasOwnIndex(sqlite3 *db, const QString &table, const QString &column)
{
    Statement indexes = prepare(db, QStringLiteral("pragma index_list(%1)").arg(table));
    QStringList names;
    while (indexes.next(kCannotRead))
        names.append(indexes.text(1));
    for (const QString &name : names) {
        Statement columns = prepare(db, QStringLiteral("pragma index_info(%1)").arg(name));
        if (columns.next(kCannotRead) && columns.text(2) == column && !columns.next(kCannotRead))
            return true;
    }
    return false;
}

} // namespace orv::store
