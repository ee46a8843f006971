#include "data/backup.h"
#include "data/convert.h"
#include "data/pendingkeys.h"
#include "data/schema.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;

namespace {

// The least Argon2id allows: the slots keep their cost, so the tests need not pay the real one.
constexpr PasswordCost kCheap{1, 8192};
const QString kName = u"张三"_s;
const QString kPassword = u"甲乙"_s;

// Every row of every table, the program's own tables included, one line per table.
QStringList everything(TestDatabase &db)
{
    QStringList tables;
    for (const QStringList &row : db.rows(u"SELECT name FROM sqlite_master WHERE type='table' ORDER BY 1"_s))
        tables.append(row.value(0) + u": "_s + db.text(u"SELECT * FROM \"%1\" ORDER BY rowid"_s.arg(row.value(0))));
    return tables;
}

void fillSome(TestDatabase &db)
{
    db.connection().beginUnit();
    schema::fillDemo(db.connection());
    db.connection().commitUnit();
}

QStringList leftInFolder(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

int modeOf(const QString &path)
{
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return static_cast<int>(status.st_mode & 0777);
}

} // namespace

class TestConvert final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every row of every table comes over; the old file and the program's unprotected copies of it
    // are gone, and what stands in its place opens only with its own key.
    void conversionKeepsEveryRowAndLeavesNothingUnprotected()
    {
        TestDatabase db;
        fillSome(db);
        const QStringList before = everything(db);
        QVERIFY(before.size() > 8);
        const QString live = QFileInfo(db.connection().filePath()).absoluteFilePath();
        backup::dailyBackup(db.connection(), QDate(2026, 3, 1));
        backup::restoreFrom(db.connection(), backup::dailyCopies(live).value(0), QDateTime(QDate(2026, 3, 2), {}));
        QCOMPARE(leftInFolder(db.directory()).filter(u"before-restore"_s).size(), 1);

        const convert::Protected done = convert::protectDatabase(db.connection(), kName, kPassword, kCheap);
        QCOMPARE(done.removed.size(), 2);
        QCOMPARE(everything(db), before);
        // The log beside the open file is the new file's own, made when it was opened again.
        QCOMPARE(leftInFolder(db.directory()),
                 QStringList({u"OrvDb.keys"_s, u"OrvDb.mdb"_s, u"OrvDb.mdb-shm"_s, u"OrvDb.mdb-wal"_s}));
        QCOMPARE(leftInFolder(backup::backupsFolder(live)), QStringList());
        QCOMPARE(modeOf(KeySlots::pathFor(live)), 0600);

        QVERIFY(!storeErrorOf([&] { backup::verify(live); }).message().isEmpty());
        const Unlocked unlocked = KeySlots::load(KeySlots::pathFor(live)).open(kName, kPassword);
        QVERIFY(unlocked.opened() && unlocked.key.equals(done.key));
        QCOMPARE(int(unlocked.role), int(Role::Administrator));
        db.addRoom(u"9-9-909"_s);
        db.connection().Close();
        QVERIFY(!storeErrorOf([&] { db.connection().openFile(live, programPassword()); }).message().isEmpty());
        db.connection().openFile(live, done.key);
        QCOMPARE(db.text(u"SELECT 房间号码 FROM floorinfo WHERE 房间号码='9-9-909'"_s), u"9-9-909"_s);
    }

    // A failure before the new file takes the old one's place leaves the old file as it was, still
    // open and written to, with no new file and no key file beside it.
    void aFailureMidwayLeavesTheOldFile_data()
    {
        QTest::addColumn<QString>("step");
        QTest::newRow("the check refuses") << u"check"_s;
        QTest::newRow("the key file cannot be written") << u"keys"_s;
    }
    void aFailureMidwayLeavesTheOldFile()
    {
        QFETCH(QString, step);
        TestDatabase db;
        fillSome(db);
        const QStringList before = everything(db);
        const QString live = QFileInfo(db.connection().filePath()).absoluteFilePath();
        backup::dailyBackup(db.connection(), QDate(2026, 3, 1));
        const QString keys = KeySlots::pathFor(live);
        auto failing = [&](const QString &) {
            if (step == u"check"_s)
                throw StoreError(1, u"新的数据库文件没有通过检查。"_s);
            // A folder in the key file's place: the key file's write fails there.
            QDir().mkdir(keys);
        };
        const QString refusal = storeErrorOf([&] {
                                    convert::protectDatabase(db.connection(), kName, kPassword, kCheap, failing);
                                }).message();
        QVERIFY(!refusal.isEmpty());
        QCOMPARE(everything(db), before);
        QVERIFY(db.connection().isOpen());
        db.addRoom(u"9-9-909"_s);
        QCOMPARE(QFileInfo(keys).isFile(), false);
        QCOMPARE(leftInFolder(db.directory()).filter(u".part"_s), QStringList());
        QCOMPARE(backup::dailyCopies(live).size(), 1);
        QCOMPARE(storeErrorOf([&] { backup::verify(live); }).message(), QString());
    }

    // The program stopped (a real process, ended without unwinding) after the key file was written
    // and before or after the new file's rename: the next start finds the old file opening as it
    // did with no key file, or the new file with the key file that opens it.
    void aStopBetweenTheRenamesLeavesFilesThatBelongTogether_data()
    {
        QTest::addColumn<bool>("renamed");
        QTest::newRow("before the file's rename") << false;
        QTest::newRow("after the file's rename") << true;
    }
    void aStopBetweenTheRenamesLeavesFilesThatBelongTogether()
    {
        QFETCH(bool, renamed);
        TestDatabase db;
        fillSome(db);
        const QString live = QFileInfo(db.connection().filePath()).absoluteFilePath();
        db.connection().Close();
        const QString staged = QDir(db.directory()).filePath(u"new.mdb"_s);
        const SecureKey key = createKeyedDatabase(staged, kName, kPassword, kCheap);

        const pid_t child = ::fork();
        if (child == 0) {
            PendingKeyFile pending(live, staged);
            const bool written = QFile::copy(KeySlots::pathFor(staged), pending.path());
            if (written && renamed)
                std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(live).constData());
            ::_exit(written ? 0 : 1);
        }
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QCOMPARE(status, 0);

        settlePendingKeyFiles(live);
        const QString keys = KeySlots::pathFor(live);
        if (!renamed) {
            QVERIFY(!QFileInfo::exists(keys));
            QCOMPARE(storeErrorOf([&] { backup::verify(live); }).message(), QString());
            return;
        }
        const Unlocked unlocked = KeySlots::load(keys).open(kName, kPassword);
        QVERIFY(unlocked.opened() && unlocked.key.equals(key));
        QCOMPARE(storeErrorOf([&] { backup::verify(live, unlocked.key); }).message(), QString());
        QCOMPARE(leftInFolder(db.directory()).filter(u".pending"_s), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "test_convert.moc"
