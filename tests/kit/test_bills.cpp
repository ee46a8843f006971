#include "kit/bills.h"
#include "kit/reportlist.h"
#include "operations/fees.h"
#include "pages/fees/feespage.h"
#include "support/testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace orv;

namespace {

QString folded(QString text)
{
    return text.remove(QRegularExpression(u"\\s"_s));
}

// The text a document prints, as pdftotext reads it from the PDF it writes (what search, copy and
// screen readers get), without white space.
QString documentText(const PaintDocument &document)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"document.pdf"_s);
    writePdf(pdf, u"document"_s, document);
    QProcess process;
    process.start(u"pdftotext"_s, {pdf, u"-"_s});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        test::fail(u"pdftotext did not read the document"_s, __FILE__, __LINE__);
    return folded(QString::fromUtf8(process.readAllStandardOutput()));
}

// The fee page on a fresh database, every box answered.
struct Fixture {
    test::TestDatabase db;
    test::Answers answers;
    FeesPage page{db.connection()};
    ReportList *feeList = test::child<ReportList>(&page, u"feeList"_s);
    ReportList *rentList = test::child<ReportList>(&page, u"rentList"_s);

    // Each settlement as "yyyy-MM-dd|water|power" on room 6-101, base readings 100 and 200.
    void settleUtility(const QStringList &settlements)
    {
        db.exec(u"INSERT INTO floorinfo VALUES ('6-101','男','1','2','3',4,100,200,1,3)"_s);
        for (const QString &settlement : settlements) {
            const QStringList f = settlement.split(u'|');
            const ops::Outcome outcome = ops::settleUtility(
                db.connection(), {QDate::fromString(f[0], Qt::ISODate), u"6-101"_s, f[1].toInt(), f[2].toInt()});
            QVERIFY(outcome.done);
        }
    }
    // The bill of the fee list's row of that date, after listing every settlement.
    QString billOn(const QString &date)
    {
        test::press(&page, u"listFeesButton"_s);
        return documentText(utilityBillDocument(db.connection(), feeList->model(), rowOf(feeList, 1, date)));
    }
    QString receiptOn(const QString &date)
    {
        test::press(&page, u"listRentButton"_s);
        return documentText(rentReceiptDocument(db.connection(), rentList->model(), rowOf(rentList, 4, date)));
    }
    static int rowOf(ReportList *list, int column, const QString &text)
    {
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            if (list->model()->index(row, column).data().toString() == text)
                return row;
        }
        test::fail(u"no list row of "_s + text, __FILE__, __LINE__);
    }
};

void verifyHolds(const QString &text, const QStringList &lines)
{
    for (const QString &line : lines)
        QVERIFY2(text.contains(folded(line)), qPrintable(line + u" not in "_s + text));
}

} // namespace

