#include "data/filepages.h"
#include "data/recordset.h"
#include "data/statements.h"
#include "kit/listexport.h"
#include "kit/reportlist.h"
#include "operations/history.h"
#include "pages/fees/feespage.h"
#include "pages/queries/queriespage.h"
#include "support/testsupport.h"

#include <QAccessible>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>

#include <atomic>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::shownRows;

namespace {

constexpr int kBlock = store::ListPages::kBlockRows;

// What a list showed before it read its rows on demand: every row of the statement copied into
// the model as it was walked.
QList<QStringList> filledWhole(Connection &connection, const QString &sql, std::initializer_list<QString> columns)
{
    ReportModel model;
    model.setColumns(QStringList(columns), {});
    Recordset set(&connection);
    set.Open(sql);
    for (set.rewind(); !set.adoEOF(); set.MoveNext())
        model.appendRecord(set, columns);
    QList<QStringList> rows;
    for (int row = 0; row < model.rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < static_cast<int>(columns.size()); ++column)
            cells.append(model.cell(row, column));
        rows.append(cells);
    }
    return rows;
}

const ReportModel *modelOf(const ReportList *list)
{
    return static_cast<const ReportModel *>(list->model());
}

// Bills of every kind of value, `count` in all: texts, nulls, reals, integers and a text in a
// number column.
void addBills(test::TestDatabase &db, int count)
{
    db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%1) "
            "INSERT INTO listfei SELECT CASE i%7 WHEN 0 THEN NULL WHEN 1 THEN 12 ELSE '6-'||i END, "
            "date('2016-01-01', '+'||i||' days'), CASE i%5 WHEN 0 THEN NULL WHEN 1 THEN 'n/a' ELSE i*0.1 END, "
            "i*3.3333, CASE i%3 WHEN 0 THEN -i ELSE 1e10+i END FROM n"_s.arg(count));
}

// Residents with a paid-up date each, and `months` rent charges per resident in settlement
// order; one staff number has two paid-up rows, one charge has no resident and one resident,
// one charge and one paid-up row have no staff number. Staff numbers
// are S0 to S<residents-1>, given out of order (residents must not be a multiple of 37).
void addRent(test::TestDatabase &db, int residents, int months)
{
    db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%1) "
            "INSERT INTO personinfo SELECT CASE i%9 WHEN 0 THEN NULL ELSE '住户'||i END, '男', '系', "
            "'S'||((i*37)%%1), '1', '2016-01-01', '6-'||(i%40) FROM n"_s.arg(residents));
    db.exec(u"INSERT INTO fangset SELECT 工号, '2026-0'||(rowid%9+1)||'-01', rowid FROM personinfo ORDER BY 工号 DESC;"
            "INSERT INTO fangset VALUES ('S37', '2030-01-01', NULL);"
            "WITH RECURSIVE m(j) AS (SELECT 1 UNION ALL SELECT j+1 FROM m WHERE j<%1) "
            "INSERT INTO fanglist SELECT p.工号, '2016-'||m.j, CASE WHEN m.j=3 THEN NULL ELSE 100+m.j END "
            "FROM m, personinfo p ORDER BY m.j, p.rowid;"
            "INSERT INTO fanglist VALUES ('nobody', '2016-01', 1), (NULL, '2016-01', 1);"
            "INSERT INTO fangset VALUES (NULL, '2030-01-01', 1);"
            "INSERT INTO personinfo VALUES ('无号', '女', '系', NULL, '1', '2016-01-01', '6-1')"_s.arg(months));
}

const std::initializer_list<QString> kBillColumns = {u"房间号码"_s, u"日期"_s, u"水费"_s, u"电费"_s, u"总费用"_s};
const std::initializer_list<QString> kRentColumns = {u"姓名"_s, u"工号"_s, u"房间"_s,
                                                     u"房租"_s, u"日期"_s, u"房租到期"_s};

struct Fixture {
    test::TestDatabase db;
    test::Answers answers;
    FeesPage page{db.connection()};
    ReportList *feeList = test::child<ReportList>(&page, u"feeList"_s);
    ReportList *rentList = test::child<ReportList>(&page, u"rentList"_s);

