#include "listorder.h"

#include "cursor.h"
#include "statement.h"
#include "storeerror.h"

#include <QByteArray>
#include <QStringEncoder>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <sqlite3.h>
#include <string>
#include <unordered_map>
#include <vector>

namespace orv::store {

namespace {

const QString kCannotRead = QStringLiteral("读取记录失败");

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

bool before(const RankedValue &a, const RankedValue &b)
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

// Gives the savepoint back when a slice is not all written, so none is left half done.
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

RankedValue readValue(sqlite3_stmt *row, int at)
{
    RankedValue value;
    value.type = sqlite3_column_type(row, at);
    if (value.type == SQLITE_INTEGER) {
        value.integer = sqlite3_column_int64(row, at);
        value.number = static_cast<double>(value.integer);
    } else if (value.type == SQLITE_FLOAT) {
        value.number = sqlite3_column_double(row, at);
    } else if (value.type != SQLITE_NULL) {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(row, at));
        value.stored = QByteArray(bytes, sqlite3_column_bytes(row, at));
    }
    return value;
}

// GB18030 keeps the two-byte codes of code page 936 and gives every other character a place after
// them; without the codec the text's own bytes serve.
void sortingBytes(std::vector<RankedValue> &values)
{
    QStringEncoder toCp936("GB18030");
    for (RankedValue &value : values)
        value.sortedBy = value.type == SQLITE_TEXT && toCp936.isValid()
                             ? QByteArray(toCp936(QString::fromUtf8(value.stored)))
                             : value.stored;
}

void bindValue(Statement &statement, int at, const RankedValue &value)
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

// The column's distinct values through the file's index of it: one look-up per value rather than
// a read of every row.
std::vector<RankedValue> indexedValues(sqlite3 *db, const QString &table, const QString &column)
{
    std::vector<RankedValue> values;
    Statement none = prepare(db, QStringLiteral("select %1 from %2 where %1 is null limit 1").arg(column, table));
    if (none.next(kCannotRead))
        values.push_back(readValue(none.handle(), 0));
    Statement first =
        prepare(db, QStringLiteral("select %1 from %2 where %1 is not null order by %1 limit 1").arg(column, table));
    if (!first.next(kCannotRead))
        return values;
    values.push_back(readValue(first.handle(), 0));
    Statement next =
        prepare(db, QStringLiteral("select %1 from %2 where %1 > ?1 order by %1 limit 1").arg(column, table));
    for (;;) {
        next.reset();
        bindValue(next, 1, values.back());
        if (!next.next(kCannotRead))
            break;
        values.push_back(readValue(next.handle(), 0));
    }
    next.reset();
    return values;
}

// What makes a stored value one under the engine's comparison, written into `id`: 1 and 1.0 are
// the same value. Most values are short enough to need no allocation.
void identify(sqlite3_stmt *row, int at, std::string &id)
{
    id.clear();
    const auto append = [&id](char tag, const void *bytes, std::size_t size) {
        id.push_back(tag);
        id.append(static_cast<const char *>(bytes), size);
    };
    switch (sqlite3_column_type(row, at)) {
    case SQLITE_INTEGER: {
        const std::int64_t integer = sqlite3_column_int64(row, at);
        append('i', &integer, sizeof integer);
        break;
    }
    case SQLITE_FLOAT: {
        const double number = sqlite3_column_double(row, at);
        if (std::abs(number) < 9.0e18 && static_cast<double>(static_cast<std::int64_t>(number)) == number) {
            const auto integer = static_cast<std::int64_t>(number);
            append('i', &integer, sizeof integer);
        } else {
            append('f', &number, sizeof number);
        }
        break;
    }
    case SQLITE_NULL:
        id.push_back('n');
        break;
    case SQLITE_TEXT:
        append('t', sqlite3_column_text(row, at), static_cast<std::size_t>(sqlite3_column_bytes(row, at)));
        break;
    default:
        append('b', sqlite3_column_blob(row, at), static_cast<std::size_t>(sqlite3_column_bytes(row, at)));
    }
}

} // namespace

