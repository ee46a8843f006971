#include "recordset.h"

#include "connection.h"

#include <QRegularExpression>

#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>
#include <sqlite3.h>

namespace orv {

namespace {

struct Finalizer {
    void operator()(sqlite3_stmt *statement) const noexcept { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

using Kind = FieldValue::Kind;

struct Column {
    QString name;
    Kind kind; // Empty: no declared type, the stored value decides
};

// Column kinds come from the declared types of the schema, named after the Access types.
Kind kindOfDeclared(const char *declared)
{
    if (!declared)
        return Kind::Empty;
    const QString type = QString::fromUtf8(declared).trimmed().toUpper();
    if (type.startsWith(QLatin1String("TEXT")) || type.contains(QLatin1String("CHAR")) ||
        type.startsWith(QLatin1String("MEMO")))
        return Kind::Text;
    if (type == QLatin1String("INTEGER") || type == QLatin1String("SMALLINT") || type == QLatin1String("SHORT"))
        return Kind::Int16;
    if (type == QLatin1String("LONG") || type == QLatin1String("INT"))
        return Kind::Int32;
    if (type == QLatin1String("SINGLE") || type == QLatin1String("REAL") || type == QLatin1String("FLOAT"))
        return Kind::Single;
    if (type == QLatin1String("DOUBLE"))
        return Kind::Double;
    return Kind::Empty;
}

// Columns without a declared type take any value.
QString columnKindName(Kind kind)
{
    return kind == Kind::Empty ? QStringLiteral("任意值") : kindName(kind);
}

FieldValue readColumn(sqlite3_stmt *statement, int index, Kind kind)
{
    const int type = sqlite3_column_type(statement, index);
    if (type == SQLITE_NULL)
        return FieldValue::null();
    switch (kind) {
    case Kind::Int16:
        return FieldValue::int16(static_cast<std::int16_t>(sqlite3_column_int(statement, index)));
    case Kind::Int32:
        return FieldValue::int32(sqlite3_column_int(statement, index));
    case Kind::Single:
        return FieldValue(static_cast<float>(sqlite3_column_double(statement, index)));
    case Kind::Double:
        return FieldValue(sqlite3_column_double(statement, index));
    case Kind::Text:
        break;
    default:
        if (type == SQLITE_INTEGER)
            return FieldValue::int32(sqlite3_column_int(statement, index));
        if (type == SQLITE_FLOAT)
            return FieldValue(sqlite3_column_double(statement, index));
        break;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, index));
    return FieldValue(QString::fromUtf8(text, sqlite3_column_bytes(statement, index)));
}

void bindValue(sqlite3_stmt *statement, int index, const FieldValue &value)
{
    switch (value.kind()) {
    case Kind::Empty:
    case Kind::Null:
        sqlite3_bind_null(statement, index);
        break;
    case Kind::Text: {
        const QByteArray text = value.asText().toUtf8();
        sqlite3_bind_text(statement, index, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        break;
    }
    case Kind::Int16:
        sqlite3_bind_int(statement, index, value.asInt16());
        break;
    case Kind::Int32:
        sqlite3_bind_int(statement, index, value.asInt32());
        break;
    case Kind::Single:
        sqlite3_bind_double(statement, index, static_cast<double>(value.asSingle()));
        break;
    case Kind::Double:
        sqlite3_bind_double(statement, index, value.asDouble());
        break;
    }
}

[[noreturn]] void overflow(const FieldValue &value, const Column &column)
{
    throw StoreError(StoreCode::Overflow, QStringLiteral("数值 %1 超出了列“%2”（%3）能存放的范围。")
                                              .arg(value.toDisplayText(), column.name, columnKindName(column.kind)));
}

// A number held by a value, for storing it in a number column.
double numberOf(const FieldValue &value, const Column &column)
{
    switch (value.kind()) {
    case Kind::Int16:
        return value.asInt16();
    case Kind::Int32:
        return value.asInt32();
    case Kind::Single:
        return static_cast<double>(value.asSingle());
    case Kind::Double:
        return value.asDouble();
    case Kind::Text: {
        bool ok = false;
        const double number = value.asText().trimmed().toDouble(&ok);
        if (ok && std::isfinite(number))
            return number;
        break;
    }
    default:
        break;
    }
    throw StoreError(StoreCode::TypeMismatch,
                     QStringLiteral("“%1”不是数字，不能存入列“%2”（%3）。")
                         .arg(value.toDisplayText(), column.name, columnKindName(column.kind)));
}

// Converts a value to the kind of the column it is written to, as the store would.
FieldValue convertFor(const FieldValue &value, const Column &column)
{
    if (value.isEmpty() || value.isNull())
        return FieldValue::null();
    switch (column.kind) {
    case Kind::Text:
        return FieldValue(value.toText());
    case Kind::Int16:
    case Kind::Int32: {
        // Reals are rounded half to even, as variant conversion does.
        const double number = std::nearbyint(numberOf(value, column));
        const double low = column.kind == Kind::Int16 ? std::numeric_limits<std::int16_t>::min()
                                                      : std::numeric_limits<std::int32_t>::min();
        const double high = column.kind == Kind::Int16 ? std::numeric_limits<std::int16_t>::max()
                                                       : std::numeric_limits<std::int32_t>::max();
        if (number < low || number > high)
            overflow(value, column);
        if (column.kind == Kind::Int16)
            return FieldValue::int16(static_cast<std::int16_t>(number));
        return FieldValue::int32(static_cast<std::int32_t>(number));
    }
    case Kind::Single: {
        const double number = numberOf(value, column);
        if (std::fabs(number) > static_cast<double>(FLT_MAX))
            overflow(value, column);
        return FieldValue(static_cast<float>(number));
    }
    case Kind::Double:
        return FieldValue(numberOf(value, column));
    default:
        return value;
    }
}

[[noreturn]] void noCurrentRecord(const QString &why)
{
    throw StoreError(StoreCode::NoCurrentRecord, why);
}

const QString kAtEdge = QStringLiteral("没有当前记录：位置在第一条记录之前或最后一条记录之后。");

} // namespace

struct Recordset::Impl {
    enum class Pos { Nowhere, BeforeFirst, OnRow, AfterLast, NewRow };

