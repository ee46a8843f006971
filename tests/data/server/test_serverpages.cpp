#include "data/columns.h"
#include "data/connection.h"
#include "data/filepages.h"
#include "data/residence.h"
#include "data/server/migration.h"
#include "data/server/serverstore.h"
#include "data/statements.h"
#include "support/testdatabase.h"
#include "support/testserver.h"

#include <QtTest>

#include <memory>

using namespace orv;
using namespace Qt::StringLiterals;
using Order = store::ListPages::Order;

namespace {

constexpr int kBlock = 4;

// The same rows in a file and, copied from it, in a server database; a desk open on each.
struct Fixture {
    test::TestDatabase file;
    test::TestServer server;
    Connection desk;

    Fixture()
    {
        // Names whose code page 936 order differs from their code points' (阿 < 李 < 王 < 张 there,
        // 张 < 李 < 王 < 阿 here), a blank, missing values, values shared by several rows.
        QStringList people;
        const QStringList names = {u"张三"_s, u"李四"_s, u"王五"_s, u"阿六"_s, u"Bob"_s, u""_s, u"李四"_s};
        for (int i = 0; i < 23; ++i) {
            const QString mobile = i % 5 == 0 ? u"NULL"_s : u"'13%1'"_s.arg(i % 4);
            people.append(u"('%1','%2','系','P%3',%4,'2004-01-%5','R%6')"_s.arg(names.at(i % names.size()))
                              .arg(i % 3 ? u"男"_s : u"女"_s)
                              .arg(i, 2, 10, QLatin1Char('0'))
                              .arg(mobile)
                              .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                              .arg(i % 6));
        }
        QStringList bills;
        QStringList charges;
        QStringList paid;
        for (int i = 0; i < 18; ++i) {
            const QString water = i % 7 == 3 ? u"NULL"_s : QString::number(0.1 * (i % 5), 'f', 1);
            bills.append(u"('R%1','2004-0%2-01',%3,12.5,%4)"_s.arg(i % 6).arg(i % 9 + 1).arg(water).arg(i * 1.25));
            charges.append(
                u"('P%1',%2,'2004-0%3-01')"_s.arg(i % 9, 2, 10, QLatin1Char('0')).arg(80 + i % 4).arg(i % 9 + 1));
        }
        for (int i = 0; i < 23; i += 2)
            paid.append(u"('P%1','2004-12-01',100)"_s.arg(i, 2, 10, QLatin1Char('0')));
        file.exec(u"INSERT INTO personinfo VALUES "_s + people.join(u',') + u";INSERT INTO listfei VALUES "_s +
                  bills.join(u',') + u";INSERT INTO fanglist (工号, 房租, 日期) VALUES "_s + charges.join(u',') +
                  u";INSERT INTO fangset (工号, 日期, 房租合计) VALUES "_s + paid.join(u','));
        for (int room = 0; room < 6; ++room) {
            const int living = room < 5 ? 4 : 3;
            file.exec(
                u"INSERT INTO floorinfo VALUES ('R%1','男','t','1','2',6,0,0,%2,%3);INSERT INTO numinfo VALUES ('R%1',%2)"_s
                    .arg(room)
                    .arg(living)
                    .arg(6 - living));
        }
        // A few rows gone, so the orders have gaps.
        file.exec(u"DELETE FROM listfei WHERE rowid IN (2, 6);DELETE FROM fanglist WHERE rowid = 4"_s);
        server::ServerConnection made(server.uri());
        server::migrateToServer(file.connection(), made);
        desk.openStore(server::ServerStore::open(server.uri()));
    }
};

QStringList columnsOf(const sql::ListQuery &query)
{
    if (query.from == db::personinfo::table)
        return {db::personinfo::name,   db::personinfo::sex,  db::personinfo::staffNo,
                db::personinfo::mobile, db::personinfo::date, db::personinfo::room};
    if (query.from == db::listfei::table)
        return {db::listfei::roomNo, db::listfei::date, db::listfei::water, db::listfei::power, db::listfei::total};
    return {db::personinfo::name, db::fanglist::staffNo, db::personinfo::room,
            db::fanglist::rent,   db::fanglist::date,    db::fangset::paidUpTo};
}

QList<QStringList> rowsOf(const std::vector<QString> &cells, int columns)
{
    QList<QStringList> rows;
    for (size_t at = 0; at + static_cast<size_t>(columns) <= cells.size(); at += static_cast<size_t>(columns))
        rows.append(QStringList(cells.begin() + static_cast<std::ptrdiff_t>(at),
                                cells.begin() + static_cast<std::ptrdiff_t>(at) + columns));
    return rows;
}

// Every block, the last and a middle one first so they are reached with no neighbour read.
QList<QStringList> byBlocks(store::ListPages &pages)
{
    const long blocks = pages.blockCount();
    std::vector<QList<QStringList>> read(static_cast<size_t>(blocks));
    QList<long> order{blocks - 1, blocks / 2};
    for (long block = 0; block < blocks; ++block)
        order.append(block);
    for (const long block : order) {
        if (block >= 0 && read[static_cast<size_t>(block)].isEmpty())
            read[static_cast<size_t>(block)] = rowsOf(pages.readBlock(block), pages.columnCount());
    }
    QList<QStringList> rows;
    for (const auto &block : read)
        rows += block;
    return rows;
}

QList<QStringList> wholeOf(store::ListPages &pages)
{
    QList<QStringList> rows;
    pages.readAll([&](const std::vector<QByteArrayView> &cells) {
        QStringList row;
        for (const QByteArrayView cell : cells)
            row.append(QString::fromUtf8(cell));
        rows.append(row);
        return true;
    });
    return rows;
}

} // namespace

