#include "data/texts.h"
#include "pages/fees/cdialog4.h"
#include "support/testsupport.h"
#include "ui/reportlist.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace orv;
using orv::test::Answers;
using orv::test::TestDatabase;
using Rows = QList<QStringList>;
using namespace Qt::StringLiterals;

namespace {

const QString kAskFirst = u"目前还没有设置费用标准，你要继续设置吗？"_s;
const QString kNoStandard = u"还没有设置费用标准，请先设置费用标准！"_s;
const QString kNotYetDue =
    u"您输入的日期小于入住或上次结算时的日期或还没满一个月现在还不能够结算，请重新输入结算日期！"_s;
const QString kBeforeStart = u"您输入的日期小于入住或上次结算时的日期，请重新输入结算日期！"_s;
const QString kFeeTables = u"SELECT * FROM feiinfo UNION ALL SELECT 房间号码,日期,水费,电费 FROM listfei "
                            u"UNION ALL SELECT 房间号码,水表底数,电表底数,0 FROM floorinfo"_s;
const QString kRentTables =
    u"SELECT 工号,日期,房租合计 FROM fangset UNION ALL SELECT 工号,日期,房租 FROM fanglist"_s;

struct Fixture {
    TestDatabase db;
    Answers answers;
    CDialog4 page{db.connection()};

    QLineEdit *edit(const QString &name) { return test::child<QLineEdit>(&page, name); }
    ReportList *list(const QString &name) { return test::child<ReportList>(&page, name); }
    void type(const QString &name, const QString &text) { QVERIFY(test::typeText(edit(name), text)); }
    void press(const QString &name) { test::click(test::child<QPushButton>(&page, name)); }
    void standard(const QString &values) { db.exec(u"INSERT INTO feiyong VALUES (%1)"_s.arg(values)); }
    void prices(const QString &water, const QString &power, const QString &rent)
    {
        type(u"waterPriceEdit"_s, water);
        type(u"powerPriceEdit"_s, power);
        type(u"rentPriceEdit"_s, rent);
        press(u"setStandardButton"_s);
    }
    void room(const QString &name, int water, int power)
    {
        db.exec(u"INSERT INTO floorinfo VALUES ('%1','男','1','2','3',4,%2,%3,1,3)"_s
                    .arg(sqlQuote(name)).arg(water).arg(power));
    }
    void settleUtility(const QString &room, const QString &water, const QString &power, QDate date = {2004, 3, 5})
    {
        test::child<QDateEdit>(&page, u"feeDateEdit"_s)->setDate(date);
        type(u"feeRoomEdit"_s, room);
        type(u"waterReadingEdit"_s, water);
        type(u"powerReadingEdit"_s, power);
        press(u"settleUtilityButton"_s);
    }
    void resident(const QString &no, const QString &checkIn, const QString &name = u"张伟"_s)
    {
        db.exec(u"INSERT INTO personinfo VALUES ('%1','男','计算机系','%2','138','%3','6-101')"_s
                    .arg(name, no, checkIn));
    }
    void settleRent(const QString &no, QDate date)
    {
        test::child<QDateEdit>(&page, u"rentDateEdit"_s)->setDate(date);
        type(u"staffNoEdit"_s, no);
        press(u"settleRentButton"_s);
    }
};

} // namespace

