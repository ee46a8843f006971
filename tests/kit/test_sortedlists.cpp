#include "data/listpages.h"
#include "kit/listexport.h"
#include "kit/reportlist.h"
#include "pages/fees/feespage.h"
#include "pages/queries/queriespage.h"
#include "support/testsupport.h"

#include <QHeaderView>
#include <QTest>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::shownRows;

namespace {

constexpr int kBlock = store::ListPages::kBlockRows;

void clickHeader(ReportList *list, int section)
{
    QHeaderView *header = list->horizontalHeader();
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2));
}

// Charges of 37 residents over `months` months; every resident's rent differs by a few yuan and
// recurs, so a sort by rent has long runs of ties.
void addRent(test::TestDatabase &db, int months)
{
    db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<37) "
            "INSERT INTO personinfo SELECT '住户'||i, '男', '系', 'S'||i, '1', '2016-01-01', '6-'||(i%5) FROM n;"
            "INSERT INTO fangset SELECT 工号, '2026- 1- 1', 0 FROM personinfo;"
            "WITH RECURSIVE m(j) AS (SELECT 1 UNION ALL SELECT j+1 FROM m WHERE j<%1) "
            "INSERT INTO fanglist SELECT p.工号, '2016-01-01', 300 + p.rowid%4 FROM m, personinfo p "
            "ORDER BY m.j, p.rowid;"_s.arg(months));
}

struct Fixture {
    test::TestDatabase db;
    test::Answers answers;
    FeesPage page{db.connection()};
    ReportList *rentList = test::child<ReportList>(&page, u"rentList"_s);
    QHeaderView *header = rentList->horizontalHeader();

    explicit Fixture(int months = 30)
    {
        addRent(db, months); // 37 rows a month: 30 months are 1110 rows, five blocks
        page.resize(900, 700);
        page.show();
        test::press(&page, u"listRentButton"_s);
    }
};

} // namespace

