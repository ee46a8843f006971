#include "data/connection.h"
#include "support/testdatabase.h"

#include "data/columns.h"
#include "data/recordset.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::TestDatabase;

namespace {

QString failureOf(Connection &connection, const QString &sql)
{
    try {
        connection.beginUnit();
        connection.execute(sql);
        connection.commitUnit();
    } catch (const StoreError &error) {
        connection.rollbackUnit();
        return error.message();
    }
    return QString();
}

QString journalModeOf(const QString &file)
{
    const test::RawDatabase db = test::openKeyed(file);
    // The mode a new connection finds in the file's header, read with the first page.
    test::rowsOf(db.get(), u"SELECT count(*) FROM sqlite_master"_s);
    return test::rowsOf(db.get(), u"PRAGMA journal_mode"_s).value(0).value(0);
}

// What the program does with a file in a folder it cannot write, run in a child process as a user
// the folder's mode applies to (root passes every permission, so as root the child runs as
// nobody). Exits 0 when the file opened, listed its rows and refused a write naming the
// read-only file.
int runWithoutWriteAccess(const QString &file)
{
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
        return 10;
    try {
        Connection connection;
        connection.openFile(file, programPassword());
        Recordset rooms(&connection);
        rooms.Open(u"select * from numinfo"_s);
        if (rooms.adoEOF() || rooms.GetCollect(db::numinfo::roomNo).toText() != u"1"_s)
            return 2;
        rooms.Close();
        const QString refused = failureOf(connection, u"DELETE FROM numinfo"_s);
        if (refused.contains(u"只读"_s))
            return 0;
        std::fprintf(stderr, "write: %s\n", qPrintable(refused));
        return 3;
    } catch (const StoreError &error) {
        std::fprintf(stderr, "open: %s\n", qPrintable(error.message()));
        return 1;
    }
}

} // namespace

class TestFaultCauses : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each engine failure is named for what it is; only the engine's own "not a database" speaks
    // of a password.
    void causesAreNamedByTheEngineCode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("corrupt") << SQLITE_CORRUPT << u"已损坏"_s;
        QTest::newRow("not a database") << SQLITE_NOTADB << u"密码不匹配"_s;
        QTest::newRow("disk full") << SQLITE_FULL << u"磁盘已满"_s;
        QTest::newRow("i/o") << SQLITE_IOERR_WRITE << u"磁盘出错"_s;
        QTest::newRow("constraint") << SQLITE_CONSTRAINT << QString();
    }
    void causesAreNamedByTheEngineCode()
    {
        QFETCH(int, code);
        QFETCH(QString, mentions);
        const QString cause = engineFaultCause(code);
        if (mentions.isEmpty())
            QVERIFY(cause.isEmpty());
        else
            QVERIFY2(cause.contains(mentions), qPrintable(cause));
        QCOMPARE(cause.contains(u"密码"_s), (code & 0xff) == SQLITE_NOTADB);
    }

    // Another program holding the file in a write transaction: a unit waits the busy timeout,
    // then fails naming the busy file, and nothing is left half done. A unit in turn takes the
    // write lock when it begins, so two windows that each read, then write, in one unit wait for
    // each other instead of the later one failing when it comes to write.
    void aFileHeldElsewhereIsBusyBothWays()
    {
        TestDatabase db;
        const test::RawDatabase other = test::openKeyed(db.directory() + u"/OrvDb.mdb"_s);
        sqlite3_busy_timeout(other.get(), 10000); // waits for locks as the program does
        QCOMPARE(sqlite3_exec(other.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        const QString message = failureOf(db.connection(), u"INSERT INTO numinfo VALUES ('1', 1)"_s);
        QVERIFY2(message.contains(u"正被另一个程序"_s), qPrintable(message));
        QVERIFY(!message.contains(u"密码"_s));
        sqlite3_exec(other.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        QCOMPARE(failureOf(db.connection(), u"INSERT INTO numinfo VALUES ('1', 1)"_s), QString());
        QCOMPARE(db.count(u"numinfo"_s), 1);

        db.connection().beginUnit();
        sqlite3_busy_timeout(other.get(), 0);
        QCOMPARE(sqlite3_exec(other.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_BUSY);
        db.connection().rollbackUnit();
    }

    // After a clean close the file is one file in rollback-journal mode, which opens where no log
    // can be made beside it (a read-only medium, a full disk).
    void theFileRestsInRollbackJournalMode()
    {
        TestDatabase db;
        db.exec(u"INSERT INTO numinfo VALUES ('1', 1)"_s);
        const QString file = QDir(db.directory()).filePath(u"OrvDb.mdb"_s);
        QCOMPARE(journalModeOf(file), u"wal"_s); // while open, the log
        db.connection().Close();
        QVERIFY(!QFile::exists(file + u"-wal"_s));
        QVERIFY(!QFile::exists(file + u"-shm"_s));
        QCOMPARE(journalModeOf(file), u"delete"_s);
    }

    // A folder that cannot be written (as on a read-only medium): the file opens read-only, lists
    // its rows, and refuses writes naming the read-only file; one an older version left in log
    // mode too.
    void aFileInAReadOnlyFolderOpensAndLists_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("at rest") << u"delete"_s;
        QTest::newRow("left in log mode") << u"wal"_s;
    }
    void aFileInAReadOnlyFolderOpensAndLists()
    {
        QFETCH(QString, mode);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"medium"_s);
        const QString file = QDir(folder).filePath(u"OrvDb.mdb"_s);
        QVERIFY(QDir().mkpath(folder));
        Connection::Create(file, programPassword());
        {
            const test::RawDatabase db = test::openKeyed(file);
            const QByteArray set = "PRAGMA journal_mode = " + mode.toLatin1() + "; INSERT INTO numinfo VALUES ('1', 1)";
            QCOMPARE(sqlite3_exec(db.get(), set.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        }
        QCOMPARE(journalModeOf(file), mode);
        QVERIFY(!QFile::exists(file + u"-shm"_s));
        if (::geteuid() == 0) {
            QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
            QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
            QCOMPARE(::chown(QFile::encodeName(file).constData(), 65534, 65534), 0);
        }
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);

        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(runWithoutWriteAccess(file));
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    // A file that cannot be written still lets reading units run; a write names the read-only file.
    void aReadOnlyFileStillReadsAndNamesItsWrites()
    {
        TestDatabase db;
        db.exec(u"INSERT INTO numinfo VALUES ('1', 1)"_s);
        // Tests run as root, which file permissions do not stop; the engine's own read-only switch
        // gives the same refusal as a read-only medium.
        db.exec(u"PRAGMA query_only = 1"_s);
        QCOMPARE(failureOf(db.connection(), u"SELECT count(*) FROM numinfo"_s), QString());
        const QString message = failureOf(db.connection(), u"DELETE FROM numinfo"_s);
        QVERIFY2(message.contains(u"只读"_s), qPrintable(message));
        QCOMPARE(db.count(u"numinfo"_s), 1);
    }
};

QTEST_GUILESS_MAIN(TestFaultCauses)
#include "test_faultcauses.moc"
