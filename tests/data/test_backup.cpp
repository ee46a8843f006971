#include "data/backup.h"
#include "data/recordset.h"
#include "data/texts.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QFile>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;

namespace {

void addRoom(TestDatabase &db, const QString &room)
{
    db.exec(u"INSERT INTO floorinfo VALUES ('%1','男','1','2','3',4,100,200,0,4)"_s.arg(sqlQuote(room)));
}

QString rooms(TestDatabase &db)
{
    return db.text(u"SELECT 房间号码 FROM floorinfo"_s);
}

QStringList files(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class TestBackup final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void backupThenRestoreBringsRowsBack()
    {
        TestDatabase db;
        addRoom(db, u"101"_s);
        addRoom(db, u"天字'2,\"号\""_s);
        const QString copy = QDir(db.directory()).filePath(u"copy.mdb"_s);

        // A set open where it stands while the copy is taken, as a page may leave one.
        Recordset open(&db.connection());
        open.Open(u"select * from floorinfo"_s);
        open.MoveFirst();
        backup::backupTo(db.connection(), copy);
        QCOMPARE(storeErrorOf([&] { backup::verify(copy); }).message(), QString());
        QVERIFY(!QFile::exists(copy + u"-wal"_s));

        db.exec(u"DELETE FROM floorinfo WHERE 房间号码='101'"_s);
        addRoom(db, u"303"_s);

        const QString kept = backup::restoreFrom(db.connection(), copy, QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)));
        QCOMPARE(QFileInfo(kept).fileName(), u"OrvDb-before-restore-20261206-090507.mdb"_s);
        QCOMPARE(rooms(db), u"101|天字'2,\"号\""_s);
        QCOMPARE(open.State(), adStateClosed);

        // The program goes on: a set opens and writes on the restored file.
        open.Open(u"select * from floorinfo"_s);
        open.AddNew();
        open.PutCollect(u"房间号码"_s, FieldValue(u"404"_s));
        open.Update();
        open.Close();
        QCOMPARE(db.count(u"floorinfo"_s), 3);

        // The replaced data is kept and is itself a valid backup.
        QCOMPARE(storeErrorOf([&] { backup::verify(kept); }).message(), QString());
        QCOMPARE(QDir(db.directory()).entryList({u"*.part"_s}, QDir::Files | QDir::Hidden), QStringList());
    }

    void badBackupsAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        const QString foreign = u"不是本程序的数据库"_s;
        QTest::newRow("plain file") << u"plain"_s << foreign;
        QTest::newRow("unencrypted database") << u"nokey"_s << foreign;
        QTest::newRow("another key") << u"otherkey"_s << foreign;
        QTest::newRow("truncated backup") << u"truncated"_s << QString();
        QTest::newRow("missing file") << u"missing"_s << u"不存在"_s;
    }
    void badBackupsAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        TestDatabase db;
        for (int i = 0; i < 60; ++i)
            addRoom(db, u"R%1-%2"_s.arg(i).arg(QString(200, u'x')));
        const QString bad = QDir(db.directory()).filePath(u"bad.mdb"_s);
        if (kind == "plain"_L1) {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("房间号码,日期\n101,2026-12-06\n");
        } else if (kind == "nokey"_L1) {
            Connection::Create(bad, QString()); // no key: no cipher at all
        } else if (kind == "otherkey"_L1) {
            Connection::Create(bad, u"another key"_s);
        } else if (kind == "truncated"_L1) {
            backup::backupTo(db.connection(), bad);
            QFile file(bad);
            QVERIFY(file.size() > 8192);
            QVERIFY(file.resize(file.size() / 2));
        }
        const QString before = rooms(db);
        const QStringList filesBefore = files(db.directory());

        const auto restore = [&] { backup::restoreFrom(db.connection(), bad, QDateTime::currentDateTime()); };
        const QString message = storeErrorOf(restore).message();
        QVERIFY2(!message.isEmpty(), "the file was taken");
        QVERIFY2(message.contains(reason), qPrintable(message));
        QVERIFY(db.connection().isOpen());
        QCOMPARE(rooms(db), before);
        QCOMPARE(files(db.directory()), filesBefore);
    }

    void backupToUnwritableFolderLeavesNothing()
    {
        TestDatabase db;
        addRoom(db, u"101"_s);
        // A folder that cannot be written even by root: one whose path runs through a plain file.
        const QString blocker = QDir(db.directory()).filePath(u"notafolder"_s);
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QStringList filesBefore = files(db.directory());
        const QString message =
            storeErrorOf([&] { backup::backupTo(db.connection(), blocker + u"/copy.mdb"_s); }).message();
        QVERIFY2(message.contains(u"notafolder"_s), qPrintable(message));
        QCOMPARE(files(db.directory()), filesBefore);
        QCOMPARE(rooms(db), u"101"_s);
    }

    void dailyBackupKeepsFourteen()
    {
        TestDatabase db;
        addRoom(db, u"101"_s);
        const QDate first(2026, 11, 20);
        QString written;
        for (int day = 0; day < 20; ++day)
            written = backup::dailyBackup(db.connection(), first.addDays(day));
        QCOMPARE(backup::dailyBackup(db.connection(), first.addDays(19)), QString()); // once a day
        const QDir folder(QDir(db.directory()).filePath(u"backups"_s));
        const QStringList kept = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QCOMPARE(kept.size(), 14);
        QCOMPARE(kept.first(), u"OrvDb-20261126.mdb"_s);
        QCOMPARE(kept.last(), u"OrvDb-20261209.mdb"_s);
        QCOMPARE(written, folder.filePath(kept.last()));
        QCOMPARE(storeErrorOf([&] { backup::verify(written); }).message(), QString());
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
