#include "data/columns.h"
#include "data/connection.h"
#include "data/oplog.h"
#include "data/schema.h"
#include "data/server/migration.h"
#include "data/server/serverconnection.h"
#include "data/server/serverschema.h"
#include "support/testdatabase.h"
#include "support/testserver.h"

#include <QDir>

using namespace orv;
using namespace Qt::StringLiterals;
namespace ServerCode = orv::server::ServerCode;
using orv::server::ServerConnection;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;
using orv::test::TestServer;

namespace {

QStringList column(ServerConnection &server, const QString &sql)
{
    server::PgResultHandle result = server.run(sql);
    QStringList values;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        values.append(QString::fromUtf8(PQgetvalue(result.get(), row, 0)));
    return values;
}

// Every row of a file's table with its row number, each value with its stored type and reals in
// full, so that a single that came back one bit off or a number that came back as text shows.
QString exactRows(sqlite3 *db, const QString &table)
{
    QStringList values{u"rowid"_s};
    for (const QStringList &info : test::rowsOf(db, u"PRAGMA table_info(%1)"_s.arg(table)))
        values.append(u"typeof(\"%1\") || ':' || coalesce(CASE WHEN typeof(\"%1\") = 'real' THEN "
                      "printf('%!.17g', \"%1\") ELSE CAST(\"%1\" AS TEXT) END, 'NULL')"_s.arg(info.value(1)));
    QStringList out;
    for (const QStringList &row :
         test::rowsOf(db, u"SELECT %1 FROM %2 ORDER BY rowid"_s.arg(values.join(u", "_s), table)))
        out.append(row.join(u"|"_s));
    return out.join(u"\n"_s);
}

// The program's kinds as the file declares them, and the types the server must give them.
QString serverTypeOf(const QString &declared)
{
    static const QHash<QString, QString> types{{u"Text"_s, u"text"_s},
                                               {u"Integer"_s, u"smallint"_s},
                                               {u"Long"_s, u"integer"_s},
                                               {u"Single"_s, u"real"_s},
                                               {u"TEXT"_s, u"text"_s},
                                               {u"INTEGER"_s, u"bigint"_s},
                                               {u"REAL"_s, u"double precision"_s}};
    return types.value(declared, u"?"_s + declared);
}

// A dormitory whose rows test the copy: the demo's, a room added and deleted between others (a gap
// in the row numbers), texts with the characters a copy must escape, a null, the widest numbers of
// each kind, singles that are not round in binary, and the log and the bill records of our own.
void fillAwkward(TestDatabase &db)
{
    schema::fillDemo(db.connection());
    db.exec(u"INSERT INTO floorinfo VALUES ('gone','男','1','2','3',4,0,0,0,4)"_s);
    db.exec(u"DELETE FROM floorinfo WHERE 房间号码 = 'gone'"_s);
    db.exec(u"INSERT INTO floorinfo VALUES ('7-1 ''A''\t\\N\n','女',NULL,'a\\\\b','\r',-32768,0,0,0,-32768)"_s);
    db.exec(u"UPDATE floorinfo SET 水表底数 = 2147483647, 电表底数 = -2147483648 WHERE 房间号码 = '6-9-102'"_s);
    // Singles as the program stores them: widened to a double exactly.
    db.exec(u"INSERT INTO listfei VALUES ('6-8-518','2004-05-01',0.10000000149011612,16777216,"
            "3.4028234663852886e38)"_s);
    db.exec(u"INSERT INTO feiinfo VALUES ('6-8-518','2004-05-01',130,40)"_s);
    db.exec(u"INSERT INTO settlement_readings VALUES (1, 1, '6-8-518', '2004-05-01', NULL, 120, 35, 130, 40, 0.1, "
            "2.5e-300)"_s);
    db.exec(u"INSERT INTO fangset VALUES ('2004001','2004- 6-15',360)"_s);
    db.exec(u"INSERT INTO fanglist VALUES ('2004001','2004-06-15',360)"_s);
    db.exec(u"INSERT INTO rent_periods VALUES (1,'2004001','2004-06-15','2004-03-15','2004- 6-15',3,360)"_s);
    db.connection().beginUnit();
    oplog::append(db.connection(),
                  {QDateTime(QDate(2004, 6, 15), QTime(9, 0)), u"张三"_s, u"入住"_s, u"2004001"_s, u"tab\there"_s});
    oplog::append(db.connection(),
                  {QDateTime(QDate(2004, 6, 16), QTime(9, 0)), u"张三"_s, u"房租结算"_s, u"2004001"_s, u"360 元"_s});
    db.connection().commitUnit();
}

} // namespace

