#include "kit/fileplaces.h"
#include "kit/reportlist.h"
#include "mainwindow/chartsdialog.h"
#include "mainwindow/mainwindow.h"
#include "operations/accommodation.h"
#include "operations/fees.h"
#include "pagedriver.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

using namespace orv;
using namespace orv::test;
using namespace Qt::StringLiterals;

namespace {

// The window the button opened over the page, once it is up.
QDialog *opened(QWidget *page, const QString &objectName)
{
    auto *dialog = page->findChild<QDialog *>(objectName);
    if (!dialog || !dialog->isVisible())
        fail(u"no window "_s + objectName, __FILE__, __LINE__);
    return dialog;
}

QStringList rows(ReportList *list)
{
    QStringList lines;
    for (int row = 0; row < list->rowCount(); ++row)
        lines.append(list->rowTexts(row).join(u','));
    return lines;
}

} // namespace

class TestMemoryUi final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // From the query page: a resident's stays by staff number, and who lived in the room on a day;
    // what is exported from either is logged under the page's operator.
    void staysAndResidentsOfADay()
    {
        TestDatabase db;
        db.addRoom(u"A"_s);
        db.connection().setOperatorName(u"张三"_s);
        QVERIFY(ops::checkIn(db.connection(), {u"甲"_s, u"男"_s, u"系"_s, u"P1"_s, u"139"_s, QDate(2026, 3, 1), u"A"_s})
                    .done);
        Answers answers;
        MainWindow window(db.connection());
        QWidget *queries = page(window, 2);

        click(child<QPushButton>(queries, u"staysButton"_s));
        QDialog *stays = opened(queries, u"staysDialog"_s);
        child<QLineEdit>(stays, u"staffNoEdit"_s)->setText(u"P1"_s);
        click(child<QPushButton>(stays, u"findButton"_s));
        QCOMPARE(rows(child<ReportList>(stays, u"reportList"_s)), QStringList{u"P1,甲,系,A,2026-03-01,,张三,,"_s});

        click(child<QPushButton>(queries, u"livingOnButton"_s));
        QDialog *living = opened(queries, u"livingOnDialog"_s);
        click(child<QPushButton>(living, u"findButton"_s)); // today, every room
        QCOMPARE(rows(child<ReportList>(living, u"reportList"_s)).size(), 1);

        logExported(child<ReportList>(living, u"reportList"_s), u"/tmp/某日住户.csv"_s, 1);
        QCOMPARE(db.text(u"SELECT action, target FROM oplog ORDER BY id DESC LIMIT 1"_s), u"导出,某日住户.csv"_s);
        QCOMPARE(answers->texts(), QStringList());
    }

    // From the fee page: the arrears list opens filled; a fee-list row's bill opens divided.
    void arrearsAndABillsShares()
    {
        TestDatabase db;
        db.addRoom(u"A"_s, 1);
        db.exec(u"INSERT INTO feiyong VALUES (2.5, 0.6, 120); INSERT INTO numinfo VALUES ('A', 1);"
                "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','2026-01-01','A')"_s);
        QVERIFY(ops::settleUtility(db.connection(), {QDate(2026, 3, 1), u"A"_s, 110, 210}).done);
        Answers answers;
        MainWindow window(db.connection());
        QWidget *fees = page(window, 3);

        click(child<QPushButton>(fees, u"arrearsButton"_s));
        QDialog *arrears = opened(fees, u"arrearsDialog"_s);
        const QStringList owed = rows(child<ReportList>(arrears, u"reportList"_s));
        QCOMPARE(owed.size(), 1);
        QVERIFY2(owed[0].startsWith(u"甲,P1,A,系,,2026-01-01,"_s), qPrintable(owed[0]));
        QVERIFY(
            child<QLabel>(arrears, u"summaryLabel"_s)->text().startsWith(u"1 人欠交房租，按现行标准每人每月 120 元"_s));

        click(child<QPushButton>(fees, u"listFeesButton"_s));
        auto *feeList = child<ReportList>(fees, u"feeList"_s);
        feeList->selectRow(0);
        feeList->findChild<QAction *>(u"shareBillAction"_s)->trigger();
        QDialog *shares = opened(fees, u"billSharesDialog"_s);
        QCOMPARE(rows(child<ReportList>(shares, u"reportList"_s)),
                 QStringList{u"P1,甲,2026-01-01,2026-03-01,59,31.00"_s});
        QCOMPARE(child<QLabel>(shares, u"summaryLabel"_s)->text(),
                 u"房间“A”2026-03-01 结算的账单 31.00 元，自 2026-01-01 至 2026-03-01，按住宿天数分摊。"_s);
        QCOMPARE(answers->texts(), QStringList());
    }

    // The charts open from the 数据 menu's window with the numbers under each; the chart in view
    // saves as an image and as a PDF.
    void chartsShowTheirNumbersAndSave()
    {
        TestDatabase db;
        db.addRoom(u"6-101"_s);
        Answers answers;
        ChartsDialog charts(db.connection());
        QCOMPARE(child<QTabWidget>(&charts, QString())->count(), 3);
        QCOMPARE(child<ReportList>(&charts, u"occupancyList"_s)->rowCount(), 26); // 24 months, beds, free
        QCOMPARE(child<ReportList>(&charts, u"chargesList"_s)->rowCount(), 24);
        QCOMPARE(rows(child<ReportList>(&charts, u"buildingsList"_s)), QStringList{u"6,1,9,0"_s});
        QTemporaryDir dir;
        for (const QString &name : {u"chart.png"_s, u"chart.pdf"_s}) {
            QVERIFY(charts.saveChart(dir.filePath(name)));
            QVERIFY(QFileInfo(dir.filePath(name)).size() > 1000);
        }
        QCOMPARE(answers->texts(), QStringList());
    }
};

QTEST_MAIN(TestMemoryUi)
#include "test_memory_ui.moc"
