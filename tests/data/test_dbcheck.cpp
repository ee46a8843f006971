#include "data/dbcheck.h"
#include "support/testdatabase.h"

#include <QFile>

using namespace orv;
using orv::test::TestDatabase;

class TestDbCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A sound file: two rooms, one resident in A, its count row. Each case breaks one rule.
    void findsEachBrokenRule_data()
    {
        QTest::addColumn<QString>("breakIt");
        QTest::addColumn<QStringList>("findings");
        QTest::newRow("sound") << QString() << QStringList();
        QTest::newRow("beds do not add up")
            << QStringLiteral("UPDATE floorinfo SET 空缺人数 = 9 WHERE 房间号码 = 'B'")
            << QStringList{QStringLiteral("房间“B”：入住人数 0 加空缺人数 9 不等于可住人数 4。")};
        QTest::newRow("resident without count")
            << QStringLiteral("INSERT INTO personinfo VALUES ('乙','男','系','P2','139','2004-01-01','B')")
            << QStringList{QStringLiteral("房间“B”：入住人数为 0，住在这个房间的人员却有 1 人。")};
        QTest::newRow("count row off") << QStringLiteral("UPDATE numinfo SET 入住人数 = 2")
                                       << QStringList{QStringLiteral("房间“A”：入住人数为 1，入住人数统计却记为 2。")};
        QTest::newRow("count row missing")
            << QStringLiteral("DELETE FROM numinfo")
            << QStringList{QStringLiteral("房间“A”：入住人数为 1，入住人数统计却记为 0。")};
        QTest::newRow("room twice") << QStringLiteral("INSERT INTO floorinfo VALUES ('B','女','1','2','3',4,1,1,0,4)")
                                    << QStringList{QStringLiteral("房间号码“B”有 2 个房间共用。")};
        QTest::newRow("staff number twice, % in it")
            << QStringLiteral("UPDATE personinfo SET 工号 = 'P%1'; "
                              "INSERT INTO personinfo VALUES ('乙','男','系','P%1','139','2004-01-01','A');"
                              "UPDATE floorinfo SET 入住人数 = 2, 空缺人数 = 2 WHERE 房间号码 = 'A';"
                              "UPDATE numinfo SET 入住人数 = 2")
            << QStringList{QStringLiteral("工号“P%1”有 2 个人员共用。")};
    }
    void findsEachBrokenRule()
    {
        QFETCH(QString, breakIt);
        QFETCH(QStringList, findings);
        TestDatabase db;
        db.exec(QStringLiteral(
            "INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,1,1,1,3),('B','男','1','2','3',4,1,1,0,4);"
            "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','2004-01-01','A');"
            "INSERT INTO numinfo VALUES ('A', 1)"));
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
            db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('%1','男','%2','2','3',4,1,1,0,4)")
                        .arg(i)
                        .arg(QString(200, QLatin1Char('x'))));
        QFile file(db.directory() + QStringLiteral("/OrvDb.mdb"));
        db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 2);
        file.write(QByteArray(8192, 'x'));
        file.close();
        QStringList findings;
        try {
            Connection fresh;
            fresh.Open(programConnectionString());
            findings = checkDatabase(fresh);
        } catch (const StoreError &error) {
            findings = QStringList{error.message()};
        }
        QVERIFY(!findings.isEmpty());
        QVERIFY2(findings.first().contains(QStringLiteral("完整性")) ||
                     findings.first().contains(QStringLiteral("已损坏")),
                 qPrintable(findings.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestDbCheck)
#include "test_dbcheck.moc"
