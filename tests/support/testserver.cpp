#include "testserver.h"

#include "testdatabase.h"

#include <QFile>
#include <QUuid>

namespace orv::test {

namespace {

QString clusterUri()
{
    const QString file = qEnvironmentVariable("ORV_TEST_PG_URI_FILE");
    QFile uri(file);
    if (file.isEmpty() || !uri.open(QIODevice::ReadOnly))
        fail(QStringLiteral("no test PostgreSQL cluster: run the test through ctest, whose fixture starts one "
                            "(ORV_TEST_PG_URI_FILE=%1)")
                 .arg(file),
             __FILE__, __LINE__);
    return QString::fromUtf8(uri.readAll()).trimmed();
}

} // namespace

QString TestServer::uriFor(const QString &database, const QString &more)
{
    QString uri = clusterUri();
    uri.replace(QStringLiteral("///postgres?"), QStringLiteral("///%1?").arg(database));
    return more.isEmpty() ? uri : uri + QLatin1Char('&') + more;
}

server::ServerConnection TestServer::admin()
{
    return server::ServerConnection(uriFor(QStringLiteral("postgres")));
}

TestServer::TestServer()
    : m_name(QStringLiteral("orv_test_") + QUuid::createUuid().toString(QUuid::Id128)), m_uri(uriFor(m_name))
{
    admin().run(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(m_name));
}

TestServer::~TestServer()
{
    try {
        admin().run(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    } catch (const StoreError &) {
        // The cluster goes at the end of the run, and every database with it.
    }
}

bool permits(server::ServerConnection &connection, const QString &statement)
{
    connection.run(QStringLiteral("BEGIN"));
    try {
        connection.run(statement);
    } catch (const StoreError &error) {
        connection.run(QStringLiteral("ROLLBACK"));
        if (error.code() != server::ServerCode::NotPermitted)
            throw;
        return false;
    }
    connection.run(QStringLiteral("ROLLBACK"));
    return true;
}

QString unique(const QString &name)
{
    return name + QUuid::createUuid().toString(QUuid::Id128).left(8);
}

} // namespace orv::test
