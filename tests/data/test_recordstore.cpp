#include "data/recordset.h"
#include "data/statements.h"
#include "support/testsupport.h"

using namespace orv;
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
        QCOMPARE(errorCode([&] { set.GetCollect(QStringLiteral("房间号码")); }), StoreCode::NoCurrentRecord);
        set.MoveNext();
        QCOMPARE(set.GetCollect(QStringLiteral("房间号码")).toText(), QStringLiteral("c"));
        set.MovePrevious();
        QCOMPARE(set.GetCollect(QStringLiteral("房间号码")).toText(), QStringLiteral("a"));

        set.PutCollect(QStringLiteral("电话号码"), QStringLiteral("x"));
        QCOMPARE(errorCode([&] { set.Close(); }), StoreCode::PendingChanges);
        set.Update();
        set.Close();
    }

    void raisesTheStoreErrorWhereNoOperationIsPossible()
    {
        TestDatabase db;
        Recordset set(&db.connection());
        QCOMPARE(errorCode([&] { set.MoveFirst(); }), StoreCode::ClosedObject);
        QCOMPARE(errorCode([&] { set.Close(); }), StoreCode::ClosedObject);
        set.Open(sql::floorAll);
        QCOMPARE(errorCode([&] { set.Open(sql::floorAll); }), StoreCode::OpenObject);
        QCOMPARE(errorCode([&] { set.GetCollect(QStringLiteral("房间号码")); }), StoreCode::NoCurrentRecord);
        QCOMPARE(errorCode([&] { set.MoveNext(); }), StoreCode::NoCurrentRecord);
        addRoom(db, QStringLiteral("1"));
        set.MoveFirst();
        QCOMPARE(errorCode([&] { set.GetCollect(QStringLiteral("没有这列")); }), StoreCode::ItemNotFound);
        QCOMPARE(errorCode([&] { set.PutCollect(QStringLiteral("可住人数"), FieldValue(QStringLiteral("abc"))); }),
                 StoreCode::TypeMismatch);
        QCOMPARE(errorCode([&] { set.PutCollect(QStringLiteral("可住人数"), FieldValue::int32(40000)); }),
                 StoreCode::Overflow);
        set.MoveNext();
        QVERIFY(set.adoEOF());
        QCOMPARE(errorCode([&] { set.MoveNext(); }), StoreCode::NoCurrentRecord);
        QCOMPARE(errorCode([&] { set.GetCollect(QStringLiteral("房间号码")); }), StoreCode::NoCurrentRecord);
        set.MoveFirst();
        set.MovePrevious();
        QCOMPARE(errorCode([&] { set.MovePrevious(); }), StoreCode::NoCurrentRecord);

        Recordset orphan(nullptr);
        QCOMPARE(errorCode([&] { orphan.Open(sql::floorAll); }), StoreCode::InvalidPointer);
        QVERIFY(errorCode([&] {
                    Recordset broken(&db.connection());
                    broken.Open(QStringLiteral("select * from floorinfo where 房间号码='a'b'"));
                }) != 0);

        db.exec(QStringLiteral("INSERT INTO personinfo (姓名) VALUES ('无号')"));
        Recordset people(&db.connection());
        people.Open(sql::personAll);
        const FieldValue missing = people.GetCollect(QStringLiteral("工号")); // copying a null is fine
        QVERIFY(missing.isNull());
        QCOMPARE(errorCode([&] { missing.toText(); }), StoreCode::TypeMismatch);
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
};

QTEST_GUILESS_MAIN(TestRecordStore)
#include "test_recordstore.moc"
