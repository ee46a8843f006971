#include "data/billdata.h"
#include "data/cursor.h"
#include "data/recordset.h"
#include "data/statement.h"
#include "data/statements.h"
#include "support/testdatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;

namespace {

using test::walkColumn;

QString room(const Recordset &set)
{
    return set.GetCollect(u"房间号码"_s).toText();
}

// A plain engine database with a loose column and one that takes no null.
test::RawDatabase memoryDatabase()
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    test::RawDatabase db(raw, sqlite3_close_v2);
    sqlite3_exec(raw, "CREATE TABLE t (v, n INTEGER NOT NULL DEFAULT 0)", nullptr, nullptr, nullptr);
    return db;
}

// Where the set stands before the operation: not opened, over an empty table, on the one row,
// past its end, on it after deleting it, or on it with a value written and not stored.
enum class Place { Closed, Empty, First, End, Deleted, Written };
using Operation = std::function<void(Recordset &)>;
using Bind = std::function<void(Statement &)>;

} // namespace

Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(Bind)
Q_DECLARE_METATYPE(Place)

class TestRecordStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void walksEmptyAndFilledTablesInInsertionOrder()
    {
        TestDatabase db;
        Recordset set(&db.connection());
        set.Open(sql::floorAll);
        QVERIFY(set.BOF());
        QVERIFY(set.adoEOF());
        // A set opened on an empty table, as a page opens its sets at start, sees rows added later.
        for (const QString &name : {u"9"_s, u"1"_s, u"5"_s})
            db.addRoom(name);
        QCOMPARE(walkColumn(set, u"房间号码"_s), (QStringList{u"9"_s, u"1"_s, u"5"_s}));
        set.MoveFirst();
        set.Move(2);
        QCOMPARE(room(set), u"5"_s);
        set.Move(-2);
        QCOMPARE(room(set), u"9"_s);
        set.MovePrevious();
        QVERIFY(set.BOF());
    }

    void pendingValuesAreStoredOnMoveAndDeleteKeepsPosition()
    {
        TestDatabase db;
        for (const QString &name : {u"a"_s, u"b"_s, u"c"_s})
            db.addRoom(name);
        Recordset set(&db.connection());
        set.Open(sql::floorAll);
        set.PutCollect(u"入住人数"_s, FieldValue::int32(3));
        QCOMPARE(set.GetCollect(u"入住人数"_s), FieldValue::int16(3)); // converted to the column's kind
        set.MoveNext();                                                // stores without Update
        QCOMPARE(db.text(u"SELECT 入住人数 FROM floorinfo WHERE 房间号码='a'"_s), u"3"_s);

        set.Delete(adAffectCurrent);
        set.Update(); // nothing written since: nothing to store
        QCOMPARE(db.count(u"floorinfo"_s), 2);
        set.MoveNext();
        QCOMPARE(room(set), u"c"_s);
        set.MovePrevious();
        QCOMPARE(room(set), u"a"_s);
    }

    void raisesTheStoreErrorWhereNoOperationIsPossible_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<std::uint32_t>("code");
        const auto row = [](const char *name, Place place, std::uint32_t code, const Operation &operation) {
            QTest::newRow(name) << place << operation << code;
        };
        const Operation read = [](Recordset &set) { set.GetCollect(u"房间号码"_s); };
        row("move in a closed set", Place::Closed, StoreCode::ClosedObject, [](Recordset &set) { set.MoveFirst(); });
        row("open an open set", Place::First, StoreCode::OpenObject, [](Recordset &set) { set.Open(sql::floorAll); });
        row("read an empty table", Place::Empty, StoreCode::NoCurrentRecord, read);
        row("unknown column", Place::First, StoreCode::ItemNotFound, [](Recordset &set) { set.GetCollect(u"无"_s); });
        row("text into a number", Place::First, StoreCode::TypeMismatch,
            [](Recordset &set) { set.PutCollect(u"可住人数"_s, FieldValue(u"abc"_s)); });
        row("past 16 bits", Place::First, StoreCode::Overflow,
            [](Recordset &set) { set.PutCollect(u"可住人数"_s, FieldValue::int32(40000)); });
        row("move past the end", Place::End, StoreCode::NoCurrentRecord, [](Recordset &set) { set.MoveNext(); });
        row("read a deleted row", Place::Deleted, StoreCode::NoCurrentRecord, read);
        row("close with values not stored", Place::Written, StoreCode::PendingChanges,
            [](Recordset &set) { set.Close(); });
        // Reading a null is fine; only its text is refused.
        row("text of a null", Place::First, StoreCode::TypeMismatch,
            [](Recordset &set) { set.GetCollect(u"电话号码"_s).toText(); });
    }
    void raisesTheStoreErrorWhereNoOperationIsPossible()
    {
        QFETCH(Place, place);
        QFETCH(Operation, operation);
        QFETCH(std::uint32_t, code);
        TestDatabase db;
        if (place != Place::Empty)
            db.exec(u"INSERT INTO floorinfo (房间号码) VALUES ('1')"_s);
        Recordset set(&db.connection());
        if (place != Place::Closed)
            set.Open(sql::floorAll);
        if (place == Place::End)
            set.MoveNext();
        if (place == Place::Deleted)
            set.Delete(adAffectCurrent);
        if (place == Place::Written)
            set.PutCollect(u"房间号码"_s, u"2"_s);
        QCOMPARE(storeErrorOf([&] { operation(set); }).code(), code);
    }

    void unitsUndoEveryWriteOfAFailedOperation()
    {
        TestDatabase db;
        db.addRoom(u"1"_s);
        Connection &connection = db.connection();
        Recordset set(&connection);
        set.Open(sql::floorAll);
        Recordset opened(&connection);
        connection.beginUnit();
        opened.Open(sql::withValue(sql::floorByRoom, u"1"_s));
        set.PutCollect(u"入住人数"_s, FieldValue::int32(1));
        set.Update();
        set.AddNew();
        set.PutCollect(u"房间号码"_s, u"2"_s);
        connection.rollbackUnit();
        QCOMPARE(db.text(u"SELECT 房间号码, 入住人数 FROM floorinfo"_s), u"1,0"_s);
        // A set opened before the failed unit goes on with the table as it truly is; one the unit
        // opened is closed, so no later operation reuses the failed one's statement.
        QCOMPARE(walkColumn(set, u"入住人数"_s), QStringList{u"0"_s});
        QCOMPARE(opened.State(), adStateClosed);
        set.Close();
    }

    void findMovesToTheFirstEqualRowOrToTheEnd_data()
    {
        QTest::addColumn<FieldValue>("value");
        QTest::addColumn<int>("row"); // the first matching row, -1 for none
        QTest::newRow("first of two") << FieldValue(u"6-101"_s) << 1;
        QTest::newRow("case differs") << FieldValue(u"6-a"_s) << -1;
        QTest::newRow("trailing blank") << FieldValue(u"6-101 "_s) << -1;
        QTest::newRow("apostrophe") << FieldValue(u"O'6"_s) << 4;
        QTest::newRow("number for a text") << FieldValue::int32(7) << -1;
        QTest::newRow("null matches the null row") << FieldValue::null() << 5;
    }
    void findMovesToTheFirstEqualRowOrToTheEnd()
    {
        QFETCH(FieldValue, value);
        QFETCH(int, row);
        TestDatabase db;
        // Each row's occupancy is its place, so the row found can be told apart from its twin.
        const QStringList names{u"6-A"_s, u"6-101"_s, u"7"_s, u"6-101"_s, u"O''6"_s};
        for (int i = 0; i < names.size(); ++i)
            db.addRoom(names[i], i);
        db.exec(u"INSERT INTO floorinfo (房间号码, 入住人数) VALUES (NULL, 5)"_s);
        Recordset set(&db.connection());
        set.Open(sql::floorAll);
        set.Move(3); // a find starts from the first row wherever the set stands
        QCOMPARE(set.Find(u"房间号码"_s, value), row >= 0);
        QCOMPARE(set.adoEOF(), row < 0);
        if (row >= 0)
            QCOMPARE(set.GetCollect(u"入住人数"_s), FieldValue::int16(static_cast<std::int16_t>(row)));
    }

    void findNextVisitsEveryMatchAndSeesOtherSetsChanges()
    {
        TestDatabase db;
        for (const QString &name : {u"a"_s, u"b"_s, u"a"_s, u"c"_s, u"a"_s})
            db.addRoom(name);
        Recordset set(&db.connection());
        Recordset other(&db.connection());
        set.Open(sql::floorAll);
        other.Open(sql::floorAll);
        const FieldValue a(u"a"_s);
        QVERIFY(other.Find(u"房间号码"_s, FieldValue(u"b"_s)));
        other.PutCollect(u"房间号码"_s, a);
        other.Update();
        other.AddNew();
        other.PutCollect(u"房间号码"_s, a);
        other.PutCollect(u"入住人数"_s, FieldValue::int16(9));
        other.Update();
        QVERIFY(other.Find(u"房间号码"_s, FieldValue(u"c"_s)));
        other.Delete();

        QList<std::int64_t> bookmarks;
        for (bool found = set.Find(u"房间号码"_s, a); found; found = set.FindNext(u"房间号码"_s, a))
            bookmarks.append(set.Bookmark());
        QCOMPARE(bookmarks.size(), 5);
        QVERIFY(std::is_sorted(bookmarks.begin(), bookmarks.end()));
        QVERIFY(set.adoEOF());
        QCOMPARE(set.RecordCount(), 5L);

        // A bookmark finds its row again; one whose row was deleted leaves the set at its end.
        QVERIFY(set.MoveToBookmark(bookmarks.last()));
        QCOMPARE(set.GetCollect(u"入住人数"_s), FieldValue::int16(9));
        other.MoveToBookmark(bookmarks.first());
        other.Delete();
        QVERIFY(!set.MoveToBookmark(bookmarks.first()));
        QVERIFY(set.adoEOF());
    }

    void findInAFilteredSetStaysInsideItsCondition()
    {
        TestDatabase db;
        db.addRoom(u"1"_s, 9);
        db.addRoom(u"1"_s);
        Recordset set(&db.connection());
        set.Open(u"select * from floorinfo where 入住人数=0"_s);
        QVERIFY(set.Find(u"房间号码"_s, FieldValue(u"1"_s)));
        QCOMPARE(set.GetCollect(u"空缺人数"_s), FieldValue::int16(9));
        QVERIFY(!set.FindNext(u"房间号码"_s, FieldValue(u"1"_s)));
        // Number columns are compared by the store's own rule, row by row.
        QVERIFY(set.Find(u"可住人数"_s, FieldValue::int16(9)));
        QVERIFY(!set.Find(u"可住人数"_s, FieldValue::int32(9)));
    }

    // A condition of the pages' shape is run with its texts as parameters; the set holds exactly
    // the rows the condition as written selects, opened again or beside another set on it, and a
    // condition the engine refuses is refused naming the statement as written.
    void conditionsSelectWhatTheyAreWrittenFor_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("rooms"); // "!" for a refused statement
        QTest::newRow("one column") << u"房间号码='2'"_s << u"2,2"_s;
        QTest::newRow("two columns") << u"房间号码='2' AND 入住人数='3'"_s << u"2"_s;
        QTest::newRow("and right after the text") << u"房间号码='1'and 入住人数='0'"_s << u"1"_s;
        QTest::newRow("blanks count") << u"房间号码=' 2'"_s << QString();
        QTest::newRow("doubled quote") << u"房间号码='it''s'"_s << u"it's"_s;
        QTest::newRow("another shape") << u"入住人数>0 and 房间号码='2'"_s << u"2"_s;
        QTest::newRow("quote inside") << u"房间号码='it's'"_s << u"!"_s;
        QTest::newRow("no such column") << u"房号='1'"_s << u"!"_s;
        QTest::newRow("and glued to the name") << u"房间号码='1'and入住人数='0'"_s << u"!"_s;
    }
    void conditionsSelectWhatTheyAreWrittenFor()
    {
        QFETCH(QString, condition);
        QFETCH(QString, rooms);
        TestDatabase db;
        db.addRoom(u"1"_s);
        db.addRoom(u"2"_s, 3);
        db.addRoom(u"2"_s);
        db.addRoom(u"it''s"_s);
        const QString sql = u"select * from floorinfo where "_s + condition;
        Recordset set(&db.connection());
        Recordset beside(&db.connection());
        for (int round = 0; round < 2; ++round) {
            if (rooms == u"!"_s) {
                const StoreError error = storeErrorOf([&] { set.Open(sql); });
                QVERIFY2(error.message().contains(sql), qPrintable(error.message()));
                continue;
            }
            set.Open(sql);
            beside.Open(sql);
            if (!beside.adoEOF())
                beside.MoveNext();
            QCOMPARE(walkColumn(set, u"房间号码"_s).join(u','), rooms);
            QCOMPARE(walkColumn(beside, u"房间号码"_s).join(u','), rooms);
            set.Close();
            beside.Close();
        }
    }

    // A table dropped since a set was last opened on it is refused by the statement's text.
    void aDroppedTableIsRefusedAtTheNextOpen()
    {
        TestDatabase db;
        Recordset set(&db.connection());
        set.Open(u"select * from numinfo where 房间号码='1'"_s);
        set.Close();
        db.exec(u"DROP TABLE numinfo"_s);
        const QString sql = u"select * from numinfo where 房间号码='2'"_s;
        const StoreError error = storeErrorOf([&] { set.Open(sql); });
        QVERIFY2(error.message().contains(sql), qPrintable(error.message()));
    }

    // The rent list joins residents, their due dates and payments; it streams, is read-only and
    // sees rows changed since it was opened when walked again.
    void joinIsReadOnlyWalksBackAndSeesChanges()
    {
        TestDatabase db;
        for (int i = 1; i <= 3; ++i) {
            db.exec(u"INSERT INTO personinfo (姓名, 工号) VALUES ('p%1', '%1')"_s.arg(i));
            db.exec(u"INSERT INTO fangset VALUES ('%1', '2004- 6-15', 1)"_s.arg(i));
            db.exec(u"INSERT INTO fanglist VALUES ('%1', '2004-06-20', %1)"_s.arg(i));
        }
        db.exec(u"INSERT INTO fanglist VALUES ('4', '2004-06-20', 4)"_s); // nobody lives here
        Recordset set(&db.connection());
        set.Open(sql::rentListJoin);
        QCOMPARE(set.GetCollect(u"房租到期"_s).toText(), u"2004- 6-15"_s);
        QCOMPARE(storeErrorOf([&] { set.PutCollect(u"房租"_s, FieldValue::int32(1)); }).code(), StoreCode::ReadOnly);
        QCOMPARE(walkColumn(set, u"姓名"_s), (QStringList{u"p1"_s, u"p2"_s, u"p3"_s}));
        set.MovePrevious();
        QCOMPARE(set.GetCollect(u"姓名"_s).toText(), u"p3"_s);
        QVERIFY(set.MoveToBookmark(1));
        QCOMPARE(set.GetCollect(u"房租"_s), FieldValue::int32(2));
        // A commit in between does not lose the place.
        db.connection().beginUnit();
        db.connection().commitUnit();
        set.MoveNext();
        QCOMPARE(set.GetCollect(u"房租"_s), FieldValue::int32(3));
        db.exec(u"DELETE FROM fanglist WHERE 工号='2'"_s);
        QCOMPARE(walkColumn(set, u"姓名"_s), (QStringList{u"p1"_s, u"p3"_s}));
    }

    // A set may outlive its connection: it is then closed, forgets the connection and touches
    // nothing of it, whether it was created on it or opened on it inside a unit; one opened on
    // another connection that still lives goes on.
    void aSetOutlivingItsConnectionForgetsIt()
    {
        TestDatabase db;
        db.addRoom(u"1"_s);
        auto doomed = std::make_unique<Connection>();
        doomed->Open(programConnectionString());
        Recordset createdOn(doomed.get());
        createdOn.Open(sql::floorAll);
        Recordset elsewhere(doomed.get());
        elsewhere.Open(sql::floorAll, &db.connection());
        Recordset inUnit(&db.connection());
        doomed->beginUnit();
        inUnit.Open(sql::floorAll, doomed.get());
        doomed.reset();

        QCOMPARE(createdOn.State(), adStateClosed);
        QCOMPARE(storeErrorOf([&] { createdOn.Open(sql::floorAll); }).code(), StoreCode::InvalidPointer);
        QCOMPARE(inUnit.State(), adStateClosed);
        inUnit.Open(sql::floorAll);
        QCOMPARE(room(inUnit), u"1"_s);
        QCOMPARE(room(elsewhere), u"1"_s);
        elsewhere.Close();
        QCOMPARE(storeErrorOf([&] { elsewhere.Open(sql::floorAll); }).code(), StoreCode::InvalidPointer);
    }

    // A value bound comes back as the engine stores it: texts with quotes stay data, a single
    // reads back as the same single, a null string is an empty text and not a null.
    void boundValuesReadBack_data()
    {
        QTest::addColumn<Bind>("bind");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QVariant>("value");
        const QString quoted = u"A'1\"; DROP TABLE t"_s;
        const auto row = [](const char *name, const Bind &bind, const QString &type, const QVariant &value) {
            QTest::newRow(name) << bind << type << value;
        };
        row(
            "text with a quote", [quoted](Statement &s) { s.bind(1, quoted); }, u"text"_s, quoted);
        row(
            "null string", [](Statement &s) { s.bind(1, QString()); }, u"text"_s, QString());
        const std::int64_t largest = std::numeric_limits<std::int64_t>::max();
        row(
            "large integer", [largest](Statement &s) { s.bind(1, largest); }, u"integer"_s, qint64{largest});
        row(
            "single", [](Statement &s) { s.bind(1, 0.1F); }, u"real"_s, 0.1F);
        row(
            "double", [](Statement &s) { s.bind(1, 0.1); }, u"real"_s, 0.1);
        row(
            "null", [](Statement &s) { s.bindNull(1); }, u"null"_s, QString());
    }
    void boundValuesReadBack()
    {
        QFETCH(Bind, bind);
        QFETCH(QString, type);
        QFETCH(QVariant, value);
        const auto db = memoryDatabase();
        Statement insert(db.get(), u"INSERT INTO t (v) VALUES (?1)"_s);
        QCOMPARE(insert.status(), SQLITE_OK);
        bind(insert);
        insert.run(u"w"_s);

        Statement read = Statement::prepared(db.get(), u"SELECT v, typeof(v) FROM t"_s, u"r"_s);
        QVERIFY(read.next(u"r"_s));
        QCOMPARE(read.text(1), type);
        QCOMPARE(read.isNull(0), type == u"null"_s);
        if (type == u"integer"_s)
            QCOMPARE(read.integer(0), value.toLongLong());
        else if (value.typeId() == QMetaType::Float)
            QCOMPARE(static_cast<float>(read.real(0)), value.toFloat());
        else if (type == u"real"_s)
            QCOMPARE(read.real(0), value.toDouble());
        else
            QCOMPARE(read.text(0), value.toString());
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

QTEST_GUILESS_MAIN(TestRecordStore)
#include "test_recordstore.moc"
