#include "data/billdata.h"
#include "data/cursor.h"
#include "data/statement.h"
#include "data/storeerror.h"
#include "support/testdatabase.h"

#include <QTest>

#include <sqlite3.h>

#include <limits>
#include <memory>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;

namespace {

struct Closer {
    void operator()(sqlite3 *db) const noexcept { sqlite3_close_v2(db); }
};

std::unique_ptr<sqlite3, Closer> memoryDatabase()
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<sqlite3, Closer> db(raw);
    sqlite3_exec(raw, "CREATE TABLE t (v, n INTEGER NOT NULL DEFAULT 0)", nullptr, nullptr, nullptr);
    return db;
}

} // namespace

class TestStatement final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A value bound comes back as the engine stores it: texts with quotes stay data, a single
    // reads back as the same single, a null string is an empty text and not a null.
    void boundValuesReadBack_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("typeName");
        QTest::addColumn<QString>("shown");
        QTest::newRow("text with a quote") << 0 << u"text"_s << u"A'1\"; DROP TABLE t"_s;
        QTest::newRow("null string") << 1 << u"text"_s << QString();
        QTest::newRow("large integer") << 2 << u"integer"_s << u"9223372036854775807"_s;
        QTest::newRow("single") << 3 << u"real"_s << u"0.1"_s;
        QTest::newRow("double") << 4 << u"real"_s << u"0.1"_s;
        QTest::newRow("null") << 5 << u"null"_s << QString();
    }
    void boundValuesReadBack()
    {
        QFETCH(int, kind);
        QFETCH(QString, typeName);
        QFETCH(QString, shown);
        const auto db = memoryDatabase();
        Statement insert(db.get(), u"INSERT INTO t (v) VALUES (?1)"_s);
        QCOMPARE(insert.status(), SQLITE_OK);
        switch (kind) {
        case 0:
        case 1:
            insert.bind(1, shown);
            break;
        case 2:
            insert.bind(1, std::numeric_limits<std::int64_t>::max());
            break;
        case 3:
            insert.bind(1, 0.1F);
            break;
        case 4:
            insert.bind(1, 0.1);
            break;
        default:
            insert.bindNull(1);
        }
        insert.run(u"w"_s);

        Statement read = Statement::prepared(db.get(), u"SELECT v, typeof(v) FROM t"_s, u"r"_s);
        QVERIFY(read.next(u"r"_s));
        QCOMPARE(read.text(1), typeName);
        QCOMPARE(read.isNull(0), kind == 5);
        if (kind == 2)
            QCOMPARE(read.integer(0), std::numeric_limits<std::int64_t>::max());
        else if (kind == 3)
            QCOMPARE(static_cast<float>(read.real(0)), 0.1F);
        else if (kind == 4)
            QCOMPARE(read.real(0), 0.1);
        else
            QCOMPARE(read.text(0), shown);
        QVERIFY(!read.next(u"r"_s));
    }

    // Callers that tell the engine's codes apart see them; the others get the StoreError with
    // their own words and the engine's code.
    void failuresKeepTheEngineCode()
    {
        const auto db = memoryDatabase();
        const Statement refused(db.get(), u"SELECT * FROM missing"_s);
        QCOMPARE(refused.status(), SQLITE_ERROR);
        QVERIFY(!refused);
        const StoreError notPrepared =
            storeErrorOf([&] { Statement::prepared(db.get(), u"SELECT * FROM missing"_s, u"读不到"_s); });
        QCOMPARE(notPrepared.code(), std::uint32_t(SQLITE_ERROR));
        QVERIFY(notPrepared.message().startsWith(u"读不到"_s));
        // A statement the engine refused has no rows to walk.
        Statement empty(db.get(), u"SELECT * FROM missing"_s);
        QVERIFY(!empty.next(u"r"_s));

        Statement nullInto(db.get(), u"INSERT INTO t (v, n) VALUES (1, ?1)"_s);
        nullInto.bindNull(1);
        const StoreError written = storeErrorOf([&] { nullInto.run(u"写不进"_s); });
        QCOMPARE(written.code() & 0xff, std::uint32_t(SQLITE_CONSTRAINT));
        QVERIFY(written.message().startsWith(u"写不进"_s));
        nullInto.reset();
        QCOMPARE(nullInto.step() & 0xff, SQLITE_CONSTRAINT);
        QCOMPARE(nullInto.finalize() & 0xff, SQLITE_CONSTRAINT);
        QVERIFY(!nullInto);
    }

    // The program's own selects are read without the pattern; both readings must give the same
    // table and condition, and what only the pattern reads still reads as it did.
    void selectsReadAsThePatternReadsThem_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("oneTable");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("condition");
        QTest::newRow("whole table") << u"select * from floorinfo"_s << true << u"floorinfo"_s << QString();
        QTest::newRow("no blank before from") << u"select *from numinfo"_s << true << u"numinfo"_s << QString();
        QTest::newRow("condition") << u"select * from personinfo where 工号='A 1'"_s << true << u"personinfo"_s
                                   << u"工号='A 1'"_s;
        QTest::newRow("two comparisons") << u"select * from feiinfo where 日期='x'and 房间号='y'"_s << true
                                         << u"feiinfo"_s << u"日期='x'and 房间号='y'"_s;
        QTest::newRow("capitals, semicolon") << u"SELECT * FROM t WHERE a='x' ;"_s << true << u"t"_s << u"a='x'"_s;
        QTest::newRow("tab after where") << u"select * from t where\ta='x'"_s << true << u"t"_s << u"a='x'"_s;
        QTest::newRow("trailing blank") << u"select * from t where a=1 "_s << true << u"t"_s << u"a=1"_s;
        QTest::newRow("where alone") << u"select * from t where "_s << false << QString() << QString();
        QTest::newRow("two tables") << u"select * from t, u"_s << false << QString() << QString();
        QTest::newRow("columns") << u"select a from t"_s << false << QString() << QString();
    }
    void selectsReadAsThePatternReadsThem()
    {
        QFETCH(QString, sql);
        QFETCH(bool, oneTable);
        QFETCH(QString, table);
        QFETCH(QString, condition);
        const store::SelectShape shape = store::shapeOf(sql);
        QCOMPARE(shape.oneTable, oneTable);
        QCOMPARE(shape.table.toString(), table);
        QCOMPARE(shape.condition.toString(), condition);
    }

    // A settlement's own table seen in a unit that was rolled back is looked for again, even when
    // the schema's version has come back to the one it was seen under.
    void ownTablesAreLookedForAgainAfterARollback()
    {
        test::TestDatabase database;
        Connection &connection = database.connection();
        connection.execute(u"DROP TABLE IF EXISTS settlement_readings"_s);
        const SettlementReadings kept{1, 1, u"6-1-01"_s, u"2024-09-30"_s, 0, 0, 10, 100, 2.5F, 0.6F};
        const auto schemaVersion = [&] { return database.rows(u"PRAGMA schema_version"_s).value(0).value(0).toInt(); };
        connection.beginUnit();
        keepSettlementReadings(connection, kept); // makes the table
        keepSettlementReadings(connection, kept); // sees it
        const int seen = schemaVersion();
        connection.rollbackUnit();
        // Other tables bring the schema's version back to the one the table was seen under.
        for (int i = 0; schemaVersion() < seen; ++i)
            connection.execute(u"CREATE TABLE other_%1 (a)"_s.arg(i));
        QCOMPARE(schemaVersion(), seen);
        connection.beginUnit();
        keepSettlementReadings(connection, kept);
        connection.commitUnit();
        QCOMPARE(database.count(u"settlement_readings"_s), 1);
    }
};

QTEST_GUILESS_MAIN(TestStatement)
#include "test_statement.moc"
