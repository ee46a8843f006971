#include "data/texts.h"
#include "kit/reportlist.h"
#include "pages/fees/feespage.h"
#include "support/teststore.h"
#include "support/testsupport.h"

#include <QLabel>
#include <QLineEdit>

using namespace orv;
using namespace Qt::StringLiterals;

namespace {

const QString kAskFirst = u"目前还没有设置费用标准，你要继续设置吗？"_s;
const QString kStandard = u"SELECT * FROM feiyong"_s;
// Read one after another rather than as one union: a server will not put a date and a reading in one column.
const QStringList kFeeTables = {u"SELECT * FROM feiinfo"_s, u"SELECT 房间号码,日期,水费,电费 FROM listfei"_s,
                                u"SELECT 房间号码,水表底数,电表底数,0 FROM floorinfo"_s};
const QString kRentTables = u"SELECT 工号,日期,房租合计 FROM fangset UNION ALL SELECT 工号,日期,房租 FROM fanglist"_s;

// The fee page on a fresh database, every box answered.
struct Fixture {
    test::TestStore db;
    test::Answers answers;
    FeesPage page{db.connection()};
    ReportList *feeList = test::child<ReportList>(&page, u"feeList"_s);
    ReportList *rentList = test::child<ReportList>(&page, u"rentList"_s);

    void press(const QString &name) { test::press(&page, name); }
    // The fee tables' rows in turn, as "a,b|c,d".
    QString feeTables()
    {
        QStringList rows;
        for (const QString &table : kFeeTables) {
            if (const QString text = db.text(table); !text.isEmpty())
                rows.append(text);
        }
        return rows.join(u'|');
    }
    void standard(const QString &values) { db.exec(u"INSERT INTO feiyong VALUES (%1)"_s.arg(values)); }
    // Base readings as "water,power".
    void room(const QString &name, const QString &base)
    {
        db.exec(u"INSERT INTO floorinfo VALUES ('%1','男','1','2','3',4,%2,1,3)"_s.arg(sqlQuote(name), base));
    }
    void resident(const QString &no, const QString &checkIn, const QString &name = u"张伟"_s)
    {
        db.exec(u"INSERT INTO personinfo VALUES ('%1','男','系','%2','1','%3','6-101')"_s.arg(name, no, checkIn));
    }
    // Room, water and electricity readings as "room|w|p".
    void settleUtility(const QString &fields, QDate on = {2004, 3, 5})
    {
        test::settleUtility(&page, on, fields.section(u'|', 0, 0), fields.section(u'|', 1, 1),
                            fields.section(u'|', 2, 2));
    }
};

} // namespace

