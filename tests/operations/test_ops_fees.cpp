#include "data/columns.h"
#include "data/recordset.h"
#include "operations/fees.h"
#include "support/teststore.h"

using namespace orv;
using namespace orv::ops;
using namespace Qt::StringLiterals;

namespace {

const QString kNoStandard = u"还没有设置费用标准，请先设置费用标准！"_s;
const QString kNotYetDue =
    u"您输入的日期小于入住或上次结算时的日期或还没满一个月现在还不能够结算，请重新输入结算日期！"_s;
const QString kStandard = u"SELECT * FROM feiyong"_s;
const QString kFeeTables = u"SELECT * FROM feiinfo UNION ALL SELECT 房间号码,日期,水费,电费 FROM listfei "
                           u"UNION ALL SELECT 房间号码,CAST(水表底数 AS TEXT),电表底数,0 FROM floorinfo"_s;
const QString kRentTables = u"SELECT 工号,日期,房租合计 FROM fangset UNION ALL SELECT 工号,日期,房租 FROM fanglist"_s;
const QString kReadings = u"SELECT feiinfo_row, listfei_row, room, date, previous_date, previous_water, "
                          u"previous_power, current_water, current_power, water_price, power_price "
                          u"FROM settlement_readings ORDER BY rowid"_s;
const QString kPeriods =
    u"SELECT fanglist_row, staff_no, date, paid_from, paid_to, months, amount FROM rent_periods ORDER BY rowid"_s;

QString describe(const Outcome &outcome)
{
    return (outcome.done ? u"done "_s : u"refused "_s) + outcome.message;
}

struct Fixture {
    test::TestStore db;

    void standard(const QString &values) { db.exec(u"INSERT INTO feiyong VALUES (%1)"_s.arg(values)); }
    // Base readings as "water,power".
    void room(const QString &name, const QString &base)
    {
        db.exec(u"INSERT INTO floorinfo VALUES ('%1','男','1','2','3',4,%2,1,3)"_s.arg(name, base));
    }
    void resident(const QString &no, const QString &checkIn)
    {
        db.exec(u"INSERT INTO personinfo VALUES ('张伟','男','系','%1','1','%2','6-101')"_s.arg(no, checkIn));
    }
    // Every row of the eight tables and of ours.
    QString everyTable()
    {
        QStringList out;
        for (const char *table : {"floorinfo", "personinfo", "numinfo", "feiyong", "feiinfo", "listfei", "fangset",
                                  "fanglist", "settlement_readings", "rent_periods"})
            out.append(db.text(u"SELECT rowid, * FROM %1 ORDER BY rowid"_s.arg(QLatin1String(table))));
        return out.join(u'\n');
    }
    QString settle(const ReadingForm &form)
    {
        QString bill;
        const Outcome outcome = settleUtility(db.connection(), form, [&bill](const UtilityBill &stored) {
            bill = QStringList{stored.room, stored.date, FieldValue(stored.water).toText(),
                               FieldValue(stored.power).toText(), FieldValue(stored.total).toText()}
                       .join(u'|');
        });
        return outcome.done ? bill : describe(outcome) + bill;
    }
    QString settle(const RentForm &form)
    {
        QString charge;
        const Outcome outcome = settleRent(db.connection(), form, [&charge](const RentCharge &made) {
            charge = QStringList{made.name.toText(),         made.staffNo, made.room.toText(),
                                 QString::number(made.rent), made.date,    made.paidUpTo}
                         .join(u'|');
        });
        return outcome.done ? charge : describe(outcome) + charge; // a refusal hands over no charge
    }
};

} // namespace

