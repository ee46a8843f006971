#include "data/backup.h"
#include "data/dbcheck.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QFile>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;

namespace {

const QString kOwnTables = u"SELECT name FROM sqlite_master WHERE name IN ('settlement_readings', 'rent_periods') "
                           u"ORDER BY name"_s;
const QString kBoth = u"rent_periods|settlement_readings"_s;

void reopen(TestDatabase &db)
{
    db.connection().Close();
    db.connection().Open(programConnectionString());
}

void verifyBackup(TestDatabase &db, const QString &name)
{
    const QString copy = QDir(db.directory()).filePath(name);
    backup::backupTo(db.connection(), copy);
    QCOMPARE(storeErrorOf([&] { backup::verify(copy); }).message(), QString());
}

} // namespace

class TestDbCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A sound file: two rooms, one resident in A, its count row. Each case breaks one rule.
    void findsEachBrokenRule_data()
    {
        QTest::addColumn<QString>("breakIt");
        QTest::addColumn<QStringList>("findings");
        QTest::newRow("sound") << QString() << QStringList();
        QTest::newRow("beds do not add up") << u"UPDATE floorinfo SET 空缺人数 = 9 WHERE 房间号码 = 'B'"_s
                                            << QStringList{u"房间“B”：入住人数 0 加空缺人数 9 不等于可住人数 4。"_s};
        QTest::newRow("count row off") << u"UPDATE numinfo SET 入住人数 = 2"_s
                                       << QStringList{u"房间“A”：入住人数为 1，入住人数统计却记为 2。"_s};
        QTest::newRow("room twice") << u"INSERT INTO floorinfo VALUES ('B','女','1','2','3',4,1,1,0,4)"_s
                                    << QStringList{u"房间号码“B”有 2 个房间共用。"_s};
        QTest::newRow("staff number twice, % in it")
            << u"UPDATE personinfo SET 工号 = 'P%1'; "
               "INSERT INTO personinfo VALUES ('乙','男','系','P%1','139','2004-01-01','A');"
               "UPDATE floorinfo SET 入住人数 = 2, 空缺人数 = 2 WHERE 房间号码 = 'A';"
               "UPDATE numinfo SET 入住人数 = 2;"
               "DELETE FROM residence_history"_s // begun again from the residents as they are now
            << QStringList{u"工号“P%1”有 2 个人员共用。"_s};
    }
    void findsEachBrokenRule()
    {
        QFETCH(QString, breakIt);
        QFETCH(QStringList, findings);
        TestDatabase db;
        db.exec(u"INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,1,1,1,3),('B','男','1','2','3',4,1,1,0,4);"
                "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','2004-01-01','A');"
                "INSERT INTO numinfo VALUES ('A', 1)"_s);
        if (!breakIt.isEmpty())
            db.exec(breakIt);
        const int changes = static_cast<int>(db.connection().version());
        QCOMPARE(checkDatabase(db.connection()), findings);
        QCOMPARE(static_cast<int>(db.connection().version()), changes); // read-only
    }

    void aDamagedFileIsReportedNotRuledOn()
    {
        TestDatabase db;
        for (int i = 0; i < 400; ++i)
            db.exec(
                u"INSERT INTO floorinfo VALUES ('%1','男','%2','2','3',4,1,1,0,4)"_s.arg(i).arg(QString(200, u'x')));
        QFile file(db.directory() + u"/OrvDb.mdb"_s);
        db.exec(u"PRAGMA wal_checkpoint(TRUNCATE)"_s);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 2);
        file.write(QByteArray(8192, 'x'));
        file.close();
        // Opening may already refuse the file; otherwise the check reports it before any rule.
        QString first;
        try {
            Connection fresh;
            fresh.Open(programConnectionString());
            first = checkDatabase(fresh).value(0);
        } catch (const StoreError &error) {
            first = error.message();
        }
        QVERIFY2(first.contains(u"完整性"_s) || first.contains(u"已损坏"_s), qPrintable(first));
    }

    // A file made by an earlier build, with the eight tables alone, gains ours when it is opened;
    // the check and the backup accept it with them and without them.
    void anEarlierFileGainsOurTablesAtOpen()
    {
        TestDatabase db;
        db.exec(u"INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,1,1,0,4)"_s);
        db.exec(u"DROP TABLE settlement_readings; DROP TABLE rent_periods"_s);
        QCOMPARE(checkDatabase(db.connection()), QStringList());
        verifyBackup(db, u"without.mdb"_s);

        reopen(db);
        QCOMPARE(db.text(kOwnTables), kBoth);
        QCOMPARE(db.text(u"SELECT 房间号码 FROM floorinfo"_s), u"A"_s);
        QCOMPARE(checkDatabase(db.connection()), QStringList());
        verifyBackup(db, u"with.mdb"_s);
        reopen(db); // opening again changes nothing more
        QCOMPARE(db.text(kOwnTables), kBoth);
    }
};

QTEST_GUILESS_MAIN(TestDbCheck)
#include "test_dbcheck.moc"