    Recordset *self = nullptr;
    Connection *created = nullptr; // the connection given at creation
    Connection *conn = nullptr;    // the connection the set is open on
    bool open = false;
    std::uint64_t openedInUnit = 0; // the unit that opened the set, 0 when opened outside one

    // Updatable sets: one table, an optional condition, cursors by rowid.
    bool updatable = false;
    QString table;
    std::vector<Column> columns;
    // Statements other than the forward walk are prepared on first use: most sets need few.
    struct Lazy {
        QString text;
        Statement statement;
    };
    Statement forward;              // rows after a rowid, in insertion order
    mutable Lazy backward;          // rows before a rowid, in reverse order
    mutable Lazy exists;            // whether the set has any row now
    mutable Lazy byRowid;           // one row, for a fresh read
    mutable Lazy atRowid;           // one row if the set holds it, for a bookmark
    mutable Lazy counter;           // how many rows the set has
    std::vector<Statement> finders; // per column: equal values after a rowid, prepared on first use
    QString filter;                 // " AND (condition)", or empty

    // Read-only sets (joins): the statement is stepped along as the set moves; a row behind the
    // current one is reached by stepping again from the start, which no list walk needs.
    QString sql;
    Statement cursor;
    Statement probe;       // whether the statement has rows now
    long index = -1;       // the row the set stands on
    bool cursorOn = false; // whether cursor stands on that row

    Pos pos = Pos::Nowhere;
    sqlite3_int64 rowid = 0;
    bool deleted = false;

    // The statement that stands on the current row, while nothing has changed since.
    sqlite3_stmt *live = nullptr;
    std::uint64_t liveVersion = 0;
    std::vector<FieldValue> cache;
    bool cacheValid = false;
    std::uint64_t cacheVersion = 0;

    std::vector<std::optional<FieldValue>> pending;
    bool hasPending = false;

    sqlite3 *db() const { return conn->handle(); }

    void ensureHandle() const
    {
        if (!created && !conn)
            throw StoreError(StoreCode::InvalidPointer, QStringLiteral("记录集对象不存在（无效指针）。"));
    }

    void ensureOpen() const
    {
        ensureHandle();
        if (!open)
            throw StoreError(StoreCode::ClosedObject, QStringLiteral("记录集已经关闭，不能进行这个操作。"));
    }

