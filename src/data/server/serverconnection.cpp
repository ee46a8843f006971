#include "serverconnection.h"

#include "serverschema.h"

#include <vector>

namespace orv::server {

namespace {

const QString kRunFailure = QStringLiteral("数据库服务器执行语句失败");

QString serverWords(const PGconn *connection)
{
    return QString::fromUtf8(PQerrorMessage(connection)).trimmed();
}

// Where the connection went, without the password a URI may hold.
QString placeOf(const PGconn *connection)
{
    const QString host = QString::fromUtf8(PQhost(connection));
    const QString port = QString::fromUtf8(PQport(connection));
    const QString database = QString::fromUtf8(PQdb(connection));
    return QStringLiteral("%1:%2/%3").arg(host.isEmpty() ? QStringLiteral("localhost") : host, port, database);
}

} // namespace

ServerConnection::ServerConnection(const QString &uri)
{
    const QByteArray dsn = uri.toUtf8();
    // The URI may name the database and everything else; the texts always travel as UTF-8.
    const char *const keywords[] = {"dbname", "client_encoding", nullptr};
    const char *const values[] = {dsn.constData(), "UTF8", nullptr};
    m_conn.reset(PQconnectdbParams(keywords, values, 1));
    if (!m_conn)
        throw StoreError(ServerCode::Unreachable, QStringLiteral("无法连接数据库服务器：内存不足。"));
    if (PQstatus(m_conn.get()) == CONNECTION_OK) {
        settleSession();
        return;
    }
    const QString place = placeOf(m_conn.get());
    const QString words = serverWords(m_conn.get());
    if (PQconnectionNeedsPassword(m_conn.get()))
        throw StoreError(ServerCode::SignInRefused,
                         QStringLiteral("数据库服务器（%1）要求密码，连接地址中没有给出密码。").arg(place));
    if (PQconnectionUsedPassword(m_conn.get()))
        throw StoreError(
            ServerCode::SignInRefused,
            QStringLiteral("数据库服务器（%1）拒绝了登录：用户名或密码不对。（服务器：%2）").arg(place, words));
    throw StoreError(ServerCode::Unreachable,
                     QStringLiteral("无法连接数据库服务器（%1）：请检查服务器是否已启动、地址和数据库名称是否正确。"
                                    "（服务器：%2）")
                         .arg(place, words));
}

ServerConnection ServerConnection::open(const QString &uri)
{
    ServerConnection connection(uri);
    connection.requireSchema();
    return connection;
}

QString ServerConnection::databaseName() const
{
    return QString::fromUtf8(PQdb(m_conn.get()));
}

std::optional<int> ServerConnection::schemaVersion()
{
    const QString table = rowsTable(QStringLiteral("schema_version"));
    if (value(QStringLiteral("SELECT to_regclass($1)"), {table}).isNull())
        return std::nullopt;
    bool number = false;
    const int version = value(QStringLiteral("SELECT max(version) FROM %1").arg(table)).toInt(&number);
    return number ? std::optional<int>(version) : std::nullopt;
}

void ServerConnection::requireSchema()
{
    const std::optional<int> version = schemaVersion();
    if (!version)
        throw StoreError(ServerCode::OtherSchema,
                         QStringLiteral("服务器上的数据库“%1”里没有本程序的数据表，不能打开。"
                                        "请先用 orvane --migrate-to 把数据迁移到一个新建的空数据库。")
                             .arg(databaseName()));
    if (*version != kSchemaVersion)
        throw StoreError(ServerCode::OtherSchema,
                         QStringLiteral("服务器上的数据库“%1”是第 %2 版的表结构，本程序使用第 %3 版，不能打开。")
                             .arg(databaseName())
                             .arg(*version)
                             .arg(kSchemaVersion));
}

QStringList ServerConnection::userRelations()
{
    PgResultHandle result = run(QStringLiteral("SELECT n.nspname || '.' || c.relname FROM pg_class c "
                                               "JOIN pg_namespace n ON n.oid = c.relnamespace "
                                               "WHERE c.relkind IN ('r', 'v', 'm', 'p', 'f', 'S') "
                                               "AND n.nspname NOT IN ('pg_catalog', 'information_schema') "
                                               "AND n.nspname NOT LIKE 'pg\\_%' ORDER BY 1"));
    QStringList names;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        names.append(QString::fromUtf8(PQgetvalue(result.get(), row, 0)));
    return names;
}

PgResultHandle ServerConnection::run(const QString &sql, const QStringList &parameters, const QString &what)
{
    const QByteArray text = sql.toUtf8();
    std::vector<QByteArray> held;
    std::vector<const char *> values;
    held.reserve(static_cast<std::size_t>(parameters.size()));
    for (const QString &parameter : parameters) {
        held.push_back(parameter.toUtf8());
        values.push_back(parameter.isNull() ? nullptr : held.back().constData());
    }
    PgResultHandle result(PQexecParams(m_conn.get(), text.constData(), static_cast<int>(values.size()), nullptr,
                                       values.data(), nullptr, nullptr, 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN)
        raise(result.get(), what);
    return result;
}

PgResultHandle ServerConnection::runWith(const QString &sql, const Parameters &parameters, const QString &what)
{
    const QByteArray text = sql.toUtf8();
    std::vector<const char *> values;
    std::vector<int> lengths;
    values.reserve(parameters.size());
    lengths.reserve(parameters.size());
    for (const std::optional<QByteArray> &parameter : parameters) {
        values.push_back(parameter ? parameter->constData() : nullptr);
        lengths.push_back(parameter ? static_cast<int>(parameter->size()) : 0);
    }
    PgResultHandle result(PQexecParams(m_conn.get(), text.constData(), static_cast<int>(values.size()), nullptr,
                                       values.data(), lengths.data(), nullptr, 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        raise(result.get(), what);
    return result;
}

PgResultHandle ServerConnection::describe(const QString &sql, const QString &what)
{
    const QByteArray text = sql.toUtf8();
    // The unnamed statement: the next one prepared replaces it.
    PgResultHandle prepared(PQprepare(m_conn.get(), "", text.constData(), 0, nullptr));
    if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK)
        raise(prepared.get(), what);
    PgResultHandle described(PQdescribePrepared(m_conn.get(), ""));
    if (!described || PQresultStatus(described.get()) != PGRES_COMMAND_OK)
        raise(described.get(), what);
    return described;
}

void ServerConnection::settleSession() noexcept
{
    // The lists' conditions quote typed values as the file does, doubling quotes alone: a server
    // whose default takes a backslash as an escape would let a typed value end its quotes.
    const PgResultHandle quoting(PQexec(m_conn.get(), "SET standard_conforming_strings = on"));
    // A list's statement is costed as big, and compiling it first (0.7 s for the rent list at
    // 100,000 residents) takes far longer than running it. A server without JIT refuses the
    // setting, which changes nothing.
    const PgResultHandle compiling(PQexec(m_conn.get(), "SET jit = off"));
}

void ServerConnection::reconnectIfLost()
{
    if (PQstatus(m_conn.get()) == CONNECTION_OK && !m_lost)
        return;
    PQreset(m_conn.get());
    m_lost = false;
    if (PQstatus(m_conn.get()) == CONNECTION_OK)
        settleSession();
    else
        throw StoreError(
            ServerCode::Unreachable,
            QStringLiteral("与数据库服务器（%1）的连接断开了，重新连接也没有成功：请检查服务器和网络后再试。"
                           "（服务器：%2）")
                .arg(placeOf(m_conn.get()), serverWords(m_conn.get())));
}

QString ServerConnection::value(const QString &sql, const QStringList &parameters, const QString &what)
{
    PgResultHandle result = run(sql, parameters, what);
    if (PQntuples(result.get()) == 0 || PQnfields(result.get()) == 0 || PQgetisnull(result.get(), 0, 0))
        return QString();
    return QString::fromUtf8(PQgetvalue(result.get(), 0, 0));
}

void ServerConnection::copyIn(const QString &target, const QByteArray &rows, const QString &what)
{
    run(QStringLiteral("COPY %1 FROM STDIN").arg(target), {}, what);
    const bool sent = PQputCopyData(m_conn.get(), rows.constData(), static_cast<int>(rows.size())) == 1 &&
                      PQputCopyEnd(m_conn.get(), nullptr) == 1;
    // The copy's end comes back as a result of its own; every result is read so the next
    // statement finds the connection idle.
    PgResultHandle failure;
    while (PgResultHandle result{PQgetResult(m_conn.get())}) {
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && !failure)
            failure = std::move(result);
    }
    if (failure || !sent)
        raise(failure.get(), what);
}

int ServerConnection::runUnit(const std::function<void(ServerConnection &)> &work, int attempts)
{
    const auto rollBack = [this]() noexcept {
        if (PQstatus(m_conn.get()) == CONNECTION_OK && PQtransactionStatus(m_conn.get()) != PQTRANS_IDLE)
            PgResultHandle(PQexec(m_conn.get(), "ROLLBACK"));
    };
    QString cause;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        try {
            run(QStringLiteral("BEGIN ISOLATION LEVEL SERIALIZABLE"));
            work(*this);
            run(QStringLiteral("COMMIT"));
            return attempt;
        } catch (const StoreError &error) {
            rollBack();
            if (error.code() != ServerCode::Conflict)
                throw;
            cause = error.message();
        } catch (...) {
            rollBack();
            throw;
        }
    }
    throw collisionRefusal(attempts, cause);
}

StoreError collisionRefusal(int attempts, const QString &cause)
{
    return StoreError(
        ServerCode::Conflict,
        QStringLiteral("这次操作与其他电脑同时进行的修改冲突，重试了 %1 次仍未成功，没有保存，请稍后再试。"
                       "原因：%2")
            .arg(attempts)
            .arg(cause));
}

QString ServerConnection::identifier(const QString &name) const
{
    const QByteArray text = name.toUtf8();
    const PgText quoted(PQescapeIdentifier(m_conn.get(), text.constData(), static_cast<std::size_t>(text.size())));
    if (!quoted)
        throw StoreError(ServerCode::Failed,
                         QStringLiteral("名称“%1”无法交给数据库服务器：%2").arg(name, serverWords(m_conn.get())));
    return QString::fromUtf8(quoted.get());
}

QString ServerConnection::literal(const QString &text) const
{
    const QByteArray bytes = text.toUtf8();
    const PgText quoted(PQescapeLiteral(m_conn.get(), bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!quoted)
        throw StoreError(ServerCode::Failed,
                         QStringLiteral("文字无法交给数据库服务器：%1").arg(serverWords(m_conn.get())));
    return QString::fromUtf8(quoted.get());
}

QString ServerConnection::userName() const
{
    return QString::fromUtf8(PQuser(m_conn.get()));
}

void ServerConnection::raise(const PGresult *result, const QString &what)
{
    const QString doing = what.isEmpty() ? kRunFailure : what;
    const QString words =
        result ? QString::fromUtf8(PQresultErrorMessage(result)).trimmed() : serverWords(m_conn.get());
    const QString state = result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    // A server stopping at once may leave libpq calling the connection open; what failed in the
    // client without a code of the server's, a connection fault (08..., but for a statement the
    // protocol refused) or a server shutting down (57P01-57P03) is a lost connection too.
    m_lost = m_lost || PQstatus(m_conn.get()) != CONNECTION_OK || state.isEmpty() ||
             (state.startsWith(QLatin1String("08")) && state != QLatin1String("08P01")) ||
             state == QLatin1String("57P01") || state == QLatin1String("57P02") || state == QLatin1String("57P03");
    if (m_lost)
        throw StoreError(
            ServerCode::ConnectionLost,
            QStringLiteral("%1：与数据库服务器的连接断开了，这次操作没有保存。（服务器：%2）").arg(doing, words));
    if (state == QLatin1String("40001"))
        throw StoreError(ServerCode::Conflict,
                         QStringLiteral("%1：与另一台电脑同时修改了同样的记录（可串行化冲突，40001）。").arg(doing));
    if (state == QLatin1String("40P01"))
        throw StoreError(ServerCode::Conflict,
                         QStringLiteral("%1：与另一台电脑的修改互相等待（死锁，40P01）。").arg(doing));
    throw StoreError(state == QLatin1String("42501") ? ServerCode::NotPermitted : ServerCode::Failed,
                     QStringLiteral("%1：%2").arg(doing, words));
}

QByteArray copyField(const QString &value)
{
    if (value.isNull())
        return QByteArrayLiteral("\\N");
    QByteArray field;
    const QByteArray text = value.toUtf8();
    field.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\':
            field.append("\\\\");
            break;
        case '\t':
            field.append("\\t");
            break;
        case '\n':
            field.append("\\n");
            break;
        case '\r':
            field.append("\\r");
            break;
        default:
            field.append(c);
        }
    }
    return field;
}

} // namespace orv::server