class TestBills final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each amount is rounded to the 分 from the printed price times the printed use, half away
    // from zero; the total is the sum of the printed amounts.
    void billAddsUpInFen_data()
    {
        QTest::addColumn<QString>("standard"); // water, electricity, rent
        QTest::addColumn<QString>("readings"); // water|power, from 100 and 200
        QTest::addColumn<QStringList>("lines");
        // The singles' own figures, each rounded alone, gave 2.85 + 24.41 = 27.27.
        QTest::newRow("2.85 and 0.4883") << u"2.85,0.4883,120"_s << u"101|250"_s
                                         << QStringList{u"水费 100 101 1 吨 2.85 元/吨 2.85 元"_s,
                                                        u"电费 200 250 50 度 0.4883 元/度 24.42 元"_s,
                                                        u"水费：2.85 元"_s, u"电费：24.42 元"_s, u"合计：27.27 元"_s};
        // 0.005 is 0.00499999989 as a single: the printed price, not the single, is rounded.
        QTest::newRow("a half 分 the single stores below")
            << u"0.005,0.6,120"_s << u"101|201"_s
            << QStringList{u"1 吨 0.005 元/吨 0.01 元"_s, u"1 度 0.60 元/度 0.60 元"_s, u"合计：0.61 元"_s};
    }
    void billAddsUpInFen()
    {
        QFETCH(QString, standard);
        QFETCH(QString, readings);
        QFETCH(QStringList, lines);
        Fixture f;
        f.db.exec(u"INSERT INTO feiyong VALUES (%1)"_s.arg(standard));
        f.settleUtility({u"2004-03-05|"_s + readings});
        verifyHolds(f.billOn(u"2004-03-05"_s), lines);
        QCOMPARE(f.answers->texts(), QStringList());
    }

    // The previous reading is what the settlement was charged from: the room's base readings for
    // its first, the settlement entered before it otherwise, whatever their dates. Settlements made
    // before readings were kept fall back to the order their rows were entered in.
    void previousReadings_data()
    {
        QTest::addColumn<QStringList>("settlements");
        QTest::addColumn<bool>("keptBefore"); // false: settled before readings were kept
        QTest::addColumn<QString>("printed"); // the date of the bill printed
        QTest::addColumn<QStringList>("lines");
        const QStringList backDated = {u"2004-03-05|110|250"_s, u"2004-02-20|120|260"_s};
        const QStringList backDatedLines = {u"上次结算日期：2004-03-05"_s, u"水费 110 120 10 吨"_s,
                                            u"电费 250 260 10 度"_s, u"合计：31.00 元"_s};
        QTest::newRow("back-dated, entered later") << backDated << true << u"2004-02-20"_s << backDatedLines;
        QTest::newRow("back-dated, settled before readings were kept")
            << backDated << false << u"2004-02-20"_s << backDatedLines;
        QTest::newRow("first bill from the base readings")
            << QStringList{u"2004-03-05|103|211"_s} << true << u"2004-03-05"_s
            << QStringList{u"上次结算日期：无（首次结算，上次表数为房间底数）"_s,
                           u"水费 100 103 3 吨 2.50 元/吨 7.50 元"_s, u"电费 200 211 11 度 0.60 元/度 6.60 元"_s,
                           u"合计：14.10 元"_s};
    }
    void previousReadings()
    {
        QFETCH(QStringList, settlements);
        QFETCH(bool, keptBefore);
        QFETCH(QString, printed);
        QFETCH(QStringList, lines);
        Fixture f;
        f.db.exec(u"INSERT INTO feiyong VALUES (2.5,0.6,120)"_s);
        f.settleUtility(settlements);
        QCOMPARE(f.db.count(u"settlement_readings"_s), settlements.size());
        if (!keptBefore)
            f.db.exec(u"DELETE FROM settlement_readings"_s);
        verifyHolds(f.billOn(printed), lines);
    }

    // A settlement from before readings were kept, after the standard changed: the stored fee is
    // what it charged, and the price it was charged at is not on record.
    void anEarlierStandardIsNotPrinted()
    {
        Fixture f;
        f.db.exec(u"INSERT INTO feiyong VALUES (1,1,120);"
                  "INSERT INTO feiinfo VALUES ('6-101','2004-02-05',100,200),('6-101','2004-03-05',110,250);"
                  "INSERT INTO listfei VALUES ('6-101','2004-03-05',25,30,55)"_s);
        verifyHolds(f.billOn(u"2004-03-05"_s),
                    {u"水费 100 110 10 吨 — 25.00 元"_s, u"电费 200 250 50 度 — 30.00 元"_s, u"合计：55.00 元"_s});
    }

    // A receipt states the period of its own settlement; one settled before periods were kept
    // says why it cannot.
    void receiptStatesItsOwnPeriod_data()
    {
        QTest::addColumn<QString>("printed"); // the settlement date of the row printed
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("absent");
        QTest::newRow("earlier row") << u"2004-06-20"_s
                                     << QStringList{u"工号：S001"_s, u"房租期间：2004-03-15 至 2004-06-15（3 个月）"_s,
                                                    u"本次房租：360.00 元"_s, u"房租已交至：2004-06-15"_s}
                                     << u"2004-07-15"_s;
        QTest::newRow("latest row") << u"2004-08-10"_s
                                    << QStringList{u"房租期间：2004-06-15 至 2004-07-15（1 个月）"_s,
                                                   u"本次房租：120.00 元"_s, u"房租已交至：2004-07-15"_s}
                                    << u"这笔房租"_s;
        QTest::newRow("settled before periods were kept")
            << u"2004-01-10"_s
            << QStringList{u"本次房租：120.00 元"_s,
                           u"这笔房租结算于本程序开始记录房租期间之前，收据无法注明它交至的日期。"_s}
            << u"房租已交至"_s;
    }
    void receiptStatesItsOwnPeriod()
    {
        QFETCH(QString, printed);
        QFETCH(QStringList, lines);
        QFETCH(QString, absent);
        Fixture f;
        f.db.exec(u"INSERT INTO feiyong VALUES (1,1,120);"
                  "INSERT INTO personinfo VALUES ('张伟','男','系','S001','1','2004-03-15','6-101');"
                  "INSERT INTO personinfo VALUES ('李娜','女','系','2003009','1','2003-12-10','6-102');"
                  "INSERT INTO fangset VALUES ('2003009','2004- 1-10',120);"
                  "INSERT INTO fanglist VALUES ('2003009','2004-01-10',120)"_s);
        QVERIFY(ops::settleRent(f.db.connection(), {QDate(2004, 6, 20), u"S001"_s}).done);
        QVERIFY(ops::settleRent(f.db.connection(), {QDate(2004, 8, 10), u"S001"_s}).done);
        const QString text = f.receiptOn(printed);
        verifyHolds(text, lines);
        QVERIFY2(!text.contains(folded(absent)), qPrintable(text));
    }

    // A file without our tables that cannot be written (made by an earlier build, on a read-only
    // medium) still prints, from the rows it has.
    void aFileWithoutTheKeptRecordsStillPrints()
    {
        Fixture f;
        f.db.exec(u"INSERT INTO feiyong VALUES (2.5,0.6,120);"
                  "INSERT INTO feiinfo VALUES ('6-101','2004-02-05',100,200),('6-101','2004-03-05',110,250);"
                  "INSERT INTO listfei VALUES ('6-101','2004-03-05',25,30,55);"
                  "INSERT INTO personinfo VALUES ('张伟','男','系','2004001','1','2004-03-15','6-101');"
                  "INSERT INTO fangset VALUES ('2004001','2004- 6-15',360);"
                  "INSERT INTO fanglist VALUES ('2004001','2004-06-20',360);"
                  "DROP TABLE settlement_readings; DROP TABLE rent_periods; PRAGMA query_only = 1"_s);
        verifyHolds(f.billOn(u"2004-03-05"_s),
                    {u"上次结算日期：2004-02-05"_s, u"水费 100 110 10 吨 2.50 元/吨 25.00 元"_s, u"合计：55.00 元"_s});
        verifyHolds(f.receiptOn(u"2004-06-20"_s),
                    {u"本次房租：360.00 元"_s, u"这笔房租结算于本程序开始记录房租期间之前"_s});
        QCOMPARE(f.answers->texts(), QStringList());
    }

    // Slips print one to a page, each with its own resident's values.
    void slipsPrintOneToAPage()
    {
        const QList<Slip> slips = {
            {u"房租催缴单"_s, {{u"姓名："_s, u"张伟"_s}}, u"应交房租："_s, u"240 元"_s, u"请尽快交纳。"_s},
            {u"房租催缴单"_s, {{u"姓名："_s, u"李娜"_s}}, {}, {}, {}},
        };
        QTemporaryDir dir;
        const QString pdf = dir.filePath(u"slips.pdf"_s);
        writePdf(pdf, u"slips"_s, slipsDocument(slips));
        QProcess process;
        process.start(u"pdftotext"_s, {pdf, u"-"_s});
        QVERIFY(process.waitForFinished(60000));
        const QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(u'\f', Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), 2);
        QVERIFY(folded(pages[0]).contains(u"姓名：张伟"_s) && folded(pages[0]).contains(u"应交房租：240元"_s));
        QVERIFY(folded(pages[1]).contains(u"姓名：李娜"_s) && !folded(pages[1]).contains(u"张伟"_s));
    }
};

QTEST_MAIN(TestBills)
#include "test_bills.moc"
