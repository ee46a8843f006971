#include "pages/fees/cdialog4.h"
#include "support/testsupport.h"

#include <sqlite3.h>

using namespace orv;

namespace {

const QString kReadings = u"SELECT feiinfo_row, listfei_row, room, date, previous_date, previous_water, "
                          u"previous_power, current_water, current_power, water_price, power_price "
                          u"FROM settlement_readings ORDER BY rowid"_s;
const QString kPeriods =
    u"SELECT fanglist_row, staff_no, date, paid_from, paid_to, months, amount FROM rent_periods ORDER BY rowid"_s;

// Every row of the eight tables and of ours, to compare a file before and after.
QString everyTable(test::TestDatabase &db)
{
    QStringList out;
    for (const char *table : {"floorinfo", "personinfo", "numinfo", "feiyong", "feiinfo", "listfei", "fangset",
                              "fanglist", "settlement_readings", "rent_periods"})
        out.append(db.text(u"SELECT rowid, * FROM %1 ORDER BY rowid"_s.arg(QLatin1String(table))));
    return out.join(u'\n');
}

// Refuses every insert into one table.
int denyInsertInto(void *table, int action, const char *first, const char *, const char *, const char *)
{
    return action == SQLITE_INSERT && first && qstrcmp(first, static_cast<const char *>(table)) == 0 ? SQLITE_DENY
                                                                                                     : SQLITE_OK;
}

struct Fixture {
    test::TestDatabase db;
    test::Answers answers;
    CDialog4 page{db.connection()};

    Fixture()
    {
        // Rows entered before, so that the row ids kept are not all 1.
        db.exec(u"INSERT INTO feiyong VALUES (2.85,0.4883,120);"
                "INSERT INTO floorinfo VALUES ('6-101','男','1','2','3',4,100,200,1,3);"
                "INSERT INTO feiinfo VALUES ('6-999','2003-01-01',1,1);"
                "INSERT INTO listfei VALUES ('6-999','2003-01-01',1,1,2);"
                "INSERT INTO personinfo VALUES ('张伟','男','系','2004001','1','2004-03-15','6-101');"
                "INSERT INTO fanglist VALUES ('9','2003-01-01',1)"_s);
    }
};

} // namespace

class TestSettlementRecords final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each settlement keeps what it was charged from and at, naming the rows it wrote.
    void settlementsKeepWhatTheyCharged()
    {
        Fixture f;
        test::settleUtility(&f.page, QDate(2004, 3, 5), u"6-101"_s, u"110"_s, u"250"_s);
        test::settleUtility(&f.page, QDate(2004, 2, 20), u"6-101"_s, u"120"_s, u"260"_s);
        test::settleRent(&f.page, QDate(2004, 6, 20), u"2004001"_s);
        test::settleRent(&f.page, QDate(2004, 8, 10), u"2004001"_s);
        QCOMPARE(f.answers->texts(), QStringList());
        QCOMPARE(f.db.text(kReadings), u"2,2,6-101,2004-03-05,NULL,100,200,110,250,2.85,0.4883|"
                                       u"3,3,6-101,2004-02-20,2004-03-05,110,250,120,260,2.85,0.4883"_s);
        QCOMPARE(f.db.text(kPeriods), u"2,2004001,2004-06-20,2004-03-15,2004- 6-15,3,360|"
                                      u"3,2004001,2004-08-10,2004- 6-15,2004- 7-15,1,120"_s);
        QCOMPARE(f.db.text(u"SELECT rowid FROM listfei WHERE 日期 = '2004-02-20'"_s), u"3"_s);
        QCOMPARE(f.db.text(u"SELECT rowid FROM fanglist WHERE 日期 = '2004-08-10'"_s), u"3"_s);
    }

    // The kept row and the settlement's own rows stay or go together.
    void keptRowsGoWithTheSettlement_data()
    {
        QTest::addColumn<bool>("rent");
        QTest::addColumn<QByteArray>("denied"); // the table whose insert fails
        QTest::newRow("utility, its readings kept") << false << QByteArray("settlement_readings");
        QTest::newRow("utility, its bill row") << false << QByteArray("listfei");
        QTest::newRow("rent, its period kept") << true << QByteArray("rent_periods");
        QTest::newRow("rent, its charge row") << true << QByteArray("fanglist");
    }
    void keptRowsGoWithTheSettlement()
    {
        QFETCH(bool, rent);
        QFETCH(QByteArray, denied);
        Fixture f;
        const QString before = everyTable(f.db);
        sqlite3_set_authorizer(f.db.connection().handle(), &denyInsertInto, denied.data());
        if (rent)
            test::settleRent(&f.page, QDate(2004, 6, 20), u"2004001"_s);
        else
            test::settleUtility(&f.page, QDate(2004, 3, 5), u"6-101"_s, u"110"_s, u"250"_s);
        sqlite3_set_authorizer(f.db.connection().handle(), nullptr, nullptr);
        QCOMPARE(f.answers->texts().size(), 1);
        QVERIFY2(f.answers->texts().constFirst().startsWith(u"数据库操作失败!"_s),
                 qPrintable(f.answers->texts().constFirst()));
        QCOMPARE(everyTable(f.db), before);
    }
};

QTEST_MAIN(TestSettlementRecords)
#include "test_settlementrecords.moc"