    void press(const QString &name) { test::press(&page, name); }
    test::RawDatabase other() { return test::openKeyed(QDir(db.directory()).filePath(u"OrvDb.mdb"_s)); }
};

} // namespace

class TestOnDemand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Blocks read in the order the whole statement reads its rows: the block statement walks the
    // same tables in the same order, and sorts nothing.
    void blockStatementsKeepTheOrder()
    {
        test::TestDatabase db;
        for (const sql::ListQuery &query :
             {sql::rentList(), sql::feeList(), sql::personList(), sql::personListWhere(u"性别"_s, u"男"_s)}) {
            const store::FilePages pages(db.connection(), query);
            const QStringList whole = test::planOf(db.connection().handle(), query.text());
            QVERIFY(!whole.isEmpty() && !whole.contains(u"sorted"_s));
            for (const bool keysOnly : {false, true}) {
                for (const bool descending : {false, true}) {
                    for (const bool lower : {false, true}) {
                        for (const bool upper : {false, true})
                            QCOMPARE(test::planOf(db.connection().handle(),
                                                  pages.rangeStatement(keysOnly, descending, lower, upper)),
                                     whole);
                    }
                }
            }
        }
        QCOMPARE(sql::personListWhere(u"姓名"_s, u"O'Neil"_s).text(), sql::withValue(sql::personByName, u"O'Neil"_s));
        QCOMPARE(sql::personList().text(), sql::personAll);
        QCOMPARE(sql::feeList().text(), sql::feeListAll);
    }

    // Every row, across block boundaries, as the whole walk showed it, while only a few blocks
    // are ever held; the last block first and then the first.
    void rowsEqualTheWholeWalk()
    {
        Fixture f;
        addBills(f.db, 3 * kBlock + 17);
        addRent(f.db, 60, 40);
        f.press(u"listFeesButton"_s);
        f.press(u"listRentButton"_s);
        const QList<QStringList> bills = filledWhole(f.db.connection(), sql::feeListAll, kBillColumns);
        const QList<QStringList> rent = filledWhole(f.db.connection(), sql::rentListJoin, kRentColumns);
        QCOMPARE(rent.size(), 60 * 40 + 40); // S37's charges twice, the charge with no resident left out

        QCOMPARE(f.feeList->rowCount(), bills.size());
        QCOMPARE(f.feeList->rowTexts(bills.size() - 1), bills.last());
        QCOMPARE(f.feeList->rowTexts(0), bills.first());
        QCOMPARE(shownRows(f.feeList), bills);
        QCOMPARE(f.rentList->rowCount(), rent.size());
        QCOMPARE(f.rentList->rowTexts(rent.size() - 1), rent.last());
        QCOMPARE(f.rentList->rowTexts(rent.size() / 2), rent.at(rent.size() / 2));
        QCOMPARE(shownRows(f.rentList), rent);
        QVERIFY(modelOf(f.rentList)->cachedBlocks() <= ReportModel::kCachedBlocks);

        // Jumps into blocks with no known neighbour: back from the end, nearer than the first
        // block, then between two known blocks, nearer the later one.
        f.press(u"listRentButton"_s);
        QCOMPARE(f.rentList->rowTexts(1), rent.at(1));
        QCOMPARE(f.rentList->rowTexts(5 * kBlock + 1), rent.at(5 * kBlock + 1));
        QCOMPARE(f.rentList->rowTexts(4 * kBlock - 2), rent.at(4 * kBlock - 2));
        QCOMPARE(f.rentList->rowTexts(3 * kBlock), rent.at(3 * kBlock));
        // Blocks the walks passed are read from the edges they left.
        QCOMPARE(f.rentList->rowTexts(7 * kBlock + 5), rent.at(7 * kBlock + 5));
        QCOMPARE(shownRows(f.rentList), rent);
        f.press(u"listRentButton"_s);
        QCOMPARE(f.rentList->rowTexts(0), rent.at(0));
        QCOMPARE(f.rentList->rowTexts(2 * kBlock + 9), rent.at(2 * kBlock + 9));
        QCOMPARE(f.rentList->rowTexts(2 * kBlock - 1), rent.at(2 * kBlock - 1));
        QCOMPARE(f.rentList->rowTexts(kBlock), rent.at(kBlock));

        // What the view shows and a reader hears come through the same model.
        const QModelIndex last = f.rentList->model()->index(rent.size() - 1, 5);
        QCOMPARE(last.data().toString(), rent.last().at(5));
        QCOMPARE(f.rentList->model()->index(kBlock, 0).data().toString(), rent.at(kBlock).at(0));
        f.page.show();
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(f.rentList);
        QVERIFY(table && table->tableInterface());
        QCOMPARE(table->tableInterface()->rowCount(), rent.size());
        QAccessibleInterface *cell = table->tableInterface()->cellAt(rent.size() - 2, 1);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), rent.at(rent.size() - 2).at(1));
    }

    // The residents' searches read on demand too, with their refusals as before.
    void residentLists()
    {
        test::TestDatabase db;
        test::Answers answers;
        QueriesPage page{db.connection()};
        auto *list = test::child<ReportList>(&page, u"personList"_s);
        addRent(db, 2 * kBlock + 5, 0);
        const std::initializer_list<QString> columns = {u"姓名"_s, u"性别"_s, u"房间"_s, u"工号"_s,
                                                        u"部门"_s, u"手机"_s, u"日期"_s};
        test::press(&page, u"listAllButton"_s);
        QCOMPARE(shownRows(list), filledWhole(db.connection(), sql::personAll, columns));
        test::setField(&page, u"roomEdit"_s, u"6-7"_s);
        test::press(&page, u"queryPersonsButton"_s);
        QCOMPARE(shownRows(list), filledWhole(db.connection(), sql::withValue(sql::personByRoom, u"6-7"_s), columns));
        QVERIFY(list->rowCount() > 0);
        test::setField(&page, u"roomEdit"_s, u"none"_s);
        test::press(&page, u"queryPersonsButton"_s);
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(answers->texts(), QStringList{u"没有满足你要查询的记录！"_s});
    }

    // The residence history reads on demand too: the same stays, in the order written, as the
    // plain reads give them.
    void historyLists()
    {
        test::TestDatabase db;
        db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%1) "
                "INSERT INTO residence_history (staff_no, name, department, room, checked_in, checked_out, "
                "checked_in_by, checked_out_by, origin) SELECT 'S'||(i%3), '住户'||i, '系', '6-'||(i%2), "
                "date('2020-01-01', '+'||(i%50)||' days'), CASE i%4 WHEN 0 THEN NULL ELSE "
                "date('2020-03-01', '+'||(i%30)||' days') END, '张三', '', '' FROM n"_s.arg(3 * kBlock));
        const auto rowsOf = [&](std::unique_ptr<store::ListPages> pages) {
            ReportList list(u"list"_s);
            list.setColumns({{u"a"_s, 1},
                             {u"b"_s, 1},
                             {u"c"_s, 1},
                             {u"d"_s, 1},
                             {u"e"_s, 1},
                             {u"f"_s, 1},
                             {u"g"_s, 1},
                             {u"h"_s, 1},
                             {u"i"_s, 1}});
            list.showPages(std::move(pages), ops::stayColumns());
            return shownRows(&list);
        };
        const auto cellsOf = [](const QList<residence::Stay> &stays) {
            QList<QStringList> rows;
            for (const residence::Stay &stay : stays)
                rows.append(ops::stayCells(stay));
            return rows;
        };
        const QList<QStringList> room = cellsOf(ops::findStays(db.connection(), {{}, {}, u"6-1"_s}));
        QCOMPARE(room.size(), 3 * kBlock / 2);
        QCOMPARE(rowsOf(ops::stayPages(db.connection(), {{}, {}, u"6-1"_s})), room);
        QCOMPARE(rowsOf(ops::stayPages(db.connection(), {u"S2"_s, {}, {}})),
                 cellsOf(ops::findStays(db.connection(), {u"S2"_s, {}, {}})));
        const QDate day(2020, 3, 10);
        const QList<QStringList> living = cellsOf(ops::livingOn(db.connection(), {}, day));
        QVERIFY(living.size() > kBlock);
        QCOMPARE(rowsOf(ops::livingOnPages(db.connection(), {}, day)), living);
        QCOMPARE(rowsOf(ops::livingOnPages(db.connection(), u"6-0"_s, day)),
                 cellsOf(ops::livingOn(db.connection(), u"6-0"_s, day)));
        QVERIFY(!ops::stayPages(db.connection(), {}));
        // A quote in what was typed is a value, not a statement.
        QCOMPARE(rowsOf(ops::stayPages(db.connection(), {{}, u"x' OR '1'='1"_s, {}})), QList<QStringList>());
    }

    // Rows another program adds between two fills appear at the next fill only; a row it
    // deletes moves no later row of what is shown.
    void anotherConnectionsWrites()
    {
        Fixture f;
        addRent(f.db, 30, 80); // ten blocks, more than are held
        f.press(u"listRentButton"_s);
        const QList<QStringList> before = shownRows(f.rentList);
        const int count = f.rentList->rowCount();
        {
            test::RawDatabase other = f.other();
            test::rowsOf(other.get(), u"INSERT INTO fanglist VALUES ('S1', '2099-01', 7)"_s);
            test::rowsOf(other.get(),
                         u"INSERT INTO personinfo VALUES ('后来','男','系','S1','1','2099-01-01','6-1')"_s);
            test::rowsOf(other.get(), u"DELETE FROM fanglist WHERE rowid = 3"_s);
        }
        // Every block read again, after the last was read first.
        QCOMPARE(f.rentList->rowTexts(count - 1), before.last());
        const QList<QStringList> again = shownRows(f.rentList);
        QCOMPARE(again.size(), count);
        QCOMPARE(again.mid(kBlock), before.mid(kBlock));
        QCOMPARE(again.at(2), before.at(3));
        QCOMPARE(again.at(kBlock - 1), QStringList(6, QString()));

        f.press(u"listRentButton"_s);
        const QList<QStringList> after = filledWhole(f.db.connection(), sql::rentListJoin, kRentColumns);
        // One charge gone; S1's 80 charges and the new one each beside both residents numbered S1.
        QCOMPARE(after.size(), count - 1 + 80 + 2);
        QCOMPARE(shownRows(f.rentList), after);
    }

    // A list longer than a block shows its first block at once and takes the rest of its rows
    // when they are counted beside the window: rows added meanwhile wait for the next fill, and a
    // refill before the count arrives leaves no trace of the old count.
    void countedBesideTheWindow()
    {
        Fixture f;
        addBills(f.db, 3 * kBlock + 17);
        // Rowids past those of a table short enough to count at once.
        f.db.exec(u"UPDATE listfei SET rowid = rowid + 100000"_s);
        {
            store::FilePages pages(f.db.connection(), sql::feeList(), kBlock, store::ListPages::Counting::Beside);
            QVERIFY(!pages.counted());
            QCOMPARE(pages.count(), kBlock);
            test::rowsOf(f.other().get(), u"INSERT INTO listfei VALUES ('new', '2099-01-01', 1, 1, 2)"_s);
            std::atomic<bool> told{false};
            pages.countBeside([&told] { told = true; });
            pages.settleCount();
            QVERIFY(pages.counted());
            QTRY_VERIFY(told);
            QCOMPARE(pages.count(), 3 * kBlock + 17);
        }
        f.press(u"listFeesButton"_s);
        auto *model = const_cast<ReportModel *>(modelOf(f.feeList));
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        const bool waited = !model->counted();
        QTRY_VERIFY(model->counted());
        QCOMPARE(model->rowCount(), 3 * kBlock + 18);
        QCOMPARE(inserted.size(), waited ? 1 : 0);
        QCOMPARE(shownRows(f.feeList), filledWhole(f.db.connection(), sql::feeListAll, kBillColumns));

        f.press(u"listFeesButton"_s);
        f.press(u"listRentButton"_s);
        f.press(u"listFeesButton"_s);
        QTRY_VERIFY(model->counted());
        QCOMPARE(model->rowCount(), 3 * kBlock + 18);
        QCOMPARE(f.feeList->rowTexts(3 * kBlock + 17).first(), u"new"_s);

        // A list of one block or less is counted at once.
        test::TestDatabase small;
        addBills(small, kBlock);
        FeesPage page{small.connection()};
        test::press(&page, u"listFeesButton"_s);
        const auto *list = test::child<ReportList>(&page, u"feeList"_s);
        QVERIFY(modelOf(list)->counted());
        QCOMPARE(list->model()->rowCount(), kBlock);
    }

    // End, Ctrl+End or the scroll bar taken to the bottom before the count lands stop at the rows
    // known; when the count lands the list goes on to its real end, unless the user moved since.
    void endBeforeTheCount()
    {
        Fixture f;
        const int all = 3 * kBlock + 17;
        addBills(f.db, all);
        f.db.exec(u"UPDATE listfei SET rowid = rowid + 100000"_s);
        f.page.show();
        ReportList *list = f.feeList;
        auto *model = const_cast<ReportModel *>(modelOf(list));
        QScrollBar *bar = list->verticalScrollBar();
        const auto lastShown = [list, all] {
            const QRect last = list->visualRect(list->model()->index(all - 1, 0));
            return last.top() >= 0 && last.bottom() < list->viewport()->height();
        };
        // The count lands at the next turn of the event loop at the soonest.
        const auto fill = [&] {
            f.press(u"listFeesButton"_s);
            QVERIFY(!model->counted());
            QCOMPARE(model->rowCount(), kBlock);
        };

        for (const auto modifiers : {Qt::NoModifier, Qt::ControlModifier}) {
            fill();
            list->setCurrentIndex(model->index(3, 2));
            QTest::keyClick(list, Qt::Key_End, modifiers);
            QCOMPARE(list->currentIndex().row(), kBlock - 1);
            QTRY_VERIFY(model->counted());
            QCOMPARE(list->currentIndex(), model->index(all - 1, 2));
            QCOMPARE(list->selectedRow(), all - 1);
            QVERIFY(lastShown());
        }

        // Moved up after End: the count leaves the user there.
        fill();
        QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(list, Qt::Key_Up);
        QTRY_VERIFY(model->counted());
        QCOMPARE(list->currentIndex().row(), kBlock - 2);

        // The scroll bar dragged to the bottom; then dragged there and back up a step.
        for (const bool back : {false, true}) {
            fill();
            bar->setSliderDown(true);
            bar->setSliderPosition(bar->maximum());
            if (back)
                bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
            bar->setSliderDown(false);
            QTRY_VERIFY(model->counted());
            QCOMPARE(lastShown(), !back);
            QCOMPARE(bar->value() == bar->maximum(), !back);
        }

        // Refilled after End: the wish was the old list's.
        fill();
        QTest::keyClick(list, Qt::Key_End);
        f.press(u"listFeesButton"_s);
        QTRY_VERIFY(model->counted());
        QVERIFY(!list->currentIndex().isValid());
        QVERIFY(bar->value() < bar->maximum());
    }

    // Sorted while it is still being counted and walked beside the window, a list takes none of
    // the walk's edges, which follow the order rows were added: a jump into the middle reads the
    // sorted rows.
    void sortedWhileCounted()
    {
        Fixture f;
        addBills(f.db, 12 * kBlock + 5);
        f.db.exec(u"UPDATE listfei SET rowid = rowid + 100000"_s);
        f.press(u"listFeesButton"_s);
        f.feeList->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
        auto *model = const_cast<ReportModel *>(modelOf(f.feeList));
        QTRY_VERIFY(model->counted());
        QTest::qWait(100); // the walk goes on after the count
        const QStringList middle = f.feeList->rowTexts(6 * kBlock + 5);
        const QList<QStringList> rows = shownRows(f.feeList);
        QCOMPARE(rows.size(), 12 * kBlock + 5);
        QCOMPARE(rows.at(6 * kBlock + 5), middle);
        for (int row = 1; row < rows.size(); ++row)
            QVERIFY2(rows.at(row - 1).at(1) >= rows.at(row).at(1), qPrintable(QString::number(row)));
    }

    // A refill empties the selection as emptying the list always has; a row chosen far down
    // keeps its index.
    void selectionAcrossARefill()
    {
        Fixture f;
        addBills(f.db, 2 * kBlock);
        f.press(u"listFeesButton"_s);
        QCOMPARE(f.feeList->rowCount(), 2 * kBlock); // every row counted, so any can be chosen
        f.feeList->selectRow(kBlock + 3);
        QCOMPARE(f.feeList->selectedRow(), kBlock + 3);
        f.feeList->scrollToBottom();
        QCOMPARE(f.feeList->selectedRow(), kBlock + 3);
        f.press(u"listFeesButton"_s);
        QCOMPARE(f.feeList->selectedRow(), -1);
        QCOMPARE(f.feeList->rowCount(), 2 * kBlock);
        // A settlement's own row replaces the list read on demand.
        f.feeList->appendRow({u"1"_s});
        QCOMPARE(f.feeList->rowCount(), 1);
    }

    // An export of all rows reads the list block by block and holds what reading row by row
    // shows.
    void exportOfAllRows()
    {
        Fixture f;
        addRent(f.db, 40, 20);
        f.press(u"listRentButton"_s);
        const ListTable table(f.rentList->model());
        QCOMPARE(table.rowCount(), f.rentList->rowCount());
        QStringList lines{table.header().join(u'\t')};
        for (int row = 0; row < f.rentList->rowCount(); ++row)
            lines.append(f.rentList->rowTexts(row).join(u'\t'));
        QCOMPARE(tableToTabText(table), lines.join(u'\n') + u'\n');

        const QString path = QDir(f.db.directory()).filePath(u"rent.csv"_s);
        QCOMPARE(writeCsv(path, table).status, ExportResult::Status::Written);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList csv = QString::fromUtf8(file.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
        QCOMPARE(csv.size(), f.rentList->rowCount() + 1);
        QCOMPARE(csv.last(), f.rentList->rowTexts(f.rentList->rowCount() - 1).join(u','));
        QVERIFY(modelOf(f.rentList)->cachedBlocks() <= ReportModel::kCachedBlocks);
    }

    // A CSV of every row goes from the store's statement straight into the file; it must be byte
    // for byte the file the shown texts give, whatever the cells hold and in any order.
    void csvStraightFromTheStore()
    {
        Fixture f;
        addBills(f.db, 3 * kBlock + 17);
        // Cells that must be quoted, defused or decoded: the texts' way, for those lines only.
        f.db.exec(u"INSERT INTO listfei VALUES ('a,b', '\"q\"', 'line\nbreak', '=1+2', -3),"
                  "('-3', '@x', '+1', 'cr\rhere', NULL), (CAST(x'EFBBBF3631' AS TEXT), '1', 2, 3, 4),"
                  "('6-1', CAST(x'C328' AS TEXT), 1, 2, 3), (CAST(x'F09F9880' AS TEXT), '中文', '中文', 2, 3)"_s);
        f.press(u"listFeesButton"_s);
        const auto csvOf = [&](const ListTable &table, const QString &name) {
            const QString path = QDir(f.db.directory()).filePath(name);
            if (writeCsv(path, table).status != ExportResult::Status::Written)
                return QByteArray();
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const auto everyRow = [&] {
            QList<int> rows;
            for (int row = 0; row < f.feeList->rowCount(); ++row)
                rows.append(row);
            return rows;
        };
        for (const int column : {-1, 0, 2}) {
            if (column >= 0)
                f.feeList->sortByColumn(column, Qt::DescendingOrder);
            const ListTable streamed(f.feeList->model());
            QVERIFY(streamed.readsAll());
            const ListTable shownTexts(f.feeList->model(), everyRow());
            QVERIFY(!shownTexts.readsAll());
            const QByteArray expected = csvOf(shownTexts, u"texts.csv"_s);
            QCOMPARE(expected.count("\r\n"), f.feeList->rowCount() + 1);
            QCOMPARE(csvOf(streamed, u"streamed.csv"_s), expected);
        }

        // Cancelled half-way, nothing is left.
        const QString path = QDir(f.db.directory()).filePath(u"cancelled.csv"_s);
        const ExportProgress cancel = [](int written) { return written < 500; };
        QCOMPARE(writeCsv(path, ListTable(f.feeList->model()), cancel).status, ExportResult::Status::Cancelled);
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(TestOnDemand)
#include "test_ondemand.moc"
