#include "data/backup.h"
#include "data/dbcheck.h"
#include "data/filejob.h"
#include "data/securekey.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QSignalSpy>

#include <sqlite3.h>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;

class TestFileJob final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The work runs on its own connection to the same file; the window's thread gets its end once,
    // and what it raised. A job stopped before its end was taken is stopped, whatever its work did.
    void aJobHandsBackHowItEnded_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("failure");
        QTest::newRow("done") << u"done"_s << int(FileJob::End::Done) << QString();
        QTest::newRow("failed") << u"failed"_s << int(FileJob::End::Failed) << u"磁盘已满。"_s;
        QTest::newRow("stopped at once") << u"stopped"_s << int(FileJob::End::Stopped) << QString();
    }
    void aJobHandsBackHowItEnded()
    {
        QFETCH(QString, kind);
        QFETCH(int, end);
        QFETCH(QString, failure);
        TestDatabase db;
        const QString path = db.connection().filePath();
        FileJob job(path, SecureKey(), [kind, path](Connection &own, const SecureKey &, const filecopy::Steps &) {
            if (own.filePath() != path)
                throw StoreError(SQLITE_MISUSE, u"另一个文件"_s);
            if (kind == "failed"_L1)
                throw StoreError(SQLITE_FULL, u"磁盘已满。"_s);
        });
        QSignalSpy finished(&job, &FileJob::finished);
        job.start();
        if (kind == "stopped"_L1) {
            job.stop();
            job.wait();
        } else {
            QVERIFY(finished.wait(30000));
        }
        QCoreApplication::processEvents(); // the thread's own word of its end comes after
        QCOMPARE(finished.count(), 1);
        QCOMPARE(int(job.end()), end);
        if (kind != "stopped"_L1)
            QCOMPARE(storeErrorOf([&] { job.rethrow(); }).message(), failure);
    }

    // Work asked to stop midway raises the stop, never a finding about the file, and leaves nothing
    // behind: a check, a copy's check, a restore prepared and dropped.
    void stoppedWorkSaysNothingAboutTheFile_data()
    {
        QTest::addColumn<QString>("work");
        QTest::newRow("database check") << u"check"_s;
        QTest::newRow("copy's check") << u"verify"_s;
        QTest::newRow("restore dropped") << u"restore"_s;
    }
    void stoppedWorkSaysNothingAboutTheFile()
    {
        QFETCH(QString, work);
        TestDatabase db;
        // Enough rows under an index for the engine's check to ask more than once.
        db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                "INSERT INTO floorinfo SELECT 'R' || i, '男', '1', '2', '3', 9, 100, 200, 0, 9 FROM n"_s);
        const QString copy = QDir(db.directory()).filePath(u"copy.mdb"_s);
        backup::backupTo(db.connection(), copy);
        const QStringList before = QDir(db.directory()).entryList(QDir::Files | QDir::Hidden);
        int asked = 0;
        filecopy::Steps steps;
        steps.goOn = [&] { return ++asked < 2; };
        if (work == "restore"_L1) {
            const backup::PreparedRestore dropped =
                backup::prepareRestore(db.connection(), copy, QDateTime::currentDateTime(), SecureKey(), SecureKey());
        } else if (work == "check"_L1) {
            const filecopy::EngineSteps stops(db.connection().handle(), &steps);
            const StoreError error = storeErrorOf([&] { checkDatabase(db.connection()); });
            QVERIFY2(filecopy::isStop(error), qPrintable(error.message()));
        } else {
            const StoreError error = storeErrorOf([&] { backup::verify(copy, SecureKey(), &steps); });
            QVERIFY2(filecopy::isStop(error), qPrintable(error.message()));
        }
        QCOMPARE(QDir(db.directory()).entryList(QDir::Files | QDir::Hidden), before);
        QCOMPARE(checkDatabase(db.connection()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestFileJob)
#include "test_filejob.moc"