    void ensureUpdatable() const
    {
        if (!updatable)
            throw StoreError(StoreCode::ReadOnly, QStringLiteral("这个记录集来自多个表的查询，不能修改。"));
    }

    Statement prepare(const QString &text) const
    {
        sqlite3_stmt *statement = nullptr;
        const QByteArray utf8 = text.toUtf8();
        const int rc = sqlite3_prepare_v2(db(), utf8.constData(), static_cast<int>(utf8.size()), &statement, nullptr);
        Statement owner(statement);
        if (rc != SQLITE_OK)
            raiseEngineError(db(), rc, QStringLiteral("数据库不接受这条语句：%1").arg(text));
        return owner;
    }

    sqlite3_stmt *use(Lazy &lazy) const
    {
        if (!lazy.statement)
            lazy.statement = prepare(lazy.text);
        return lazy.statement.get();
    }

    // Walks ask for the same columns in the same order row after row, so the column asked for
    // after the previous one is tried first.
    mutable std::vector<int> askedAfter; // per column (and one for the start): the next one asked
    mutable int lastAsked = -1;

    int columnIndex(const QString &name) const
    {
        const int count = static_cast<int>(columns.size());
        // lastAsked is never below -1, so the sum is never negative.
        const auto slot = static_cast<size_t>(lastAsked + 1); // NOLINT(bugprone-misplaced-widening-cast)
        if (askedAfter.size() != columns.size() + 1)
            askedAfter.assign(columns.size() + 1, -1);
        const int guess = askedAfter[slot];
        if (guess >= 0 && guess < count && columns[static_cast<size_t>(guess)].name == name)
            return lastAsked = guess;
        int found = -1;
        for (int i = 0; i < count && found < 0; ++i) {
            if (columns[static_cast<size_t>(i)].name == name)
                found = i;
        }
        for (int i = 0; i < count && found < 0; ++i) {
            if (columns[static_cast<size_t>(i)].name.compare(name, Qt::CaseInsensitive) == 0)
                found = i;
        }
        if (found >= 0) {
            askedAfter[slot] = found;
            return lastAsked = found;
        }
        throw StoreError(StoreCode::ItemNotFound, QStringLiteral("记录集中没有名为“%1”的列。").arg(name));
    }

    void dropLive() noexcept
    {
        if (live)
            sqlite3_reset(live);
        live = nullptr;
    }

    bool setIsEmpty() const
    {
        sqlite3_stmt *statement = updatable ? use(exists) : probe.get();
        sqlite3_reset(statement);
        const int rc = sqlite3_step(statement);
        sqlite3_reset(statement);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            raiseEngineError(db(), rc, QStringLiteral("读取记录失败"));
        return rc == SQLITE_DONE;
    }

    // Steps a cursor statement from a rowid; lands on its first row or reports none.
    bool stepFrom(sqlite3_stmt *statement, sqlite3_int64 from)
    {
        dropLive();
        sqlite3_reset(statement);
        sqlite3_bind_int64(statement, 1, from);
        return stepLive(statement);
    }

    bool stepLive(sqlite3_stmt *statement)
    {
        const int rc = sqlite3_step(statement);
        cacheValid = false;
        deleted = false;
        if (rc == SQLITE_ROW) {
            live = statement;
            liveVersion = conn->version();
            rowid = sqlite3_column_int64(statement, 0);
            pos = Pos::OnRow;
            return true;
        }
        sqlite3_reset(statement);
        live = nullptr;
        if (rc != SQLITE_DONE)
            raiseEngineError(db(), rc, QStringLiteral("读取记录失败"));
        return false;
    }

    bool liveUsable(sqlite3_stmt *statement) const
    {
        return live && live == statement && liveVersion == conn->version();
    }

    // Steps the read-only statement from its start to row n; false when it has fewer rows.
    bool seekRow(long n)
    {
        sqlite3_stmt *statement = cursor.get();
        sqlite3_reset(statement);
        cursorOn = false;
        for (long i = 0; i <= n; ++i) {
            const int rc = sqlite3_step(statement);
            if (rc != SQLITE_ROW) {
                sqlite3_reset(statement);
                if (rc != SQLITE_DONE)
                    raiseEngineError(db(), rc, QStringLiteral("读取记录失败"));
                return false;
            }
        }
        index = n;
        cursorOn = true;
        return true;
    }

