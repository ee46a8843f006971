#include "mainwindow/batchdialog.h"
#include "operations/standins.h"
#include "pagedriver.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

using namespace orv;

namespace {

ops::Batch previewed(Connection &connection, const QString &rows)
{
    ops::Batch batch = ops::makeBatch(ops::BatchKind::CheckIns,
                                      ops::readCsv((u"姓名,性别,部门,工号,手机,日期,房间"_s + rows).toUtf8()),
                                      test::standInOperations());
    if (!ops::preview(connection, batch))
        test::fail(u"the preview stopped"_s, __FILE__, __LINE__);
    return batch;
}

const QString kTwoAndADuplicate = u"\n李明,男,a,2004101,1,2024-09-01,6-1-101\n王芳,女,a,2004102,1,2024-09-01,6-1-101\n"
                                  u"张三,男,a,2004101,1,2024-09-01,6-1-101"_s;

QString cell(QTableView *table, int row, int column)
{
    return table->model()->index(row, column).data().toString();
}

} // namespace

class TestBatchDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theMenuOffersTheBatchesItWasGiven()
    {
        test::Window w;
        QAction *checkIns = w.window->dataMenu()->findChild<QAction *>(u"checkInBatchAction"_s);
        QAction *readings = w.window->dataMenu()->findChild<QAction *>(u"readingBatchAction"_s);
        QVERIFY(checkIns && readings);
        QCOMPARE(checkIns->text(), u"批量入住…"_s);
        QVERIFY(!checkIns->isEnabled());
        w.window->setBatchOperations({test::standInCheckIn, {}});
        QVERIFY(checkIns->isEnabled());
        QVERIFY(!readings->isEnabled());
    }

    void thePreviewShowsEveryRowAndImportsTheAccepted()
    {
        test::TestDatabase db;
        test::Answers answers;
        BatchDialog dialog(db.connection(), previewed(db.connection(), kTwoAndADuplicate), u"批量入住"_s);
        auto *table = test::child<QTableView>(&dialog, u"batchTable"_s);
        QCOMPARE(table->model()->rowCount(), 3);
        QCOMPARE(table->model()->headerData(8, Qt::Horizontal).toString(), u"结果"_s);
        QCOMPARE(cell(table, 2, 0), u"4"_s);
        QCOMPARE(cell(table, 2, 4), u"2004101"_s);
        QCOMPARE(cell(table, 2, 8), test::kDuplicateStaffNo);
        QVERIFY(table->model()->index(2, 0).data(Qt::BackgroundRole).isValid());
        QVERIFY(!table->model()->index(0, 0).data(Qt::BackgroundRole).isValid());
        QCOMPARE(test::child<QLabel>(&dialog, u"batchSummary"_s)->text(), u"共 3 行：2 行可以导入，1 行不能导入。"_s);

        auto *import = test::child<QPushButton>(&dialog, u"importButton"_s);
        QVERIFY(import->isEnabled());
        test::click(import);
        QCOMPARE(answers->texts(), QStringList({u"已导入 2 行。"_s}));
        QCOMPARE(db.text(u"select 工号 from personinfo order by 工号"_s), u"2004101|2004102"_s);
        QCOMPARE(cell(table, 0, 8), u"已导入"_s);
        QVERIFY(!import->isEnabled());

        const QString report = db.directory() + u"/报告.csv"_s;
        QVERIFY(dialog.writeReport(report));
        QFile written(report);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().endsWith((u"4,2004101 张三,"_s + test::kDuplicateStaffNo + u"\r\n"_s).toUtf8()));
    }

    void aRowRefusedAtTheImportLeavesEverythingAsItWas()
    {
        test::TestDatabase db;
        test::Answers answers;
        BatchDialog dialog(db.connection(), previewed(db.connection(), kTwoAndADuplicate), u"批量入住"_s);
        db.exec(u"insert into personinfo(姓名,工号) values('别人','2004102')"_s);
        test::click(test::child<QPushButton>(&dialog, u"importButton"_s));
        QCOMPARE(answers->texts(), QStringList({u"第3行：%1\n没有导入任何一行。"_s.arg(test::kDuplicateStaffNo)}));
        QCOMPARE(db.count(u"personinfo"_s), 1);
    }

    void nothingToImportLeavesTheButtonOff()
    {
        test::TestDatabase db;
        BatchDialog dialog(db.connection(), previewed(db.connection(), u"\n,男,a,1,1,2024-09-01,x"_s), u"批量入住"_s);
        QVERIFY(!test::child<QPushButton>(&dialog, u"importButton"_s)->isEnabled());
        QCOMPARE(test::child<QLabel>(&dialog, u"batchSummary"_s)->text(), u"共 1 行：0 行可以导入，1 行不能导入。"_s);
    }
};

QTEST_MAIN(TestBatchDialog)
#include "test_batchdialog.moc"
