#include "data/backup.h"
#include "data/keyslots.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;

namespace {

constexpr PasswordCost kCheap{1, 8192};

// A database with operators, open on its key: the 管理员 张三 (password "甲乙").
struct KeyedDatabase {
    QTemporaryDir dir;
    QString path = dir.filePath(u"OrvDb.mdb"_s);
    SecureKey key = createKeyedDatabase(path, u"张三"_s, u"甲乙"_s, kCheap);
    Connection connection;

    KeyedDatabase() { connection.openFile(path, key); }
    void addRoom(const QString &room)
    {
        connection.execute(u"INSERT INTO floorinfo VALUES ('%1','男','1','2','3',9,100,200,0,9)"_s.arg(room));
    }
    QString rooms() const
    {
        QStringList found;
        for (const QStringList &row : test::rowsOf(connection.handle(), u"SELECT 房间号码 FROM floorinfo ORDER BY 1"_s))
            found.append(row.value(0));
        return found.join(QLatin1Char('|'));
    }
    QByteArray keyFile() const
    {
        QFile file(KeySlots::pathFor(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

int modeOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? static_cast<int>(status.st_mode & 0777) : -1;
}

} // namespace

class TestKeyedBackup final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A copy is keyed with the database's key, not the program's password, and its key file lies
    // beside it for its owner alone; restored, the data comes back and the kept data keeps its key.
    void aKeyedCopyRestoresWithItsKeyFile()
    {
        KeyedDatabase db;
        db.addRoom(u"101"_s);
        const QString copy = db.dir.filePath(u"copy.mdb"_s);
        backup::backupTo(db.connection, copy, db.key);
        QCOMPARE(modeOf(db.dir.filePath(u"copy.keys"_s)), 0600);
        QVERIFY(!storeErrorOf([&] { backup::verify(copy); }).message().isEmpty());
        QCOMPARE(storeErrorOf([&] { backup::verify(copy, db.key); }).message(), QString());

        db.addRoom(u"202"_s);
        const QString kept = backup::restoreFrom(db.connection, copy, QDateTime::currentDateTime(), db.key, db.key);
        QCOMPARE(db.rooms(), u"101"_s);
        QCOMPARE(storeErrorOf([&] { backup::verify(kept, db.key); }).message(), QString());
        QVERIFY(QFile::exists(KeySlots::pathFor(kept)));
    }

    // What cannot be restored is refused before anything changes.
    void refusalsChangeNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("key file missing beside the copy") << u"no keys"_s << u"copy.keys"_s;
        QTest::newRow("a copy without operators") << u"old style"_s << u"没有设置操作员"_s;
        QTest::newRow("copied under the program's password") << u"unkeyed backup"_s << u"设置了操作员"_s;
    }
    void refusalsChangeNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        KeyedDatabase db;
        db.addRoom(u"101"_s);
        const QString copy = db.dir.filePath(u"copy.mdb"_s);
        backup::backupTo(db.connection, copy, db.key);
        db.addRoom(u"202"_s);
        const QByteArray keys = db.keyFile();
        QString refusal;
        if (kind == u"no keys"_s) {
            QVERIFY(QFile::remove(db.dir.filePath(u"copy.keys"_s)));
            refusal = storeErrorOf([&] {
                          backup::restoreFrom(db.connection, copy, QDateTime::currentDateTime(), db.key, db.key);
                      }).message();
        } else if (kind == u"old style"_s) {
            refusal = storeErrorOf([&] {
                          backup::restoreFrom(db.connection, copy, QDateTime::currentDateTime(), db.key, SecureKey());
                      }).message();
        } else {
            refusal = storeErrorOf([&] { backup::backupTo(db.connection, db.dir.filePath(u"plain.mdb"_s)); }).message();
        }
        QVERIFY2(refusal.contains(reason), qPrintable(refusal));
        QCOMPARE(db.rooms(), u"101|202"_s);
        QCOMPARE(db.keyFile(), keys);
        QCOMPARE(QDir(db.dir.path())
                     .entryList({u"*before-restore*"_s, u"*.part"_s, u"plain*"_s}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // A backup of another database under another key takes the file's place with its own key
    // file; the connection is open on its key afterwards.
    void aCopyUnderAnotherKeyComesWithItsKeyFile()
    {
        KeyedDatabase db;
        db.addRoom(u"101"_s);
        KeyedDatabase other;
        other.addRoom(u"909"_s);
        const QString copy = other.dir.filePath(u"other.mdb"_s);
        backup::backupTo(other.connection, copy, other.key);

        backup::restoreFrom(db.connection, copy, QDateTime::currentDateTime(), db.key, other.key);
        QCOMPARE(db.rooms(), u"909"_s);
        QCOMPARE(db.keyFile(), other.keyFile());
        QVERIFY(KeySlots::load(KeySlots::pathFor(db.path)).open(u"张三"_s, u"甲乙"_s).key.equals(other.key));
        db.addRoom(u"102"_s);
        db.connection.Close();
        QVERIFY(!storeErrorOf([&] { db.connection.openFile(db.path, db.key); }).message().isEmpty());
    }

    // The daily copies of a keyed file are keyed and each keeps its key file; a copy pruned goes
    // with its key file.
    void dailyCopiesKeepTheirKeyFiles()
    {
        KeyedDatabase db;
        const QDate first(2026, 3, 1);
        for (int day = 0; day < 3; ++day)
            backup::dailyBackup(db.connection, first.addDays(day), 2, db.key);
        const QDir folder(backup::backupsFolder(db.path));
        QCOMPARE(folder.entryList(QDir::Files, QDir::Name),
                 QStringList({u"OrvDb-20260302.keys"_s, u"OrvDb-20260302.mdb"_s, u"OrvDb-20260303.keys"_s,
                              u"OrvDb-20260303.mdb"_s}));
        QCOMPARE(storeErrorOf([&] { backup::verify(folder.filePath(u"OrvDb-20260303.mdb"_s), db.key); }).message(),
                 QString());
    }
};

QTEST_GUILESS_MAIN(TestKeyedBackup)
#include "test_keyedbackup.moc"