    // From the current row of a read-only set to the next.
    bool nextRow()
    {
        if (!cursorOn && !seekRow(index))
            return false;
        const int rc = sqlite3_step(cursor.get());
        if (rc == SQLITE_ROW) {
            ++index;
            return true;
        }
        sqlite3_reset(cursor.get());
        cursorOn = false;
        if (rc != SQLITE_DONE)
            raiseEngineError(db(), rc, QStringLiteral("读取记录失败"));
        return false;
    }

    long countRows()
    {
        sqlite3_stmt *statement = probe.get();
        sqlite3_reset(statement);
        long count = 0;
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
            ++count;
        sqlite3_reset(statement);
        if (rc != SQLITE_DONE)
            raiseEngineError(db(), rc, QStringLiteral("读取记录失败"));
        return count;
    }

    const std::vector<FieldValue> &freshRow()
    {
        if (cacheValid && cacheVersion == conn->version())
            return cache;
        dropLive();
        sqlite3_stmt *statement = use(byRowid);
        sqlite3_reset(statement);
        sqlite3_bind_int64(statement, 1, rowid);
        const int rc = sqlite3_step(statement);
        if (rc != SQLITE_ROW) {
            sqlite3_reset(statement);
            if (rc != SQLITE_DONE)
                raiseEngineError(db(), rc, QStringLiteral("读取记录失败"));
            noCurrentRecord(QStringLiteral("当前记录已经被删除，不能读取。"));
        }
        cache.clear();
        for (size_t i = 0; i < columns.size(); ++i)
            cache.push_back(readColumn(statement, static_cast<int>(i) + 1, columns[i].kind));
        sqlite3_reset(statement);
        cacheValid = true;
        cacheVersion = conn->version();
        return cache;
    }

    void clearPending()
    {
        pending.assign(columns.size(), std::nullopt);
        hasPending = false;
    }

    // Runs one write statement with the given values bound in order.
    void write(const QString &text, const std::vector<FieldValue> &values, sqlite3_int64 key, bool bindKey)
    {
        conn->prepareWrite();
        Statement statement = prepare(text);
        int slot = 1;
        for (const FieldValue &value : values)
            bindValue(statement.get(), slot++, value);
        if (bindKey)
            sqlite3_bind_int64(statement.get(), slot, key);
        const int rc = sqlite3_step(statement.get());
        if (rc != SQLITE_DONE)
            raiseEngineError(db(), rc, QStringLiteral("写入表“%1”失败").arg(table));
    }

    // One row on (ahead) or back, from the current row or from the edge the position is at.
    void step(bool ahead)
    {
        const Pos edge = ahead ? Pos::AfterLast : Pos::BeforeFirst;
        if (pos == edge || (pos == Pos::Nowhere && setIsEmpty()))
            noCurrentRecord(ahead ? QStringLiteral("已经在最后一条记录之后，不能再向后移动。")
                                  : QStringLiteral("已经在第一条记录之前，不能再向前移动。"));
        flushPending();
        if (!updatable) {
            bool found = false;
            if (ahead)
                found = pos == Pos::OnRow ? nextRow() : seekRow(0);
            else if (pos == Pos::OnRow)
                found = index > 0 && seekRow(index - 1);
            else
                found = seekRow(countRows() - 1);
            pos = found ? Pos::OnRow : edge;
            return;
        }
        sqlite3_stmt *statement = ahead ? forward.get() : use(backward);
        bool found = false;
        if (pos == Pos::OnRow && liveUsable(statement))
            found = stepLive(statement);
        else if (pos == Pos::OnRow)
            found = stepFrom(statement, rowid);
        else
            found = stepFrom(statement, ahead ? std::numeric_limits<sqlite3_int64>::min()
                                              : std::numeric_limits<sqlite3_int64>::max());
        if (!found)
            pos = edge;
    }

    void flushPending()
    {
        if (pos == Pos::NewRow || (pos == Pos::OnRow && hasPending))
            self->Update();
    }

    // Lands on a row stepped by a statement of the "rowid, *" shape, or past the end.
    bool landOn(sqlite3_stmt *statement, bool found)
    {
        cacheValid = false;
        deleted = false;
        if (found) {
            live = statement;
            liveVersion = conn->version();
            rowid = sqlite3_column_int64(statement, 0);
            pos = Pos::OnRow;
            return true;
        }
        live = nullptr;
        pos = Pos::AfterLast;
        return false;
    }

