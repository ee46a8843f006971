#include "kit/listactions.h"
#include "kit/listexport.h"
#include "kit/listprint.h"
#include "kit/reportlist.h"
#include "pagedriver.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QMenu>
#include <QProcess>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QXmlStreamReader>

using namespace orv;

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
        for (int row = 0; row < rows.size(); ++row) {
            for (int column = 0; column < kHeader.size(); ++column)
                model.setItem(row, column, new QStandardItem(rows[row][column]));
        }
        view.setModel(&model);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        installListActions(&view, QStringLiteral("房租列表"), QStringLiteral("费用管理"));
    }
};

struct Sheet {
    QMap<QString, QString> cells; // by reference: "B3"
    QStringList numericCells;     // the references of cells stored as numbers
};

// One file of a workbook.
QByteArray unzipped(const QString &path, const QString &member)
{
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-p"_s, path, member});
    unzip.waitForFinished(60000);
    return unzip.readAllStandardOutput();
}

// Reads a sheet, the first by default. The writer streams its rows, so text cells are inline, not
// shared.
Sheet readXlsx(const QString &path, int number = 1)
{
    Sheet sheet;
    QXmlStreamReader xml(unzipped(path, u"xl/worksheets/sheet%1.xml"_s.arg(number)));
    QString ref;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("c"))
            ref = xml.attributes().value(QLatin1String("r")).toString();
        else if (xml.name() == QLatin1String("v"))
            sheet.numericCells.append(ref);
        if (xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t"))
            sheet.cells.insert(ref, xml.readElementText());
    }
    return sheet;
}

// How an export ended, in words, so a failure's reason shows when a comparison fails.
QString endOf(const ExportResult &result)
{
    switch (result.status) {
    case ExportResult::Status::Written:
        return QStringLiteral("written");
    case ExportResult::Status::Cancelled:
        return QStringLiteral("cancelled");
    case ExportResult::Status::Failed:
        return QStringLiteral("failed: ") + result.failure;
    }
    return QString();
}

// The bytes a CSV export of the whole list writes; a failed export fails the test.
QByteArray csvOf(List &list)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("list.csv"));
    const QString end = endOf(writeCsv(csv, ListTable(&list.model)));
    QFile file(csv);
    if (end != QStringLiteral("written") || !file.open(QIODevice::ReadOnly))
        test::fail(u"the export was not written: "_s + end, __FILE__, __LINE__);
    return file.readAll();
}

} // namespace

