#include "data/columns.h"
#include "data/dbcheck.h"
#include "data/listpages.h"
#include "data/residence.h"
#include "operations/accommodation.h"
#include "operations/batch.h"
#include "operations/history.h"
#include "support/teststore.h"

#include <QDate>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::TestStore;

namespace {

// Each stay as "staff,room,in,out,by in,by out,origin".
QStringList stays(const QList<residence::Stay> &list)
{
    QStringList lines;
    for (const residence::Stay &s : list)
        lines.append(
            QStringList{s.staffNo, s.room, s.checkedIn, s.checkedOut, s.checkedInBy, s.checkedOutBy, s.origin}.join(
                u','));
    return lines;
}

// The same, read on demand as the history dialogs read them.
QStringList listed(const std::unique_ptr<store::ListPages> &pages)
{
    pages->showColumns(ops::stayColumns());
    QStringList lines;
    pages->readAll([&](const std::vector<QByteArrayView> &cells) {
        QStringList line;
        for (const size_t at : {0, 3, 4, 5, 6, 7, 8})
            line.append(QString::fromUtf8(cells[at]));
        lines.append(line.join(u','));
        return true;
    });
    return lines;
}

ops::CheckInForm form(const QString &staffNo, const QString &room, const QDate &date)
{
    return {u"甲"_s, u"男"_s, u"系"_s, staffNo, u"139"_s, date, room};
}

const QString kToday = QDate::currentDate().toString(u"yyyy-MM-dd"_s);

} // namespace

