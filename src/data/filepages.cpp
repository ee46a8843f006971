#include "filepages.h"

#include "columnvalues.h"
#include "connection.h"
#include "cursor.h"
#include "listorder.h"
#include "statement.h"
#include "storeerror.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <thread>

namespace orv::store {

namespace {

constexpr std::int64_t kBeforeAll = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kAfterAll = std::numeric_limits<std::int64_t>::max();

const QString kCannotRead = QStringLiteral("读取记录失败");
constexpr std::int64_t kCountedAtOnce = 100000;
// A column of a table this short is ranked in a few milliseconds.
constexpr std::int64_t kOrderedAtOnce = 4096;

const QString kRank = QStringLiteral("list_rank");
const QString kRow = QStringLiteral("list_row");

QString keyOf(const QString &table)
{
    return table + QStringLiteral(".rowid");
}

// Whether the keys, from parameter `first` on, come after (or before) the given key: compared
// column by column as the order compares them. Written without row values, which the engine
// linked here compares wrongly against an integer primary key.
QString pastKey(const QStringList &keys, int first, bool after, bool included)
{
    const QString beyond = after ? QStringLiteral(" > ?") : QStringLiteral(" < ?");
    const QString reached = after ? QStringLiteral(" >= ?") : QStringLiteral(" <= ?");
    QString condition;
    for (auto i = keys.size() - 1; i >= 0; --i) {
        const QString &key = keys.at(i);
        const QString parameter = QString::number(first + i);
        const bool last = i == keys.size() - 1;
        QString here = key + (last && included ? reached : beyond) + parameter;
        if (!last)
            here = QStringLiteral("(%1 or (%2 = ?%3 and %4))").arg(here, key, parameter, condition);
        condition = here;
    }
    // The outermost key alone as well, so the engine reads only that range of the driving table.
    return keys.first() + reached + QString::number(first) + QStringLiteral(" and ") + condition;
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

// Resets a kept statement when a read ends, however it ends.
class Done final {
public:
    explicit Done(Statement &statement) : m_statement(statement) {}
    ~Done() { m_statement.reset(); }
    Done(const Done &) = delete;
    Done &operator=(const Done &) = delete;

private:
    Statement &m_statement;
};

void bindKey(Statement &statement, int first, const std::vector<std::int64_t> &key)
{
    for (size_t i = 0; i < key.size(); ++i)
        statement.bind(first + static_cast<int>(i), key[i]);
}

} // namespace

FilePages::FilePages(Connection &connection, sql::ListQuery query, int blockRows, Counting counting)
    : m_connection(connection), m_query(std::move(query)), m_blockRows(blockRows)
{
    sqlite3 *db = m_connection.handle();
    if (!db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    for (const QString &table : m_query.keyTables) {
        Statement highest = prepare(db, QStringLiteral("select max(rowid) from ") + table);
        highest.next(kCannotRead);
        m_bounds.push_back(highest.isNull(0) ? kBeforeAll : highest.integer(0));
    }
    // A list of one table of up to a hundred thousand rows counts in a few milliseconds: sooner
    // than a connection beside could open.
    if (counting == Counting::Now || (m_bounds.size() == 1 && m_bounds.front() <= kCountedAtOnce)) {
        m_count = countHere(db);
        return;
    }
    // The first block and one row more tell whether there is more than one block to count.
    Statement &keys = prepareRange(true, false, everything(), m_blockRows + 1L, 0);
    const Done done(keys);
    while (m_count <= m_blockRows && keys.next(kCannotRead))
        ++m_count;
    m_counted = m_count <= m_blockRows;
    m_count = std::min<long>(m_count, m_blockRows);
}

FilePages::~FilePages()
{
    if (m_counter)
        stopBeside(*m_counter);
    if (m_sorter)
        stopBeside(*m_sorter);
    dropPending();
    if (m_rankedOn && m_rankedOn == m_connection.handle()) {
        m_prepared.clear();
        dropRanks(m_rankedOn, m_sorting.ranks);
    }
}

void FilePages::stopBeside(Counter &counter) noexcept
{
    const std::lock_guard<std::mutex> hold(counter.lock);
    counter.stop = true;
    if (counter.handle)
        sqlite3_interrupt(counter.handle);
}

long FilePages::countHere(sqlite3 *db) const
{
    Statement counting = prepare(db, m_query.counting);
    bindKey(counting, 1, m_bounds);
    return counting.next(kCannotRead) ? static_cast<long>(counting.integer(0)) : 0;
}

void FilePages::countBeside(std::function<void()> done)
{
    if (m_counted || m_counter)
        return;
    m_counter = std::make_shared<Counter>();
    auto source = std::make_shared<Connection::Beside>(m_connection.beside());
    // The keys in the list's order from the first row to the last.
    auto walking = std::make_shared<QString>(rangeStatement(true, false, true, true));
    std::thread([counter = m_counter, source, counting = m_query.counting, walking, bounds = m_bounds,
                 blockRows = m_blockRows, done = std::move(done)] {
        try {
            Connection beside;
            beside.openBeside(*source);
            countAndWalk(counter, beside.handle(), counting, *walking, bounds, blockRows, done);
        } catch (const StoreError &) {
            countAndWalk(counter, nullptr, counting, *walking, bounds, blockRows, done);
        }
    }).detach();
}

void FilePages::countAndWalk(const std::shared_ptr<Counter> &counter, sqlite3 *db, const QString &counting,
                             const QString &walking, const Key &bounds, int blockRows,
                             const std::function<void()> &done)
{
    {
        const std::lock_guard<std::mutex> hold(counter->lock);
        if (counter->stop)
            return;
        counter->handle = db;
    }
    long rows = -2;
    std::optional<Statement> walked;
    try {
        if (db) {
            Statement count = prepare(db, counting);
            bindKey(count, 1, bounds);
            rows = count.next(kCannotRead) ? static_cast<long>(count.integer(0)) : 0;
            walked.emplace(prepare(db, walking));
        }
    } catch (const StoreError &) {
        rows = -2; // counted again on the window's connection
    }
    {
        // Told under the lock, so a list that has ended hears nothing.
        const std::lock_guard<std::mutex> hold(counter->lock);
        counter->rows = rows;
        if (!counter->stop)
            done();
    }
    counter->countKnown.notify_all();
    if (rows > 0 && walked) {
        const auto keys = bounds.size();
        bindKey(*walked, 1, bounds);
        bindKey(*walked, static_cast<int>(keys) + 1, Key(keys, kBeforeAll));
        bindKey(*walked, 2 * static_cast<int>(keys) + 1, Key(keys, kAfterAll));
        walked->bind(3 * static_cast<int>(keys) + 1, std::int64_t{rows});
        walked->bind(3 * static_cast<int>(keys) + 2, std::int64_t{0});
        try {
            walk(*counter, *walked, blockRows, keys);
        } catch (const StoreError &) {
            // Interrupted, or the file could not be read: jumps walk from the window.
        }
    }
    walked.reset();
    const std::lock_guard<std::mutex> hold(counter->lock);
    counter->handle = nullptr;
}

void FilePages::walk(Counter &counter, Statement &statement, int blockRows, size_t keys)
{
    std::vector<std::pair<long, Known>> found;
    Known edges;
    long row = 0;
    const auto handOver = [&counter, &found] {
        const std::lock_guard<std::mutex> hold(counter.lock);
        if (counter.stop)
            return false;
        std::move(found.begin(), found.end(), std::back_inserter(counter.found));
        found.clear();
        return true;
    };
    Key key(keys);
    for (; statement.next(kCannotRead); ++row) {
        for (size_t i = 0; i < keys; ++i)
            key[i] = statement.integer(static_cast<int>(i));
        const long inBlock = row % blockRows;
        if (inBlock == 0)
            edges.first = key;
        if (inBlock == blockRows - 1) {
            edges.last = key;
            found.emplace_back(row / blockRows, std::move(edges));
            edges = Known();
            // Handed over a few hundred blocks at a time, so the lock is seldom taken.
            if (found.size() == 256 && !handOver())
                return;
        }
    }
    if (row % blockRows != 0) {
        edges.last = key;
        found.emplace_back((row - 1) / blockRows, std::move(edges));
    }
    handOver();
}

void FilePages::takeEdgesFound()
{
    // The count's walk follows the order rows were added, a sort's walk its own order.
    Counter *walked = m_sorting.order == Order::Added ? m_counter.get() : m_sorter.get();
    if (!walked)
        return;
    std::vector<std::pair<long, Known>> found;
    {
        const std::lock_guard<std::mutex> hold(walked->lock);
        if (walked->found.empty())
            return;
        found.swap(walked->found);
    }
    // Edges read here already stand: they were read later than the walk's snapshot.
    for (auto &[block, edges] : found) {
        Known &known = m_known[block];
        if (known.first.empty())
            known.first = std::move(edges.first);
        if (known.last.empty())
            known.last = std::move(edges.last);
    }
}

void FilePages::settleCount()
{
    if (m_counted)
        return;
    long rows = -2;
    if (m_counter) {
        std::unique_lock<std::mutex> hold(m_counter->lock);
        m_counter->countKnown.wait(hold, [this] { return m_counter->rows != -1; });
        rows = m_counter->rows;
    }
    // A count that failed beside (the file could not be opened twice, say) is made here.
    m_count = rows >= 0 ? rows : countHere(m_connection.handle());
    m_counted = true;
}

long FilePages::blockCount() const noexcept
{
    return (m_count + m_blockRows - 1) / m_blockRows;
}

long FilePages::rowsIn(long block) const noexcept
{
    return std::min<long>(m_blockRows, m_count - block * m_blockRows);
}

QString FilePages::bounded() const
{
    QString from = m_query.from;
    if (m_sorting.order != Order::Added) {
        const QString ranks = QStringLiteral("temp.") + m_sorting.ranks + QLatin1Char(' ') + kRank;
        // The ranks lead and each value's rows are found by the column's index (the file's, or
        // the connection's own), in the order they were added, so a block reads only its own
        // rows. A list of other tables than its keys' is left to the engine.
        if (drivenByRanks()) {
            QStringList tables = m_query.keyTables;
            tables.move(tables.indexOf(m_sources[static_cast<size_t>(m_sorting.column)].first), 0);
            if (!m_sorting.indexed)
                tables.prepend(QStringLiteral("temp.%1_rows %2").arg(m_sorting.ranks, kRow));
            from = ranks + QStringLiteral(" cross join ") + tables.join(QStringLiteral(" cross join "));
        } else {
            from += QStringLiteral(", ") + ranks;
        }
    }
    QString text = QStringLiteral(" from ") + from + QStringLiteral(" where ");
    if (!m_query.where.isEmpty())
        text += QLatin1Char('(') + m_query.where + QStringLiteral(") and ");
    QStringList bounds;
    for (int i = 0; i < m_query.keyTables.size(); ++i)
        bounds.append(QStringLiteral("%1 <= ?%2").arg(keyOf(m_query.keyTables.at(i))).arg(i + 1));
    if (m_sorting.order != Order::Added) {
        const auto &[table, column] = m_sources[static_cast<size_t>(m_sorting.column)];
        if (ownRows())
            bounds.append(QStringLiteral("%1.r = %2.rank and %3 = %1.k").arg(kRow, kRank, keyOf(table)));
        else
            bounds.append(QStringLiteral("%1.%2 is %3.v").arg(table, column, kRank));
    }
    return text + bounds.join(QStringLiteral(" and "));
}

QStringList FilePages::keyColumns() const
{
    QStringList keys;
    for (const QString &table : m_query.keyTables)
        keys.append(keyOf(table));
    if (m_sorting.order != Order::Added) {
        // Rows of one value in the order their own table got them, then as the list has them.
        const auto at = m_query.keyTables.indexOf(m_sources[static_cast<size_t>(m_sorting.column)].first);
        keys.move(at, 0);
        // The connection's own index gives the rowids beside the values.
        if (ownRows())
            keys.first() = kRow + QStringLiteral(".k");
        keys.prepend(kRank + QStringLiteral(".rank"));
    }
    return keys;
}

bool FilePages::drivenByRanks() const
{
    return m_query.from == m_query.keyTables.join(QLatin1Char(','));
}

bool FilePages::ownRows() const
{
    return m_sorting.order != Order::Added && !m_sorting.indexed && drivenByRanks();
}

int FilePages::keyWidth() const noexcept
{
    return static_cast<int>(m_bounds.size()) + (m_sorting.order == Order::Added ? 0 : 1);
}

QString FilePages::keyOrder(bool descending) const
{
    QStringList keys = keyColumns();
    if (descending) {
        for (QString &key : keys)
            key += QStringLiteral(" desc");
    }
    return QStringLiteral(" order by ") + keys.join(QStringLiteral(", "));
}

QString FilePages::rangeStatement(bool keysOnly, bool descending, bool lowerIncluded, bool upperIncluded) const
{
    const auto bounds = static_cast<int>(m_query.keyTables.size());
    const int keys = keyWidth();
    const QStringList keyed = keyColumns();
    QStringList selected;
    // Every column of the list's own tables, not the ranks'.
    if (!keysOnly && m_sorting.order != Order::Added && m_query.columns == QStringLiteral("*")) {
        for (const QString &table : m_query.keyTables)
            selected.append(table + QStringLiteral(".*"));
    } else if (!keysOnly) {
        selected.append(m_query.columns);
    }
    selected.append(keyed);
    return QStringLiteral("select ") + selected.join(QStringLiteral(", ")) + bounded() + QStringLiteral(" and ") +
           pastKey(keyed, bounds + 1, true, lowerIncluded) + QStringLiteral(" and ") +
           pastKey(keyed, bounds + keys + 1, false, upperIncluded) + keyOrder(descending) +
           QStringLiteral(" limit ?%1 offset ?%2").arg(bounds + 2 * keys + 1).arg(bounds + 2 * keys + 2);
}

FilePages::Range FilePages::everything() const
{
    const auto keys = static_cast<size_t>(keyWidth());
    return {Key(keys, kBeforeAll), true, Key(keys, kAfterAll), true};
}

Statement &FilePages::prepareRange(bool keysOnly, bool descending, const Range &range, long limit, long offset) const
{
    sqlite3 *db = m_connection.handle();
    if (!db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    if (db != m_preparedOn) {
        m_prepared.clear();
        m_preparedOn = db;
    }
    if (m_sorting.order != Order::Added && db != m_rankedOn)
        rankOn(db);
    const int shape =
        (keysOnly ? 8 : 0) | (descending ? 4 : 0) | (range.lowerIncluded ? 2 : 0) | (range.upperIncluded ? 1 : 0);
    auto kept = m_prepared.find(shape);
    if (kept == m_prepared.end())
        kept = m_prepared
                   .emplace(shape,
                            prepare(db, rangeStatement(keysOnly, descending, range.lowerIncluded, range.upperIncluded)))
                   .first;
    Statement &statement = kept->second;
    statement.reset();
    bindRange(statement, range, limit, offset);
    return statement;
}

void FilePages::bindRange(Statement &statement, const Range &range, long limit, long offset) const
{
    const auto bounds = static_cast<int>(m_bounds.size());
    const int keys = keyWidth();
    bindKey(statement, 1, m_bounds);
    bindKey(statement, bounds + 1, range.lower);
    bindKey(statement, bounds + keys + 1, range.upper);
    statement.bind(bounds + 2 * keys + 1, std::int64_t{limit});
    statement.bind(bounds + 2 * keys + 2, std::int64_t{offset});
}

void FilePages::showColumns(const QStringList &columns)
{
    Statement &statement = prepareRange(false, false, everything(), 0, 0);
    const Done done(statement);
    sqlite3_stmt *handle = statement.handle();
    const int shown = statement.columnCount() - keyWidth();
    std::vector<Column> known;
    known.reserve(static_cast<size_t>(shown));
    for (int i = 0; i < shown; ++i)
        known.push_back(
            {QString::fromUtf8(sqlite3_column_name(handle, i)), kindOfDeclared(sqlite3_column_decltype(handle, i))});
    Columns names;
    names.assign(known);
    m_positions.clear();
    m_kinds.clear();
    m_sources.clear();
    for (const QString &column : columns) {
        const int at = names.indexOf(column);
        m_positions.push_back(at);
        m_kinds.push_back(known[static_cast<size_t>(at)].kind);
        const char *table = sqlite3_column_table_name(handle, at);
        const char *origin = sqlite3_column_origin_name(handle, at);
        m_sources.emplace_back(table && origin ? QString::fromUtf8(table) : QString(),
                               table && origin ? QString::fromUtf8(origin) : QString());
    }
}

long FilePages::readRange(bool descending, const Range &range, long rows, std::vector<QString> &cells,
                          Known &keys) const
{
    Statement &statement = prepareRange(false, descending, range, rows, 0);
    const Done done(statement);
    const size_t columns = m_positions.size();
    const int width = keyWidth();
    const int keyColumn = statement.columnCount() - width;
    long read = 0;
    while (read < rows && statement.next(kCannotRead)) {
        // Backwards, the rows fill the block from its end.
        size_t at = static_cast<size_t>(descending ? rows - 1 - read : read) * columns;
        for (size_t column = 0; column < columns; ++column)
            cells[at++] = cellText(statement.handle(), m_positions[column], m_kinds[column]);
        Key key;
        for (int i = 0; i < width; ++i)
            key.push_back(statement.integer(keyColumn + i));
        if (read == 0)
            (descending ? keys.last : keys.first) = key;
        (descending ? keys.first : keys.last) = std::move(key);
        ++read;
    }
    return read;
}

long FilePages::readAll(const RowCells &row)
{
    sqlite3 *db = m_connection.handle();
    if (!db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    if (m_sorting.order != Order::Added && db != m_rankedOn)
        rankOn(db);
    // A statement of its own: the view reads blocks through the kept ones while an export runs.
    const Range range = everything();
    Statement statement = prepare(db, rangeStatement(false, false, range.lowerIncluded, range.upperIncluded));
    bindRange(statement, range, -1, 0);
    struct Reading {
        bool &flag;
        explicit Reading(bool &reading) : flag(reading) { flag = true; }
        ~Reading() { flag = false; }
        Reading(const Reading &) = delete;
        Reading &operator=(const Reading &) = delete;
    } const reading(m_readingAll);

    const size_t columns = m_positions.size();
    std::vector<QByteArrayView> cells(columns);
    // Texts made for cells the engine does not hold as text: numbers mostly, short and made in place.
    std::vector<std::array<char, FieldValue::kShortText>> shortTexts(columns);
    std::vector<QByteArray> longTexts(columns);
    long rows = 0;
    while (statement.next(kCannotRead)) {
        for (size_t column = 0; column < columns; ++column) {
            const int at = m_positions[column];
            if (m_kinds[column] == FieldValue::Kind::Text) {
                if (const std::optional<QByteArrayView> text = textAt(statement.handle(), at)) {
                    cells[column] = *text;
                    continue;
                }
            }
            const FieldValue value = readColumn(statement.handle(), at, m_kinds[column]);
            const int length = value.writeShortText(shortTexts[column].data());
            if (length >= 0) {
                cells[column] = QByteArrayView(shortTexts[column].data(), length);
            } else {
                longTexts[column] = value.toDisplayText().toUtf8();
                cells[column] = longTexts[column];
            }
        }
        ++rows;
        if (!row(cells))
            break;
    }
    return rows;
}

void FilePages::walkTowards(long block)
{
    // The nearest block below whose last key is known, and the nearest above whose first is.
    long below = -1;
    for (auto at = m_known.lower_bound(block); at != m_known.begin();) {
        --at;
        if (!at->second.last.empty()) {
            below = at->first;
            break;
        }
    }
    long above = blockCount();
    for (auto at = m_known.upper_bound(block); at != m_known.end(); ++at) {
        if (!at->second.first.empty()) {
            above = at->first;
            break;
        }
    }
    // Rows to walk: from the block below (or the start) to this block's first row, or from the
    // block above (or the end) back to the row after this block's last.
    const long fromBelow = (block - below - 1) * m_blockRows;
    const long fromAbove = std::min(above * m_blockRows, m_count) - (block + 1) * m_blockRows;
    const bool descending = fromBelow > fromAbove;
    Range range = everything();
    long row = 0; // the list's index of the first row walked
    if (!descending && below >= 0) {
        range = {m_known[below].last, false, range.upper, true};
        row = (below + 1) * m_blockRows;
    } else if (descending) {
        if (above < blockCount())
            range = {range.lower, true, m_known[above].first, false};
        row = std::min(above * m_blockRows, m_count) - 1;
    }
    const long rows = descending ? fromAbove : fromBelow;
    Statement &statement = prepareRange(true, descending, range, rows, 0);
    const Done done(statement);
    const int keys = keyWidth();
    // Every block passed keeps the key at its edge, so a later jump near here reads at once.
    for (long walked = 0; walked < rows && statement.next(kCannotRead); ++walked, row += descending ? -1 : 1) {
        const bool edge = descending ? row % m_blockRows == 0 : row % m_blockRows == m_blockRows - 1;
        if (!edge)
            continue;
        Key key;
        key.reserve(static_cast<size_t>(keys));
        for (int i = 0; i < keys; ++i)
            key.push_back(statement.integer(i));
        Known &known = m_known[row / m_blockRows];
        (descending ? known.first : known.last) = std::move(key);
    }
}

std::vector<QString> FilePages::readBlock(long block)
{
    if (block < 0 || block >= blockCount())
        return {};
    takeEdgesFound();
    const auto keyOf = [this](long at, bool first) -> const Key * {
        const auto known = m_known.find(at);
        if (known == m_known.end())
            return nullptr;
        const Key &key = first ? known->second.first : known->second.last;
        return key.empty() ? nullptr : &key;
    };
    const bool fromBelow = block == 0 || keyOf(block - 1, false);
    const bool fromAbove = block == blockCount() - 1 || keyOf(block + 1, true);
    if (!fromBelow && !fromAbove && !(keyOf(block, true) && keyOf(block, false)))
        walkTowards(block);

    // Read between the keys known around the block, so a row deleted meanwhile moves no row of
    // another block.
    Range range = everything();
    bool descending = false;
    if (const Key *first = keyOf(block, true))
        range.lower = *first;
    else if (const Key *previous = keyOf(block - 1, false))
        range = {*previous, false, range.upper, true};
    else
        descending = block != 0;
    if (const Key *last = keyOf(block, false))
        range.upper = *last;
    else if (const Key *next = keyOf(block + 1, true))
        range = {range.lower, range.lowerIncluded, *next, false};

    const long rows = rowsIn(block);
    std::vector<QString> cells(static_cast<size_t>(rows) * m_positions.size());
    Known keys;
    if (readRange(descending, range, rows, cells, keys) > 0)
        m_known[block] = std::move(keys);
    return cells;
}

} // namespace orv::store

namespace orv::store {

std::optional<FilePages::Sorting> FilePages::sortingFor(int column, Order order) const
{
    Sorting sorting;
    sorting.order = order;
    sorting.ranks = QStringLiteral("list_order_%1_%2").arg(reinterpret_cast<quintptr>(this), 0, 16).arg(m_orderings);
    if (order == Order::Added)
        return sorting;
    if (column < 0 || column >= columnCount() || m_sources[static_cast<size_t>(column)].first.isEmpty() ||
        !m_query.keyTables.contains(m_sources[static_cast<size_t>(column)].first))
        return std::nullopt;
    const auto &[table, name] = m_sources[static_cast<size_t>(column)];
    sorting.column = column;
    sorting.indexed = hasOwnIndex(m_connection.handle(), table, name);
    return sorting;
}

bool FilePages::ordersAtOnce(int column) const
{
    if (column < 0 || column >= columnCount())
        return true;
    const auto at = m_query.keyTables.indexOf(m_sources[static_cast<size_t>(column)].first);
    return at < 0 || m_bounds[static_cast<size_t>(at)] <= kOrderedAtOnce;
}

void FilePages::dropPending() noexcept
{
    if (!m_pending)
        return;
    stopBeside(*m_pending->sorter);
    m_pending->writer.reset();
    if (sqlite3 *db = m_connection.handle())
        dropRanks(db, m_pending->sorting.ranks);
    m_pending.reset();
}

bool FilePages::setOrder(int column, Order order)
{
    sqlite3 *db = m_connection.handle();
    if (!db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    std::optional<Sorting> sorting = sortingFor(column, order);
    if (!sorting)
        return false;
    dropPending();
    if (m_sorter) {
        stopBeside(*m_sorter);
        m_sorter.reset();
    }
    if (order != Order::Added) {
        const auto &[table, name] = m_sources[static_cast<size_t>(column)];
        writeRanks(db, sorting->ranks, table, name, order == Order::Descending, sorting->indexed || !drivenByRanks());
    }
    // The statements and the block edges are the old order's.
    m_prepared.clear();
    m_known.clear();
    if (m_rankedOn == db)
        dropRanks(db, m_sorting.ranks);
    m_rankedOn = order == Order::Added ? nullptr : db;
    m_sorting = std::move(*sorting);
    ++m_orderings;
    return true;
}

bool FilePages::orderBeside(int column, Order order, std::function<void()> ready)
{
    std::optional<Sorting> sorting = sortingFor(column, order);
    if (!sorting)
        return false;
    dropPending();
    if (order == Order::Added)
        return setOrder(column, order);
    ++m_orderings; // the next order writes beside this one
    const auto &[table, name] = m_sources[static_cast<size_t>(column)];
    const bool ownIndex = sorting->indexed || !drivenByRanks();
    // The walk's statement, as the list will read in the new order.
    std::swap(m_sorting, *sorting);
    const QString walking = rangeStatement(true, false, true, true);
    const int keys = keyWidth();
    std::swap(m_sorting, *sorting);

    auto sorter = std::make_shared<Sorter>();
    m_pending.emplace(Pending{*sorting, sorter, nullptr, nullptr});
    auto source = std::make_shared<Connection::Beside>(m_connection.beside());
    std::thread([sorter, source, table = table, name = name, descending = order == Order::Descending, ownIndex,
                 ranks = sorting->ranks, walking, keys, bounds = m_bounds, blockRows = m_blockRows,
                 ready = std::move(ready)] {
        std::optional<Connection> beside;
        std::shared_ptr<const Ordering> ordering;
        try {
            beside.emplace();
            beside->openBeside(*source);
            {
                const std::lock_guard<std::mutex> hold(sorter->lock);
                if (sorter->stop)
                    return;
                sorter->handle = beside->handle();
            }
            ordering =
                std::make_shared<const Ordering>(readOrdering(beside->handle(), table, name, descending, ownIndex));
        } catch (const StoreError &) {
            ordering.reset(); // made on the window's connection instead
        }
        {
            const std::lock_guard<std::mutex> hold(sorter->lock);
            sorter->ordering = ordering;
            sorter->state = ordering ? 1 : -1;
            if (!sorter->stop)
                ready();
        }
        if (!ordering)
            return;
        try {
            // The same order on this connection, to walk the keys in it.
            OrderWriter(beside->handle(), ranks, *ordering).write(std::numeric_limits<std::size_t>::max());
            Statement walked = prepare(beside->handle(), walking);
            bindKey(walked, 1, bounds);
            const auto width = static_cast<size_t>(keys);
            bindKey(walked, static_cast<int>(bounds.size()) + 1, Key(width, kBeforeAll));
            bindKey(walked, static_cast<int>(bounds.size() + width) + 1, Key(width, kAfterAll));
            walked.bind(static_cast<int>(bounds.size() + 2 * width) + 1, std::int64_t{-1});
            walked.bind(static_cast<int>(bounds.size() + 2 * width) + 2, std::int64_t{0});
            walk(*sorter, walked, blockRows, width);
        } catch (const StoreError &) {
            // Interrupted, or the file could not be read: jumps walk from the window.
        }
        const std::lock_guard<std::mutex> hold(sorter->lock);
        sorter->handle = nullptr;
    }).detach();
    return true;
}

ListPages::Progress FilePages::writeOrder(std::size_t rows)
{
    if (!m_pending)
        return Progress::Done;
    Pending &pending = *m_pending;
    std::shared_ptr<const Ordering> ordering;
    int state = 0;
    {
        const std::lock_guard<std::mutex> hold(pending.sorter->lock);
        state = pending.sorter->state;
        ordering = pending.sorter->ordering;
    }
    if (state == 0)
        return Progress::Waiting;
    if (state < 0) {
        const Sorting sorting = pending.sorting;
        dropPending();
        setOrder(sorting.column, sorting.order);
        return Progress::Done;
    }
    // Dropping the order read now would fail while readAll's statement reads it.
    if (m_connection.inUnit() || m_readingAll)
        return Progress::Waiting;
    sqlite3 *db = m_connection.handle();
    if (!db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    // A connection opened again since has none of the slices written.
    if (!pending.writer || pending.writtenOn != db) {
        pending.writer = std::make_unique<OrderWriter>(db, pending.sorting.ranks, *ordering);
        pending.writtenOn = db;
    }
    if (!pending.writer->write(rows))
        return Progress::Writing;
    // All written: the blocks are read in the new order from here on.
    m_prepared.clear();
    m_known.clear();
    if (m_rankedOn == db)
        dropRanks(db, m_sorting.ranks);
    if (m_sorter)
        stopBeside(*m_sorter);
    m_sorting = pending.sorting;
    m_sorter = pending.sorter;
    m_rankedOn = db;
    m_pending.reset();
    return Progress::Done;
}

void FilePages::rankOn(sqlite3 *db) const
{
    const auto &[table, name] = m_sources[static_cast<size_t>(m_sorting.column)];
    writeRanks(db, m_sorting.ranks, table, name, m_sorting.order == Order::Descending,
               m_sorting.indexed || !drivenByRanks());
    m_rankedOn = db;
}

} // namespace orv::store
