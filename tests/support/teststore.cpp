#include "teststore.h"

#include "data/columns.h"
#include "data/fieldvalue.h"
#include "data/residence.h"
#include "data/server/migration.h"
#include "data/server/serverschema.h"
#include "data/server/serverstore.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace orv::test {

namespace {

const server::TableDef *tableNamed(const QString &name)
{
    for (const server::TableDef &table : server::tables()) {
        if (table.name == name)
            return &table;
    }
    return nullptr;
}

QString columnList(const server::TableDef &table)
{
    QStringList names;
    for (const QString &name : table.columnNames())
        names.append(server::quoted(name));
    return names.join(u", "_s);
}

// A statement written for the file as the server takes it: a table read by rowid shows its order
// column as rowid, and a star still shows the program's columns alone.
QString forServer(QString sql)
{
    static const QRegularExpression rowid(u"\\browid\\b"_s, QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression from(u"\\b(FROM|JOIN)\\s+(\\w+)"_s, QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression star(u"^\\s*SELECT\\s+(rowid\\s*,\\s*)?\\*\\s+FROM\\s+(\\w+)"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    sql.replace(u"ifnull("_s, u"coalesce("_s, Qt::CaseInsensitive);
    if (!sql.contains(rowid))
        return sql;
    if (const QRegularExpressionMatch all = star.match(sql); all.hasMatch()) {
        if (const server::TableDef *table = tableNamed(all.captured(2)))
            sql.replace(all.capturedStart(0), all.capturedLength(0),
                        u"SELECT %1%2 FROM %3"_s.arg(all.captured(1), columnList(*table), all.captured(2)));
    }
    QString out;
    qsizetype done = 0;
    for (auto it = from.globalMatch(sql); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const server::TableDef *table = tableNamed(match.captured(2));
        if (!table)
            continue;
        out += sql.mid(done, match.capturedStart(2) - done);
        out += u"(SELECT %1 AS rowid, %2 FROM %3) AS %4"_s.arg(server::quoted(server::kOrderColumn), columnList(*table),
                                                               server::orderedView(table->name), table->name);
        done = match.capturedEnd(2);
    }
    return out + sql.mid(done);
}

// Stays set up by hand, numbered after the last as the file numbers them.
QString numberedStays(const QString &sql)
{
    static const QRegularExpression stays(u"^\\s*INSERT INTO residence_history\\s*\\(([^)]*)\\)\\s*VALUES\\s*(.*)$"_s,
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = stays.match(sql);
    if (!match.hasMatch())
        return sql;
    return u"INSERT INTO residence_history (id, %1) SELECT (SELECT coalesce(max(id), 0) FROM residence_history) + "
           "row_number() OVER (), * FROM (VALUES %2) AS stays"_s.arg(match.captured(1), match.captured(2));
}

// Statements one after another, split at semicolons outside quotes.
QStringList statementsOf(const QString &sql)
{
    QStringList statements;
    QString current;
    bool quoted = false;
    for (const QChar c : sql) {
        if (c == u'\'')
            quoted = !quoted;
        if (c == u';' && !quoted) {
            statements.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    statements.append(current);
    statements.removeIf([](const QString &statement) { return statement.trimmed().isEmpty(); });
    return statements;
}

server::ServerConnection &serverOf(Connection &connection)
{
    return static_cast<server::ServerStore *>(connection.backend())->server();
}

} // namespace

bool TestStore::serverRun()
{
    return qEnvironmentVariable("ORV_TEST_STORE") == u"server"_s;
}

TestStore::TestStore()
{
    if (!serverRun())
        return;
    m_server = std::make_unique<TestServer>();
    server::ServerConnection made(m_server->uri());
    server::migrateToServer(m_file.connection(), made);
    m_desk = anotherDesk();
}

TestStore::~TestStore() = default;

std::unique_ptr<Connection> TestStore::anotherDesk()
{
    auto desk = std::make_unique<Connection>();
    if (m_server)
        desk->openStore(server::ServerStore::open(m_server->uri()));
    else
        desk->Open(programConnectionString());
    return desk;
}

void TestStore::exec(const QString &sql)
{
    if (!m_server) {
        m_file.exec(sql);
        return;
    }
    for (const QString &statement : statementsOf(sql))
        m_desk->execute(forServer(numberedStays(statement)));
    // Residents set up by hand were living here before the history began, as TestDatabase has it.
    if (sql.contains(u"personinfo"_s)) {
        namespace rh = db::residence;
        namespace people = db::personinfo;
        m_desk->execute(
            u"INSERT INTO %1 (id, %2, %3, %4, %5, %6, %7, %8, %9) SELECT row_number() OVER (ORDER BY %10), "
            "coalesce(%11, ''), coalesce(%12, ''), coalesce(%13, ''), coalesce(%14, ''), "
            "replace(coalesce(%15, ''), ' ', '0'), '', '', '%16' FROM %17 WHERE NOT EXISTS (SELECT 1 FROM %1)"_s
                .arg(rh::table, rh::staffNo, rh::name, rh::dept, rh::room, rh::checkedIn, rh::checkedInBy,
                     rh::checkedOutBy, rh::origin)
                .arg(server::quoted(server::kOrderColumn), people::staffNo, people::name, people::dept, people::room,
                     people::date, residence::kLivingAtStart, server::orderedView(people::table)));
    }
}

void TestStore::addRoom(const QString &room, int residents)
{
    exec(u"INSERT INTO floorinfo VALUES ('%1','男','1','2','3',9,100,200,%2,%3)"_s.arg(room).arg(residents).arg(
        9 - residents));
}

QList<QStringList> TestStore::rows(const QString &sql)
{
    if (!m_server)
        return m_file.rows(sql);
    server::ServerConnection &connection = serverOf(*m_desk);
    server::PgResultHandle result;
    try {
        result = connection.run(forServer(sql));
    } catch (const StoreError &error) {
        // A server restarted since the last read is found out by this one; the next goes again.
        if (error.code() != server::ServerCode::ConnectionLost || m_desk->inUnit())
            throw;
        connection.reconnectIfLost();
        result = connection.run(forServer(sql));
    }
    const PGresult *got = result.get();
    QList<QStringList> rows;
    for (int row = 0; row < PQntuples(got); ++row) {
        QStringList values;
        for (int column = 0; column < PQnfields(got); ++column) {
            const QString value = QString::fromUtf8(PQgetvalue(got, row, column));
            // float4 and float8, as the file's rows show a real.
            const Oid type = PQftype(got, column);
            if (PQgetisnull(got, row, column))
                values.append(u"NULL"_s);
            else if (type == 700 || type == 701)
                values.append(realToText(value.toDouble(), 7));
            else
                values.append(value);
        }
        rows.append(values);
    }
    return rows;
}

QString TestStore::text(const QString &sql)
{
    QStringList out;
    for (const QStringList &row : rows(sql))
        out.append(row.join(QLatin1Char(',')));
    return out.join(QLatin1Char('|'));
}

int TestStore::count(const QString &table)
{
    return rows(u"SELECT count(*) FROM %1"_s.arg(table)).value(0).value(0).toInt();
}

void TestStore::refuseInsertsInto(const QString &table)
{
    if (!m_server) {
        exec(u"CREATE TRIGGER deny BEFORE INSERT ON %1 BEGIN SELECT RAISE(ABORT, 'denied'); END"_s.arg(table));
        return;
    }
    m_desk->execute(u"CREATE FUNCTION deny() RETURNS trigger LANGUAGE plpgsql AS "
                    "$$BEGIN RAISE EXCEPTION 'denied'; END$$"_s);
    m_desk->execute(u"CREATE TRIGGER deny BEFORE INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION deny()"_s.arg(
        server::rowsTable(table)));
}

} // namespace orv::test