class TestOpsHistory final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A stay begins with the check-in and ends with the check-out, naming who did each; checked in
    // again elsewhere, the resident has a second stay; the database check finds them agreeing.
    void staysFollowCheckInsAndCheckOuts()
    {
        TestStore db;
        db.addRoom(u"A"_s);
        db.addRoom(u"B"_s);
        db.connection().setOperatorName(u"张三"_s);
        QVERIFY(ops::checkIn(db.connection(), form(u"P1"_s, u"A"_s, QDate(2026, 3, 1))).done);
        QCOMPARE(stays(residence::ofStaffNo(db.connection(), u"P1"_s)), QStringList{u"P1,A,2026-03-01,,张三,,"_s});

        db.connection().setOperatorName(u"李四"_s);
        QVERIFY(ops::checkOut(db.connection(), {u"P1"_s, u"A"_s}).done);
        QVERIFY(ops::checkIn(db.connection(), form(u"P1"_s, u"B"_s, QDate::currentDate())).done);
        const QStringList expected{u"P1,A,2026-03-01,%1,张三,李四,"_s.arg(kToday), u"P1,B,%1,,李四,,"_s.arg(kToday)};
        QCOMPARE(stays(residence::ofStaffNo(db.connection(), u"P1"_s)), expected);
        QCOMPARE(stays(residence::ofName(db.connection(), u"甲"_s)), expected);
        QCOMPARE(stays(residence::ofRoom(db.connection(), u"A"_s)), expected.mid(0, 1));
        // On the day of the move the resident was in both rooms; before it only in the first.
        QCOMPARE(residence::onDate(db.connection(), QString(), QDate::currentDate()).size(), 2);
        QCOMPARE(stays(residence::onDate(db.connection(), u"B"_s, QDate(2026, 3, 1))), QStringList());
        QCOMPARE(stays(residence::onDate(db.connection(), QString(), QDate(2026, 3, 1))), expected.mid(0, 1));
        QCOMPARE(listed(ops::stayPages(db.connection(), {u"P1"_s, {}, {}})), expected);
        QCOMPARE(listed(ops::stayPages(db.connection(), {{}, {}, u"A"_s})), expected.mid(0, 1));
        QCOMPARE(listed(ops::livingOnPages(db.connection(), QString(), QDate(2026, 3, 1))), expected.mid(0, 1));
        // A quote in what was typed is a value, not a statement.
        QCOMPARE(listed(ops::stayPages(db.connection(), {{}, u"x' OR '1'='1"_s, {}})), QStringList());
        QCOMPARE(checkDatabase(db.connection()), QStringList());
    }

    // A refused check-in and one whose unit is undone leave no stay; a check-out of someone another
    // program added is recorded as a stay noted as such.
    void onlyWhatStaysIsRecorded()
    {
        TestStore db;
        db.addRoom(u"A"_s, 9); // full
        db.addRoom(u"B"_s);
        QVERIFY(!ops::checkIn(db.connection(), form(u"P1"_s, u"A"_s, QDate(2026, 3, 1))).done);
        db.connection().beginUnit();
        QVERIFY(ops::checkIn(db.connection(), form(u"P2"_s, u"B"_s, QDate(2026, 3, 1))).done);
        db.connection().rollbackUnit();
        QCOMPARE(db.count(db::residence::table), 0);

        db.connection().beginUnit(); // as another program would: no stay begins
        db.connection().execute(u"INSERT INTO personinfo VALUES ('乙','男','系','P3','1','2026-01-02','B')"_s);
        db.connection().commitUnit();
        QVERIFY(ops::checkOut(db.connection(), {u"P3"_s, u"B"_s}).done);
        QCOMPARE(stays(residence::ofStaffNo(db.connection(), u"P3"_s)),
                 QStringList{u"P3,B,2026-01-02,%1,,,%2"_s.arg(kToday, residence::kNoCheckIn)});
    }

    // The batch checks in through the same operation: a stay for each row it imports.
    void aBatchBeginsAStayPerRow()
    {
        TestStore db;
        db.addRoom(u"6-1-101"_s);
        db.connection().setOperatorName(u"王五"_s);
        ops::BatchOperations operations;
        operations.checkIn = ops::checkInOperation(&ops::checkIn);
        ops::Batch batch = ops::makeBatch(ops::BatchKind::CheckIns,
                                          ops::readCsv("姓名,性别,部门,工号,手机,日期,房间\n"
                                                       "李明,男,后勤处,B1,139,2024-09-01,6-1-101\n"
                                                       "王芳,女,后勤处,B2,139,2024-09-02,6-1-101\n"),
                                          operations);
        QVERIFY(ops::preview(db.connection(), batch));
        QCOMPARE(ops::importBatch(db.connection(), batch).imported, 2);
        QCOMPARE(stays(residence::ofRoom(db.connection(), u"6-1-101"_s)),
                 (QStringList{u"B1,6-1-101,2024-09-01,,王五,,"_s, u"B2,6-1-101,2024-09-02,,王五,,"_s}));
    }

    // A file kept before the history began starts it, at its next opening, from those living there
    // then, with the check-in dates their rows give; opening it again adds nothing.
    void anOlderFileStartsItsHistoryFromItsResidents()
    {
        if (TestStore::serverRun())
            QSKIP("A file's own opening: a server's database is made with its history.");
        TestStore db;
        db.addRoom(u"A"_s, 2);
        db.exec(u"DROP TABLE residence_history; INSERT INTO numinfo VALUES ('A', 2);"
                "INSERT INTO personinfo VALUES ('甲','男','系','P1','1','2004-03-15','A'),"
                "('乙','男','系','P2','1','2004- 4- 1','A')"_s);
        for (int opening = 0; opening < 2; ++opening) {
            db.connection().Close();
            db.connection().Open(programConnectionString());
            QCOMPARE(stays(residence::ofRoom(db.connection(), u"A"_s)),
                     (QStringList{u"P1,A,2004-03-15,,,,%1"_s.arg(residence::kLivingAtStart),
                                  u"P2,A,2004-04-01,,,,%1"_s.arg(residence::kLivingAtStart)}));
        }
        QCOMPARE(checkDatabase(db.connection()), QStringList());
    }

    // The check names a resident without an open stay, a stay left open for someone gone, and a
    // staff number with more open stays than residents.
    void theCheckFindsAHistoryThatDisagrees()
    {
        TestStore db;
        db.addRoom(u"A"_s, 1);
        db.exec(u"INSERT INTO numinfo VALUES ('A', 1);"
                "INSERT INTO personinfo VALUES ('甲','男','系','P1','1','2004-03-15','A')"_s);
        db.exec(u"UPDATE residence_history SET room = 'B'"_s);
        QCOMPARE(checkDatabase(db.connection()),
                 (QStringList{u"住宿记录：工号“P1”住在房间“A”，却没有在这个房间尚未迁出的住宿记录。"_s,
                              u"住宿记录：工号“P1”并不住在房间“B”，却有在这个房间尚未迁出的住宿记录。"_s}));
        db.exec(u"UPDATE residence_history SET room = 'A';"
                "INSERT INTO residence_history (staff_no, name, department, room, checked_in, checked_in_by, "
                "checked_out_by, origin) VALUES ('P1','甲','系','A','2004-03-15','','','')"_s);
        QCOMPARE(checkDatabase(db.connection()),
                 QStringList{u"住宿记录：工号“P1”有 2 条尚未迁出的住宿记录，住着的却只有 1 人。"_s});
    }
};

QTEST_GUILESS_MAIN(TestOpsHistory)
#include "test_ops_history.moc"