    enum class Seek { Found, None, Walk };

    // The first row after a rowid whose column equals the value. Text columns are asked of the
    // engine, whose binary comparison of texts is the store's own; any other case is left to a
    // walk, which applies the store's conversions row by row.
    Seek seek(int at, const FieldValue &value, sqlite3_int64 after)
    {
        const Column &column = columns[static_cast<size_t>(at)];
        if (!updatable || column.kind != Kind::Text || value.isNull())
            return Seek::Walk;
        dropLive();
        if (value.kind() != Kind::Text) { // a text never equals a value of another kind
            landOn(nullptr, false);
            return Seek::None;
        }
        Statement &finder = finders[static_cast<size_t>(at)];
        if (!finder) {
            QString name = column.name;
            name.replace(QLatin1Char('"'), QLatin1String("\"\""));
            finder = prepare(QStringLiteral("SELECT rowid, * FROM %1 WHERE \"%2\" = ?2 AND rowid > ?1%3 ORDER BY rowid")
                                 .arg(table, name, filter));
        }
        sqlite3_stmt *statement = finder.get();
        sqlite3_reset(statement);
        sqlite3_bind_int64(statement, 1, after);
        const QByteArray text = value.asText().toUtf8();
        sqlite3_bind_text(statement, 2, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            if (readColumn(statement, at + 1, column.kind) == value) {
                landOn(statement, true);
                return Seek::Found;
            }
        }
        sqlite3_reset(statement);
        if (rc != SQLITE_DONE)
            raiseEngineError(db(), rc, QStringLiteral("读取记录失败"));
        landOn(nullptr, false);
        return Seek::None;
    }
};

Recordset::Recordset(Connection *connection) : d(std::make_unique<Impl>())
{
    d->self = this;
    d->created = connection;
    if (connection)
        connection->attach(this);
}

Recordset::~Recordset()
{
    d->dropLive();
    if (d->created)
        d->created->detach(this);
    if (d->conn && d->conn != d->created)
        d->conn->detach(this);
}

void Recordset::Open(const QString &sql, Connection *connection, int, int, int)
{
    if (!connection)
        connection = d->created;
    if (!connection)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("记录集对象或数据库连接不存在（无效指针）。"));
    if (d->open)
        throw StoreError(StoreCode::OpenObject, QStringLiteral("记录集已经打开，不能再次打开。"));
    if (!connection->isOpen())
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    if (connection != d->created)
        connection->attach(this);

    Impl &s = *d;
    s.conn = connection;
    s.sql = sql;
    s.openedInUnit = connection->currentUnit();

    // The statement as written decides the columns and their kinds, and any fault in it.
    Statement probe = s.prepare(sql);
    s.columns.clear();
    s.askedAfter.clear();
    s.lastAsked = -1;
    const int count = sqlite3_column_count(probe.get());
    for (int i = 0; i < count; ++i)
        s.columns.push_back({QString::fromUtf8(sqlite3_column_name(probe.get(), i)),
                             kindOfDeclared(sqlite3_column_decltype(probe.get(), i))});
    probe.reset();

    static const QRegularExpression simpleSelect(
        QStringLiteral(R"(^\s*select\s*\*\s*from\s+([^\s;,()'"]+)(?:\s+where\s+(.+?))?\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = simpleSelect.match(sql);
    s.updatable = match.hasMatch();
    s.pos = Impl::Pos::Nowhere;
    s.deleted = false;
    s.cacheValid = false;
    s.clearPending();

