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
    QList<QStringList> rows;
    QStringList numericCells; // cell references stored as numbers
    bool frozenHeader = false;
};

// Reads the first sheet's cells (shared or inline strings, numbers) in row order.
Sheet readXlsx(const QString &path)
{
    QStringList shared;
    QXmlStreamReader strings(unzipped(path, QStringLiteral("xl/sharedStrings.xml")));
    while (!strings.atEnd()) {
        if (strings.readNext() == QXmlStreamReader::StartElement && strings.name() == QLatin1String("si"))
            shared.append(QString());
        else if (strings.isStartElement() && strings.name() == QLatin1String("t"))
            shared.last() += strings.readElementText();
    }
    Sheet sheet;
    QXmlStreamReader xml(unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString type;
    QString ref;
    int column = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("pane"))
            sheet.frozenHeader = xml.attributes().value(QLatin1String("ySplit")) == QLatin1String("1");
        if (xml.name() == QLatin1String("row"))
            sheet.rows.append(QStringList());
        if (xml.name() == QLatin1String("c")) {
            type = xml.attributes().value(QLatin1String("t")).toString();
            ref = xml.attributes().value(QLatin1String("r")).toString();
            column = ref.at(0).unicode() - 'A';
            while (sheet.rows.last().size() < column)
                sheet.rows.last().append(QString());
        }
        QString value;
        if (xml.name() == QLatin1String("v")) {
            value = xml.readElementText();
            if (type == QLatin1String("s"))
                value = shared.value(value.toInt());
            else
                sheet.numericCells.append(ref);
        } else if (xml.name() == QLatin1String("t")) {
            value = xml.readElementText();
        } else {
            continue;
        }
        sheet.rows.last().append(value);
    }
    for (QStringList &row : sheet.rows) {
        while (row.size() < kHeader.size())
            row.append(QString());
    }
    return sheet;
}

QString pdfText(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    pdftotext.waitForFinished(60000);
    // The CJK font maps some characters to their Kangxi radical twins; compatibility folding
    // brings both sides to one form.
    return QString::fromUtf8(pdftotext.readAllStandardOutput())
        .remove(QRegularExpression(QStringLiteral("\\s")))
        .normalized(QString::NormalizationForm_KC);
}

QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class TestListActions final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void csvReadsBackAsShown();
    void xlsxReadsBackAsShown();
    void copyPutsRowsOnClipboard_data();
    void copyPutsRowsOnClipboard();
    void cancelledExportLeavesNoFile();
    void largeListExportsWhole();
    void billAndReceiptHoldTheirFigures();
    void everyListAndTheDataButtonHaveTheirActions();
};

