#include "operations/arrears.h"
#include "operations/billshares.h"
#include "operations/fees.h"
#include "operations/statistics.h"
#include "support/teststore.h"

#include <numeric>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::TestStore;

namespace {

QString shares(const ops::BillShares &bill)
{
    QStringList parts;
    for (const ops::BillShare &share : bill.shares)
        parts.append(u"%1:%2d:%3"_s.arg(share.staffNo).arg(share.days).arg(share.fen));
    return parts.join(u' ');
}

} // namespace

class TestOpsReckonings final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The months owed on a day are the months a rent settlement on that day charges: from the
    // check-in when never settled, else from the date paid up to; a resident not yet owing a whole
    // month is not listed, and the settlement refuses them too.
    void arrearsAgreeWithTheSettlement_data()
    {
        QTest::addColumn<QString>("checkedIn");
        QTest::addColumn<QString>("paidUpTo"); // empty: never settled
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("months");
        QTest::newRow("a month end, short month") << u"2026-01-31"_s << QString() << QDate(2026, 2, 28) << 0;
        QTest::newRow("a month end, two months") << u"2026-01-31"_s << QString() << QDate(2026, 3, 31) << 2;
        QTest::newRow("29 February, a day short of a year") << u"2024-02-29"_s << QString() << QDate(2025, 2, 28) << 11;
        QTest::newRow("29 February, a month") << u"2024-02-29"_s << QString() << QDate(2024, 3, 29) << 1;
        QTest::newRow("across the year end, paid up to")
            << u"2020-01-01"_s << u"2025-12-15"_s << QDate(2026, 1, 15) << 1;
        QTest::newRow("paid up to, padded as settled")
            << u"2020-01-01"_s << u"2025- 3-31"_s << QDate(2026, 12, 6) << 20;
        QTest::newRow("paid ahead") << u"2020-01-01"_s << u"2027- 1-15"_s << QDate(2026, 12, 6) << 0;
    }
    void arrearsAgreeWithTheSettlement()
    {
        QFETCH(QString, checkedIn);
        QFETCH(QString, paidUpTo);
        QFETCH(QDate, day);
        QFETCH(int, months);
        TestStore db;
        db.addRoom(u"A"_s, 1);
        db.exec(u"INSERT INTO feiyong VALUES (2.5, 0.6, 120);"
                "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','%1','A')"_s.arg(checkedIn));
        if (!paidUpTo.isEmpty())
            db.exec(u"INSERT INTO fangset VALUES ('P1','%1',1000)"_s.arg(paidUpTo));

        const ops::ArrearsList owed = ops::arrears(db.connection(), day);
        QCOMPARE(owed.residents.size(), months > 0 ? 1 : 0);
        const ops::Outcome settled = ops::settleRent(db.connection(), {day, u"P1"_s});
        QCOMPARE(settled.done, months > 0);
        if (months == 0)
            return;
        QCOMPARE(owed.residents[0].months, months);
        QCOMPARE(owed.residents[0].amount, 120 * months);
        QCOMPARE(db.text(u"SELECT 房租 FROM fanglist"_s), QString::number(120 * months));
    }

    // Most months due first; the order of checking in among equals.
    void arrearsAreSortedByMonthsDue()
    {
        TestStore db;
        db.addRoom(u"A"_s, 3);
        db.exec(u"INSERT INTO personinfo VALUES ('甲','男','系','P1','1','2026-10-01','A'),"
                "('乙','男','系','P2','1','2026-01-01','A'),('丙','男','系','P3','1','2026-10-01','A')"_s);
        const ops::ArrearsList owed = ops::arrears(db.connection(), QDate(2026, 12, 6));
        QStringList order;
        for (const ops::Arrear &arrear : owed.residents)
            order.append(u"%1:%2:%3"_s.arg(arrear.staffNo).arg(arrear.months).arg(arrear.amount));
        // Without a standard the amounts are 0 and the months still show.
        QCOMPARE(order, (QStringList{u"P2:11:0"_s, u"P1:2:0"_s, u"P3:2:0"_s}));
        QVERIFY(!owed.rent);
    }

    // Whole 分 that add up to the bill: each share rounded down, what is left one 分 each to the
    // largest shares, the earlier first among equals.
    void fenAddUpExactly_data()
    {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QList<qint64>>("weights");
        QTest::addColumn<QList<qint64>>("parts");
        QTest::newRow("one resident") << qint64(8501) << QList<qint64>{30} << QList<qint64>{8501};
        QTest::newRow("three, equal") << qint64(100) << QList<qint64>{30, 30, 30} << QList<qint64>{34, 33, 33};
        QTest::newRow("three, the largest takes the rest")
            << qint64(1000) << QList<qint64>{10, 31, 20} << QList<qint64>{163, 509, 328};
        QTest::newRow("seven") << qint64(4301) << QList<qint64>{31, 31, 30, 15, 7, 1, 31}
                               << QList<qint64>{914, 914, 883, 441, 206, 29, 914};
        QTest::newRow("a negative bill") << qint64(-100) << QList<qint64>{1, 1, 1} << QList<qint64>{-34, -33, -33};
        QTest::newRow("nobody lived there") << qint64(100) << QList<qint64>{0, 0} << QList<qint64>{0, 0};
    }
    void fenAddUpExactly()
    {
        QFETCH(qint64, total);
        QFETCH(QList<qint64>, weights);
        QFETCH(QList<qint64>, parts);
        const QList<std::int64_t> in(weights.begin(), weights.end());
        const QList<std::int64_t> out = ops::divideFen(total, in);
        QCOMPARE(QList<qint64>(out.begin(), out.end()), parts);
        if (std::accumulate(weights.begin(), weights.end(), qint64(0)) > 0)
            QCOMPARE(std::accumulate(out.begin(), out.end(), std::int64_t{0}), total);
    }

    // A settled bill is divided among those who lived in the room since its settlement before, by
    // days: a stay that began or ended inside the period counts its days there only.
    void aBillIsSharedByDaysLived()
    {
        TestStore db;
        db.addRoom(u"A"_s, 2);
        db.exec(u"INSERT INTO feiyong VALUES (2.5, 0.6, 120); INSERT INTO numinfo VALUES ('A', 2)"_s);
        QVERIFY(ops::settleUtility(db.connection(), {QDate(2026, 3, 1), u"A"_s, 110, 210}).done);
        QVERIFY(ops::settleUtility(db.connection(), {QDate(2026, 3, 31), u"A"_s, 130, 310}).done);
        db.exec(u"INSERT INTO residence_history (staff_no, name, department, room, checked_in, checked_out, "
                "checked_in_by, checked_out_by, origin) VALUES "
                "('P1','甲','系','A','2025-09-01',NULL,'','',''),"            // the whole period: 30 days
                "('P2','乙','系','A','2026-02-01','2026-03-11','','',''),"    // out mid-period: 10 days
                "('P3','丙','系','A','2026-03-21',NULL,'','',''),"            // in mid-period: 10 days
                "('P4','丁','系','A','2026-01-01','2026-02-20','','','')"_s); // before it: none
        const ops::BillShares bill = ops::shareBill(db.connection(), u"A"_s, u"2026-03-31"_s);
        QCOMPARE(bill.none, QString());
        QCOMPARE(bill.periodFrom, QDate(2026, 3, 1));
        QCOMPARE(bill.totalFen, 11000); // 20 tons at 2.5 and 100 units at 0.6
        QCOMPARE(shares(bill), u"P1:30d:6600 P2:10d:2200 P3:10d:2200"_s);

        // The room's first bill runs from its first recorded stay; a room nobody lived in says so.
        QCOMPARE(ops::shareBill(db.connection(), u"A"_s, u"2026-03-01"_s).periodFrom, QDate(2025, 9, 1));
        db.addRoom(u"B"_s);
        QVERIFY(ops::settleUtility(db.connection(), {QDate(2026, 3, 1), u"B"_s, 110, 210}).done);
        QVERIFY(ops::settleUtility(db.connection(), {QDate(2026, 3, 31), u"B"_s, 120, 220}).done);
        QCOMPARE(ops::shareBill(db.connection(), u"B"_s, u"2026-03-31"_s).none,
                 u"2026-03-01 至 2026-03-31 之间没有记录到住在房间“B”的人员。"_s);
    }

    // The figures behind the charts against tables counted by hand: living at each month's end from
    // the history, charges summed by the month they were settled in, rooms by the part before "-".
    void theYearAtAGlance()
    {
        TestStore db;
        db.exec(
            u"INSERT INTO floorinfo VALUES ('6-101','男','1','2','3',4,0,0,2,2),('6-102','男','1','2','3',2,0,0,0,2),"
            "('7-101','女','1','2','3',6,0,0,1,5),('甲楼','女','1','2','3',3,0,0,0,3);"
            "INSERT INTO residence_history (staff_no, name, department, room, checked_in, checked_out, "
            "checked_in_by, checked_out_by, origin) VALUES "
            "('P1','甲','系','6-101','2026-09-15',NULL,'','',''),"         // Sep-Dec
            "('P2','乙','系','6-101','2026-10-31',NULL,'','',''),"         // Oct (its last day) - Dec
            "('P3','丙','系','7-101','2026-08-01','2026-10-31','','','')," // Aug-Sep: out on Oct's last day
            "('P4','丁','系','7-101','2026-11-01',NULL,'','','');"         // Nov-Dec
            "INSERT INTO personinfo VALUES ('甲','男','系','P1','1','2026-09-15','6-101'),"
            "('乙','男','系','P2','1','2026-10-31','6-101'),('丁','女','系','P4','1','2026-11-01','7-101');"
            "INSERT INTO listfei VALUES ('6-101','2026-10-05',10,5,15.5),('7-101','2026-10-20',1,1,2),"
            "('6-101','2026-07-05',1,1,99);"
            "INSERT INTO fanglist VALUES ('P1','2026-11-20',120),('P2','2026-11-21',240),('P1','2026-12-01',120)"_s);
        const ops::YearAtAGlance year = ops::yearAtAGlance(db.connection(), QDate(2026, 12, 6), 4);
        QCOMPARE(year.beds, 15);
        QCOMPARE(year.taken, 3);
        QStringList months;
        for (const ops::MonthFigures &m : year.months)
            months.append(u"%1 %2 %3 %4"_s.arg(m.month).arg(m.living).arg(m.utility).arg(m.rent));
        QCOMPARE(months,
                 (QStringList{u"2026-09 2 0 0"_s, u"2026-10 2 17.5 0"_s, u"2026-11 3 0 360"_s, u"2026-12 3 0 120"_s}));
        QStringList buildings;
        for (const ops::BuildingFigures &b : year.buildings)
            buildings.append(u"%1 %2 %3 %4"_s.arg(b.building).arg(b.rooms).arg(b.beds).arg(b.taken));
        QCOMPARE(buildings, (QStringList{u"6 2 6 2"_s, u"7 1 6 1"_s, u" 1 3 0"_s}));
    }
};

QTEST_GUILESS_MAIN(TestOpsReckonings)
#include "test_ops_reckonings.moc"