class TestServerStore final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every table on the server has the file's columns under the same names and in the same order,
    // each of its kind, and `select *` shows them without the order column.
    void tablesMatchTheFile()
    {
        TestDatabase file;
        TestServer db;
        ServerConnection server(db.uri());
        server::migrateToServer(file.connection(), server);
        for (const server::TableDef &table : server::tables()) {
            QStringList expected;
            for (const QStringList &info : file.rows(u"PRAGMA table_info(%1)"_s.arg(table.name)))
                expected.append(info.value(1) + u" "_s + serverTypeOf(info.value(2)));
            const QStringList shown =
                column(server,
                       u"SELECT a.attname || ' ' || format_type(a.atttypid, a.atttypmod) FROM pg_attribute a "
                       "WHERE a.attrelid = 'public.%1'::regclass AND a.attnum > 0 ORDER BY a.attnum"_s.arg(table.name));
            QCOMPARE(shown, expected);
            server::PgResultHandle all = server.run(u"select * from %1"_s.arg(table.name));
            QCOMPARE(PQnfields(all.get()), static_cast<int>(expected.size()));
        }
    }

    // The way there and back: the new file holds every row of every table as the first did, with
    // its row number, type and value, and the log's highest number given; the server shows the
    // rows in the order they were added.
    void roundTripKeepsEveryRowInOrder()
    {
        TestDatabase original;
        fillAwkward(original);
        TestServer db;
        ServerConnection server(db.uri());
        const server::Migrated there = server::migrateToServer(original.connection(), server);
        QCOMPARE(there.rows.size(), static_cast<qsizetype>(server::tables().size()));
        QCOMPARE(there.rows.first(), (QPair<QString, qint64>{u"floorinfo"_s, 6}));

        QCOMPARE(column(server, u"select * from personinfo"_s),
                 QStringList({u"张伟"_s, u"王强"_s, u"李娜"_s, u"刘芳"_s, u"陈静"_s}));
        QCOMPARE(column(server, u"select 房间号码 from floorinfo where 水表底数 = 2147483647"_s),
                 QStringList{u"6-9-102"_s});

        const QString copy = QDir(original.directory()).filePath(u"back.mdb"_s);
        Connection::Create(copy, programPassword());
        Connection back;
        back.openFile(copy, programPassword());
        const server::Migrated home = server::migrateFromServer(server, back);
        QCOMPARE(home.summary(), there.summary());
        for (const server::TableDef &table : server::tables())
            QCOMPARE(exactRows(back.handle(), table.name), exactRows(original.connection().handle(), table.name));
        const QString sequence = u"SELECT seq FROM sqlite_sequence WHERE name = 'oplog'"_s;
        QCOMPARE(test::rowsOf(back.handle(), sequence), original.rows(sequence));
        QCOMPARE(oplog::verify(back).finding, QString());
    }

    // A database that holds anything already is refused by its name and what it holds, and so is a
    // second migration into the same one; a file whose rules do not hold leaves the server empty.
    void refusesWhatCannotBeCopiedCleanly()
    {
        TestDatabase file;
        schema::fillDemo(file.connection());
        TestServer db;
        ServerConnection server(db.uri());
        server.run(u"CREATE TABLE notes (line text)"_s);
        StoreError refused = storeErrorOf([&] { server::migrateToServer(file.connection(), server); });
        QCOMPARE(refused.code(), ServerCode::NotEmpty);
        QCOMPARE(
            refused.message(),
            u"服务器上的数据库“%1”不是空的（已有 public.notes），迁移只能写入一个新建的空数据库。"_s.arg(db.name()));
        server.run(u"DROP TABLE notes"_s);

        file.exec(u"UPDATE floorinfo SET 空缺人数 = 9 WHERE 房间号码 = '6-9-102'"_s);
        file.exec(u"UPDATE personinfo SET 房间 = '9-9-999' WHERE 工号 = '2004005'"_s);
        refused = storeErrorOf([&] { server::migrateToServer(file.connection(), server); });
        QCOMPARE(refused.code(), ServerCode::Failed);
        for (const QString &finding : {u"房间“6-9-102”：入住人数 0 加空缺人数 9 不等于可住人数 8。"_s,
                                       u"工号“2004005”住在房间“9-9-999”，这个房间却不存在。"_s})
            QVERIFY2(refused.message().contains(finding), qPrintable(refused.message()));
        QCOMPARE(server.userRelations(), QStringList());

        file.exec(u"UPDATE floorinfo SET 空缺人数 = 8 WHERE 房间号码 = '6-9-102'"_s);
        file.exec(u"UPDATE personinfo SET 房间 = '6-9-101' WHERE 工号 = '2004005'"_s);
        server::migrateToServer(file.connection(), server);
        refused = storeErrorOf([&] { server::migrateToServer(file.connection(), server); });
        QCOMPARE(refused.code(), ServerCode::NotEmpty);
        QVERIFY(refused.message().contains(u"orvane_rows."_s));
    }

    // A database without the program's tables, or with those of another version, is refused by name.
    void refusesAnotherSchema()
    {
        TestServer db;
        StoreError refused = storeErrorOf([&] { ServerConnection::open(db.uri()); });
        QCOMPARE(refused.code(), ServerCode::OtherSchema);
        QCOMPARE(refused.message(), u"服务器上的数据库“%1”里没有本程序的数据表，不能打开。请先用 orvane --migrate-to "
                                    "把数据迁移到一个新建的空数据库。"_s.arg(db.name()));

        TestDatabase file;
        ServerConnection server(db.uri());
        server::migrateToServer(file.connection(), server);
        QCOMPARE(server.schemaVersion(), std::optional<int>(server::kSchemaVersion));
        ServerConnection::open(db.uri());
        server.run(u"UPDATE orvane_rows.schema_version SET version = 1"_s);
        refused = storeErrorOf([&] { ServerConnection::open(db.uri()); });
        QCOMPARE(refused.code(), ServerCode::OtherSchema);
        QCOMPARE(refused.message(),
                 u"服务器上的数据库“%1”是第 1 版的表结构，本程序使用第 2 版，不能打开。"_s.arg(db.name()));
        Connection::Create(u"back.mdb"_s, programPassword());
        Connection back;
        back.openFile(u"back.mdb"_s, programPassword());
        QCOMPARE(storeErrorOf([&] { server::migrateFromServer(server, back); }).code(), ServerCode::OtherSchema);
    }

    // No server at the address, a wrong password or none: each refused in words that say which.
    void connectionRefusalsSayWhy()
    {
        const StoreError unreachable =
            storeErrorOf([] { ServerConnection(u"postgresql:///postgres?host=/nonexistent/orvane"_s); });
        QCOMPARE(unreachable.code(), ServerCode::Unreachable);
        QVERIFY2(unreachable.message().startsWith(u"无法连接数据库服务器（/nonexistent/orvane:"_s),
                 qPrintable(unreachable.message()));

        TestServer::admin().run(u"DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = "
                                "'orv_password_user') THEN CREATE ROLE orv_password_user LOGIN PASSWORD 'right'; "
                                "END IF; END $$"_s);
        const QString database = u"postgres"_s;
        const StoreError wrong = storeErrorOf(
            [&] { ServerConnection(TestServer::uriFor(database, u"user=orv_password_user&password=wrong"_s)); });
        QCOMPARE(wrong.code(), ServerCode::SignInRefused);
        QVERIFY2(wrong.message().contains(u"拒绝了登录：用户名或密码不对。"_s), qPrintable(wrong.message()));
        const StoreError none =
            storeErrorOf([&] { ServerConnection(TestServer::uriFor(database, u"user=orv_password_user"_s)); });
        QCOMPARE(none.code(), ServerCode::SignInRefused);
        QVERIFY2(none.message().contains(u"要求密码"_s), qPrintable(none.message()));
        ServerConnection(TestServer::uriFor(database, u"user=orv_password_user&password=right"_s));
    }
};

QTEST_GUILESS_MAIN(TestServerStore)
#include "test_serverstore.moc"
