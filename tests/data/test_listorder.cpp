#include "data/filepages.h"
#include "data/statements.h"
#include "support/testdatabase.h"

#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace orv;
using namespace Qt::StringLiterals;
using Order = store::ListPages::Order;

namespace {

constexpr int kBlock = 4; // small blocks, so a few dozen rows cross many boundaries

// Names in the order code page 936 gives them: empty first (no value before an empty text), then
// ASCII, then characters by their GBK codes (阿 B0A2, 李 C0EE, 王 CDF5, 张 D5C5, 赵 D5D4), which
// Unicode orders otherwise (张 5F20, 李 674E, 王 738B, 阿 963F, 赵 8D75).
const QStringList kNames = {u"NULL"_s, u""_s, u"Li"_s, u"阿"_s, u"李"_s, u"王"_s, u"张"_s, u"赵"_s};

QString sqlValue(const QString &name)
{
    return name == u"NULL"_s ? name : u"'"_s + name + u"'"_s;
}

QList<QStringList> blockOf(store::ListPages &pages, long block)
{
    QList<QStringList> rows;
    const std::vector<QString> cells = pages.readBlock(block);
    for (size_t at = 0; at < cells.size(); at += static_cast<size_t>(pages.columnCount()))
        rows.append(QStringList(cells.begin() + static_cast<qsizetype>(at),
                                cells.begin() + static_cast<qsizetype>(at) + pages.columnCount()));
    return rows;
}

// Every row of the list, block after block.
QList<QStringList> readAll(store::ListPages &pages)
{
    QList<QStringList> rows;
    for (long block = 0; block < pages.blockCount(); ++block)
        rows += blockOf(pages, block);
    return rows;
}

// Residents S0, S1, ... named from kNames out of order, each name several times; two rent charges
// each, every other one without a rent, and a paid-up date.
void addResidents(test::TestDatabase &db, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString staff = u"S%1"_s.arg(i, 2, 10, QLatin1Char('0'));
        db.exec(u"INSERT INTO personinfo VALUES (%1, '男', '系', '%2', '1', '2016-01-01', '6-%3')"_s.arg(
            sqlValue(kNames.at((i * 5) % kNames.size())), staff, QString::number(i % 3)));
        db.exec(u"INSERT INTO fangset VALUES ('%1', '2026-%2-01', 0)"_s.arg(staff).arg(12 - i % 12, 2, 10,
                                                                                       QLatin1Char('0')));
    }
    for (int month = 1; month <= 2; ++month)
        db.exec(u"INSERT INTO fanglist SELECT 工号, '2016-0%1-0'||(rowid%3+1), CASE rowid%2 WHEN 0 THEN NULL "
                "ELSE 300-rowid%4*100 END FROM personinfo"_s.arg(month));
}

const QStringList kRentColumns = {u"姓名"_s, u"工号"_s, u"房间"_s, u"房租"_s, u"日期"_s, u"房租到期"_s};

// The rent list in small blocks, every column shown.
std::unique_ptr<store::ListPages> rentPages(test::TestDatabase &db)
{
    auto pages = std::make_unique<store::FilePages>(db.connection(), sql::rentList(), kBlock);
    pages->showColumns(kRentColumns);
    return pages;
}

} // namespace