void TestListActions::csvReadsBackAsShown()
{
    QTemporaryDir dir;
    List list;
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    QCOMPARE(writeCsv(path, ListTable(&list.model)), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // A byte-order mark for spreadsheet programs, CRLF lines, quotes only where a field needs them.
    QCOMPARE(bytes, "\xEF\xBB\xBF" + QStringLiteral(" 姓  名,工号,备注,金额\r\n"
                                                    "张三,007,\"O'Brien, \"\"老王\"\"\",37.5\r\n"
                                                    "李四,101,\"第一行\n第二行\",2004- 6-15\r\n"
                                                    "王五,-3,tab\there,\r\n")
                                         .toUtf8());
}

void TestListActions::xlsxReadsBackAsShown()
{
    QTemporaryDir dir;
    List list;
    const QString path = dir.filePath(QStringLiteral("list.xlsx"));
    QCOMPARE(writeXlsx(path, QStringLiteral("房租列表"), ListTable(&list.model)), QString());
    const Sheet sheet = readXlsx(path);
    QCOMPARE(sheet.rows, QList<QStringList>{kHeader} + kRows);
    // "007" and "2004- 6-15" would change as numbers; 101, 37.5 and -3 read back the same.
    QCOMPARE(sheet.numericCells, (QStringList{QStringLiteral("D2"), QStringLiteral("B3"), QStringLiteral("B4")}));
    QVERIFY(sheet.frozenHeader);
    QVERIFY(unzipped(path, QStringLiteral("xl/workbook.xml")).contains("name=\"房租列表\""));
    QCOMPARE(leftovers(dir.path()), QStringList{QStringLiteral("list.xlsx")});
}

void TestListActions::copyPutsRowsOnClipboard_data()
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

void TestListActions::copyPutsRowsOnClipboard()
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

void TestListActions::cancelledExportLeavesNoFile()
{
    QTemporaryDir dir;
    QList<QStringList> rows;
    for (int i = 0; i < 3000; ++i)
        rows.append({QString::number(i), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")});
    List list(rows);
    const ExportProgress cancelAtOnce = [](int) { return false; };
    QCOMPARE(writeCsv(dir.filePath(QStringLiteral("a.csv")), ListTable(&list.model), cancelAtOnce),
             exportCancelledText());
    QCOMPARE(
        writeXlsx(dir.filePath(QStringLiteral("a.xlsx")), QStringLiteral("列表"), ListTable(&list.model), cancelAtOnce),
        exportCancelledText());
    QCOMPARE(leftovers(dir.path()), QStringList());
    // A folder that cannot exist: told, nothing written.
    QVERIFY(!writeXlsx(dir.filePath(QStringLiteral("no/such/a.xlsx")), QStringLiteral("列表"), ListTable(&list.model))
                 .isEmpty());
    QVERIFY(!writeCsv(dir.filePath(QStringLiteral("no/such/a.csv")), ListTable(&list.model)).isEmpty());
}

void TestListActions::largeListExportsWhole()
{
    QTemporaryDir dir;
    constexpr int kCount = 100000;
    QList<QStringList> rows;
    rows.reserve(kCount);
    for (int i = 0; i < kCount; ++i)
        rows.append({QStringLiteral("住客%1").arg(i), QString::number(i), QStringLiteral("6-8-%1").arg(i % 900),
                     QString::number(i % 977) + QStringLiteral(".5")});
    List list(rows);
    int lastReport = 0;
    const ExportProgress track = [&lastReport](int written) {
        lastReport = written;
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    const QString csv = dir.filePath(QStringLiteral("big.csv"));
    QCOMPARE(writeCsv(csv, ListTable(&list.model), track), QString());
    const qint64 csvTime = clock.restart();
    QCOMPARE(lastReport, kCount);
    const QString xlsx = dir.filePath(QStringLiteral("big.xlsx"));
    QCOMPARE(writeXlsx(xlsx, QStringLiteral("列表"), ListTable(&list.model), track), QString());
    qInfo("100000 rows: CSV %lld ms, XLSX %lld ms", csvTime, clock.elapsed());
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("\r\n"), kCount + 1);
    const QByteArray sheet = unzipped(xlsx, QStringLiteral("xl/worksheets/sheet1.xml"));
    QVERIFY(sheet.contains("<row r=\"100001\""));
    QVERIFY(sheet.contains("住客99999"));
}

void TestListActions::billAndReceiptHoldTheirFigures()
{
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO feiyong VALUES (2.5, 0.6, 120)"));
    db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('6-101','男','1','2','3',4,110,250,1,3)"));
    db.exec(QStringLiteral("INSERT INTO feiinfo VALUES ('6-101','2004-02-05',100,200)"));
    db.exec(QStringLiteral("INSERT INTO feiinfo VALUES ('6-101','2004-03-05',110,250)"));
    db.exec(QStringLiteral("INSERT INTO listfei VALUES ('6-101','2004-03-05',25,30,55)"));
    db.exec(QStringLiteral("INSERT INTO personinfo VALUES ('欧阳''娜','女','系','2004101','1','2004-03-15','6-101')"));
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
    const QString billText = pdfText(bill);
    for (const QString &expected :
         {QStringLiteral("水电费账单"), QStringLiteral("房间号码：6-101"), QStringLiteral("结算日期：2004-03-05"),
          QStringLiteral("上次结算日期：2004-02-05"), QStringLiteral("水费10011010吨2.50元/吨25.00元"),
          QStringLiteral("电费20025050度0.60元/度30.00元"), QStringLiteral("合计：55.00元")})
        QVERIFY2(billText.contains(expected.normalized(QString::NormalizationForm_KC)),
                 qPrintable(expected + QStringLiteral(" not in ") + billText));

    const QString receipt = dir.filePath(QStringLiteral("receipt.pdf"));
    writePdf(receipt, QStringLiteral("房租收据"), rentReceiptDocument(db.connection(), rentList->model(), 0));
    const QString receiptText = pdfText(receipt);
    for (const QString &expected :
         {QStringLiteral("房租收据"), QStringLiteral("姓名：欧阳'娜"), QStringLiteral("工号：2004101"),
          QStringLiteral("房间号码：6-101"), QStringLiteral("结算日期：2004-06-20"),
          QStringLiteral("本次房租：360.00元"), QStringLiteral("房租已交至：2004-07-15")})
        QVERIFY2(receiptText.contains(expected.normalized(QString::NormalizationForm_KC)),
                 qPrintable(expected + QStringLiteral(" not in ") + receiptText));
}

void TestListActions::everyListAndTheDataButtonHaveTheirActions()
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

QTEST_MAIN(TestListActions)
#include "test_listactions.moc"
