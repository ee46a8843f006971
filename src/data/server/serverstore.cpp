#include "serverstore.h"

#include "pgcursor.h"
#include "serverpages.h"
#include "serverroles.h"
#include "serverschema.h"

#include <QRandomGenerator>
#include <QThread>

namespace orv::server {

std::unique_ptr<ServerStore> ServerStore::open(const QString &uri)
{
    ServerConnection server(uri);
    // Before the tables: a user who is no operator may not read them, and the server's refusal of
    // the first one would not say why.
    const Role role = requireSignedInRole(server);
    server.requireSchema();
    return std::unique_ptr<ServerStore>(new ServerStore(std::move(server), role));
}

std::shared_ptr<const store::Columns> ServerStore::columnsOf(const QString &sql, const store::SelectShape &shape)
{
    // A set over one table shows the columns of the table's view, whatever its condition.
    const QString key = shape.oneTable ? shape.table.toString().toLower() : sql;
    if (const auto known = m_columns.constFind(key); known != m_columns.constEnd())
        return *known;
    const QString probe = shape.oneTable ? QStringLiteral("SELECT * FROM %1").arg(shape.table) : sql;
    if (!m_inUnit)
        m_server.reconnectIfLost();
    const PgResultHandle described =
        m_server.describe(probe, QStringLiteral("数据库服务器不接受这条语句：%1").arg(sql));
    std::vector<store::Column> columns;
    const int count = PQnfields(described.get());
    columns.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        columns.push_back({QString::fromUtf8(PQfname(described.get(), i)), kindOfType(PQftype(described.get(), i))});
    auto made = std::make_shared<store::Columns>();
    made->assign(std::move(columns));
    m_columns.insert(key, made);
    return made;
}

std::unique_ptr<store::Cursor> ServerStore::openCursor(Connection &connection, const store::Columns &columns,
                                                       const QString &sql, const store::SelectShape &shape)
{
    if (shape.oneTable)
        return std::make_unique<PgCursor>(connection, columns, *this, shape);
    return std::make_unique<PgQueryCursor>(connection, columns, *this, sql);
}

std::unique_ptr<store::ListPages> ServerStore::openList(sql::ListQuery query, int blockRows)
{
    return std::make_unique<ServerPages>(*this, std::move(query), blockRows);
}

void ServerStore::execute(const QString &sql)
{
    run(sql, {}, QString());
    ++m_changes;
}

store::StatementRows ServerStore::runStatement(const QString &sql, const store::TextParameters &parameters,
                                               const QString &what)
{
    const PgResultHandle result = run(sql, parameters, what);
    store::StatementRows rows;
    const PGresult *got = result.get();
    if (PQresultStatus(got) != PGRES_TUPLES_OK) {
        rows.changed = QByteArray(PQcmdTuples(result.get())).toLongLong();
        if (rows.changed > 0)
            ++m_changes;
        return rows;
    }
    rows.columns = PQnfields(got);
    const int count = PQntuples(got);
    rows.values.reserve(static_cast<std::size_t>(count) * static_cast<std::size_t>(rows.columns));
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < rows.columns; ++column) {
            if (PQgetisnull(got, row, column))
                rows.values.emplace_back();
            else
                rows.values.emplace_back(QByteArray(PQgetvalue(got, row, column), PQgetlength(got, row, column)));
        }
    }
    return rows;
}

QString ServerStore::numbered(const QString &table) const
{
    return QStringLiteral("(SELECT %1 AS rowid, * FROM %2) AS %3")
        .arg(quoted(kOrderColumn), orderedView(table.toLower()), table);
}

void ServerStore::begin()
{
    // A unit is where a connection lost before is made again.
    m_server.reconnectIfLost();
    m_server.run(QStringLiteral("BEGIN ISOLATION LEVEL SERIALIZABLE"), {}, QStringLiteral("无法开始数据库操作"));
    m_inUnit = true;
    // Rows read before the unit are read again inside it, where the server watches them.
    ++m_changes;
}

void ServerStore::commit()
{
    ++m_changes;
    PGconn *connection = m_server.handle();
    // The server answers a commit of a unit it refused a statement of with a rollback, not a
    // failure: that unit is refused here.
    if (PQstatus(connection) == CONNECTION_OK && PQtransactionStatus(connection) == PQTRANS_INERROR) {
        rollback();
        throw StoreError(ServerCode::Failed,
                         QStringLiteral("数据库服务器拒绝了这次操作中的一条语句，整个操作已撤销，没有保存。"));
    }
    try {
        m_server.run(QStringLiteral("COMMIT"), {}, QStringLiteral("保存这次操作失败"));
    } catch (...) {
        rollback();
        throw;
    }
    m_inUnit = false;
}

void ServerStore::rollback() noexcept
{
    PGconn *connection = m_server.handle();
    if (PQstatus(connection) == CONNECTION_OK && PQtransactionStatus(connection) != PQTRANS_IDLE)
        PgResultHandle(PQexec(connection, "ROLLBACK"));
    m_inUnit = false;
    ++m_changes;
}

bool ServerStore::runAgain(const StoreError &failure, int attempt)
{
    if (failure.code() != ServerCode::Conflict)
        return false;
    if (attempt >= kUnitAttempts)
        throw collisionRefusal(attempt, failure.message());
    // Desks that collided and ran again at once would mostly collide again: each waits a moment
    // of its own first, longer after each run.
    const auto longest = 5U << static_cast<unsigned>(attempt);
    QThread::msleep(QRandomGenerator::global()->bounded(longest + 1U));
    return true;
}

PgResultHandle ServerStore::run(const QString &sql, const ServerConnection::Parameters &parameters, const QString &what)
{
    if (!m_inUnit)
        m_server.reconnectIfLost();
    return m_server.runWith(sql, parameters, what);
}

} // namespace orv::server
