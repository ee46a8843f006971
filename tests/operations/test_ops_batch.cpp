#include "operations/batch.h"
#include "operations/standins.h"
#include "support/teststore.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <xlsxwriter.h>

using namespace orv;
using namespace orv::ops;
using namespace Qt::StringLiterals;

namespace {

const QString kCheckInHeader = u"姓名,性别,部门,工号,手机,日期,房间"_s;

QStringList texts(const SheetRow &row)
{
    QStringList cells;
    for (const SheetCell &cell : row.cells)
        cells.append(cell.text);
    return cells;
}

Batch checkIns(const QString &csv)
{
    return makeBatch(BatchKind::CheckIns, readCsv(csv.toUtf8()), test::standInOperations());
}

Batch readings(const QString &csv)
{
    return makeBatch(BatchKind::Readings, readCsv(csv.toUtf8()), test::standInOperations());
}

QString checkInLine(const QString &name, const QString &staffNo)
{
    return u"\n%1,男,后勤处,%2,13900000000,2024-09-01,6-1-101"_s.arg(name, staffNo);
}

void writeWorkbook(const QString &path, bool inlineStrings)
{
    lxw_workbook_options options{};
    options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "yyyy-mm-dd");
    const char *header[] = {"房间号码", "日期", "水表数", "电表数"};
    for (lxw_col_t column = 0; column < 4; ++column)
        worksheet_write_string(sheet, 0, column, header[column], nullptr);
    worksheet_write_string(sheet, 1, 0, "6-1-101", nullptr);
    lxw_datetime day = {2024, 9, 1, 0, 0, 0};
    worksheet_write_datetime(sheet, 1, 1, &day, dateFormat);
    worksheet_write_number(sheet, 1, 2, 123, nullptr);
    worksheet_write_number(sheet, 1, 3, 456.0, nullptr);
    // A row left empty between is no row; the next keeps its own number.
    worksheet_write_string(sheet, 3, 0, "6-1-102", nullptr);
    worksheet_write_string(sheet, 3, 1, "2024/9/2", nullptr);
    worksheet_write_number(sheet, 3, 2, 12.5, nullptr);
    worksheet_write_number(sheet, 3, 3, 7, nullptr);
    QCOMPARE(workbook_close(book), LXW_NO_ERROR);
}

} // namespace

class TestOpsBatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsCsvInTheEncodingsSpreadsheetsSave_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = u"姓名,备注\r\n李明,\"后勤处, \"\"二楼\"\"\"\r\n\"王\n芳\",\r\n\r\n"_s;
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QTest::newRow("UTF-8") << text.toUtf8();
        QStringEncoder gb18030("GB18030");
        QTest::newRow("GB18030") << QByteArray(gb18030(text));
    }
    void readsCsvInTheEncodingsSpreadsheetsSave()
    {
        QFETCH(QByteArray, bytes);
        const Sheet sheet = readCsv(bytes);
        QCOMPARE(sheet.problem, QString());
        QCOMPARE(sheet.rows.size(), std::size_t{3});
        QCOMPARE(texts(sheet.rows[0]), QStringList({u"姓名"_s, u"备注"_s}));
        QCOMPARE(texts(sheet.rows[1]), QStringList({u"李明"_s, u"后勤处, \"二楼\""_s}));
        QCOMPARE(texts(sheet.rows[2]), QStringList({u"王\n芳"_s, QString()}));
        QCOMPARE(sheet.rows[2].line, 3);
    }

    void refusesAFileItCannotRead()
    {
        QCOMPARE(readCsv("\"open").problem, u"第1行的引号没有结束。"_s);
        QTemporaryDir dir;
        QFile fake(dir.filePath(u"fake.xlsx"_s));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("PK\x03\x04 not really an archive");
        fake.close();
        QCOMPARE(readSheet(fake.fileName()).problem, u"无法打开工作簿（不是有效的 XLSX 文件）。"_s);
    }

    void readsTheFirstSheetOfAWorkbook_data()
    {
        QTest::addColumn<bool>("inlineStrings");
        QTest::newRow("shared strings") << false;
        QTest::newRow("inline strings") << true;
    }
    void readsTheFirstSheetOfAWorkbook()
    {
        QFETCH(bool, inlineStrings);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"抄表.xlsx"_s);
        writeWorkbook(path, inlineStrings);
        const Sheet sheet = readSheet(path);
        QCOMPARE(sheet.problem, QString());
        QCOMPARE(sheet.rows.size(), std::size_t{3});
        QCOMPARE(texts(sheet.rows[0]), QStringList({u"房间号码"_s, u"日期"_s, u"水表数"_s, u"电表数"_s}));
        QCOMPARE(texts(sheet.rows[1]).mid(2), QStringList({u"123"_s, u"456"_s}));
        QCOMPARE(sheet.rows[2].line, 4);

        const Batch batch = makeBatch(BatchKind::Readings, sheet, test::standInOperations());
        QCOMPARE(batch.problem, QString());
        QCOMPARE(batch.rows.size(), std::size_t{2});
        QVERIFY(batch.rows[0].run);
        QCOMPARE(batch.rows[0].key, u"6-1-101 2024-09-01"_s);
        QCOMPARE(batch.rows[1].outcome.message, u"请输入一个整数。"_s);

        test::TestStore db;
        Batch previewed = batch;
        QVERIFY(preview(db.connection(), previewed));
        QCOMPARE(importBatch(db.connection(), previewed).imported, 1);
        QCOMPARE(db.text(u"select 房间号,日期,水表,电表 from feiinfo"_s), u"6-1-101,2024-09-01,123,456"_s);
    }

    void mapsTheHeaderByName_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("in another order, room by its long name")
            << u"电表数,水表数,房间号码,日期,备注\n20,10,6-1-101,2024/9/1,x"_s << QString()
            << QStringList({u"6-1-101"_s, u"2024/9/1"_s, u"10"_s, u"20"_s});
        QTest::newRow("blanks around a name") << u" 房间 ,日期,水表数,电表数\n6-1-101,2024-09-01,1,2"_s << QString()
                                              << QStringList({u"6-1-101"_s, u"2024-09-01"_s, u"1"_s, u"2"_s});
        QTest::newRow("missing column") << u"房间,日期,水表数\n6-1-101,2024-09-01,1"_s
                                        << u"文件的第一行没有“电表数”一栏，整个文件没有导入。"_s << QStringList();
        QTest::newRow("empty file") << u"\n\n"_s << u"文件是空的，没有标题行。"_s << QStringList();
    }
    void mapsTheHeaderByName()
    {
        QFETCH(QString, csv);
        QFETCH(QString, problem);
        QFETCH(QStringList, values);
        const Batch batch = readings(csv);
        QCOMPARE(batch.problem, problem);
        QCOMPARE(batch.rows.empty() ? QStringList() : batch.rows.front().values, values);
    }

    void cellsBecomeFormsByTheFormsRules_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("message"); // empty: the row became a form
        QTest::newRow("readings") << u" 6-1-101,2024-9-1, 10 ,0"_s << QString();
        QTest::newRow("water not a number") << u"6-1-101,2024-09-01,十,20"_s << u"请输入一个整数。"_s;
        QTest::newRow("power a fraction") << u"6-1-101,2024-09-01,10,2.5"_s << u"请输入一个整数。"_s;
        QTest::newRow("empty reading") << u"6-1-101,2024-09-01,,20"_s << u"请输入一个整数。"_s;
        QTest::newRow("beyond 32 bits") << u"6-1-101,2024-09-01,10,4294967296"_s << u"请输入一个整数。"_s;
        // Both numbers are read before either range is looked at, as on the fee page.
        QTest::newRow("below the range") << u"6-1-101,2024-09-01,-1,x"_s << u"请输入一个整数。"_s;
        QTest::newRow("above the range") << u"6-1-101,2024-09-01,10000000,5"_s
                                         << u"请输入一个介于 0 和 9999999 之间的整数。"_s;
        QTest::newRow("no such day") << u"6-1-101,2024-02-30,1,2"_s
                                     << u"“日期”一栏的“2024-02-30”不是日期，请写成 2024-09-01 或 2024/9/1。"_s;
        QTest::newRow("line break in a cell")
            << u"\"6-1\n101\",2024-09-01,1,2"_s << u"“房间”一栏含有换行符或其他控制字符。"_s;
    }
    void cellsBecomeFormsByTheFormsRules()
    {
        QFETCH(QString, row);
        QFETCH(QString, message);
        const Batch batch = readings(u"房间,日期,水表数,电表数\n"_s + row);
        QCOMPARE(batch.rows.size(), std::size_t{1});
        QCOMPARE(bool(batch.rows[0].run), message.isEmpty());
        QCOMPARE(batch.rows[0].outcome.message, message);
    }

    void previewJudgesEachRowAgainstTheRowsAbove()
    {
        test::TestStore db;
        db.exec(u"insert into personinfo(姓名,工号) values('张三','2004100')"_s);
        Batch batch =
            checkIns(kCheckInHeader + checkInLine(u"李明"_s, u"2004101"_s) + checkInLine(u"张三"_s, u"2004100"_s) +
                     checkInLine(u"李明"_s, u"2004101"_s) + checkInLine(QString(), u"2004102"_s) +
                     checkInLine(u"王芳"_s, u"2004102"_s) + u"\n赵六,女,后勤处,2004103,139,,6-1-101"_s);
        QVERIFY(preview(db.connection(), batch));
        QStringList results;
        for (const BatchRow &row : batch.rows)
            results.append(u"%1:%2"_s.arg(row.line).arg(resultText(row)));
        // A refused row holds no bed for the rows below it.
        QCOMPARE(results.join(u'|'), u"2:可以导入|3:%1|4:%1|5:请输入入住人的姓名！|6:可以导入|7:请输入入住日期！"_s.arg(
                                         test::kDuplicateStaffNo));
        QCOMPARE(batch.accepted(), 2);
        QCOMPARE(summaryText(batch), u"共 6 行：2 行可以导入，4 行不能导入。"_s);
        QCOMPARE(db.count(u"personinfo"_s), 1);
        QVERIFY(!db.connection().inUnit());
    }

    void importWritesAllAcceptedRowsOrNone_data()
    {
        QTest::addColumn<QString>("before");  // written after the preview, before the import
        QTest::addColumn<bool>("storeFails"); // the second row's write fails
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("residents");
        QTest::newRow("all accepted") << QString() << false << int(ImportResult::Status::Imported) << 0 << QString()
                                      << 2;
        QTest::newRow("a row refused now") << u"insert into personinfo(姓名,工号) values('别人','2004102')"_s << false
                                           << int(ImportResult::Status::Refused) << 3 << test::kDuplicateStaffNo << 1;
        QTest::newRow("the store fails") << QString() << true << int(ImportResult::Status::Failed) << 3
                                         << u"磁盘已满。"_s << 0;
    }
    void importWritesAllAcceptedRowsOrNone()
    {
        QFETCH(QString, before);
        QFETCH(bool, storeFails);
        QFETCH(int, status);
        QFETCH(int, line);
        QFETCH(QString, message);
        QFETCH(int, residents);
        test::TestStore db;
        Batch batch = checkIns(kCheckInHeader + checkInLine(u"李明"_s, u"2004101"_s) +
                               checkInLine(u"王芳"_s, u"2004102"_s) + checkInLine(u"张三"_s, u"2004101"_s));
        QVERIFY(preview(db.connection(), batch));
        QCOMPARE(batch.accepted(), 2);
        if (!before.isEmpty())
            db.exec(before);
        if (storeFails)
            batch.rows[1].run = [](Connection &connection) {
                return test::standInCheckIn(connection, {test::kFailingName, {}, {}, u"x"_s, {}, {}, {}});
            };

        const ImportResult result = importBatch(db.connection(), batch);
        QCOMPARE(int(result.status), status);
        QCOMPARE(result.line, line);
        QCOMPARE(result.message, message);
        QCOMPARE(result.imported, status == int(ImportResult::Status::Imported) ? 2 : 0);
        QCOMPARE(db.count(u"personinfo"_s), residents);
        QCOMPARE(batch.rows[0].imported, status == int(ImportResult::Status::Imported));
        // One log row for the whole import, and none for one that wrote nothing.
        QCOMPARE(db.text(u"select operator, action, detail from oplog"_s),
                 status == int(ImportResult::Status::Imported) ? u",批量入住,2 行"_s : QString());
        QVERIFY(!db.connection().inUnit());
    }

    void stoppingWritesNothing()
    {
        test::TestStore db;
        Batch batch = checkIns(kCheckInHeader + checkInLine(u"李明"_s, u"2004101"_s) +
                               checkInLine(u"王芳"_s, u"2004102"_s) + checkInLine(u"张三"_s, u"2004103"_s));
        QList<int> told;
        const auto stopAtTwo = [&told](int done, int total) {
            told.append(done * 10 + total);
            return done < 2;
        };
        QVERIFY(!preview(db.connection(), batch, stopAtTwo));
        QCOMPARE(told, QList<int>({13, 23}));
        QVERIFY(preview(db.connection(), batch));
        told.clear();
        QCOMPARE(int(importBatch(db.connection(), batch, stopAtTwo).status), int(ImportResult::Status::Cancelled));
        QCOMPARE(told, QList<int>({13, 23}));
        QCOMPARE(db.count(u"personinfo"_s), 0);
        QVERIFY(!db.connection().inUnit());
    }

    void theReportNamesEveryRow()
    {
        test::TestStore db;
        Batch batch = checkIns(kCheckInHeader + checkInLine(u"李明"_s, u"2004101"_s) +
                               checkInLine(u"李明"_s, u"2004101"_s) + u"\n\"王,芳\",女,a,2004102,1,2024/9/1,x"_s);
        QVERIFY(preview(db.connection(), batch));
        batch.rows[2].outcome = Outcome::refused(u"他说\"不\""_s);
        QCOMPARE(importBatch(db.connection(), batch).imported, 1);
        QCOMPARE(reportCsv(batch), QByteArray("\xEF\xBB\xBF") +
                                       u"行号,关键字,结果\r\n2,2004101 李明,已导入\r\n3,2004101 李明,%1\r\n"
                                       "4,\"2004102 王,芳\",\"他说\"\"不\"\"\"\r\n"_s.arg(test::kDuplicateStaffNo)
                                           .toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestOpsBatch)
#include "test_ops_batch.moc"