class TestListOrder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A text column in code-page-936 order, rows of one name as they were added; the other way
    // round with ties still as added; and back to the order of adding.
    void textsOrderAsCodePage936()
    {
        test::TestDatabase db;
        addResidents(db, 40);
        store::FilePages pages(db.connection(), sql::personList(), kBlock);
        pages.showColumns({u"姓名"_s, u"工号"_s});
        const QList<QStringList> added = readAll(pages);
        QCOMPARE(added.size(), 40);

        QVERIFY(pages.setOrder(0, Order::Ascending));
        const QList<QStringList> ascending = readAll(pages);
        QCOMPARE(
            test::columnOf(ascending, 0).mid(10),
            (QStringList{u"Li"_s, u"Li"_s, u"Li"_s, u"Li"_s, u"Li"_s, u"阿"_s, u"阿"_s, u"阿"_s, u"阿"_s, u"阿"_s,
                         u"李"_s, u"李"_s, u"李"_s, u"李"_s, u"李"_s, u"王"_s, u"王"_s, u"王"_s, u"王"_s, u"王"_s,
                         u"张"_s, u"张"_s, u"张"_s, u"张"_s, u"张"_s, u"赵"_s, u"赵"_s, u"赵"_s, u"赵"_s, u"赵"_s}));
        // No value first, then the empty texts, each as added.
        QCOMPARE(test::columnOf(ascending, 1).mid(0, 10),
                 (QStringList{u"S00"_s, u"S08"_s, u"S16"_s, u"S24"_s, u"S32"_s, u"S05"_s, u"S13"_s, u"S21"_s, u"S29"_s,
                              u"S37"_s}));
        QCOMPARE(test::columnOf(ascending, 1).mid(10, 5),
                 (QStringList{u"S02"_s, u"S10"_s, u"S18"_s, u"S26"_s, u"S34"_s}));

        QVERIFY(pages.setOrder(0, Order::Descending));
        const QList<QStringList> descending = readAll(pages);
        QCOMPARE(test::columnOf(descending, 0).first(), u"赵"_s);
        QCOMPARE(test::columnOf(descending, 1).mid(0, 5),
                 (QStringList{u"S03"_s, u"S11"_s, u"S19"_s, u"S27"_s, u"S35"_s}));
        QCOMPARE(test::columnOf(descending, 1).mid(30),
                 (QStringList{u"S05"_s, u"S13"_s, u"S21"_s, u"S29"_s, u"S37"_s, u"S00"_s, u"S08"_s, u"S16"_s, u"S24"_s,
                              u"S32"_s}));

        QVERIFY(pages.setOrder(-1, Order::Added));
        QCOMPARE(readAll(pages), added);
    }

    // Numbers by value, not by their text; a text in a number column after every number.
    void numbersOrderByValue()
    {
        test::TestDatabase db;
        const QStringList totals = {u"10"_s, u"-3"_s,  u"2.5"_s,   u"NULL"_s, u"100"_s,
                                    u"0"_s,  u"2.5"_s, u"'n/a'"_s, u"1e10"_s, u"-0.5"_s};
        for (int i = 0; i < totals.size(); ++i)
            db.exec(u"INSERT INTO listfei VALUES ('r%1', '2016-01-01', 1, 1, %2)"_s.arg(i).arg(totals.at(i)));
        store::FilePages pages(db.connection(), sql::feeList(), kBlock);
        pages.showColumns({u"房间号码"_s, u"总费用"_s});
        QVERIFY(pages.setOrder(1, Order::Ascending));
        QCOMPARE(test::columnOf(readAll(pages), 0), (QStringList{u"r3"_s, u"r1"_s, u"r9"_s, u"r5"_s, u"r2"_s, u"r6"_s,
                                                                 u"r0"_s, u"r4"_s, u"r8"_s, u"r7"_s}));
        QVERIFY(pages.setOrder(1, Order::Descending));
        QCOMPARE(test::columnOf(readAll(pages), 0), (QStringList{u"r7"_s, u"r8"_s, u"r4"_s, u"r0"_s, u"r2"_s, u"r6"_s,
                                                                 u"r5"_s, u"r9"_s, u"r1"_s, u"r3"_s}));
    }

    // Any block of a sorted list, reached first from the end, from the start or between known
    // blocks, holds the rows reading them in turn gives.
    void blocksInAnyOrder()
    {
        test::TestDatabase db;
        addResidents(db, 40);
        for (const Order order : {Order::Ascending, Order::Descending}) {
            store::FilePages whole(db.connection(), sql::rentList(), kBlock);
            whole.showColumns({u"姓名"_s, u"工号"_s, u"日期"_s});
            QVERIFY(whole.setOrder(0, order));
            const QList<QStringList> rows = readAll(whole);
            QCOMPARE(rows.size(), 80);

            store::FilePages jumped(db.connection(), sql::rentList(), kBlock);
            jumped.showColumns({u"姓名"_s, u"工号"_s, u"日期"_s});
            QVERIFY(jumped.setOrder(0, order));
            const long last = jumped.blockCount() - 1;
            for (const long block : {last, 0L, 12L, 5L, 6L, last - 1, 1L})
                QCOMPARE(blockOf(jumped, block), rows.mid(static_cast<qsizetype>(block) * kBlock, kBlock));
            // Ordering anew forgets the edges of the old order.
            QVERIFY(jumped.setOrder(0, order == Order::Ascending ? Order::Descending : Order::Ascending));
            QVERIFY(jumped.setOrder(0, order));
            QCOMPARE(blockOf(jumped, 9), rows.mid(9 * kBlock, kBlock));
        }
    }

    // Every column of the rent list: the same rows, each column's values in order, and rows of one
    // charge's value as the list had them.
    void everyRentColumn()
    {
        test::TestDatabase db;
        addResidents(db, 24);
        const QStringList &columns = kRentColumns;
        const auto owned = rentPages(db);
        store::ListPages &pages = *owned;
        const QList<QStringList> added = readAll(pages);
        QList<QStringList> addedSorted = added;
        std::sort(addedSorted.begin(), addedSorted.end());
        for (int at = 0; at < columns.size(); ++at) {
            QVERIFY(pages.setOrder(at, Order::Ascending));
            const QList<QStringList> rows = readAll(pages);
            QList<QStringList> same = rows;
            std::sort(same.begin(), same.end());
            QCOMPARE(same, addedSorted);
            // In order as the page shows them: names by kNames (a null shows as an empty text),
            // rents as numbers, the rest in ASCII.
            const auto less = [at](const QStringList &a, const QStringList &b) {
                if (at == 0)
                    return std::max<qsizetype>(kNames.indexOf(a.at(0)), 1) <
                           std::max<qsizetype>(kNames.indexOf(b.at(0)), 1);
                if (at == 3)
                    return (a.at(3).isEmpty() ? -1.0 : a.at(3).toDouble()) <
                           (b.at(3).isEmpty() ? -1.0 : b.at(3).toDouble());
                return a.at(at) < b.at(at);
            };
            QVERIFY(std::is_sorted(rows.begin(), rows.end(), less));
            // Sorted by a charge's own column, rows of one value stay as the list had them.
            if (at == 1 || at == 3 || at == 4) {
                QList<QStringList> stable = added;
                std::stable_sort(stable.begin(), stable.end(), less);
                QCOMPARE(rows, stable);
            }
        }
    }

    // An order read beside and written a slice at a time gives the rows setOrder gives, by every
    // column and either way; until it is all written the rows keep their order, and no slice is
    // written while a unit is open.
    void orderedBesideAsAtOnce()
    {
        test::TestDatabase db;
        addResidents(db, 40);
        const auto owned = rentPages(db);
        store::ListPages &pages = *owned;
        const QList<QStringList> added = readAll(pages);
        for (int at = 0; at < kRentColumns.size(); ++at) {
            for (const Order order : {Order::Ascending, Order::Descending}) {
                const auto atOnce = rentPages(db);
                QVERIFY(atOnce->setOrder(at, order));
                const QList<QStringList> expected = readAll(*atOnce);

                QVERIFY(pages.setOrder(-1, Order::Added));
                std::atomic<bool> ready{false};
                QVERIFY(pages.orderBeside(at, order, [&ready] { ready = true; }));
                QVERIFY(pages.ordering());
                while (!ready)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                db.connection().beginUnit();
                QCOMPARE(pages.writeOrder(1), store::ListPages::Progress::Waiting);
                db.connection().rollbackUnit();
                QCOMPARE(pages.writeOrder(1), store::ListPages::Progress::Writing);
                QCOMPARE(blockOf(pages, 0), added.mid(0, kBlock));
                while (pages.writeOrder(3) != store::ListPages::Progress::Done) {
                }
                QVERIFY(!pages.ordering());
                QCOMPARE(pages.orderColumn(), at);
                // The keys walked beside in the new order: a block in the middle first.
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                QCOMPARE(blockOf(pages, 9), expected.mid(9 * kBlock, kBlock));
                QCOMPARE(readAll(pages), expected);
            }
        }
        // A second order takes the place of one under way; a list may end with one under way.
        QVERIFY(pages.orderBeside(0, Order::Ascending, [] {}));
        QVERIFY(pages.orderBeside(1, Order::Descending, [] {}));
        const auto atOnce = rentPages(db);
        QVERIFY(atOnce->setOrder(1, Order::Descending));
        while (pages.writeOrder(1000) != store::ListPages::Progress::Done)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        QCOMPARE(readAll(pages), readAll(*atOnce));
        QVERIFY(rentPages(db)->orderBeside(2, Order::Ascending, [] {}));
    }

    // Ordered by any column, a block reads the ranks first and each value's rows through an index
    // of the column (the file's, or the connection's own where the file has none), sorting
    // nothing; the order of adding keeps its statements.
    void sortedBlocksSortNothing()
    {
        test::TestDatabase db;
        sqlite3 *engine = db.connection().handle();
        const std::vector<std::pair<sql::ListQuery, QStringList>> lists = {
            {sql::rentList(), {u"姓名"_s, u"工号"_s, u"房间"_s, u"房租"_s, u"日期"_s, u"房租到期"_s}},
            {sql::feeList(), {u"房间号码"_s, u"日期"_s, u"水费"_s, u"电费"_s, u"总费用"_s}},
            {sql::personListWhere(u"性别"_s, u"男"_s), {u"姓名"_s, u"性别"_s, u"部门"_s, u"手机"_s}}};
        for (const auto &[query, columns] : lists) {
            store::FilePages pages(db.connection(), query);
            pages.showColumns(columns);
            const QString added = pages.rangeStatement(false, false, true, true);
            for (int at = 0; at < columns.size(); ++at) {
                QVERIFY(pages.setOrder(at, Order::Ascending));
                for (const bool keysOnly : {false, true}) {
                    for (const bool backwards : {false, true}) {
                        const QStringList plan =
                            test::planOf(engine, pages.rangeStatement(keysOnly, backwards, false, true));
                        QVERIFY2(plan.size() > query.keyTables.size() && plan.first().startsWith(u"list_order_"_s) &&
                                     !plan.contains(u"sorted"_s),
                                 qPrintable(plan.join(u' ')));
                    }
                }
            }
            QVERIFY(pages.setOrder(-1, Order::Added));
            QCOMPARE(pages.rangeStatement(false, false, true, true), added);
        }
    }
};

QTEST_GUILESS_MAIN(TestListOrder)
#include "test_listorder.moc"