    s.finders.clear();
    s.finders.resize(s.columns.size());
    if (s.updatable) {
        s.table = match.captured(1);
        const QString condition = match.captured(2);
        s.filter = condition.isEmpty() ? QString() : QStringLiteral(" AND (%1)").arg(condition);
        const QString &filter = s.filter;
        s.forward =
            s.prepare(QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid > ?1%2 ORDER BY rowid").arg(s.table, filter));
        s.backward.text =
            (QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid < ?1%2 ORDER BY rowid DESC").arg(s.table, filter));
        s.exists.text = QStringLiteral("SELECT 1 FROM %1 WHERE 1%2 LIMIT 1").arg(s.table, filter);
        s.byRowid.text = QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid = ?1").arg(s.table);
        s.atRowid.text = QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid = ?1%2").arg(s.table, filter);
        s.counter.text = QStringLiteral("SELECT count(*) FROM %1 WHERE 1%2").arg(s.table, filter);
        s.open = true;
        s.stepFrom(s.forward.get(), std::numeric_limits<sqlite3_int64>::min());
    } else {
        s.table.clear();
        s.cursor = s.prepare(sql);
        s.probe = s.prepare(sql);
        s.open = true;
        s.pos = s.seekRow(0) ? Impl::Pos::OnRow : Impl::Pos::Nowhere;
    }
}

int Recordset::State() const noexcept
{
    return d->open ? adStateOpen : adStateClosed;
}

bool Recordset::BOF() const
{
    d->ensureOpen();
    switch (d->pos) {
    case Impl::Pos::BeforeFirst:
        return true;
    case Impl::Pos::Nowhere:
    case Impl::Pos::AfterLast:
        return d->setIsEmpty();
    default:
        return false;
    }
}

bool Recordset::adoEOF() const
{
    d->ensureOpen();
    switch (d->pos) {
    case Impl::Pos::AfterLast:
        return true;
    case Impl::Pos::Nowhere:
    case Impl::Pos::BeforeFirst:
        return d->setIsEmpty();
    default:
        return false;
    }
}

void Recordset::MoveFirst()
{
    d->ensureOpen();
    d->flushPending();
    Impl &s = *d;
    if (!s.updatable) {
        s.pos = s.seekRow(0) ? Impl::Pos::OnRow : Impl::Pos::Nowhere;
        return;
    }
    if (!s.stepFrom(s.forward.get(), std::numeric_limits<sqlite3_int64>::min()))
        s.pos = Impl::Pos::Nowhere;
}

void Recordset::MoveNext()
{
    d->ensureOpen();
    d->step(true);
}

void Recordset::MovePrevious()
{
    d->ensureOpen();
    d->step(false);
}

void Recordset::Move(long count)
{
    d->ensureOpen();
    Impl &s = *d;
    if (count == 0) {
        // Moving by nothing stores what was written and reads the row afresh.
        s.flushPending();
        s.cacheValid = false;
        s.dropLive();
        return;
    }
    if (count > 0) {
        if (adoEOF())
            noCurrentRecord(QStringLiteral("已经在最后一条记录之后，不能再向后移动。"));
        for (long i = 0; i < count && s.pos != Impl::Pos::AfterLast; ++i)
            MoveNext();
    } else {
        if (BOF())
            noCurrentRecord(QStringLiteral("已经在第一条记录之前，不能再向前移动。"));
        for (long i = 0; i > count && s.pos != Impl::Pos::BeforeFirst; --i)
            MovePrevious();
    }
}

FieldValue Recordset::GetCollect(const QString &column) const
{
    d->ensureOpen();
    Impl &s = *d;
    const int index = s.columnIndex(column);
    const auto at = static_cast<size_t>(index);
    if (s.updatable && s.pending[at])
        return *s.pending[at];
    switch (s.pos) {
    case Impl::Pos::NewRow:
        return FieldValue::null();
    case Impl::Pos::OnRow:
        if (!s.updatable) {
            if (!s.cursorOn && !s.seekRow(s.index))
                noCurrentRecord(QStringLiteral("当前记录已经不在查询结果中，不能读取。"));
            return readColumn(s.cursor.get(), index, s.columns[at].kind);
        }
        if (s.deleted)
            noCurrentRecord(QStringLiteral("当前记录已经被删除，不能读取。"));
        if (s.liveUsable(s.live))
            return readColumn(s.live, index + 1, s.columns[at].kind); // column 0 is the rowid
        return s.freshRow()[at];
    default:
        noCurrentRecord(kAtEdge);
    }
}

std::optional<QByteArrayView> Recordset::storedText(const QString &column) const
{
    d->ensureOpen();
    const Impl &s = *d;
    const int index = s.columnIndex(column);
    const auto at = static_cast<size_t>(index);
    if (s.pos != Impl::Pos::OnRow || s.deleted || s.columns[at].kind != Kind::Text)
        return std::nullopt;
    sqlite3_stmt *statement = nullptr;
    int slot = index;
    if (!s.updatable && s.cursorOn) {
        statement = s.cursor.get();
    } else if (s.updatable && !s.pending[at] && s.liveUsable(s.live)) {
        statement = s.live;
        slot = index + 1; // column 0 is the rowid
    }
    if (!statement)
        return std::nullopt;
    switch (sqlite3_column_type(statement, slot)) {
    case SQLITE_NULL:
        return QByteArrayView();
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, slot));
        return QByteArrayView(text, sqlite3_column_bytes(statement, slot));
    }
    default:
        return std::nullopt;
    }
}

void Recordset::PutCollect(const QString &column, const FieldValue &value)
{
    d->ensureOpen();
    Impl &s = *d;
    s.ensureUpdatable();
    const int index = s.columnIndex(column);
    if (s.pos != Impl::Pos::NewRow && (s.pos != Impl::Pos::OnRow || s.deleted))
        noCurrentRecord(s.deleted ? QStringLiteral("当前记录已经被删除，不能写入。") : kAtEdge);
    const auto at = static_cast<size_t>(index);
    s.pending[at] = convertFor(value, s.columns[at]);
    s.hasPending = true;
}

void Recordset::AddNew()
{
    d->ensureOpen();
    Impl &s = *d;
    s.ensureUpdatable();
    s.flushPending();
    s.dropLive();
    s.clearPending();
    s.pos = Impl::Pos::NewRow;
    s.deleted = false;
    s.cacheValid = false;
}

void Recordset::Update()
{
    d->ensureOpen();
    Impl &s = *d;
    s.ensureUpdatable();
    if (s.pos == Impl::Pos::NewRow) {
        QStringList names;
        QStringList marks;
        std::vector<FieldValue> values;
        for (size_t i = 0; i < s.columns.size(); ++i) {
            if (!s.pending[i])
                continue;
            names.append(s.columns[i].name);
            marks.append(QStringLiteral("?"));
            values.push_back(*s.pending[i]);
        }
        const QString text = names.isEmpty()
                                 ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(s.table)
                                 : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(s.table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        s.write(text, values, 0, false);
        // The new row stays current.
        s.rowid = sqlite3_last_insert_rowid(s.db());
        s.pos = Impl::Pos::OnRow;
        s.deleted = false;
        s.cacheValid = false;
        s.dropLive();
        s.clearPending();
        return;
    }
    // Nothing written means nothing to store, also on a row just deleted.
    if (!s.hasPending)
        return;
    if (s.pos != Impl::Pos::OnRow || s.deleted)
        noCurrentRecord(s.deleted ? QStringLiteral("当前记录已经被删除，不能保存。") : kAtEdge);
    QStringList assignments;
    std::vector<FieldValue> values;
    for (size_t i = 0; i < s.columns.size(); ++i) {
        if (!s.pending[i])
            continue;
        assignments.append(s.columns[i].name + QStringLiteral("=?"));
        values.push_back(*s.pending[i]);
    }
    s.write(QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(s.table, assignments.join(QLatin1Char(','))), values,
            s.rowid, true);
    const bool stored = sqlite3_changes(s.db()) > 0;
    s.clearPending();
    s.cacheValid = false;
    if (!stored)
        noCurrentRecord(QStringLiteral("当前记录已经被其他操作删除，修改没有保存。"));
}

void Recordset::Delete(int)
{
    d->ensureOpen();
    Impl &s = *d;
    s.ensureUpdatable();
    if (s.pos != Impl::Pos::OnRow || s.deleted)
        noCurrentRecord(s.deleted ? QStringLiteral("当前记录已经被删除。") : kAtEdge);
    s.clearPending();
    s.write(QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(s.table), {}, s.rowid, true);
    // The deleted row stays the position until the cursor moves.
    s.deleted = true;
    s.cacheValid = false;
}

bool Recordset::Find(const QString &column, const FieldValue &value)
{
    d->ensureOpen();
    const int index = d->columnIndex(column);
    d->flushPending();
    switch (d->seek(index, value, std::numeric_limits<sqlite3_int64>::min())) {
    case Impl::Seek::Found:
        return true;
    case Impl::Seek::None:
        return false;
    case Impl::Seek::Walk:
        break;
    }
    rewind();
    while (!adoEOF()) {
        if (GetCollect(column) == value)
            return true;
        MoveNext();
    }
    return false;
}

bool Recordset::FindNext(const QString &column, const FieldValue &value)
{
    d->ensureOpen();
    const int index = d->columnIndex(column);
    MoveNext();
    Impl &s = *d;
    if (s.pos != Impl::Pos::OnRow)
        return false;
    // The row just reached is the first candidate.
    switch (s.seek(index, value, s.rowid - 1)) {
    case Impl::Seek::Found:
        return true;
    case Impl::Seek::None:
        return false;
    case Impl::Seek::Walk:
        break;
    }
    while (!adoEOF()) {
        if (GetCollect(column) == value)
            return true;
        MoveNext();
    }
    return false;
}

long Recordset::RecordCount() const
{
    d->ensureOpen();
    Impl &s = *d;
    if (!s.updatable)
        return s.countRows();
    sqlite3_stmt *statement = s.use(s.counter);
    sqlite3_reset(statement);
    const int rc = sqlite3_step(statement);
    const long count = rc == SQLITE_ROW ? static_cast<long>(sqlite3_column_int64(statement, 0)) : 0;
    sqlite3_reset(statement);
    if (rc != SQLITE_ROW)
        raiseEngineError(s.db(), rc, QStringLiteral("读取记录失败"));
    return count;
}

std::int64_t Recordset::Bookmark() const
{
    d->ensureOpen();
    const Impl &s = *d;
    if (s.pos != Impl::Pos::OnRow || s.deleted)
        noCurrentRecord(s.deleted ? QStringLiteral("当前记录已经被删除。") : kAtEdge);
    return s.updatable ? s.rowid : s.index;
}

bool Recordset::MoveToBookmark(std::int64_t bookmark)
{
    d->ensureOpen();
    Impl &s = *d;
    s.flushPending();
    if (!s.updatable) {
        const bool found = bookmark >= 0 && s.seekRow(static_cast<long>(bookmark));
        s.pos = found ? Impl::Pos::OnRow : Impl::Pos::AfterLast;
        return found;
    }
    s.dropLive();
    sqlite3_stmt *statement = s.use(s.atRowid);
    sqlite3_reset(statement);
    sqlite3_bind_int64(statement, 1, bookmark);
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_ROW) {
        sqlite3_reset(statement);
        if (rc != SQLITE_DONE)
            raiseEngineError(s.db(), rc, QStringLiteral("读取记录失败"));
    }
    return s.landOn(statement, rc == SQLITE_ROW);
}

void Recordset::Close()
{
    d->ensureOpen();
    Impl &s = *d;
    if (s.hasPending)
        throw StoreError(StoreCode::PendingChanges, QStringLiteral("当前记录有写入但尚未保存的值，不能关闭记录集。"));
    s.dropLive();
    s.forward.reset();
    for (Impl::Lazy *lazy : {&s.backward, &s.exists, &s.byRowid, &s.atRowid, &s.counter})
        lazy->statement.reset();
    s.finders.clear();
    s.cursor.reset();
    s.probe.reset();
    s.cursorOn = false;
    s.cache.clear();
    s.cacheValid = false;
    s.open = false;
    s.pos = Impl::Pos::Nowhere;
    if (s.conn != s.created)
        s.conn->detach(this);
    s.conn = nullptr;
}

// Close cannot throw here: the pending values are dropped first, and it only runs on an open set.
// NOLINTNEXTLINE(bugprone-exception-escape)
void Recordset::settle(bool rolledBack) noexcept
{
    Impl &s = *d;
    s.dropLive();
    if (s.exists.statement)
        sqlite3_reset(s.exists.statement.get());
    if (s.cursor)
        sqlite3_reset(s.cursor.get());
    if (s.probe)
        sqlite3_reset(s.probe.get());
    s.cursorOn = false;
    if (!rolledBack)
        return;
    s.clearPending();
    s.cacheValid = false;
    if (s.pos == Impl::Pos::NewRow)
        s.pos = Impl::Pos::Nowhere;
    // A set the failed operation opened is closed again, so the next operation opens it on its
    // own statement instead of going on with the failed one's rows.
    if (s.open && s.openedInUnit != 0 && s.conn && s.openedInUnit == s.conn->currentUnit())
        Close();
}

} // namespace orv