class TestSortedLists : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A header click orders the list upwards by its column, a second downwards, a third as the
    // rows were added; the indicator follows and the count stays.
    void headerClicksCycle()
    {
        Fixture f;
        const QList<QStringList> added = shownRows(f.rentList);
        QCOMPARE(added.size(), 37 * 30);
        QVERIFY(f.header->isSortIndicatorShown());
        QCOMPARE(f.header->sortIndicatorSection(), -1);

        clickHeader(f.rentList, 3);
        QCOMPARE(f.header->sortIndicatorSection(), 3);
        QCOMPARE(f.header->sortIndicatorOrder(), Qt::AscendingOrder);
        const QList<QStringList> upwards = shownRows(f.rentList);
        QCOMPARE(upwards.size(), added.size());
        QList<QStringList> expected = added;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const QStringList &a, const QStringList &b) { return a.at(3) < b.at(3); });
        QCOMPARE(upwards, expected);

        clickHeader(f.rentList, 3);
        QCOMPARE(f.header->sortIndicatorOrder(), Qt::DescendingOrder);
        const QList<QStringList> downwards = shownRows(f.rentList);
        QCOMPARE(test::columnOf(downwards, 3).first(), u"303"_s);
        QCOMPARE(test::columnOf(downwards, 3).last(), u"300"_s);
        // Rows of one rent stay in the order they were added, either way.
        QCOMPARE(downwards.mid(0, 9), expected.mid(expected.size() - 9 * 30, 9));

        clickHeader(f.rentList, 3);
        QCOMPARE(f.header->sortIndicatorSection(), -1);
        QCOMPARE(shownRows(f.rentList), added);

        // Another column starts upwards again; a new fill is in the order of adding.
        clickHeader(f.rentList, 0);
        QCOMPARE(f.header->sortIndicatorSection(), 0);
        QCOMPARE(f.rentList->cellText(0, 0), u"住户1"_s);
        QCOMPARE(f.rentList->cellText(31, 0), u"住户10"_s);
        test::press(&f.page, u"listRentButton"_s);
        QCOMPARE(f.header->sortIndicatorSection(), -1);
        QCOMPARE(shownRows(f.rentList), added);
    }

    // A long list is ordered beside the window: its rows keep their order and the arrow the click
    // put until the new order is written; a click meanwhile takes over, a refill drops it.
    void longListOrderedBeside()
    {
        Fixture f(120); // 4440 rows: more than are ordered at once
        auto *model = qobject_cast<ReportModel *>(f.rentList->model());
        const QList<QStringList> added = shownRows(f.rentList);
        QList<QStringList> upwards = added;
        std::stable_sort(upwards.begin(), upwards.end(),
                         [](const QStringList &a, const QStringList &b) { return a.at(3) < b.at(3); });

        clickHeader(f.rentList, 3);
        QVERIFY(model->ordering());
        QCOMPARE(f.rentList->rowTexts(0), added.first());
        QCOMPARE(f.header->sortIndicatorSection(), 3);
        QTRY_VERIFY(!model->ordering());
        QCOMPARE(shownRows(f.rentList), upwards);
        QCOMPARE(f.header->sortIndicatorSection(), 3);

        // Downwards, then back to as added before that order is written.
        clickHeader(f.rentList, 3);
        QVERIFY(model->ordering());
        clickHeader(f.rentList, 3);
        QVERIFY(!model->ordering());
        QCOMPARE(f.header->sortIndicatorSection(), -1);
        QCOMPARE(shownRows(f.rentList), added);

        clickHeader(f.rentList, 3);
        test::press(&f.page, u"listRentButton"_s);
        QVERIFY(!model->ordering());
        QTest::qWait(300);
        QCOMPARE(f.header->sortIndicatorSection(), -1);
        QCOMPARE(shownRows(f.rentList), added);
        QVERIFY(!f.rentList->viewport()->testAttribute(Qt::WA_SetCursor));
    }

    // The end of a sorted list and back, with only a few blocks held; a selection is cleared by
    // ordering, as by a refill.
    void endAndBackAndSelection()
    {
        Fixture f;
        clickHeader(f.rentList, 1);
        clickHeader(f.rentList, 1);
        const QList<QStringList> rows = shownRows(f.rentList);
        f.rentList->selectRow(kBlock + 3);
        f.rentList->scrollToBottom();
        QCOMPARE(f.rentList->selectedRow(), kBlock + 3);
        clickHeader(f.rentList, 1);
        QCOMPARE(f.rentList->selectedRow(), -1);
        clickHeader(f.rentList, 1);
        clickHeader(f.rentList, 1);
        f.rentList->scrollToBottom();
        QCOMPARE(f.rentList->rowTexts(rows.size() - 1), rows.last());
        QCOMPARE(f.rentList->rowTexts(2 * kBlock + 1), rows.at(2 * kBlock + 1));
        f.rentList->scrollToTop();
        QCOMPARE(f.rentList->rowTexts(0), rows.first());
        QCOMPARE(f.rentList->rowTexts(kBlock - 1), rows.at(kBlock - 1));
        QCOMPARE(f.rentList->rowTexts(kBlock), rows.at(kBlock));
        QVERIFY(static_cast<const ReportModel *>(f.rentList->model())->cachedBlocks() <= ReportModel::kCachedBlocks);
    }

    // An export of a sorted list holds its rows as reading them one by one shows them.
    void exportFollowsTheOrder()
    {
        Fixture f;
        clickHeader(f.rentList, 0);
        clickHeader(f.rentList, 0);
        const ListTable table(f.rentList->model());
        QStringList lines{table.header().join(u'\t')};
        for (int row = 0; row < f.rentList->rowCount(); ++row)
            lines.append(f.rentList->rowTexts(row).join(u'\t'));
        QCOMPARE(tableToTabText(table), lines.join(u'\n') + u'\n');
        QCOMPARE(lines.at(1).section(u'\t', 0, 0), u"住户9"_s);
    }

    // A list filled whole keeps its order: a click shows no indicator and moves no row.
    void listsFilledWholeStayAsFilled()
    {
        test::TestDatabase db;
        test::Answers answers;
        QueriesPage page{db.connection()};
        page.resize(900, 700);
        page.show();
        auto *rooms = test::child<ReportList>(&page, u"roomResultList"_s);
        rooms->appendRow({u"9-1"_s});
        rooms->appendRow({u"1-1"_s});
        clickHeader(rooms, 0);
        QVERIFY(!rooms->horizontalHeader()->isSortIndicatorShown());
        QCOMPARE(rooms->horizontalHeader()->sortIndicatorSection(), -1);
        QCOMPARE(rooms->cellText(0, 0), u"9-1"_s);
    }
};

QTEST_MAIN(TestSortedLists)
#include "test_sortedlists.moc"
