#include "data/backup.h"
#include "data/recordset.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

using namespace orv;
using orv::test::TestDatabase;

namespace {

void addRoom(TestDatabase &db, const QString &room)
{
    db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('%1','男','1','2','3',4,100,200,0,4)")
                .arg(QString(room).replace(QLatin1Char('\''), QStringLiteral("''"))));
}

QStringList rooms(TestDatabase &db)
{
    QStringList seen;
    for (const QStringList &row : db.rows(QStringLiteral("SELECT 房间号码 FROM floorinfo")))
        seen.append(row.first());
    return seen;
}

QString refusal(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const StoreError &error) {
        return error.message();
    }
    return QString();
}

// A database file of the program's layout with a key of our choosing (empty: no cipher at all).
void makeForeignFile(const QString &path, const QByteArray &key)
{
    sqlite3 *db = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK);
    if (!key.isEmpty())
        sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
    for (const QString &table : programTableNames())
        sqlite3_exec(db, QStringLiteral("CREATE TABLE %1 (a)").arg(table).toUtf8().constData(), nullptr, nullptr,
                     nullptr);
    sqlite3_close(db);
}

} // namespace

class TestBackup final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void backupThenRestoreBringsRowsBack();
    void badBackupsAreRefused_data();
    void badBackupsAreRefused();
    void backupToUnwritableFolderLeavesNothing();
    void dailyBackupKeepsFourteen();
};

void TestBackup::backupThenRestoreBringsRowsBack()
{
    TestDatabase db;
    addRoom(db, QStringLiteral("101"));
    addRoom(db, QStringLiteral("天字'2,\"号\""));
    const QString copy = QDir(db.directory()).filePath(QStringLiteral("copy.mdb"));

    // A set open where it stands while the copy is taken, as a page may leave one.
    Recordset open(&db.connection());
    open.Open(QStringLiteral("select * from floorinfo"));
    open.MoveFirst();
    backup::backupTo(db.connection(), copy);
    QCOMPARE(refusal([&] { backup::verify(copy); }), QString());
    QVERIFY(!QFile::exists(copy + QStringLiteral("-wal")));

    db.exec(QStringLiteral("DELETE FROM floorinfo WHERE 房间号码='101'"));
    addRoom(db, QStringLiteral("303"));

    const QString kept = backup::restoreFrom(db.connection(), copy, QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)));
    QCOMPARE(QFileInfo(kept).fileName(), QStringLiteral("OrvDb-before-restore-20261206-090507.mdb"));
    QCOMPARE(rooms(db), (QStringList{QStringLiteral("101"), QStringLiteral("天字'2,\"号\"")}));
    QCOMPARE(open.State(), adStateClosed);

    // The program goes on: a set opens and writes on the restored file.
    open.Open(QStringLiteral("select * from floorinfo"));
    open.AddNew();
    open.PutCollect(QStringLiteral("房间号码"), FieldValue(QStringLiteral("404")));
    open.Update();
    open.Close();
    QCOMPARE(rooms(db).size(), 3);

    // The replaced data is kept and is itself a valid backup.
    QCOMPARE(refusal([&] { backup::verify(kept); }), QString());
    const QStringList parts = QDir(db.directory()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
    QCOMPARE(parts, QStringList());
}

void TestBackup::badBackupsAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("plain file") << "plain"
                                << "不是本程序的数据库";
    QTest::newRow("unencrypted database") << "nokey"
                                          << "不是本程序的数据库";
    QTest::newRow("another key") << "otherkey"
                                 << "不是本程序的数据库";
    QTest::newRow("truncated backup") << "truncated"
                                      << "";
    QTest::newRow("missing file") << "missing"
                                  << "不存在";
}

void TestBackup::badBackupsAreRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    TestDatabase db;
    for (int i = 0; i < 60; ++i)
        addRoom(db, QStringLiteral("R%1-%2").arg(i).arg(QString(200, QLatin1Char('x'))));
    const QDir dir(db.directory());
    const QString bad = dir.filePath(QStringLiteral("bad.mdb"));
    if (kind == QLatin1String("plain")) {
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("房间号码,日期\n101,2026-12-06\n");
    } else if (kind == QLatin1String("nokey")) {
        makeForeignFile(bad, QByteArray());
    } else if (kind == QLatin1String("otherkey")) {
        makeForeignFile(bad, QByteArrayLiteral("another key"));
    } else if (kind == QLatin1String("truncated")) {
        backup::backupTo(db.connection(), bad);
        QFile file(bad);
        QVERIFY(file.size() > 8192);
        QVERIFY(file.resize(file.size() / 2));
    }
    const QStringList before = rooms(db);
    const QStringList filesBefore = dir.entryList(QDir::Files | QDir::Hidden);

    const QString message = refusal([&] { backup::restoreFrom(db.connection(), bad, QDateTime::currentDateTime()); });
    QVERIFY2(!message.isEmpty(), "the file was taken");
    QVERIFY2(message.contains(reason), qPrintable(message));
    QVERIFY(db.connection().isOpen());
    QCOMPARE(rooms(db), before);
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), filesBefore);
}

void TestBackup::backupToUnwritableFolderLeavesNothing()
{
    TestDatabase db;
    addRoom(db, QStringLiteral("101"));
    // A folder that cannot be written even by root: one whose path runs through a plain file.
    const QString blocker = QDir(db.directory()).filePath(QStringLiteral("notafolder"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QStringList filesBefore = QDir(db.directory()).entryList(QDir::Files | QDir::Hidden);
    const QString message = refusal([&] { backup::backupTo(db.connection(), blocker + QStringLiteral("/copy.mdb")); });
    QVERIFY(message.contains(QStringLiteral("notafolder")));
    QCOMPARE(QDir(db.directory()).entryList(QDir::Files | QDir::Hidden), filesBefore);
    QCOMPARE(rooms(db), QStringList{QStringLiteral("101")});
}

void TestBackup::dailyBackupKeepsFourteen()
{
    TestDatabase db;
    addRoom(db, QStringLiteral("101"));
    const QDate first(2026, 11, 20);
    QString written;
    for (int day = 0; day < 20; ++day)
        written = backup::dailyBackup(db.connection(), first.addDays(day));
    QCOMPARE(backup::dailyBackup(db.connection(), first.addDays(19)), QString()); // once a day
    const QDir folder(QDir(db.directory()).filePath(QStringLiteral("backups")));
    const QStringList kept = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(kept.size(), 14);
    QCOMPARE(kept.first(), QStringLiteral("OrvDb-20261126.mdb"));
    QCOMPARE(kept.last(), QStringLiteral("OrvDb-20261209.mdb"));
    QCOMPARE(written, folder.filePath(kept.last()));
    QCOMPARE(refusal([&] { backup::verify(written); }), QString());
}

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