Ordering readOrdering(sqlite3 *db, const QString &table, const QString &column, bool descending, bool ownIndex)
{
    Ordering ordering;
    std::vector<std::pair<std::uint32_t, std::int64_t>> rows; // (value, rowid), in rowid order
    if (ownIndex) {
        ordering.values = indexedValues(db, table, column);
    } else {
        // Every row's value once, each distinct value kept once; the rows keep which it was.
        ordering.ownRows = true;
        std::unordered_map<std::string, std::uint32_t> seen;
        std::string id;
        Statement all =
            prepare(db, QStringLiteral("select rowid, %1 from %2 not indexed order by rowid").arg(column, table));
        while (all.next(kCannotRead)) {
            identify(all.handle(), 1, id);
            auto known = seen.find(id);
            if (known == seen.end()) {
                known = seen.emplace(id, static_cast<std::uint32_t>(ordering.values.size())).first;
                ordering.values.push_back(readValue(all.handle(), 1));
            }
            rows.emplace_back(known->second, all.integer(0));
        }
    }
    sortingBytes(ordering.values);
    std::vector<std::uint32_t> sorted(ordering.values.size());
    std::iota(sorted.begin(), sorted.end(), 0U);
    std::stable_sort(sorted.begin(), sorted.end(), [&ordering](std::uint32_t a, std::uint32_t b) {
        return before(ordering.values[a], ordering.values[b]);
    });
    if (descending)
        std::reverse(sorted.begin(), sorted.end());
    std::vector<RankedValue> ranked;
    ranked.reserve(sorted.size());
    std::vector<std::int64_t> rankOf(sorted.size());
    for (std::uint32_t value : sorted) {
        ranked.push_back(std::move(ordering.values[value]));
        rankOf[value] = static_cast<std::int64_t>(ranked.size());
    }
    ordering.values = std::move(ranked);
    if (!ordering.ownRows)
        return ordering;
    // By rank, each rank's rows in the order they were read (by rowid): a counting sort.
    std::vector<std::size_t> start(ordering.values.size() + 2, 0);
    for (const auto &row : rows)
        ++start[static_cast<std::size_t>(rankOf[row.first]) + 1];
    for (std::size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    ordering.rows.resize(rows.size());
    for (const auto &[value, rowid] : rows) {
        const std::int64_t rank = rankOf[value];
        ordering.rows[start[static_cast<std::size_t>(rank)]++] = {rank, rowid};
    }
    return ordering;
}

OrderWriter::OrderWriter(sqlite3 *db, QString ranks, const Ordering &ordering)
    : m_db(db), m_ranks(std::move(ranks)), m_ordering(ordering)
{
}

bool OrderWriter::write(std::size_t rows)
{
    Savepoint written(m_db);
    if (!m_started) {
        // Freed pages of the temporary tables need no wiping: they never reach a disk.
        sqlite3_exec(m_db, "pragma temp.secure_delete = 0", nullptr, nullptr, nullptr);
        dropRanks(m_db, m_ranks);
        execute(m_db, QStringLiteral("create temp table %1 (rank integer primary key, v)").arg(m_ranks));
        // Keyed by rank and rowid and written in that order, so no index has to be sorted.
        if (m_ordering.ownRows)
            execute(m_db, QStringLiteral("create temp table %1_rows (r integer, k integer, primary key (r, k)) "
                                         "without rowid")
                              .arg(m_ranks));
    }
    std::size_t budget = rows;
    if (m_values < m_ordering.values.size() && budget > 0) {
        Statement insert = prepare(m_db, QStringLiteral("insert into temp.%1 (rank, v) values (?1, ?2)").arg(m_ranks));
        for (; m_values < m_ordering.values.size() && budget > 0; ++m_values, --budget) {
            insert.reset();
            insert.bind(1, static_cast<std::int64_t>(m_values + 1));
            bindValue(insert, 2, m_ordering.values[m_values]);
            insert.run(kCannotRead);
        }
        insert.reset();
    }
    if (m_rows < m_ordering.rows.size() && budget > 0) {
        // Many rows a statement: the engine's own work per row is a fraction of a call's.
        constexpr std::size_t kRowsAStatement = 128;
        QString values;
        for (std::size_t i = 0; i < kRowsAStatement; ++i)
            values += QStringLiteral("%1(?%2, ?%3)")
                          .arg(i == 0 ? QString() : QStringLiteral(", "))
                          .arg(2 * i + 1)
                          .arg(2 * i + 2);
        Statement many = prepare(m_db, QStringLiteral("insert into temp.%1_rows (r, k) values ").arg(m_ranks) + values);
        Statement one = prepare(m_db, QStringLiteral("insert into temp.%1_rows (r, k) values (?1, ?2)").arg(m_ranks));
        while (m_rows < m_ordering.rows.size() && budget > 0) {
            const std::size_t left = std::min(m_ordering.rows.size() - m_rows, budget);
            const bool whole = left >= kRowsAStatement;
            Statement &insert = whole ? many : one;
            const std::size_t batch = whole ? kRowsAStatement : 1;
            insert.reset();
            for (std::size_t i = 0; i < batch; ++i) {
                insert.bind(static_cast<int>(2 * i + 1), m_ordering.rows[m_rows + i].first);
                insert.bind(static_cast<int>(2 * i + 2), m_ordering.rows[m_rows + i].second);
            }
            insert.run(kCannotRead);
            m_rows += batch;
            budget -= batch;
        }
        many.reset();
        one.reset();
    }
    written.release();
    m_started = true;
    return m_values == m_ordering.values.size() && m_rows == m_ordering.rows.size();
}

void writeRanks(sqlite3 *db, const QString &ranks, const QString &table, const QString &column, bool descending,
                bool ownIndex)
{
    const Ordering ordering = readOrdering(db, table, column, descending, ownIndex);
    OrderWriter writer(db, ranks, ordering);
    writer.write(std::numeric_limits<std::size_t>::max());
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
