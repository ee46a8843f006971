#include "data/backup.h"
#include "data/recordset.h"
#include "data/securekey.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;

namespace {

// The rooms another program's connection sees.
QString roomsSeenBy(sqlite3 *db)
{
    QStringList rooms;
    for (const QStringList &row : test::rowsOf(db, u"SELECT 房间号码 FROM floorinfo ORDER BY 1"_s))
        rooms.append(row.value(0));
    return rooms.join(QLatin1Char('|'));
}

} // namespace

class TestBackup final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void backupThenRestoreBringsRowsBack()
    {
        TestDatabase db;
        db.addRoom(u"101"_s);
        const QString copy = QDir(db.directory()).filePath(u"copy.mdb"_s);

        // A set open where it stands while the copy is taken, as a page may leave one.
        Recordset open(&db.connection());
        open.Open(u"select * from floorinfo"_s);
        backup::backupTo(db.connection(), copy);
        QVERIFY(!QFile::exists(copy + u"-wal"_s));

        db.exec(u"UPDATE floorinfo SET 房间号码='303'"_s);

        const QString kept = backup::restoreFrom(db.connection(), copy, QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)));
        QCOMPARE(QFileInfo(kept).fileName(), u"OrvDb-before-restore-20261206-090507.mdb"_s);
        QCOMPARE(db.text(u"SELECT 房间号码 FROM floorinfo"_s), u"101"_s);
        QCOMPARE(open.State(), adStateClosed);

        db.addRoom(u"404"_s);
        QCOMPARE(db.count(u"floorinfo"_s), 2);

        // The replaced data is kept and is itself a valid backup.
        QCOMPARE(storeErrorOf([&] { backup::verify(kept); }).message(), QString());
        QCOMPARE(QDir(db.directory()).entryList({u"*.part"_s}, QDir::Files | QDir::Hidden), QStringList());
    }

    // Another program with the file open sees the restored data and goes on writing into the same
    // file; the file keeps its mode.
    void restoreReachesAnotherProgramWithTheFileOpen()
    {
        TestDatabase db;
        db.addRoom(u"101"_s);
        const QString copy = QDir(db.directory()).filePath(u"copy.mdb"_s);
        backup::backupTo(db.connection(), copy);
        db.exec(u"UPDATE floorinfo SET 房间号码='303'"_s);
        const QString live = QDir(db.directory()).filePath(u"OrvDb.mdb"_s);
        QCOMPARE(::chmod(QFile::encodeName(live).constData(), 0640), 0);

        test::RawDatabase other = test::openKeyed(live);
        QCOMPARE(roomsSeenBy(other.get()), u"303"_s);
        backup::restoreFrom(db.connection(), copy, QDateTime::currentDateTime());
        QCOMPARE(roomsSeenBy(other.get()), u"101"_s);
        QCOMPARE(sqlite3_exec(other.get(), "INSERT INTO floorinfo VALUES ('505','男','1','2','3',4,100,200,0,4)",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        other.reset();
        QCOMPARE(db.text(u"SELECT 房间号码 FROM floorinfo ORDER BY 1"_s), u"101|505"_s);
        db.connection().Close();
        QCOMPARE(roomsSeenBy(test::openKeyed(live).get()), u"101|505"_s);
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(live).constData(), &after), 0);
        QCOMPARE(after.st_mode & 07777, 0640U);
    }

    // A refused backup or restore leaves the data and the folder as they were.
    void refusalsLeaveEverythingAsItWas_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unencrypted database") << u"nokey"_s << u"不是本程序的数据库"_s;
        QTest::newRow("truncated backup") << u"truncated"_s << QString();
        QTest::newRow("missing file") << u"missing"_s << u"不存在"_s;
        // A folder that cannot be written even by root: one whose path runs through a plain file.
        QTest::newRow("backup into a file") << u"unwritable"_s << u"bad.mdb”"_s;
    }
    void refusalsLeaveEverythingAsItWas()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        TestDatabase db;
        for (int i = 0; i < 60; ++i)
            db.addRoom(u"R%1-%2"_s.arg(i).arg(QString(200, u'x')));
        const QString bad = QDir(db.directory()).filePath(u"bad.mdb"_s);
        if (kind == "nokey"_L1) {
            Connection::Create(bad, QString()); // no key: no cipher at all
        } else if (kind == "truncated"_L1) {
            backup::backupTo(db.connection(), bad);
            QFile file(bad);
            QVERIFY(file.size() > 8192);
            QVERIFY(file.resize(file.size() / 2));
        } else if (kind == "unwritable"_L1) {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString before = db.text(u"SELECT * FROM floorinfo"_s);
        const QStringList filesBefore = QDir(db.directory()).entryList(QDir::Files | QDir::Hidden);

        const QString message = storeErrorOf([&] {
                                    if (kind == "unwritable"_L1)
                                        backup::backupTo(db.connection(), bad + u"/copy.mdb"_s);
                                    else
                                        backup::restoreFrom(db.connection(), bad, QDateTime::currentDateTime());
                                }).message();
        QVERIFY2(!message.isEmpty(), "nothing was refused");
        QVERIFY2(message.contains(reason), qPrintable(message));
        QCOMPARE(db.text(u"SELECT * FROM floorinfo"_s), before);
        QCOMPARE(QDir(db.directory()).entryList(QDir::Files | QDir::Hidden), filesBefore);
    }

    void dailyBackupKeepsFourteen()
    {
        TestDatabase db;
        const QDate first(2026, 11, 20);
        for (int day = 0; day < 20; ++day)
            backup::dailyBackup(db.connection(), first.addDays(day));
        QCOMPARE(backup::dailyBackup(db.connection(), first.addDays(19)).written, QString()); // once a day
        const QDir folder(QDir(db.directory()).filePath(u"backups"_s));
        const QStringList kept = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QCOMPARE(kept.size(), 14);
        QCOMPARE(kept.first(), u"OrvDb-20261126.mdb"_s);
        QCOMPARE(kept.last(), u"OrvDb-20261209.mdb"_s);
    }

    // Names dated after today, or not dates at all, neither outrank today's copy nor are removed;
    // they are handed back to be reported.
    void dailyBackupKeepsTodaysCopyBesideLaterDatedNames()
    {
        TestDatabase db;
        const QDir folder(QDir(db.directory()).filePath(u"backups"_s));
        QVERIFY(folder.mkpath(u"."_s));
        QStringList strays;
        for (int day = 1; day <= 14; ++day)
            strays.append(folder.filePath(u"OrvDb-%1.mdb"_s.arg(QDate(2027, 1, day).toString(u"yyyyMMdd"_s))));
        strays.prepend(folder.filePath(u"OrvDb-20261340.mdb"_s)); // no 40th of any month
        for (const QString &stray : strays) {
            QFile file(stray);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const backup::DailyBackup done = backup::dailyBackup(db.connection(), QDate(2026, 12, 6));
        QCOMPARE(done.written, folder.filePath(u"OrvDb-20261206.mdb"_s));
        QVERIFY(QFile::exists(done.written));
        QCOMPARE(done.leftAlone, strays);
        for (const QString &stray : strays)
            QVERIFY2(QFile::exists(stray), qPrintable(stray));
    }

    // A copy in steps on a connection of its own, as the window's are made: the program's writes
    // go on between the steps and the copy keeps the file as it was at its first step; asked to
    // stop, it leaves nothing behind.
    void aCopyInStepsGoesOnBesideWritesOrStops_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("written beside") << false;
        QTest::newRow("stopped") << true;
    }
    void aCopyInStepsGoesOnBesideWritesOrStops()
    {
        QFETCH(bool, stop);
        TestDatabase db;
        db.addRoom(u"101"_s);
        // A few megabytes: several steps.
        db.exec(u"CREATE TABLE filler(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                "WHERE i < 3000) INSERT INTO filler SELECT randomblob(1000) FROM n"_s);
        Connection own;
        own.openFile(db.connection().filePath(), programPassword());
        const QString copy = QDir(db.directory()).filePath(u"copy.mdb"_s);
        int reports = 0;
        filecopy::Steps steps;
        steps.report = [&](qint64, qint64) {
            if (++reports == 1)
                db.exec(u"UPDATE floorinfo SET 房间号码='303'"_s);
        };
        steps.goOn = [&] { return !stop || reports == 0; };

        const StoreError error = storeErrorOf([&] { backup::stageBackup(own, copy, SecureKey(), &steps).commit(); });
        QCOMPARE(filecopy::isStop(error), stop);
        if (stop) {
            QCOMPARE(reports, 1);
        } else {
            QCOMPARE(error.message(), QString());
            QVERIFY(reports > 2);
            QCOMPARE(roomsSeenBy(test::openKeyed(copy).get()), u"101"_s);
        }
        QCOMPARE(QFile::exists(copy), !stop);
        QCOMPARE(db.text(u"SELECT 房间号码 FROM floorinfo"_s), u"303"_s);
        QCOMPARE(QDir(db.directory()).entryList({u"*.part*"_s}, QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
