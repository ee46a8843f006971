#include "recordset.h"

#include "backend.h"
#include "connection.h"
#include "cursor.h"
#include "statementpool.h"

#include <algorithm>
#include <sqlite3.h>

namespace orv {

namespace {

using store::Cursor;
using store::noCurrentRecord;
using store::RowWriter;

const QString kAtEdge = QStringLiteral("没有当前记录：位置在第一条记录之前或最后一条记录之后。");

} // namespace

// The set's position, the values written and not yet stored, and the errors of each operation;
// the cursor reads and writes the rows.
struct Recordset::Impl {
    enum class Pos { Nowhere, BeforeFirst, OnRow, AfterLast, NewRow };

    Connection *created = nullptr;  // the connection given at creation
    Connection *conn = nullptr;     // the connection the set is open on
    std::uint64_t openedInUnit = 0; // the unit that opened the set, 0 when opened outside one

    std::shared_ptr<const store::Columns> columns; // shared with the sets opened on the same statement
    std::unique_ptr<Cursor> rows;                  // none while the set is closed

    Pos pos = Pos::Nowhere;
    bool deleted = false; // the current row was deleted through this set; it stays the position
    store::PendingValues pending;
    bool hasPending = false;

    void ensureHandle() const
    {
        if (!created && !conn)
            throw StoreError(StoreCode::InvalidPointer, QStringLiteral("记录集对象不存在（无效指针）。"));
    }

    void ensureOpen() const
    {
        ensureHandle();
        if (!rows)
            throw StoreError(StoreCode::ClosedObject, QStringLiteral("记录集已经关闭，不能进行这个操作。"));
    }

    RowWriter &writer() const
    {
        RowWriter *writer = rows->writer();
        if (!writer)
            throw StoreError(StoreCode::ReadOnly, QStringLiteral("这个记录集来自多个表的查询，不能修改。"));
        return *writer;
    }

    void clearPending() noexcept
    {
        std::fill(pending.begin(), pending.end(), std::nullopt);
        hasPending = false;
    }

    // Stores the written values: a new row is inserted and becomes current, a changed row updated.
    void store()
    {
        RowWriter &rowWriter = writer();
        if (pos == Pos::NewRow) {
            rowWriter.insert(pending);
            pos = Pos::OnRow;
            deleted = false;
            clearPending();
            return;
        }
        // Nothing written means nothing to store, also on a row just deleted.
        if (!hasPending)
            return;
        if (pos != Pos::OnRow || deleted)
            noCurrentRecord(deleted ? QStringLiteral("当前记录已经被删除，不能保存。") : kAtEdge);
        const bool stored = rowWriter.update(pending);
        clearPending();
        if (!stored)
            noCurrentRecord(QStringLiteral("当前记录已经被其他操作删除，修改没有保存。"));
    }

    // Leaving a row stores what was written to it.
    void flushPending()
    {
        if (pos == Pos::NewRow || (pos == Pos::OnRow && hasPending))
            store();
    }

    void arrive(bool found, Pos otherwise)
    {
        pos = found ? Pos::OnRow : otherwise;
        deleted = false;
    }

    // One row on (ahead) or back, from the current row or from the edge the position is at.
    void step(bool ahead)
    {
        const Pos edge = ahead ? Pos::AfterLast : Pos::BeforeFirst;
        if (pos == edge || (pos == Pos::Nowhere && rows->isEmpty()))
            noCurrentRecord(ahead ? QStringLiteral("已经在最后一条记录之后，不能再向后移动。")
                                  : QStringLiteral("已经在第一条记录之前，不能再向前移动。"));
        flushPending();
        bool found = false;
        if (pos == Pos::OnRow)
            found = ahead ? rows->next() : rows->previous();
        else
            found = ahead ? rows->first() : rows->last();
        arrive(found, edge);
    }

    Cursor::Seek seek(int at, const FieldValue &value, Cursor::From from)
    {
        const Cursor::Seek result = rows->seek(at, value, from);
        if (result != Cursor::Seek::Walk)
            arrive(result == Cursor::Seek::Found, Pos::AfterLast);
        return result;
    }

    // Closes the set without a word: statements finalized, unstored values dropped.
    void release(Recordset *owner) noexcept
    {
        rows.reset();
        clearPending();
        pos = Pos::Nowhere;
        if (conn && conn != created)
            conn->detach(owner);
        conn = nullptr;
    }
};

Recordset::Recordset(Connection *connection) : d(std::make_unique<Impl>())
{
    d->created = connection;
    if (connection)
        connection->attach(this);
}

Recordset::~Recordset()
{
    d->rows.reset();
    if (d->created)
        d->created->detach(this);
    if (d->conn && d->conn != d->created)
        d->conn->detach(this);
}

void Recordset::Open(const QString &sql, Connection *connection)
{
    if (!connection)
        connection = d->created;
    if (!connection)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("记录集对象或数据库连接不存在（无效指针）。"));
    if (d->rows)
        throw StoreError(StoreCode::OpenObject, QStringLiteral("记录集已经打开，不能再次打开。"));
    if (!connection->isOpen())
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    if (connection != d->created)
        connection->attach(this);