class TestFees : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void standard_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("cancelAt"); // the box answered Cancel, -1 for none
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("row"); // the table's one row afterwards, empty for none
        const QString second = u"你设置的水费为：2.50元/吨  电费为：0.60元/度  房租费为：120元/人吗？"_s;
        const QString change =
            u"目前的水费为：2.50元/吨   目前的电费为：0.60元/度   目前的房租费为：120元/人\n\n\n"
            u"你确定要修改为现在的水费为：100.00元/吨  电费为：12.35元/度  房租费为：10000元/人吗？"_s;
        QTest::newRow("change, bounds kept")
            << u"2.5,0.6,120"_s << u"100|12.345|10000"_s << -1 << QStringList{change} << u"100,12.345,10000"_s;
        QTest::newRow("cancel second box")
            << QString() << u"2.5|.6|120"_s << 1 << QStringList{kAskFirst, second} << QString();
        QTest::newRow("refused") << QString() << u"0|0|0"_s << -1 << QStringList{u"请输入一个大于0小于100的数！"_s}
                                 << QString();
    }
    void standard()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(int, cancelAt);
        QFETCH(QStringList, boxes);
        QFETCH(QString, row);
        Fixture f;
        auto *line = test::child<QLabel>(&f.page, u"standardLine"_s);
        QCOMPARE(line->text(), u"当前标准：未设置"_s);
        QCOMPARE(test::child<QLineEdit>(&f.page, u"waterPriceEdit"_s)->text(), u"0"_s);
        if (!stored.isEmpty())
            f.standard(stored);
        for (int i = 0; i <= cancelAt; ++i)
            f.answers->queue(i == cancelAt ? MessageAnswer::Cancel : MessageAnswer::Ok);
        const QStringList values = typed.split(u'|');
        test::setStandard(&f.page, values[0], values[1], values[2]);
        QCOMPARE(f.answers->texts(), boxes);
        QCOMPARE(f.db.text(kStandard), row);
        // Whatever state the set was left in, the next setting still replaces the one row.
        test::setStandard(&f.page, u"5"_s, u"6.5"_s, u"7"_s);
        QCOMPARE(f.db.text(kStandard), u"5,6.5,7"_s);
        QCOMPARE(line->text(), u"当前标准：水费 5 元/吨，电费 6.5 元/度，房租 7 元/人·月"_s);
    }

    void utilitySettlementBillsTheConsumption()
    {
        Fixture f;
        f.standard(u"0.1,0.6,120"_s);
        f.room(u"O'6"_s, u"100,200"_s);
        f.settleUtility(u"O'6|103|211"_s);
        QCOMPARE(f.feeTables(), u"O'6,2004-03-05,103,211|O'6,2004-03-05,0.3,6.6|O'6,103,211,0"_s);
        QCOMPARE(f.feeList->rowTexts(0).join(u'|'), u"O'6|2004-03-05|0.3|6.6|6.9"_s);
        f.settleUtility(u"O'6|118|291"_s, {2004, 4, 5});
        f.press(u"listFeesButton"_s);
        QCOMPARE(f.answers->texts(), QStringList());
        QCOMPARE(f.feeList->rowCount(), 2);
        QCOMPARE(f.feeList->rowTexts(1).join(u'|'), u"O'6|2004-04-05|1.5|48|49.5"_s);
        f.press(u"clearFeeListButton"_s);
        QCOMPARE(f.feeList->rowCount(), 0);
    }

    void utilityRefusalsWriteNothing_data()
    {
        QTest::addColumn<QString>("fields"); // room|water|power
        QTest::addColumn<QString>("message");
        QTest::newRow("refused") << u"A|105|260"_s << u"现在的表数小于上次的表数，请核查后在结算！"_s;
        QTest::newRow("negative reading ends the form") << u"|1|-1"_s << u"请输入一个介于 0 和 9999999 之间的整数。"_s;
    }
    void utilityRefusalsWriteNothing()
    {
        QFETCH(QString, fields);
        QFETCH(QString, message);
        Fixture f;
        f.room(u"A"_s, u"110,250"_s);
        f.standard(u"1,1,1"_s);
        const QString before = f.feeTables();
        f.settleUtility(fields);
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(f.feeTables(), before);
    }

    void rentWorkedExample()
    {
        Fixture f;
        f.standard(u"1,1,120"_s);
        f.resident(u"2004001"_s, u"2004-03-15"_s, u"欧阳长名字的人"_s);
        test::settleRent(&f.page, QDate{2004, 6, 20}, u"2004001"_s);
        QCOMPARE(f.rentList->rowTexts(0).join(u'|'), u"欧阳长名字的人|2004001|6-101|360|2004-06-20|2004- 6-15"_s);
        QCOMPARE(test::child<QLineEdit>(&f.page, u"staffNameEdit"_s)->text(), u"欧阳长名字的人"_s);
        test::settleRent(&f.page, QDate{2004, 8, 10}, u"2004001"_s);
        QCOMPARE(f.answers->texts(), QStringList()); // the long name shown never fails a later read
        QCOMPARE(f.db.text(kRentTables), u"2004001,2004- 7-15,480|2004001,2004-06-20,360|2004001,2004-08-10,120"_s);
        // The list shows only residents still living here, each with the date paid up to now.
        f.db.exec(
            u"INSERT INTO fangset VALUES ('9','2004- 9-1',100); INSERT INTO fanglist VALUES ('9','2004-08-01',100)"_s);
        f.press(u"listRentButton"_s);
        QCOMPARE(f.rentList->rowCount(), 2);
        QCOMPARE(f.rentList->rowTexts(0).join(u'|'), u"欧阳长名字的人|2004001|6-101|360|2004-06-20|2004- 7-15"_s);
    }

    void rentRefusalWritesNothing()
    {
        Fixture f;
        f.standard(u"1,1,120"_s);
        f.resident(u"7"_s, u"2004-03-15"_s);
        test::settleRent(&f.page, QDate(2004, 4, 10), u"7"_s);
        QCOMPARE(f.answers->texts(),
                 QStringList{
                     u"您输入的日期小于入住或上次结算时的日期或还没满一个月现在还不能够结算，请重新输入结算日期！"_s});
        QCOMPARE(f.rentList->rowCount(), 0);
        QCOMPARE(test::child<QLineEdit>(&f.page, u"staffNameEdit"_s)->text(), QString());
    }
};

QTEST_MAIN(TestFees)
#include "test_fees.moc"