class TestListActions final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exportsReadBackAsShown()
    {
        QTemporaryDir dir;
        List list;
        const QByteArray bytes = csvOf(list);
        // A byte-order mark for spreadsheet programs, CRLF lines, quotes only where a field needs them.
        QCOMPARE(bytes, "\xEF\xBB\xBF" + QStringLiteral(" 姓  名,工号,备注,金额\r\n"
                                                        "张三,007,\"O'Brien, \"\"老王\"\"\",37.5\r\n"
                                                        "李四,101,\"第一行\n第二行\",2004- 6-15\r\n"
                                                        "王五,-3,tab\there,\r\n")
                                             .toUtf8());

        const QString path = dir.filePath(QStringLiteral("list.xlsx"));
        QCOMPARE(endOf(writeXlsx(path, QStringLiteral("房租列表"), ListTable(&list.model))), QStringLiteral("written"));
        const Sheet sheet = readXlsx(path);
        const QList<QStringList> shown = QList<QStringList>{kHeader} + kRows;
        for (int row = 0; row < shown.size(); ++row) {
            for (int column = 0; column < kHeader.size(); ++column)
                QCOMPARE(sheet.cells.value(QChar(u'A' + column) + QString::number(row + 1)), shown[row][column]);
        }
        QCOMPARE(sheet.cells.size(), 15); // the empty cell is left out
        // "007" and "2004- 6-15" would change as numbers; 101, 37.5 and -3 read back the same.
        QCOMPARE(sheet.numericCells, (QStringList{QStringLiteral("D2"), QStringLiteral("B3"), QStringLiteral("B4")}));
    }

    // A list longer than a sheet holds goes on in further sheets, each with the header, every row
    // once and in order; the sheets are named after the list.
    void aLongListIsSplitIntoSheets()
    {
        QList<QStringList> rows;
        for (int row = 1; row <= 7; ++row)
            rows.append({QString::number(row), {}, {}, {}});
        List list(rows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.xlsx"));
        QCOMPARE(endOf(writeXlsx(path, QStringLiteral("房租列表"), ListTable(&list.model), {}, 3)),
                 QStringLiteral("written"));
        QStringList read;
        for (int number = 1; number <= 3; ++number) {
            const Sheet sheet = readXlsx(path, number);
            for (int column = 0; column < kHeader.size(); ++column)
                QCOMPARE(sheet.cells.value(QChar(u'A' + column) + u"1"_s), kHeader[column]);
            for (int row = 2; sheet.cells.contains(u"A"_s + QString::number(row)); ++row)
                read.append(sheet.cells.value(u"A"_s + QString::number(row)));
        }
        QCOMPARE(read, (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s}));
        const QString workbook = QString::fromUtf8(unzipped(path, u"xl/workbook.xml"_s));
        for (const QString &name : {u"\"房租列表\""_s, u"\"房租列表 (2)\""_s, u"\"房租列表 (3)\""_s})
            QVERIFY2(workbook.contains(name), qPrintable(name));
    }

    // A cell a spreadsheet would run as a formula is written as text, in a file and on the
    // clipboard; plain numbers stay numbers.
    void formulaLikeCellsAreWrittenAsText()
    {
        const QList<QStringList> rows = {
            {u"=1+1"_s, u"-3"_s, u"@SUM(A1)"_s, u"+86 138"_s},
            {u"-1-2"_s, u"+5"_s, u"\tx"_s, u"=HYPERLINK(\"http://a\")"_s},
        };
        List list(rows);
        QCOMPARE(QString::fromUtf8(csvOf(list)).split(u"\r\n"_s).mid(1, 2),
                 (QStringList{u"'=1+1,-3,'@SUM(A1),'+86 138"_s, u"'-1-2,+5,'\tx,\"'=HYPERLINK(\"\"http://a\"\")\""_s}));
        QCOMPARE(tableToTabText(ListTable(&list.model, {0})).split(QLatin1Char('\n')).at(1),
                 u"'=1+1\t-3\t'@SUM(A1)\t'+86 138"_s);
    }

    // A long list reaches the file in pieces. Plain rows, rows to quote or defuse and rows with
    // surrogates (a pair, and halves alone) each come out as their line would in UTF-8.
    void longExportsKeepEveryLine()
    {
        const QString high(QChar(0xD83D));
        const QString low(QChar(0xDE00));
        QList<QStringList> rows;
        QByteArray expected = "\xEF\xBB\xBF" + kHeader.join(QLatin1Char(',')).toUtf8() + "\r\n";
        for (int row = 0; row < 20000; ++row) {
            const QString n = QString::number(row);
            switch (row % 4) {
            case 0:
                rows.append({u"住户"_s + n, n, u"6 楼"_s, QString()});
                expected += u"住户%1,%1,6 楼,\r\n"_s.arg(n).toUtf8();
                break;
            case 1:
                rows.append({u"a,"_s + n, u"\"x\""_s, u"1\r\n2"_s, n});
                expected += u"\"a,%1\",\"\"\"x\"\"\",\"1\r\n2\",%1\r\n"_s.arg(n).toUtf8();
                break;
            case 2:
                rows.append({u"=A"_s + n, u"-"_s + n, u"@x"_s, n});
                expected += u"'=A%1,-%1,'@x,%1\r\n"_s.arg(n).toUtf8();
                break;
            default:
                rows.append({high + low + n, high, low + n, n + high});
                expected += u"%1%2%3,%1,%2%3,%3%1\r\n"_s.arg(high, low, n).toUtf8();
            }
        }
        List list(rows);
        const QByteArray bytes = csvOf(list);
        QVERIFY(bytes.size() > 512 * 1024);
        QCOMPARE(bytes, expected);
    }

    // Exports hold residents' data: a new file is its owner's alone; a file replaced keeps its mode.
    void exportsAreOwnerOnlyUnlessTheFileWasThere()
    {
        QTemporaryDir dir;
        List list;
        const ListTable table(&list.model);
        const QString csv = dir.filePath(QStringLiteral("a.csv"));
        const QString xlsx = dir.filePath(QStringLiteral("a.xlsx"));
        const QString pdf = dir.filePath(QStringLiteral("a.pdf"));
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(endOf(writeCsv(csv, table)), QStringLiteral("written"));
            QCOMPARE(endOf(writeXlsx(xlsx, QStringLiteral("列表"), table)), QStringLiteral("written"));
            writePdf(pdf, QStringLiteral("列表"),
                     [&](QPagedPaintDevice *device) { paintListTable(device, QStringLiteral("列表"), table); });
            for (const QString &path : {csv, xlsx, pdf}) {
                QVERIFY2(QFileInfo(path).size() > 0, qPrintable(path));
                const auto expected = round == 0 ? ownerOnly : ownerOnly | QFile::ReadGroup | QFile::ReadOther;
                QCOMPARE(QFile::permissions(path), expected);
                if (round == 0)
                    QFile::setPermissions(path, expected | QFile::ReadGroup | QFile::ReadOther);
            }
        }
    }

    // Every item of every context menu keeps its accessible name, however often the menu is shown.
    void contextMenuItemsAreNamedEveryTime()
    {
        List list;
        list.view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list.view));
        for (int shown = 0; shown < 3; ++shown) {
            QStringList names;
            QTimer::singleShot(0, &list.view, [&] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                QVERIFY(menu);
                QAccessibleInterface *face = QAccessible::queryAccessibleInterface(menu);
                // A screen reader's bridge reads nothing from an item whose interface is not valid.
                for (int i = 0; i < face->childCount(); ++i) {
                    QAccessibleInterface *item = face->child(i);
                    names.append(item->isValid() ? item->text(QAccessible::Name) : QString());
                }
                menu->close();
            });
            Q_EMIT list.view.customContextMenuRequested(QPoint(5, 5));
            QCOMPARE(names, (QStringList{u"复制"_s, u"导出为 Excel…"_s, u"导出为 CSV…"_s, u"打印…"_s}));
        }
    }

    // The selected rows in list order, with the header; cells holding a line break or a tab quoted.
    void copyPutsSelectedRowsOnClipboard()
    {
        List list;
        list.view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list.view));
        for (int row : {2, 1})
            list.view.selectionModel()->select(list.model.index(row, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list.view.setFocus();
        QTest::keyClick(&list.view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral(" 姓  名\t工号\t备注\t金额\n"
                                                                   "李四\t101\t\"第一行\n第二行\"\t2004- 6-15\n"
                                                                   "王五\t-3\t\"tab\there\"\t\n"));
    }

    // A cancelled export leaves no file; a folder that cannot exist is told.
    void aCancelledOrFailedExportLeavesNothing()
    {
        QTemporaryDir dir;
        List list(QList<QStringList>(100000, kRows.first()));
        const ListTable table(&list.model);
        const ExportProgress cancelAtOnce = [](int) { return false; };
        QCOMPARE(endOf(writeCsv(dir.filePath(QStringLiteral("a.csv")), table, cancelAtOnce)),
                 QStringLiteral("cancelled"));
        QCOMPARE(endOf(writeXlsx(dir.filePath(QStringLiteral("a.xlsx")), QStringLiteral("列表"), table, cancelAtOnce)),
                 QStringLiteral("cancelled"));
        const QString noFolder = dir.filePath(QStringLiteral("no/such/a.xlsx"));
        QVERIFY(endOf(writeXlsx(noFolder, QStringLiteral("列表"), table))
                    .startsWith(QStringLiteral("failed: 无法写入文件“%1”").arg(QDir::toNativeSeparators(noFolder))));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void everyListHasItsActions()
    {
        test::Window w;
        const QList<ReportList *> lists = w.window->findChildren<ReportList *>();
        QCOMPARE(lists.size(), 6);
        for (ReportList *list : lists)
            QCOMPARE(list->contextMenuPolicy(), Qt::CustomContextMenu);
    }
};

QTEST_MAIN(TestListActions)
#include "test_listactions.moc"