class TestFees : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pageShowsItsFormAndLists()
    {
        Fixture f;
        QCOMPARE(f.list(u"feeList"_s)->horizontalHeaderItem(1)->text(), u"  日  期"_s);
        QCOMPARE(f.list(u"feeList"_s)->columnWidth(1), 75);
        QCOMPARE(f.list(u"rentList"_s)->horizontalHeaderItem(0)->text(), u" 姓  名"_s);
        QCOMPARE(f.list(u"rentList"_s)->columnWidth(3), 59);
        QCOMPARE(f.edit(u"waterPriceEdit"_s)->text(), u"0"_s);
        QVERIFY(f.edit(u"staffNameEdit"_s)->isReadOnly());
        f.type(u"staffNoEdit"_s, u"工号工号工号工号"_s);
        QVERIFY(!test::typeText(f.edit(u"staffNoEdit"_s), u"12345678901234567"_s));
        QSet<QWidget *> buddies;
        for (QLabel *label : f.page.findChildren<QLabel *>())
            buddies.insert(label->buddy());
        for (QWidget *input : f.page.findChildren<QLineEdit *>())
            QVERIFY2(buddies.contains(input) || qobject_cast<QDateEdit *>(input->parent()), qPrintable(input->objectName()));
        for (QDateEdit *picker : f.page.findChildren<QDateEdit *>())
            QVERIFY(buddies.contains(picker) && picker->date() == QDate::currentDate());
    }

    void standardIsConfirmedAndKeptAsOneRow()
    {
        Fixture f;
        f.prices(u"2.5"_s, u".6"_s, u"120"_s);
        QCOMPARE(f.answers->texts(), QStringList({kAskFirst, u"你设置的水费为：2.50元/吨  电费为：0.60元/度  房租费为：120元/人吗？"_s}));
        QCOMPARE(f.db.rows(u"SELECT * FROM feiyong"_s), Rows({{u"2.5"_s, u"0.6"_s, u"120"_s}}));
        f.answers->clear();
        f.prices(u"100"_s, u"12.345"_s, u"10000"_s);
        QCOMPARE(f.answers->texts(), QStringList({
            u"目前的水费为：2.50元/吨   目前的电费为：0.60元/度   目前的房租费为：120元/人\n\n\n"
            u"你确定要修改为现在的水费为：100.00元/吨  电费为：12.35元/度  房租费为：10000元/人吗？"_s}));
        QCOMPARE(f.db.rows(u"SELECT * FROM feiyong"_s), Rows({{u"100"_s, u"12.345"_s, u"10000"_s}}));
    }

    void cancelWritesNothing_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<int>("okBefore");
        QTest::newRow("first box") << false << 0;
        QTest::newRow("second box") << false << 1;
        QTest::newRow("change box") << true << 0;
    }
    void cancelWritesNothing()
    {
        QFETCH(bool, stored);
        QFETCH(int, okBefore);
        Fixture f;
        if (stored)
            f.standard(u"1,2,3"_s);
        for (int i = 0; i < okBefore; ++i)
            f.answers->queue(MessageAnswer::Ok);
        f.answers->queue(MessageAnswer::Cancel);
        f.prices(u"5"_s, u"6"_s, u"7"_s);
        QCOMPARE(f.answers->texts().size(), okBefore + 1);
        QCOMPARE(f.db.rows(u"SELECT * FROM feiyong"_s), stored ? Rows({{u"1"_s, u"2"_s, u"3"_s}}) : Rows());
        f.prices(u"5"_s, u"6"_s, u"7"_s); // the set left open still serves
        QCOMPARE(f.db.rows(u"SELECT * FROM feiyong"_s), Rows({{u"5"_s, u"6"_s, u"7"_s}}));
    }

    void standardRangesAndFormFaults_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");
        const QString water = u"请输入一个大于0小于100的数！"_s;
        const QString power = u"请正确输入标准！"_s;
        const QString rent = u"请输入一个大于0小于10000的数！"_s;
        QTest::newRow("water 100.01") << QStringList{u"100.01"_s, u"1"_s, u"1"_s} << water;
        QTest::newRow("water 0 first of all") << QStringList{u"0"_s, u"0"_s, u"0"_s} << water;
        QTest::newRow("water negative") << QStringList{u"-1"_s, u"1"_s, u"1"_s} << water;
        QTest::newRow("power 100.01") << QStringList{u"1"_s, u"100.01"_s, u"1"_s} << power;
        QTest::newRow("power 0") << QStringList{u"1"_s, u"0"_s, u"1"_s} << power;
        QTest::newRow("rent 10001") << QStringList{u"1"_s, u"1"_s, u"10001"_s} << rent;
        QTest::newRow("rent 0") << QStringList{u"1"_s, u"1"_s, u"0"_s} << rent;
        QTest::newRow("price not a number") << QStringList{u"1"_s, u"x"_s, u"0"_s} << u"请输入一个数字。"_s;
        QTest::newRow("rent not an integer") << QStringList{u"1"_s, u"1"_s, u"2.5"_s} << u"请输入一个整数。"_s;
    }
    void standardRangesAndFormFaults()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        Fixture f;
        f.prices(fields[0], fields[1], fields[2]);
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(f.db.count(u"feiyong"_s), 0);
    }

    void clearButtonsClearOnlyTheirOwnList()
    {
        Fixture f;
        f.list(u"feeList"_s)->appendRow({u"a"_s});
        f.list(u"rentList"_s)->appendRow({u"b"_s});
        f.press(u"clearFeeListButton"_s);
        QCOMPARE(f.list(u"feeList"_s)->rowCount(), 0);
        QCOMPARE(f.list(u"rentList"_s)->rowCount(), 1);
        f.press(u"clearRentListButton"_s);
        QCOMPARE(f.list(u"rentList"_s)->rowCount(), 0);
    }

    void utilitySettlementBillsTheConsumption()
    {
        Fixture f;
        f.standard(u"2.5,0.5,120"_s);
        f.room(u"O'6"_s, 100, 200);
        f.settleUtility(u"O'6"_s, u"110"_s, u"250"_s);
        QCOMPARE(f.answers->texts(), QStringList());
        QCOMPARE(f.db.rows(kFeeTables), Rows({{u"O'6"_s, u"2004-03-05"_s, u"110"_s, u"250"_s}, {u"O'6"_s, u"2004-03-05"_s, u"25"_s, u"25"_s},
                                              {u"O'6"_s, u"110"_s, u"250"_s, u"0"_s}}));
        QCOMPARE(f.list(u"feeList"_s)->rowTexts(0), QStringList({u"O'6"_s, u"2004-03-05"_s, u"25"_s, u"25"_s, u"50"_s}));
        f.settleUtility(u"O'6"_s, u"125"_s, u"330"_s, {2004, 4, 5});
        f.settleUtility(u"O'6"_s, u"125"_s, u"330"_s, {2004, 5, 5});
        f.press(u"listFeesButton"_s);
        QCOMPARE(f.list(u"feeList"_s)->rowCount(), 3);
        QCOMPARE(f.list(u"feeList"_s)->rowTexts(1), QStringList({u"O'6"_s, u"2004-04-05"_s, u"37.5"_s, u"40"_s, u"77.5"_s}));
        QCOMPARE(f.list(u"feeList"_s)->rowTexts(2), QStringList({u"O'6"_s, u"2004-05-05"_s, u"0"_s, u"0"_s, u"0"_s}));
    }

    void utilityTotalIsRoundedFromTheExactSum()
    {
        Fixture f;
        f.standard(u"0.1,0.6,1"_s);
        f.room(u"6-101"_s, 0, 0);
        f.settleUtility(u"6-101"_s, u"3"_s, u"11"_s);
        QCOMPARE(f.list(u"feeList"_s)->rowTexts(0).mid(2), QStringList({u"0.3"_s, u"6.6"_s, u"6.9"_s}));
        QCOMPARE(f.db.rows(u"SELECT 总费用 FROM listfei"_s), Rows({{u"6.9"_s}}));
    }

    void utilityRefusalsComeInOrderAndWriteNothing_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");
        const QString range = u"请输入一个大于0小于999999的数！"_s;
        const QString unknown = u"您输入的房间号码还没有被初始化，请查询后输入！"_s;
        const QString lower = u"现在的表数小于上次的表数，请核查后在结算！"_s;
        const QString twice = u"同一日期对同一房间已经操作超过一次，不允许这样操作！"_s;
        QTest::newRow("no room") << QStringList{u""_s, u"0"_s, u"0"_s} << u"请输入房间号码！"_s;
        QTest::newRow("water 0") << QStringList{u"9"_s, u"0"_s, u"5"_s} << range;
        QTest::newRow("power 1000000") << QStringList{u"9"_s, u"5"_s, u"1000000"_s} << range;
        QTest::newRow("unknown room") << QStringList{u"9"_s, u"5"_s, u"5"_s} << unknown;
        QTest::newRow("lower before twice") << QStringList{u"A"_s, u"105"_s, u"260"_s} << lower;
        QTest::newRow("twice") << QStringList{u"A"_s, u"120"_s, u"260"_s} << twice;
        QTest::newRow("max accepted, twice") << QStringList{u"A"_s, u"999999"_s, u"999999"_s} << twice;
        QTest::newRow("reading over form range") << QStringList{u"A"_s, u"10000000"_s, u"1"_s}
                                                 << u"请输入一个介于 0 和 9999999 之间的整数。"_s;
        QTest::newRow("negative reading") << QStringList{u""_s, u"1"_s, u"-1"_s}
                                          << u"请输入一个介于 0 和 9999999 之间的整数。"_s;
        QTest::newRow("unknown room before standard") << QStringList{u"9"_s, u"5"_s, u"5"_s, u"no standard"_s} << unknown;
        QTest::newRow("no standard") << QStringList{u"B"_s, u"120"_s, u"260"_s, u"no standard"_s} << kNoStandard;
    }
    void utilityRefusalsComeInOrderAndWriteNothing()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        Fixture f;
        f.room(u"A"_s, 110, 250);
        f.room(u"B"_s, 0, 0);
        f.db.exec(u"INSERT INTO feiinfo VALUES ('A','2004-03-05',110,250)"_s);
        if (fields.size() == 3)
            f.standard(u"1,1,1"_s);
        const Rows before = f.db.rows(kFeeTables);
        f.settleUtility(fields[0], fields[1], fields[2]);
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(f.db.rows(kFeeTables), before);
        f.answers->clear();
        f.settleUtility(u"A"_s, u"999999"_s, u"999999"_s, {2004, 3, 6});
        QCOMPARE(f.answers->texts(), fields.size() == 3 ? QStringList() : QStringList{kNoStandard});
    }

    void storeFailureUndoesTheWholeSettlement()
    {
        Fixture f;
        f.standard(u"1,1,100"_s);
        f.room(u"A"_s, 1, 1);
        f.resident(u"7"_s, u"2004-03-15"_s);
        f.db.exec(u"CREATE TRIGGER t1 BEFORE INSERT ON listfei BEGIN SELECT RAISE(ABORT, 'boom'); END"_s);
        f.db.exec(u"CREATE TRIGGER t2 BEFORE INSERT ON fanglist BEGIN SELECT RAISE(ABORT, 'boom'); END"_s);
        const Rows before = f.db.rows(kFeeTables) + f.db.rows(kRentTables);
        f.settleUtility(u"A"_s, u"5"_s, u"5"_s);
        f.settleRent(u"7"_s, {2004, 5, 15});
        QCOMPARE(f.answers->texts().size(), 2);
        QVERIFY(f.answers->texts()[0].startsWith(u"数据库操作失败!\n错误信息:"_s));
        QVERIFY(f.answers->last().startsWith(u"数据库操作失败!\n错误信息:"_s));
        QCOMPARE(f.db.rows(kFeeTables) + f.db.rows(kRentTables), before);
        f.db.exec(u"DROP TRIGGER t1"_s);
        f.db.exec(u"DROP TRIGGER t2"_s);
        f.settleUtility(u"A"_s, u"5"_s, u"5"_s);
        f.settleRent(u"7"_s, {2004, 5, 15});
        QCOMPARE(f.answers->texts().size(), 2);
        QCOMPARE(f.db.rows(kRentTables), Rows({{u"7"_s, u"2004- 5-15"_s, u"200"_s}, {u"7"_s, u"2004-05-15"_s, u"200"_s}}));
        QCOMPARE(f.db.count(u"listfei"_s), 1);
    }

    void rentWorkedExample()
    {
        Fixture f;
        f.standard(u"1,1,120"_s);
        f.resident(u"2004001"_s, u"2004-03-15"_s, u"欧阳长名字的人"_s);
        f.type(u"waterPriceEdit"_s, u"2.50"_s);
        f.settleRent(u"2004001"_s, {2004, 6, 20});
        QCOMPARE(f.list(u"rentList"_s)->rowTexts(0),
                 QStringList({u"欧阳长名字的人"_s, u"2004001"_s, u"6-101"_s, u"360"_s, u"2004-06-20"_s, u"2004- 6-15"_s}));
        QCOMPARE(f.edit(u"staffNameEdit"_s)->text(), u"欧阳长名字的人"_s);
        QCOMPARE(f.edit(u"waterPriceEdit"_s)->text(), u"2.5"_s);
        f.settleRent(u"2004001"_s, {2004, 8, 10});
        QCOMPARE(f.answers->texts(), QStringList()); // the long name shown never fails a later read
        QCOMPARE(f.db.rows(kRentTables), Rows({{u"2004001"_s, u"2004- 7-15"_s, u"480"_s}, {u"2004001"_s, u"2004-06-20"_s, u"360"_s},
                                               {u"2004001"_s, u"2004-08-10"_s, u"120"_s}}));
        QCOMPARE(f.list(u"rentList"_s)->rowCount(), 1);
    }

    void rentMonthsAndRefusals_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("paidBefore");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("same month") << u"2004-03-15"_s << false << QDate(2004, 3, 31) << kNotYetDue;
        QTest::newRow("earlier month") << u"2004-03-15"_s << false << QDate(2004, 2, 1) << kNotYetDue;
        QTest::newRow("day rule leaves 0") << u"2004-03-15"_s << false << QDate(2004, 4, 10) << kNotYetDue;
        QTest::newRow("earlier year") << u"2004-03-15"_s << false << QDate(2003, 12, 31) << kBeforeStart;
        QTest::newRow("over new year, 0") << u"2004-12-20"_s << true << QDate(2005, 1, 10) << kNotYetDue;
        QTest::newRow("over new year, 1") << u"2004-12-20"_s << true << QDate(2005, 1, 20) << u"1 2005- 1-20"_s;
        QTest::newRow("over new year, 2") << u"2004-12-20"_s << true << QDate(2005, 3, 5) << u"2 2005- 2-20"_s;
        QTest::newRow("back to december") << u"2004-11-20"_s << true << QDate(2005, 1, 10) << u"1 2004-12-20"_s;
        QTest::newRow("31st kept") << u"2004-03-31"_s << false << QDate(2004, 7, 1) << u"3 2004- 6-31"_s;
        QTest::newRow("counts from the 31st") << u"2004- 6-31"_s << true << QDate(2004, 7, 30) << kNotYetDue;
        QTest::newRow("paid-up text start") << u"2004- 6-31"_s << true << QDate(2004, 7, 31) << u"1 2004- 7-31"_s;
    }
    void rentMonthsAndRefusals()
    {
        QFETCH(QString, start);
        QFETCH(bool, paidBefore);
        QFETCH(QDate, date);
        QFETCH(QString, outcome);
        Fixture f;
        f.standard(u"1,1,100"_s);
        f.resident(u"7"_s, paidBefore ? u"2000-01-01"_s : start);
        if (paidBefore)
            f.db.exec(u"INSERT INTO fangset VALUES ('7','%1',50)"_s.arg(start));
        const Rows before = f.db.rows(kRentTables);
        f.settleRent(u"7"_s, date);
        if (outcome.startsWith(u"您"_s)) {
            QCOMPARE(f.answers->texts(), QStringList{outcome});
            QCOMPARE(f.db.rows(kRentTables), before);
            return;
        }
        const int months = outcome.left(1).toInt();
        QCOMPARE(f.db.rows(u"SELECT * FROM fangset"_s),
                 Rows({{u"7"_s, outcome.mid(2), QString::number(months * 100 + (paidBefore ? 50 : 0))}}));
        QCOMPARE(f.list(u"rentList"_s)->cellText(0, 3), QString::number(months * 100));
    }

    void rentRefusedWithoutResidentStandardOrRoomInTheNumbers_data()
    {
        QTest::addColumn<QString>("staffNo");
        QTest::addColumn<QString>("standard");
        QTest::addColumn<int>("previousTotal");
        QTest::addColumn<QString>("message");
        const QString unknown = u"您输入的工号还没有入住，无法计算房租！"_s;
        QTest::newRow("empty staff number") << u""_s << u"1,1,100"_s << -1 << unknown;
        QTest::newRow("not checked in") << u"8"_s << u"1,1,100"_s << -1 << unknown;
        QTest::newRow("no standard") << u"7"_s << u""_s << -1 << kNoStandard;
        QTest::newRow("charge beyond 32 bits") << u"7"_s << u"1,1,1000000000"_s << -1
                                               << u"本次应收的房租超出了能够记录的范围，无法结算！"_s;
        QTest::newRow("total beyond 32 bits") << u"7"_s << u"1,1,100"_s << 2147483600
                                              << u"房租合计超出了能够记录的范围，无法结算！"_s;
    }
    void rentRefusedWithoutResidentStandardOrRoomInTheNumbers()
    {
        QFETCH(QString, staffNo);
        QFETCH(QString, standard);
        QFETCH(int, previousTotal);
        QFETCH(QString, message);
        Fixture f;
        if (!standard.isEmpty())
            f.standard(standard);
        f.resident(u"7"_s, u"2004-01-15"_s);
        if (previousTotal >= 0)
            f.db.exec(u"INSERT INTO fangset VALUES ('7','2004- 1-15',%1)"_s.arg(previousTotal));
        const Rows before = f.db.rows(kRentTables);
        f.settleRent(staffNo, {2004, 4, 15});
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(f.db.rows(kRentTables), before);
        QCOMPARE(f.list(u"rentList"_s)->rowCount(), 0);
    }

    void rentListJoinsCurrentResidents()
    {
        Fixture f;
        f.standard(u"1,1,100"_s);
        f.resident(u"1"_s, u"2004-01-01"_s, u"甲"_s);
        f.resident(u"2"_s, u"2004-01-01"_s, u"乙"_s);
        f.settleRent(u"1"_s, {2004, 2, 1});
        f.settleRent(u"2"_s, {2004, 2, 1});
        f.settleRent(u"1"_s, {2004, 4, 1});
        f.db.exec(u"DELETE FROM personinfo WHERE 工号='2'"_s);
        f.press(u"listRentButton"_s);
        QCOMPARE(f.list(u"rentList"_s)->rowCount(), 2);
        QCOMPARE(f.list(u"rentList"_s)->rowTexts(0), QStringList({u"甲"_s, u"1"_s, u"6-101"_s, u"100"_s, u"2004-02-01"_s, u"2004- 4- 1"_s}));
        QCOMPARE(f.list(u"rentList"_s)->rowTexts(1), QStringList({u"甲"_s, u"1"_s, u"6-101"_s, u"200"_s, u"2004-04-01"_s, u"2004- 4- 1"_s}));
    }
};

QTEST_MAIN(TestFees)
#include "test_fees.moc"
