#include "data/connection.h"
#include "data/recordset.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using namespace orv;
using namespace Qt::StringLiterals;

class TestInitDb : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The file is made under exactly the name given, whatever it holds; a name that is not valid
    // text is refused rather than changed into another.
    void theFileIsMadeUnderTheNameGiven_data()
    {
        QTest::addColumn<QByteArray>("name"); // as the shell passes it, in printf's escapes
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("made"); // empty: nothing is made
        QTest::newRow("semicolon") << "a;b.mdb"_ba << 0 << u"a;b.mdb"_s;
        QTest::newRow("password in the name") << "Password=x.mdb"_ba << 0 << u"Password=x.mdb"_s;
        QTest::newRow("not UTF-8") << "b\\377.mdb"_ba << 2 << QString();
    }
    void theFileIsMadeUnderTheNameGiven()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, status);
        QFETCH(QString, made);
        QTemporaryDir dir;
        // The shell hands the bytes over untouched; QProcess would pass text.
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(u"/bin/sh"_s, {u"-c"_s, u"exec \"$0\" --demo \"$(printf '%1')\""_s.arg(QString::fromLatin1(name)),
                                     QStringLiteral(ORVANE_INITDB_EXE)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), status);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(files, made.isEmpty() ? QStringList() : QStringList{made});
        if (made.isEmpty())
            return;
        Connection connection;
        connection.openFile(dir.filePath(made), programPassword());
        Recordset rooms(&connection);
        rooms.Open(u"select * from floorinfo"_s);
        QVERIFY(rooms.RecordCount() > 0);
    }
};

QTEST_GUILESS_MAIN(TestInitDb)
#include "test_initdb.moc"
