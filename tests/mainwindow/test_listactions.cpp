#include "kit/bills.h"
#include "kit/listactions.h"
#include "kit/listexport.h"
#include "kit/listprint.h"
#include "mainwindow/cdormdlg.h"
#include "pages/fees/cdialog4.h"
#include "support/testsupport.h"

#include <QAction>
#include <QClipboard>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QXmlStreamReader>

using namespace orv;
using orv::test::TestDatabase;

namespace {

const QStringList kHeader = {QStringLiteral(" 姓  名"), QStringLiteral("工号"), QStringLiteral("备注"),
                             QStringLiteral("金额")};
const QList<QStringList> kRows = {
    {QStringLiteral("张三"), QStringLiteral("007"), QStringLiteral("O'Brien, \"老王\""), QStringLiteral("37.5")},
    {QStringLiteral("李四"), QStringLiteral("101"), QStringLiteral("第一行\n第二行"), QStringLiteral("2004- 6-15")},
    {QStringLiteral("王五"), QStringLiteral("-3"), QStringLiteral("tab\there"), QString()},
};

// A list over a plain model, as the pages' lists offer it through the item-view interface.
struct List {
    QStandardItemModel model;
    QTableView view;
    explicit List(const QList<QStringList> &rows = kRows)
    {
        model.setHorizontalHeaderLabels(kHeader);
        for (const QStringList &cells : rows) {
            QList<QStandardItem *> items;
            for (const QString &text : cells)
                items.append(new QStandardItem(text));
            model.appendRow(items);
        }
        view.setModel(&model);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        installListActions(&view, QStringLiteral("房租列表"), QStringLiteral("费用管理"));
    }
};

QByteArray unzipped(const QString &archive, const QString &member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, member});
    unzip.waitForFinished(60000);
    return unzip.readAllStandardOutput();
}

struct Sheet {
    QMap<QString, QString> cells; // by reference: "B3"
    QStringList numericCells;     // the references of cells stored as numbers
    bool frozenHeader = false;
};

// Reads the first sheet. The writer streams its rows, so text cells are inline, not shared.
Sheet readXlsx(const QString &path)
{
    Sheet sheet;
    QXmlStreamReader xml(unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString ref;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("pane"))
            sheet.frozenHeader = xml.attributes().value(QLatin1String("ySplit")) == QLatin1String("1");
        else if (xml.name() == QLatin1String("c"))
            ref = xml.attributes().value(QLatin1String("r")).toString();
        else if (xml.name() == QLatin1String("v"))
            sheet.numericCells.append(ref);
        if (xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t"))
            sheet.cells.insert(ref, xml.readElementText());
    }
    return sheet;
}

// The expected texts a PDF does not hold.
QStringList missingFrom(const QString &path, const QStringList &expected)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    pdftotext.waitForFinished(60000);
    // The CJK font maps some characters to their Kangxi radical twins; compatibility folding
    // brings both sides to one form.
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput())
                             .remove(QRegularExpression(QStringLiteral("\\s")))
                             .normalized(QString::NormalizationForm_KC);
    QStringList missing;
    for (const QString &line : expected) {
        if (!text.contains(line.normalized(QString::NormalizationForm_KC)))
            missing.append(line);
    }
    return missing;
}

QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class TestListActions final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exportsReadBackAsShown()
    {
        QTemporaryDir dir;
        List list;
        const QString csv = dir.filePath(QStringLiteral("list.csv"));
        QCOMPARE(writeCsv(csv, ListTable(&list.model)), QString());
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // A byte-order mark for spreadsheet programs, CRLF lines, quotes only where a field needs them.
        QCOMPARE(bytes, "\xEF\xBB\xBF" + QStringLiteral(" 姓  名,工号,备注,金额\r\n"
                                                        "张三,007,\"O'Brien, \"\"老王\"\"\",37.5\r\n"
                                                        "李四,101,\"第一行\n第二行\",2004- 6-15\r\n"
                                                        "王五,-3,tab\there,\r\n")
                                             .toUtf8());

        const QString path = dir.filePath(QStringLiteral("list.xlsx"));
        QCOMPARE(writeXlsx(path, QStringLiteral("房租列表"), ListTable(&list.model)), QString());
        const Sheet sheet = readXlsx(path);
        const QList<QStringList> shown = QList<QStringList>{kHeader} + kRows;
        for (int row = 0; row < shown.size(); ++row) {
            for (int column = 0; column < kHeader.size(); ++column)
                QCOMPARE(sheet.cells.value(QChar(u'A' + column) + QString::number(row + 1)), shown[row][column]);
        }
        QCOMPARE(sheet.cells.size(), 15); // the empty cell is left out
        // "007" and "2004- 6-15" would change as numbers; 101, 37.5 and -3 read back the same.
        QCOMPARE(sheet.numericCells, (QStringList{QStringLiteral("D2"), QStringLiteral("B3"), QStringLiteral("B4")}));
        QVERIFY(sheet.frozenHeader);
        QVERIFY(unzipped(path, QStringLiteral("xl/workbook.xml")).contains("name=\"房租列表\""));
        QCOMPARE(leftovers(dir.path()), (QStringList{QStringLiteral("list.csv"), QStringLiteral("list.xlsx")}));
    }

    void copyPutsRowsOnClipboard_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("expected");
        const QString header = QStringLiteral(" 姓  名\t工号\t备注\t金额\n");
        const QString second = QStringLiteral("李四\t101\t\"第一行\n第二行\"\t2004- 6-15\n");
        const QString third = QStringLiteral("王五\t-3\t\"tab\there\"\t\n");
        QTest::newRow("nothing selected: all rows")
            << QList<int>{} << header + QStringLiteral("张三\t007\t\"O'Brien, \"\"老王\"\"\"\t37.5\n") + second + third;
        QTest::newRow("two rows selected") << QList<int>{2, 1} << header + second + third;
    }

    void copyPutsRowsOnClipboard()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QString, expected);
        List list;
        list.view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list.view));
        for (int row : selected)
            list.view.selectionModel()->select(list.model.index(row, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::clipboard()->clear();
        list.view.setFocus();
        QTest::keyClick(&list.view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), expected);
    }

    void largeListExportsWholeOrNotAtAll()
    {
        QTemporaryDir dir;
        constexpr int kCount = 100000;
        QList<QStringList> rows;
        rows.reserve(kCount);
        for (int i = 0; i < kCount; ++i)
            rows.append({QStringLiteral("住客%1").arg(i), QString::number(i), QStringLiteral("6-8-%1").arg(i % 900),
                         QString::number(i % 977) + QStringLiteral(".5")});
        List list(rows);
        const ListTable table(&list.model);
        const ExportProgress cancelAtOnce = [](int) { return false; };
        QCOMPARE(writeCsv(dir.filePath(QStringLiteral("a.csv")), table, cancelAtOnce), exportCancelledText());
        QCOMPARE(writeXlsx(dir.filePath(QStringLiteral("a.xlsx")), QStringLiteral("列表"), table, cancelAtOnce),
                 exportCancelledText());
        QCOMPARE(leftovers(dir.path()), QStringList());
        // A folder that cannot exist: told, nothing written.
        QVERIFY(!writeXlsx(dir.filePath(QStringLiteral("no/such/a.xlsx")), QStringLiteral("列表"), table).isEmpty());
        QVERIFY(!writeCsv(dir.filePath(QStringLiteral("no/such/a.csv")), table).isEmpty());

        int lastReport = 0;
        const ExportProgress track = [&lastReport](int written) {
            lastReport = written;
            return true;
        };
        const QString csv = dir.filePath(QStringLiteral("big.csv"));
        QCOMPARE(writeCsv(csv, table, track), QString());
        QCOMPARE(lastReport, kCount);
        const QString xlsx = dir.filePath(QStringLiteral("big.xlsx"));
        QCOMPARE(writeXlsx(xlsx, QStringLiteral("列表"), table), QString());
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("\r\n"), kCount + 1);
        const QByteArray sheet = unzipped(xlsx, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(sheet.contains("<row r=\"100001\""));
        QVERIFY(sheet.contains("住客99999"));
    }

    void billAndReceiptHoldTheirFigures()
    {
        TestDatabase db;
        db.exec(QStringLiteral("INSERT INTO feiyong VALUES (2.5, 0.6, 120)"));
        db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('6-101','男','1','2','3',4,110,250,1,3)"));
        db.exec(QStringLiteral("INSERT INTO feiinfo VALUES ('6-101','2004-02-05',100,200)"));
        db.exec(QStringLiteral("INSERT INTO feiinfo VALUES ('6-101','2004-03-05',110,250)"));
        db.exec(QStringLiteral("INSERT INTO listfei VALUES ('6-101','2004-03-05',25,30,55)"));
        db.exec(
            QStringLiteral("INSERT INTO personinfo VALUES ('欧阳''娜','女','系','2004101','1','2004-03-15','6-101')"));
        db.exec(QStringLiteral("INSERT INTO fanglist VALUES ('2004101','2004-06-20',360)"));
        db.exec(QStringLiteral("INSERT INTO fangset VALUES ('2004101','2004- 7-15',480)"));
        test::Answers answers;
        CDialog4 page(db.connection());
        test::click(test::child<QPushButton>(&page, QStringLiteral("listFeesButton")));
        test::click(test::child<QPushButton>(&page, QStringLiteral("listRentButton")));
        auto *feeList = test::child<QAbstractItemView>(&page, QStringLiteral("feeList"));
        auto *rentList = test::child<QAbstractItemView>(&page, QStringLiteral("rentList"));
        QTemporaryDir dir;

        const QString bill = dir.filePath(QStringLiteral("bill.pdf"));
        writePdf(bill, QStringLiteral("水电费账单"), utilityBillDocument(db.connection(), feeList->model(), 0));
        QCOMPARE(missingFrom(bill, {QStringLiteral("水电费账单"), QStringLiteral("房间号码：6-101"),
                                    QStringLiteral("结算日期：2004-03-05"), QStringLiteral("上次结算日期：2004-02-05"),
                                    QStringLiteral("水费10011010吨2.50元/吨25.00元"),
                                    QStringLiteral("电费20025050度0.60元/度30.00元"), QStringLiteral("合计：55.00元")}),
                 QStringList());
        const QString receipt = dir.filePath(QStringLiteral("receipt.pdf"));
        writePdf(receipt, QStringLiteral("房租收据"), rentReceiptDocument(db.connection(), rentList->model(), 0));
        QCOMPARE(missingFrom(receipt, {QStringLiteral("房租收据"), QStringLiteral("姓名：欧阳'娜"),
                                       QStringLiteral("工号：2004101"), QStringLiteral("房间号码：6-101"),
                                       QStringLiteral("结算日期：2004-06-20"), QStringLiteral("本次房租：360.00元"),
                                       QStringLiteral("房租已交至：2004-07-15")}),
                 QStringList());
    }

    void everyListAndTheDataButtonHaveTheirActions()
    {
        TestDatabase db;
        CDormDlg window(db.connection());
        const QList<QAbstractItemView *> lists = window.findChildren<QAbstractItemView *>();
        int withActions = 0;
        for (QAbstractItemView *list : lists) {
            if (list->findChild<QAction *>(QStringLiteral("copyAction"))) {
                ++withActions;
                QCOMPARE(list->contextMenuPolicy(), Qt::CustomContextMenu);
            }
        }
        QCOMPARE(withActions, 6);
        auto *data = test::child<QPushButton>(&window, QStringLiteral("dataButton"));
        QVERIFY(data->menu()->findChild<QAction *>(QStringLiteral("backupAction")));
        QVERIFY(data->menu()->findChild<QAction *>(QStringLiteral("restoreAction")));
    }
};

QTEST_MAIN(TestListActions)
#include "test_listactions.moc"