class TestServerPages final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each list reads the same rows in the same order from the server as from the file: as they
    // were added and sorted by every column both ways, block by block and whole.
    void sameRowsAsTheFile()
    {
        Fixture f;
        const QList<sql::ListQuery> queries = {sql::personList(), sql::personListWhere(db::personinfo::sex, u"男"_s),
                                               sql::feeList(), sql::rentList()};
        for (const sql::ListQuery &query : queries) {
            const QStringList columns = columnsOf(query);
            store::FilePages file(f.file.connection(), query, kBlock);
            const std::unique_ptr<store::ListPages> onServer = store::ListPages::open(f.desk, query, kBlock);
            QCOMPARE(onServer->count(), file.count());
            QVERIFY(file.count() > 2 * kBlock);
            file.showColumns(columns);
            onServer->showColumns(columns);
            for (int column = -1; column < columns.size(); ++column) {
                for (const Order order : {Order::Ascending, Order::Descending}) {
                    if (column < 0 && order == Order::Descending)
                        continue;
                    const Order wanted = column < 0 ? Order::Added : order;
                    QVERIFY(file.setOrder(column, wanted));
                    QVERIFY(onServer->setOrder(column, wanted));
                    QCOMPARE(onServer->orderColumn(), file.orderColumn());
                    const QList<QStringList> expected = byBlocks(file);
                    QCOMPARE(expected.size(), file.count());
                    const QString what = query.text() + u" by "_s + QString::number(column);
                    QCOMPARE(byBlocks(*onServer), expected);
                    QVERIFY2(wholeOf(*onServer) == expected, qPrintable(what));
                }
            }
        }
    }

    // The list is the rows there were when it was opened: one added later stays out, one deleted
    // leaves an empty row at its block's edge and the rows shown before stay where they were.
    void rowsOfWhenOpened()
    {
        Fixture f;
        const std::unique_ptr<store::ListPages> pages = store::ListPages::open(f.desk, sql::feeList(), kBlock);
        pages->showColumns(columnsOf(sql::feeList()));
        const QList<QStringList> before = byBlocks(*pages);
        f.desk.execute(u"INSERT INTO listfei VALUES ('Z','2009-01-01',1,1,2)"_s);
        const std::unique_ptr<store::ListPages> fresh = store::ListPages::open(f.desk, sql::feeList(), kBlock);
        QCOMPARE(fresh->count(), pages->count() + 1);
        QCOMPARE(byBlocks(*pages), before);

        // Block 1 alone read by a second list, so its block 0 is later read up to block 1's edge.
        const std::unique_ptr<store::ListPages> second = store::ListPages::open(f.desk, sql::feeList(), kBlock);
        second->showColumns(columnsOf(sql::feeList()));
        QCOMPARE(rowsOf(second->readBlock(1), 5), before.mid(kBlock, kBlock));

        f.desk.execute(
            u"DELETE FROM listfei WHERE 房间号码 = '%1' AND 日期 = '%2'"_s.arg(before.at(1).at(0), before.at(1).at(1)));
        const QStringList gap(5, QString());
        QCOMPARE(rowsOf(pages->readBlock(0), 5), (QList<QStringList>{before.at(0), before.at(2), before.at(3), gap}));
        QCOMPARE(rowsOf(pages->readBlock(1), 5), before.mid(kBlock, kBlock));
        QCOMPARE(rowsOf(second->readBlock(0), 5), (QList<QStringList>{gap, before.at(0), before.at(2), before.at(3)}));
    }

    // A list no longer than a block is read whole as it opens; a row added later stays out of it
    // when its block is read again.
    void aShortListIsReadAsItOpens()
    {
        Fixture f;
        const sql::ListQuery query = sql::personListWhere(db::personinfo::name, u"张三"_s);
        store::FilePages file(f.file.connection(), query, kBlock);
        file.showColumns(columnsOf(query));
        const std::unique_ptr<store::ListPages> pages = store::ListPages::open(f.desk, query, kBlock);
        pages->showColumns(columnsOf(query));
        QCOMPARE(pages->count(), long{kBlock});
        const QList<QStringList> first = byBlocks(*pages);
        QCOMPARE(first, byBlocks(file));
        f.desk.execute(u"INSERT INTO personinfo VALUES ('张三','男','系','P99','1','2004-01-01','R0')"_s);
        // Read afresh, newest staff number first: the new row would lead.
        QVERIFY(pages->setOrder(2, Order::Descending));
        QVERIFY(file.setOrder(2, Order::Descending));
        QCOMPARE(byBlocks(*pages), byBlocks(file));
        QCOMPARE(store::ListPages::open(f.desk, query, kBlock)->count(), kBlock + 1L);
    }

    // A typed value stays a value on a server whose default takes a backslash as an escape.
    void typedQuotesStayValues()
    {
        Fixture f;
        test::TestServer::admin().run(
            u"ALTER DATABASE %1 SET standard_conforming_strings = off"_s.arg(f.server.name()));
        Connection desk;
        desk.openStore(server::ServerStore::open(f.server.uri()));
        const QString typed = u"x\\' OR true --"_s;
        QCOMPARE(store::ListPages::open(desk, sql::personListWhere(db::personinfo::name, typed))->count(), 0L);
        QCOMPARE(store::ListPages::open(desk, sql::personListWhere(db::personinfo::name, u"李四"_s))->count(), 7L);
    }

    // A column the statement computes cannot be sorted by, and stopping an export stops reading.
    void unsortableColumnAndStoppedExport()
    {
        Fixture f;
        sql::ListQuery query = sql::personList();
        query.columns = u"姓名, 工号 || 房间 AS 位置"_s;
        const std::unique_ptr<store::ListPages> pages = store::ListPages::open(f.desk, query, kBlock);
        pages->showColumns({u"姓名"_s, u"位置"_s});
        QVERIFY(!pages->setOrder(1, Order::Ascending));
        QCOMPARE(pages->orderColumn(), -1);
        QVERIFY(pages->setOrder(0, Order::Descending));
        long seen = 0;
        QCOMPARE(pages->readAll([&](const std::vector<QByteArrayView> &) { return ++seen < 3; }), 3L);
    }
};

QTEST_GUILESS_MAIN(TestServerPages)
#include "test_serverpages.moc"