class TestOpsFees final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void standardChecksInOrder_data()
    {
        QTest::addColumn<float>("water");
        QTest::addColumn<float>("power");
        QTest::addColumn<int>("rent");
        QTest::addColumn<QString>("outcome");
        const QString water = u"refused 请输入一个大于0小于100的数！"_s;
        const QString power = u"refused 请正确输入标准！"_s;
        const QString rent = u"refused 请输入一个大于0小于10000的数！"_s;
        QTest::newRow("bounds kept") << 100.0F << 100.0F << 10000 << u"done "_s;
        QTest::newRow("smallest kept") << 0.01F << 0.01F << 1 << u"done "_s;
        QTest::newRow("water 0 comes first") << 0.0F << 0.0F << 0 << water;
        QTest::newRow("water 100.01") << 100.01F << 1.0F << 1 << water;
        QTest::newRow("power below 0") << 1.0F << -1.0F << 0 << power;
        QTest::newRow("power 100.01") << 100.0F << 100.01F << 1 << power;
        QTest::newRow("rent 0") << 1.0F << 1.0F << 0 << rent;
        QTest::newRow("rent 10001") << 1.0F << 100.0F << 10001 << rent;
    }
    // A refused standard is not stored either, even by an operation called without the check.
    void standardChecksInOrder()
    {
        QFETCH(float, water);
        QFETCH(float, power);
        QFETCH(int, rent);
        QFETCH(QString, outcome);
        Fixture f;
        const StandardForm form{water, power, rent};
        QCOMPARE(describe(checkStandard(form)), outcome);
        QCOMPARE(describe(setStandard(f.db.connection(), form)), outcome);
        QCOMPARE(f.db.count(u"feiyong"_s), outcome.startsWith(u"done"_s) ? 1 : 0);
    }

    void standardIsAskedForThenReplaced_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("questions");
        QTest::newRow("first use") << QString()
                                   << QStringList{
                                          u"目前还没有设置费用标准，你要继续设置吗？"_s,
                                          u"你设置的水费为：2.50元/吨  电费为：0.60元/度  房租费为：120元/人吗？"_s};
        QTest::newRow("change") << u"100,12.345,10000"_s
                                << QStringList{u"目前的水费为：100.00元/吨   目前的电费为：12.35元/度   "
                                               u"目前的房租费为：10000元/人\n\n\n"
                                               u"你确定要修改为现在的水费为：2.50元/吨  电费为：0.60元/度  "
                                               u"房租费为：120元/人吗？"_s};
    }
    void standardIsAskedForThenReplaced()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, questions);
        Fixture f;
        if (!stored.isEmpty())
            f.standard(stored);
        const StandardForm form{2.5F, 0.6F, 120};
        QCOMPARE(standardQuestions(storedStandard(f.db.connection()), form), questions);
        const Outcome outcome = setStandard(f.db.connection(), form);
        QCOMPARE(outcome.changed, QStringList{u"feiyong"_s});
        QCOMPARE(f.db.text(kStandard), u"2.5,0.6,120"_s);
        // A server's columns have their types.
        if (!f.db.isServer())
            QCOMPARE(f.db.text(u"SELECT typeof(水费), typeof(房租) FROM feiyong"_s), u"real,integer"_s);
    }

    void utilitySettlementBillsTheConsumption_data()
    {
        QTest::addColumn<QString>("standard");
        QTest::addColumn<QString>("readings"); // water|power, from 100 and 200
        QTest::addColumn<QString>("bill");
        QTest::addColumn<QString>("tables");
        // The total is rounded from the exact sum; the two stored fees would give 6.900001.
        QTest::newRow("total from the exact sum") << u"0.1,0.6,1"_s << u"103|211"_s << u"O'6|2004-03-05|0.3|6.6|6.9"_s
                                                  << u"O'6,2004-03-05,103,211|O'6,2004-03-05,0.3,6.6|O'6,103,211,0"_s;
        QTest::newRow("equal readings") << u"2.5,0.5,1"_s << u"100|200"_s << u"O'6|2004-03-05|0|0|0"_s
                                        << u"O'6,2004-03-05,100,200|O'6,2004-03-05,0,0|O'6,100,200,0"_s;
    }
    void utilitySettlementBillsTheConsumption()
    {
        QFETCH(QString, standard);
        QFETCH(QString, readings);
        QFETCH(QString, bill);
        QFETCH(QString, tables);
        Fixture f;
        f.standard(standard);
        f.room(u"O''6"_s, u"100,200"_s);
        const QStringList r = readings.split(u'|');
        QCOMPARE(f.settle(ReadingForm{{2004, 3, 5}, u"O'6"_s, r[0].toInt(), r[1].toInt()}), bill);
        QCOMPARE(f.db.text(kFeeTables), tables);
        QCOMPARE(f.db.text(u"SELECT 总费用 FROM listfei"_s), bill.section(u'|', 4));
        const Outcome again = settleUtility(f.db.connection(), {{2004, 4, 5}, u"O'6"_s, 999999, 999999});
        QCOMPARE(again.changed, (QStringList{u"feiinfo"_s, u"floorinfo"_s, u"listfei"_s, u"settlement_readings"_s}));
        QCOMPARE(f.db.count(u"listfei"_s), 2);
    }

    void utilityRefusalsComeInOrderAndWriteNothing_data()
    {
        QTest::addColumn<QString>("fields"); // room|water|power, and |- for no standard stored
        QTest::addColumn<QString>("message");
        const QString range = u"请输入一个大于0小于999999的数！"_s;
        const QString twice = u"同一日期对同一房间已经操作超过一次，不允许这样操作！"_s;
        const QString lower = u"现在的表数小于上次的表数，请核查后在结算！"_s;
        QTest::newRow("no room before readings") << u"|0|0"_s << u"请输入房间号码！"_s;
        QTest::newRow("water 0, range before unknown room") << u"9|0|5"_s << range;
        QTest::newRow("power 1000000") << u"A|5|1000000"_s << range;
        QTest::newRow("unknown room before standard")
            << u"9|5|5|-"_s << u"您输入的房间号码还没有被初始化，请查询后输入！"_s;
        QTest::newRow("lower before twice") << u"A|105|260"_s << lower;
        QTest::newRow("lower power") << u"A|120|249|-"_s << lower;
        QTest::newRow("999999 passes to twice") << u"A|999999|999999|-"_s << twice;
        QTest::newRow("no standard") << u"B|120|260|-"_s << kNoStandard;
    }
    void utilityRefusalsComeInOrderAndWriteNothing()
    {
        QFETCH(QString, fields);
        QFETCH(QString, message);
        Fixture f;
        f.room(u"A"_s, u"110,250"_s);
        f.room(u"B"_s, u"0,0"_s);
        f.db.exec(u"INSERT INTO feiinfo VALUES ('A','2004-03-05',110,250)"_s);
        if (!fields.endsWith(u"|-"_s))
            f.standard(u"1,1,1"_s);
        const QString before = f.everyTable();
        const QStringList v = fields.split(u'|');
        const Outcome outcome = settleUtility(f.db.connection(), {{2004, 3, 5}, v[0], v[1].toInt(), v[2].toInt()});
        QCOMPARE(describe(outcome), u"refused "_s + message);
        QVERIFY(outcome.changed.isEmpty());
        QCOMPARE(f.everyTable(), before);
    }

    // Each settlement keeps what it was charged from and at, naming the rows it wrote; rent is
    // charged in whole months from the date paid up to.
    void settlementsKeepWhatTheyCharged()
    {
        Fixture f;
        // Rows entered before, so that the row ids kept are not all 1.
        f.db.exec(u"INSERT INTO feiyong VALUES (2.85,0.4883,120);"
                  "INSERT INTO feiinfo VALUES ('6-999','2003-01-01',1,1);"
                  "INSERT INTO listfei VALUES ('6-999','2003-01-01',1,1,2);"
                  "INSERT INTO fanglist VALUES ('9','2003-01-01',1)"_s);
        f.room(u"6-101"_s, u"100,200"_s);
        f.resident(u"2004001"_s, u"2004-03-15"_s);
        QCOMPARE(describe(settleUtility(f.db.connection(), {{2004, 3, 5}, u"6-101"_s, 110, 250})), u"done "_s);
        QCOMPARE(describe(settleUtility(f.db.connection(), {{2004, 2, 20}, u"6-101"_s, 120, 260})), u"done "_s);
        QCOMPARE(f.settle(RentForm{{2004, 6, 20}, u"2004001"_s}), u"张伟|2004001|6-101|360|2004-06-20|2004- 6-15"_s);
        QCOMPARE(f.settle(RentForm{{2004, 8, 10}, u"2004001"_s}), u"张伟|2004001|6-101|120|2004-08-10|2004- 7-15"_s);
        QCOMPARE(f.db.text(kReadings), u"2,2,6-101,2004-03-05,NULL,100,200,110,250,2.85,0.4883|"
                                       u"3,3,6-101,2004-02-20,2004-03-05,110,250,120,260,2.85,0.4883"_s);
        QCOMPARE(f.db.text(kPeriods), u"2,2004001,2004-06-20,2004-03-15,2004- 6-15,3,360|"
                                      u"3,2004001,2004-08-10,2004- 6-15,2004- 7-15,1,120"_s);
        QCOMPARE(f.db.text(kRentTables),
                 u"2004001,2004- 7-15,480|9,2003-01-01,1|2004001,2004-06-20,360|2004001,2004-08-10,120"_s);
        QCOMPARE(settleRent(f.db.connection(), {{2004, 9, 15}, u"2004001"_s}).changed,
                 (QStringList{u"fangset"_s, u"fanglist"_s, u"rent_periods"_s}));
    }

    // The kept row and the settlement's own rows stay or go together: a failing write raises, and
    // the caller's unit undoes them all.
    void keptRowsGoWithTheSettlement_data()
    {
        QTest::addColumn<bool>("rent");
        QTest::addColumn<QString>("denied"); // the table whose insert fails
        QTest::newRow("utility, its readings kept") << false << u"settlement_readings"_s;
        QTest::newRow("utility, its bill row") << false << u"listfei"_s;
        QTest::newRow("rent, its period kept") << true << u"rent_periods"_s;
        QTest::newRow("rent, its charge row") << true << u"fanglist"_s;
    }
    void keptRowsGoWithTheSettlement()
    {
        QFETCH(bool, rent);
        QFETCH(QString, denied);
        Fixture f;
        f.standard(u"2.85,0.4883,120"_s);
        f.room(u"6-101"_s, u"100,200"_s);
        f.resident(u"2004001"_s, u"2004-03-15"_s);
        f.db.refuseInsertsInto(denied);
        const QString before = f.everyTable();
        Connection &connection = f.db.connection();
        connection.beginUnit();
        const StoreError error = test::storeErrorOf([&] {
            if (rent)
                settleRent(connection, {{2004, 6, 20}, u"2004001"_s});
            else
                settleUtility(connection, {{2004, 3, 5}, u"6-101"_s, 110, 250});
        });
        connection.rollbackUnit();
        QVERIFY(error.code() != 0);
        QCOMPARE(f.everyTable(), before);
    }

    void rentRefusalsComeInOrderAndWriteNothing_data()
    {
        QTest::addColumn<QString>("start"); // check-in date, "paid-up-to date|total", or empty: not checked in
        QTest::addColumn<QString>("rent");  // the standard's rent, or empty for no standard
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("message");
        const QString before = u"您输入的日期小于入住或上次结算时的日期，请重新输入结算日期！"_s;
        QTest::newRow("not checked in before anything")
            << QString() << QString() << QDate(2004, 4, 15) << u"您输入的工号还没有入住，无法计算房租！"_s;
        QTest::newRow("same month") << u"2004-03-15"_s << u"1"_s << QDate(2004, 3, 31) << kNotYetDue;
        QTest::newRow("day rule leaves 0") << u"2004-03-15"_s << u"1"_s << QDate(2004, 4, 10) << kNotYetDue;
        QTest::newRow("earlier year before standard") << u"2004-03-15"_s << QString() << QDate(2003, 12, 31) << before;
        QTest::newRow("from the date paid up to") << u"2004-12-20|100"_s << u"1"_s << QDate(2005, 1, 10) << kNotYetDue;
        QTest::newRow("no standard") << u"2004-03-15"_s << QString() << QDate(2004, 6, 20) << kNoStandard;
        // Three months of 1000000000 overflow the charge, one month only the total.
        QTest::newRow("charge past 32 bits") << u"2004-01-15"_s << u"1000000000"_s << QDate(2004, 4, 15)
                                             << u"本次应收的房租超出了能够记录的范围，无法结算！"_s;
        QTest::newRow("total past 32 bits") << u"2004- 3-15|2147483600"_s << u"1000000000"_s << QDate(2004, 4, 15)
                                            << u"房租合计超出了能够记录的范围，无法结算！"_s;
    }
    void rentRefusalsComeInOrderAndWriteNothing()
    {
        QFETCH(QString, start);
        QFETCH(QString, rent);
        QFETCH(QDate, date);
        QFETCH(QString, message);
        Fixture f;
        if (!rent.isEmpty())
            f.standard(u"1,1,"_s + rent);
        const QStringList paid = start.split(u'|');
        if (!start.isEmpty())
            f.resident(u"7"_s, paid.size() == 1 ? start : u"2000-01-01"_s);
        if (paid.size() == 2)
            f.db.exec(u"INSERT INTO fangset VALUES ('7','%1',%2)"_s.arg(paid[0], paid[1]));
        const QString before = f.everyTable();
        QCOMPARE(f.settle(RentForm{date, u"7"_s}), u"refused "_s + message);
        QCOMPARE(f.everyTable(), before);
    }

    // The lists hand over every record in the table's order; the rent list only residents still
    // living here, each with the date paid up to now.
    void listsHandOverEveryRecord()
    {
        Fixture f;
        QStringList events;
        const auto found = [&events] { events.append(u"found"_s); };
        const auto rentRow = [&events](const Recordset &set) {
            events.append(set.GetCollect(db::personinfo::name).toText() + u',' +
                          set.GetCollect(db::fanglist::date).toText() + u',' +
                          set.GetCollect(db::fangset::paidUpTo).toText());
        };
        listRent(f.db.connection(), found, rentRow);
        QCOMPARE(events, QStringList{u"found"_s});

        f.db.exec(u"INSERT INTO listfei VALUES ('B','2004-03-05',1,2,3),('A','2004-02-05',4,5,9);"
                  "INSERT INTO fangset VALUES ('7','2004- 7-15',480),('9','2004- 9- 1',100);"
                  "INSERT INTO fanglist VALUES ('7','2004-06-20',360),('9','2004-08-01',100),"
                  "('7','2004-08-10',120)"_s);
        f.resident(u"7"_s, u"2004-03-15"_s);
        QStringList bills;
        listFees(f.db.connection(), [&bills](const Recordset &set) {
            bills.append(set.GetCollect(db::listfei::roomNo).toText() + set.GetCollect(db::listfei::total).toText());
        });
        QCOMPARE(bills, (QStringList{u"B3"_s, u"A9"_s}));
        events.clear();
        listRent(f.db.connection(), found, rentRow);
        QCOMPARE(events, (QStringList{u"found"_s, u"张伟,2004-06-20,2004- 7-15"_s, u"张伟,2004-08-10,2004- 7-15"_s}));
    }
};

QTEST_MAIN(TestOpsFees)
#include "test_ops_fees.moc"