    Impl &s = *d;
    s.conn = connection;
    s.openedInUnit = connection->currentUnit();

    if (store::Backend *backend = connection->backend()) {
        store::SelectShape shape = store::shapeOf(sql);
        s.columns = backend->columnsOf(sql, shape);
        s.pos = Impl::Pos::Nowhere;
        s.deleted = false;
        s.pending.assign(static_cast<size_t>(s.columns->size()), std::nullopt);
        s.hasPending = false;
        // A server finds a fault in the statement at its first read: the set stays closed then.
        std::unique_ptr<store::Cursor> rows = backend->openCursor(*connection, *s.columns, sql, shape);
        s.pos = rows->first() ? Impl::Pos::OnRow : Impl::Pos::Nowhere;
        s.rows = std::move(rows);
        return;
    }

    // The statement as written decides the columns and their kinds, and any fault in it; a shape
    // found before under the same schema is known to be sound.
    store::StatementPool &pool = connection->statementPool();
    pool.forgetIfSchemaChanged(connection->handle());
    store::SelectShape shape = store::shapeOf(sql);
    store::StatementPool::Known known = pool.known(shape.probe);
    if (!known.columns) {
        const store::PooledStatement probe = pool.take(connection->handle(), shape.probe, sql);
        std::vector<store::Column> columns;
        const int count = probe.columnCount();
        columns.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            columns.push_back({QString::fromUtf8(sqlite3_column_name(probe.get(), i)),
                               store::kindOfDeclared(sqlite3_column_decltype(probe.get(), i))});
        known = pool.keep(shape, std::move(columns));
    }
    s.columns = std::move(known.columns);
    s.pos = Impl::Pos::Nowhere;
    s.deleted = false;
    s.pending.assign(static_cast<size_t>(s.columns->size()), std::nullopt);
    s.hasPending = false;
    s.rows = store::openCursor(*connection, *s.columns, sql, std::move(shape), std::move(known.texts));
    s.pos = s.rows->first() ? Impl::Pos::OnRow : Impl::Pos::Nowhere;
}

int Recordset::State() const noexcept
{
    return d->rows ? adStateOpen : adStateClosed;
}

bool Recordset::BOF() const
{
    d->ensureOpen();
    switch (d->pos) {
    case Impl::Pos::BeforeFirst:
        return true;
    case Impl::Pos::Nowhere:
    case Impl::Pos::AfterLast:
        return d->rows->isEmpty();
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
        return d->rows->isEmpty();
    default:
        return false;
    }
}

void Recordset::MoveFirst()
{
    d->ensureOpen();
    d->flushPending();
    d->arrive(d->rows->first(), Impl::Pos::Nowhere);
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
    if (count == 0) {
        // Moving by nothing stores what was written and reads the row afresh.
        d->flushPending();
        d->rows->reread();
        return;
    }
    if (count > 0) {
        if (adoEOF())
            noCurrentRecord(QStringLiteral("已经在最后一条记录之后，不能再向后移动。"));
        for (long i = 0; i < count && d->pos != Impl::Pos::AfterLast; ++i)
            MoveNext();
    } else {
        if (BOF())
            noCurrentRecord(QStringLiteral("已经在第一条记录之前，不能再向前移动。"));
        for (long i = 0; i > count && d->pos != Impl::Pos::BeforeFirst; --i)
            MovePrevious();
    }
}

FieldValue Recordset::GetCollect(const QString &column) const
{
    d->ensureOpen();
    const Impl &s = *d;
    const int at = s.columns->indexOf(column);
    if (const auto &written = s.pending[static_cast<size_t>(at)])
        return *written;
    switch (s.pos) {
    case Impl::Pos::NewRow:
        return FieldValue::null();
    case Impl::Pos::OnRow:
        if (s.deleted)
            noCurrentRecord(QStringLiteral("当前记录已经被删除，不能读取。"));
        return s.rows->value(at);
    default:
        noCurrentRecord(kAtEdge);
    }
}

