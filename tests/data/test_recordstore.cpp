#include "data/recordset.h"
#include "data/statements.h"
#include "support/testdatabase.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::TestDatabase;

namespace {

QStringList walkColumn(Recordset &set, const QString &column)
{
    QStringList seen;
    set.rewind();
    while (!set.adoEOF()) {
        seen.append(set.GetCollect(column).toDisplayText());
        set.MoveNext();
    }
    return seen;
}

void addRoom(TestDatabase &db, const QString &room, int capacity = 4, int living = 0)
{
    db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('%1','男','1','2','3',%2,100,200,%3,%4)")
                .arg(room)
                .arg(capacity)
                .arg(living)
                .arg(capacity - living));
}

// Where the set stands before the operation: not opened, over an empty table, on the one row,
// past it at either end, on it after deleting it, or on it with a value written and not stored.
enum class Place { Closed, Empty, First, End, Start, Deleted, Written };
using Operation = std::function<void(Recordset &)>;

template <typename F> std::uint32_t errorCode(F &&operation)
{
    try {
        operation();
    } catch (const StoreError &error) {
        return error.code();
    }
    return 0;
}

} // namespace

Q_DECLARE_METATYPE(Operation)
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
        QCOMPARE(walkColumn(set, QStringLiteral("房间号码")), QStringList());
        set.Close();

        for (const QString &room : {QStringLiteral("9"), QStringLiteral("1"), QStringLiteral("5")})
            addRoom(db, room);
        set.Open(sql::floorAll);
        QVERIFY(!set.BOF());
        const QStringList expected{QStringLiteral("9"), QStringLiteral("1"), QStringLiteral("5")};
        QCOMPARE(walkColumn(set, QStringLiteral("房间号码")), expected);
        QVERIFY(set.adoEOF());
        QCOMPARE(walkColumn(set, QStringLiteral("房间号码")), expected); // again, same order
        set.MoveFirst();
        set.Move(0); // reads the row afresh
        QCOMPARE(set.GetCollect(QStringLiteral("房间号码")).toText(), QStringLiteral("9"));
        set.Move(2);
        QCOMPARE(set.GetCollect(QStringLiteral("房间号码")).toText(), QStringLiteral("5"));
        set.Move(-1);
        QCOMPARE(set.GetCollect(QStringLiteral("房间号码")).toText(), QStringLiteral("1"));
        set.MovePrevious();
        set.MovePrevious();
        QVERIFY(set.BOF());
        QVERIFY(!set.adoEOF());
    }

    void columnsHaveTheirDeclaredKinds()
    {
        TestDatabase db;
        addRoom(db, QStringLiteral("101"), 6, 2);
        db.exec(QStringLiteral("INSERT INTO feiyong VALUES (2.5, 0.6, 120)"));
        Recordset rooms(&db.connection());
        rooms.Open(sql::floorAll);
        const FieldValue capacity = rooms.GetCollect(QStringLiteral("可住人数"));
        QCOMPARE(capacity.kind(), FieldValue::Kind::Int16);
        QCOMPARE(capacity.asInt16(), std::int16_t(6));
        QCOMPARE(rooms.GetCollect(QStringLiteral("水表底数")).kind(), FieldValue::Kind::Int32);
        QCOMPARE(rooms.GetCollect(QStringLiteral("房间号码")).kind(), FieldValue::Kind::Text);
        // A 16-bit value never equals a text, whatever the digits.
        QVERIFY(capacity != FieldValue(QStringLiteral("6")));
        QVERIFY(capacity != FieldValue::int32(6));
        QVERIFY(capacity == FieldValue::int16(6));

        Recordset fees(&db.connection());
        fees.Open(sql::feeStandard);
        QCOMPARE(fees.GetCollect(QStringLiteral("水费")).kind(), FieldValue::Kind::Single);
        QCOMPARE(fees.GetCollect(QStringLiteral("电费")).asSingle(), 0.6F);
        QCOMPARE(fees.GetCollect(QStringLiteral("电费")).toText(), QStringLiteral("0.6"));
        QCOMPARE(fees.GetCollect(QStringLiteral("房租")).asInt32(), 120);
    }

    void pendingValuesAreStoredOnMoveAndDeleteKeepsPosition()
    {
        TestDatabase db;
        addRoom(db, QStringLiteral("a"));
        addRoom(db, QStringLiteral("b"));
        addRoom(db, QStringLiteral("c"));
        Recordset set(&db.connection());
        set.Open(sql::floorAll);
        set.PutCollect(QStringLiteral("入住人数"), FieldValue::int32(3));
        QCOMPARE(set.GetCollect(QStringLiteral("入住人数")), FieldValue::int16(3)); // converted to the column's kind
        set.MoveNext();                                                             // stores without Update
        QCOMPARE(db.rows(QStringLiteral("SELECT 入住人数 FROM floorinfo WHERE 房间号码='a'")).value(0).value(0),
                 QStringLiteral("3"));

        set.Delete(adAffectCurrent);
        set.Update(); // nothing written since: nothing to store
        QCOMPARE(db.count(QStringLiteral("floorinfo")), 2);
        set.MoveNext();
        QCOMPARE(set.GetCollect(QStringLiteral("房间号码")).toText(), QStringLiteral("c"));
        set.MovePrevious();
        QCOMPARE(set.GetCollect(QStringLiteral("房间号码")).toText(), QStringLiteral("a"));
    }

    void raisesTheStoreErrorWhereNoOperationIsPossible_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<std::uint32_t>("code"); // 0: any store error
        const auto row = [](const char *name, Place place, const Operation &operation, std::uint32_t code) {
            QTest::newRow(name) << place << operation << code;
        };
        const auto readRoom = [](Recordset &set) { set.GetCollect(u"房间号码"_s); };
        const auto next = [](Recordset &set) { set.MoveNext(); };
        row(
            "move in a closed set", Place::Closed, [](Recordset &set) { set.MoveFirst(); }, StoreCode::ClosedObject);
        row(
            "close a closed set", Place::Closed, [](Recordset &set) { set.Close(); }, StoreCode::ClosedObject);
        row(
            "open an open set", Place::First, [](Recordset &set) { set.Open(sql::floorAll); }, StoreCode::OpenObject);
        row("read an empty table", Place::Empty, readRoom, StoreCode::NoCurrentRecord);
        row("move in an empty table", Place::Empty, next, StoreCode::NoCurrentRecord);
        row(
            "unknown column", Place::First, [](Recordset &set) { set.GetCollect(u"没有这列"_s); },
            StoreCode::ItemNotFound);
        row(
            "find in an unknown column", Place::First, [](Recordset &set) { set.Find(u"没有"_s, FieldValue()); },
            StoreCode::ItemNotFound);
        row(
            "text into a number", Place::First,
            [](Recordset &set) { set.PutCollect(u"可住人数"_s, FieldValue(u"abc"_s)); }, StoreCode::TypeMismatch);
        row(
            "past 16 bits", Place::First,
            [](Recordset &set) { set.PutCollect(u"可住人数"_s, FieldValue::int32(40000)); }, StoreCode::Overflow);
        row("move past the end", Place::End, next, StoreCode::NoCurrentRecord);
        row("read past the end", Place::End, readRoom, StoreCode::NoCurrentRecord);
        row(
            "move before the start", Place::Start, [](Recordset &set) { set.MovePrevious(); },
            StoreCode::NoCurrentRecord);
        row("read a deleted row", Place::Deleted, readRoom, StoreCode::NoCurrentRecord);
        row(
            "close with values not stored", Place::Written, [](Recordset &set) { set.Close(); },
            StoreCode::PendingChanges);
        row(
            "no connection", Place::Closed, [](Recordset &) { Recordset(nullptr).Open(sql::floorAll); },
            StoreCode::InvalidPointer);
        row(
            "a statement that does not prepare", Place::Closed,
            [](Recordset &set) { set.Open(u"select * from floorinfo where 房间号码='a'b'"_s); }, 0);
        // Reading a null is fine; only its text is refused.
        row(
            "text of a null", Place::First, [](Recordset &set) { set.GetCollect(u"电话号码"_s).toText(); },
            StoreCode::TypeMismatch);
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
        if (place == Place::Start)
            set.MovePrevious();
        if (place == Place::Deleted)
            set.Delete(adAffectCurrent);
        if (place == Place::Written)
            set.PutCollect(u"房间号码"_s, u"2"_s);
        const std::uint32_t raised = errorCode([&] { operation(set); });
        if (code == 0)
            QVERIFY(raised != 0);
        else
            QCOMPARE(raised, code);
    }

    void walksSeeRowsChangedThroughAnotherRecordset()
    {
        TestDatabase db;
        Recordset reader(&db.connection());
        Recordset writer(&db.connection());
        reader.Open(sql::numAll); // empty when opened, like a page's set opened at start
        writer.Open(sql::numAll);
        writer.AddNew();
        writer.PutCollect(QStringLiteral("房间号码"), QStringLiteral("101"));
        writer.PutCollect(QStringLiteral("入住人数"), FieldValue::int32(1));
        writer.Update();
        QCOMPARE(walkColumn(reader, QStringLiteral("房间号码")), QStringList{QStringLiteral("101")});

        writer.AddNew();
        writer.PutCollect(QStringLiteral("房间号码"), QStringLiteral("102"));
        writer.Update();
        writer.MoveFirst();
        writer.PutCollect(QStringLiteral("房间号码"), QStringLiteral("100"));
        writer.Update();
        QCOMPARE(walkColumn(reader, QStringLiteral("房间号码")),
                 (QStringList{QStringLiteral("100"), QStringLiteral("102")}));
        writer.Delete(adAffectCurrent);
        QCOMPARE(walkColumn(reader, QStringLiteral("房间号码")), QStringList{QStringLiteral("102")});
    }

    void apostrophesRoundTrip()
    {
        TestDatabase db;
        const QString name = QStringLiteral("O'Neil");
        Recordset set(&db.connection());
        set.Open(sql::personAll);
        set.AddNew();
        set.PutCollect(QStringLiteral("姓名"), name);
        set.PutCollect(QStringLiteral("工号"), QStringLiteral("a'1"));
        set.Update();
        set.Close();
        set.Open(sql::withValue(sql::personByName, name));
        QVERIFY(!set.adoEOF());
        QCOMPARE(set.GetCollect(QStringLiteral("工号")).toText(), QStringLiteral("a'1"));
        set.Close();
        set.Open(sql::withValue(sql::personByName, QStringLiteral("x' or '1'='1")));
        QVERIFY(set.adoEOF());
    }

    void unitsUndoEveryWriteOfAFailedOperation()
    {
        TestDatabase db;
        addRoom(db, QStringLiteral("1"));
        Connection &connection = db.connection();
        Recordset set(&connection);
        set.Open(sql::floorAll);
        Recordset opened(&connection);
        connection.beginUnit();
        opened.Open(sql::withValue(sql::floorByRoom, QStringLiteral("1")));
        set.PutCollect(QStringLiteral("入住人数"), FieldValue::int32(1));
        set.Update();
        set.AddNew();
        set.PutCollect(QStringLiteral("房间号码"), QStringLiteral("2"));
        connection.rollbackUnit();
        QCOMPARE(db.rows(QStringLiteral("SELECT 房间号码, 入住人数 FROM floorinfo")),
                 (QList<QStringList>{{QStringLiteral("1"), QStringLiteral("0")}}));
        // A set opened before the failed unit goes on with the table as it truly is; one the unit
        // opened is closed, so no later operation reuses the failed one's statement.
        QCOMPARE(walkColumn(set, QStringLiteral("入住人数")), QStringList{QStringLiteral("0")});
        QCOMPARE(opened.State(), adStateClosed);
        set.Close();
    }

    void findMovesToTheFirstEqualRowOrToTheEnd_data()
    {
        QTest::addColumn<FieldValue>("value");
        QTest::addColumn<int>("row"); // the first matching row, -1 for none
        QTest::newRow("first of two") << FieldValue(QStringLiteral("6-101")) << 1;
        QTest::newRow("case differs") << FieldValue(QStringLiteral("6-a")) << -1;
        QTest::newRow("trailing blank") << FieldValue(QStringLiteral("6-101 ")) << -1;
        QTest::newRow("full-width digits") << FieldValue(QStringLiteral("６-101")) << -1;
        QTest::newRow("apostrophe") << FieldValue(QStringLiteral("O'6")) << 4;
        QTest::newRow("number for a text") << FieldValue::int32(7) << -1;
        QTest::newRow("null matches the null row") << FieldValue::null() << 5;
    }
    void findMovesToTheFirstEqualRowOrToTheEnd()
    {
        QFETCH(FieldValue, value);
        QFETCH(int, row);
        TestDatabase db;
        for (const QString &room : {u"6-A"_s, u"6-101"_s, u"7"_s, u"6-101"_s, u"O''6"_s})
            addRoom(db, room);
        db.exec(QStringLiteral("INSERT INTO floorinfo (房间号码, 电话号码) VALUES (NULL, 'null room')"));
        Recordset set(&db.connection());
        set.Open(sql::floorAll);
        set.MoveNext(); // a find starts from the first row wherever the set stands
        set.MoveNext();
        set.MoveNext();
        QCOMPARE(set.Find(QStringLiteral("房间号码"), value), row >= 0);
        QCOMPARE(set.adoEOF(), row < 0);
        if (row >= 0) {
            set.Move(0);
            QStringList before;
            while (!set.BOF()) {
                before.append(set.GetCollect(QStringLiteral("电话号码")).toDisplayText());
                set.MovePrevious();
            }
            QCOMPARE(before.size(), row + 1); // landed on the row with exactly `row` rows before it
        }
    }

    void findNextVisitsEveryMatchAndSeesOtherSetsChanges()
    {
        TestDatabase db;
        for (const QString &room : {u"a"_s, u"b"_s, u"a"_s, u"c"_s, u"a"_s})
            addRoom(db, room);
        Recordset set(&db.connection());
        Recordset other(&db.connection());
        set.Open(sql::floorAll);
        other.Open(sql::floorAll);
        QVERIFY(other.Find(QStringLiteral("房间号码"), FieldValue(QStringLiteral("b"))));
        other.PutCollect(QStringLiteral("房间号码"), FieldValue(QStringLiteral("a")));
        other.Update();
        other.AddNew();
        other.PutCollect(QStringLiteral("房间号码"), FieldValue(QStringLiteral("a")));
        other.PutCollect(QStringLiteral("入住人数"), FieldValue::int16(9));
        other.Update();
        QVERIFY(other.Find(QStringLiteral("房间号码"), FieldValue(QStringLiteral("c"))));
        other.Delete();

        QList<std::int64_t> bookmarks;
        const FieldValue a(QStringLiteral("a"));
        for (bool found = set.Find(QStringLiteral("房间号码"), a); found;
             found = set.FindNext(QStringLiteral("房间号码"), a))
            bookmarks.append(set.Bookmark());
        QCOMPARE(bookmarks.size(), 5);
        QVERIFY(std::is_sorted(bookmarks.begin(), bookmarks.end()));
        QVERIFY(set.adoEOF());
        QCOMPARE(set.RecordCount(), 5L);

        // A bookmark finds its row again; one whose row was deleted leaves the set at its end.
        QVERIFY(set.MoveToBookmark(bookmarks.last()));
        QCOMPARE(set.GetCollect(QStringLiteral("入住人数")), FieldValue::int16(9));
        other.MoveToBookmark(bookmarks.first());
        other.Delete();
        QVERIFY(!set.MoveToBookmark(bookmarks.first()));
        QVERIFY(set.adoEOF());
    }

    void findInAFilteredSetStaysInsideItsCondition()
    {
        TestDatabase db;
        addRoom(db, QStringLiteral("1"), 4, 4);
        addRoom(db, QStringLiteral("1"), 4, 0);
        Recordset set(&db.connection());
        set.Open(QStringLiteral("select * from floorinfo where 入住人数=0"));
        QVERIFY(set.Find(QStringLiteral("房间号码"), FieldValue(QStringLiteral("1"))));
        QCOMPARE(set.GetCollect(QStringLiteral("空缺人数")), FieldValue::int16(4));
        QVERIFY(!set.FindNext(QStringLiteral("房间号码"), FieldValue(QStringLiteral("1"))));
        QCOMPARE(set.RecordCount(), 1L);
        // Number columns are compared by the store's own rule, row by row.
        QVERIFY(set.Find(QStringLiteral("可住人数"), FieldValue::int16(4)));
        QVERIFY(!set.Find(QStringLiteral("可住人数"), FieldValue::int32(4)));
    }

    void joinListsRowsReadOnly()
    {
        TestDatabase db;
        db.exec(QStringLiteral("INSERT INTO personinfo (姓名, 工号, 房间) VALUES ('张', '1', '101')"));
        db.exec(QStringLiteral("INSERT INTO fangset VALUES ('1', '2004- 6-15', 360)"));
        db.exec(QStringLiteral("INSERT INTO fanglist VALUES ('1', '2004-06-20', 360)"));
        db.exec(QStringLiteral("INSERT INTO fanglist VALUES ('2', '2004-06-20', 100)"));
        Recordset set(&db.connection());
        set.Open(sql::rentListJoin);
        QCOMPARE(set.GetCollect(QStringLiteral("房租到期")).toText(), QStringLiteral("2004- 6-15"));
        QCOMPARE(set.GetCollect(QStringLiteral("房租")), FieldValue::int32(360));
        QCOMPARE(errorCode([&] { set.PutCollect(QStringLiteral("房租"), FieldValue::int32(1)); }), StoreCode::ReadOnly);
        set.MoveNext();
        QVERIFY(set.adoEOF());
    }

    void joinWalksBackAndSeesChangesWhenStartedAgain()
    {
        TestDatabase db;
        for (int i = 1; i <= 3; ++i) {
            db.exec(QStringLiteral("INSERT INTO personinfo (姓名, 工号) VALUES ('p%1', '%1')").arg(i));
            db.exec(QStringLiteral("INSERT INTO fangset VALUES ('%1', '2004- 6-15', 1)").arg(i));
            db.exec(QStringLiteral("INSERT INTO fanglist VALUES ('%1', '2004-06-20', %1)").arg(i));
        }
        Recordset set(&db.connection());
        set.Open(sql::rentListJoin);
        QCOMPARE(walkColumn(set, QStringLiteral("姓名")), (QStringList{u"p1"_s, u"p2"_s, u"p3"_s}));
        set.MovePrevious();
        QCOMPARE(set.GetCollect(QStringLiteral("姓名")).toText(), u"p3"_s);
        set.MovePrevious();
        set.MovePrevious();
        QCOMPARE(set.GetCollect(QStringLiteral("姓名")).toText(), u"p1"_s);
        set.MovePrevious();
        QVERIFY(set.BOF());
        QVERIFY(set.MoveToBookmark(1));
        QCOMPARE(set.GetCollect(QStringLiteral("房租")), FieldValue::int32(2));
        // A commit in between does not lose the place.
        db.connection().beginUnit();
        db.connection().commitUnit();
        set.MoveNext();
        QCOMPARE(set.GetCollect(QStringLiteral("房租")), FieldValue::int32(3));
        db.exec(QStringLiteral("DELETE FROM fanglist WHERE 工号='2'"));
        QCOMPARE(walkColumn(set, QStringLiteral("姓名")), (QStringList{u"p1"_s, u"p3"_s}));
        QCOMPARE(set.RecordCount(), 2L);
    }

    // A set may outlive its connection: it is then closed, forgets the connection and touches
    // nothing of it, whether it was created on it, opened on it (also inside a unit), or only
    // created on it and opened on another that still lives.
    void aSetOutlivingItsConnectionForgetsIt()
    {
        TestDatabase db;
        addRoom(db, QStringLiteral("1"));
        auto doomed = std::make_unique<Connection>();
        doomed->Open(programConnectionString());
        Recordset createdOn(doomed.get());
        createdOn.Open(sql::floorAll);
        Recordset reopenable(&db.connection());
        reopenable.Open(sql::floorAll, doomed.get());
        Recordset elsewhere(doomed.get());
        elsewhere.Open(sql::floorAll, &db.connection());
        doomed->beginUnit();
        std::vector<std::unique_ptr<Recordset>> inUnit;
        for (int i = 0; i < 3; ++i) {
            inUnit.push_back(std::make_unique<Recordset>());
            inUnit.back()->Open(sql::floorAll, doomed.get());
        }
        doomed.reset();

        QCOMPARE(createdOn.State(), adStateClosed);
        QCOMPARE(errorCode([&] { createdOn.Open(sql::floorAll); }), StoreCode::InvalidPointer);
        QCOMPARE(reopenable.State(), adStateClosed);
        for (const auto &set : inUnit)
            QCOMPARE(set->State(), adStateClosed);
        QCOMPARE(elsewhere.GetCollect(QStringLiteral("房间号码")).toText(), u"1"_s);
        elsewhere.Close();
        QCOMPARE(errorCode([&] { elsewhere.Open(sql::floorAll); }), StoreCode::InvalidPointer);
        reopenable.Open(sql::floorAll);
        QCOMPARE(reopenable.GetCollect(QStringLiteral("房间号码")).toText(), u"1"_s);
    }

    // A statement prepared on first use that the engine refuses is named in the error, not the
    // statement the set was opened with.
    void errorsNameTheStatementThatFailed()
    {
        TestDatabase db;
        db.exec(QStringLiteral("CREATE TABLE scratch (a TEXT)"));
        const QString opened = QStringLiteral("select * from scratch");
        const QList<std::pair<QString, std::function<void(Recordset &)>>> cases = {
            {u"SELECT 1 FROM scratch WHERE 1 LIMIT 1"_s, [](Recordset &set) { set.BOF(); }},
            {u"SELECT count(*) FROM scratch WHERE 1"_s, [](Recordset &set) { set.RecordCount(); }},
            {u"SELECT rowid, * FROM scratch WHERE rowid = ?1"_s, [](Recordset &set) { set.MoveToBookmark(1); }},
        };
        for (const auto &[statement, operation] : cases) {
            db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS scratch (a TEXT)"));
            Recordset set(&db.connection());
            set.Open(opened);
            db.exec(QStringLiteral("DROP TABLE scratch"));
            QString message;
            try {
                operation(set);
            } catch (const StoreError &error) {
                message = error.message();
            }
            QVERIFY2(message.contains(statement), qPrintable(message));
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordStore)
#include "test_recordstore.moc"