void Recordset::storedTexts(const QString *columns, size_t count, std::optional<QByteArrayView> *texts) const
{
    d->ensureOpen();
    const Impl &s = *d;
    const int *at = s.columns->positionsOf(columns, count);
    std::fill(texts, texts + count, std::nullopt);
    if (s.pos != Impl::Pos::OnRow || s.deleted || !s.rows->storedTexts(at, count, texts))
        return;
    // A value written and not yet stored, or one of another kind, must come through GetCollect.
    for (size_t i = 0; i < count; ++i) {
        if ((*s.columns)[at[i]].kind != FieldValue::Kind::Text || s.pending[static_cast<size_t>(at[i])])
            texts[i] = std::nullopt;
    }
}

void Recordset::PutCollect(const QString &column, const FieldValue &value)
{
    d->ensureOpen();
    Impl &s = *d;
    s.writer();
    const int at = s.columns->indexOf(column);
    if (s.pos != Impl::Pos::NewRow && (s.pos != Impl::Pos::OnRow || s.deleted))
        noCurrentRecord(s.deleted ? QStringLiteral("当前记录已经被删除，不能写入。") : kAtEdge);
    s.pending[static_cast<size_t>(at)] = store::convertFor(value, (*s.columns)[at]);
    s.hasPending = true;
}

void Recordset::AddNew()
{
    d->ensureOpen();
    Impl &s = *d;
    s.writer();
    s.flushPending();
    s.rows->reread();
    s.clearPending();
    s.pos = Impl::Pos::NewRow;
    s.deleted = false;
}

void Recordset::Update()
{
    d->ensureOpen();
    d->store();
}

void Recordset::Delete(int)
{
    d->ensureOpen();
    Impl &s = *d;
    RowWriter &writer = s.writer();
    if (s.pos != Impl::Pos::OnRow || s.deleted)
        noCurrentRecord(s.deleted ? QStringLiteral("当前记录已经被删除。") : kAtEdge);
    s.clearPending();
    writer.remove();
    // The deleted row stays the position until the cursor moves.
    s.deleted = true;
}

bool Recordset::Find(const QString &column, const FieldValue &value)
{
    d->ensureOpen();
    const int at = d->columns->indexOf(column);
    d->flushPending();
    return findFrom(true, at, column, value);
}

bool Recordset::FindNext(const QString &column, const FieldValue &value)
{
    d->ensureOpen();
    const int at = d->columns->indexOf(column);
    MoveNext();
    // The row just reached is the first candidate.
    return d->pos == Impl::Pos::OnRow && findFrom(false, at, column, value);
}

bool Recordset::findFrom(bool fromStart, int at, const QString &column, const FieldValue &value)
{
    switch (d->seek(at, value, fromStart ? Cursor::From::Start : Cursor::From::Current)) {
    case Cursor::Seek::Found:
        return true;
    case Cursor::Seek::None:
        return false;
    case Cursor::Seek::Walk:
        break;
    }
    // What the engine cannot answer under the store's rule is walked row by row.
    if (fromStart)
        rewind();
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
    return d->rows->count();
}

std::int64_t Recordset::Bookmark() const
{
    d->ensureOpen();
    const Impl &s = *d;
    if (s.pos != Impl::Pos::OnRow || s.deleted)
        noCurrentRecord(s.deleted ? QStringLiteral("当前记录已经被删除。") : kAtEdge);
    return s.rows->bookmark();
}

bool Recordset::MoveToBookmark(std::int64_t bookmark)
{
    d->ensureOpen();
    d->flushPending();
    const bool found = d->rows->moveTo(bookmark);
    d->arrive(found, Impl::Pos::AfterLast);
    return found;
}

void Recordset::Close()
{
    d->ensureOpen();
    if (d->hasPending)
        throw StoreError(StoreCode::PendingChanges, QStringLiteral("当前记录有写入但尚未保存的值，不能关闭记录集。"));
    d->release(this);
}

void Recordset::settle(bool rolledBack) noexcept
{
    Impl &s = *d;
    if (s.rows)
        s.rows->settle(rolledBack);
    if (!rolledBack)
        return;
    s.clearPending();
    if (s.pos == Impl::Pos::NewRow)
        s.pos = Impl::Pos::Nowhere;
    // A set the failed operation opened is closed again, so the next operation opens it on its
    // own statement instead of going on with the failed one's rows.
    if (s.rows && s.openedInUnit != 0 && s.conn && s.openedInUnit == s.conn->currentUnit())
        s.release(this);
}

void Recordset::closeWithConnection() noexcept
{
    d->release(this);
}

void Recordset::forgetConnection(const Connection *connection) noexcept
{
    Impl &s = *d;
    if (s.conn == connection) {
        // Not detached: the connection is dropping its whole list.
        s.conn = nullptr;
        s.release(this);
    }
    if (s.created == connection)
        s.created = nullptr;
}

} // namespace orv
