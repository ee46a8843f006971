#include "data/backup.h"
#include "support/testdatabase.h"

#include <QProcess>

using namespace orv;
using orv::test::TestDatabase;

// The program run as a scheduled job would run it: no display, only the arguments.
class TestBackupCommand final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void backupFromTheCommandLine_data();
    void backupFromTheCommandLine();
};

void TestBackupCommand::backupFromTheCommandLine_data()
{
    QTest::addColumn<QString>("workingFolder"); // relative to the database's folder
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::newRow("in the database's folder")
        << "." << QStringLiteral("--backup copy.mdb").split(QLatin1Char(' ')) << 0;
    QTest::newRow("folder given") << "elsewhere"
                                  << QStringLiteral("--backup ../copy.mdb --directory ..").split(QLatin1Char(' ')) << 0;
    QTest::newRow("no database here") << "elsewhere" << QStringLiteral("--backup ../copy.mdb").split(QLatin1Char(' '))
                                      << 1;
    QTest::newRow("target folder missing")
        << "." << QStringLiteral("--backup no/such/copy.mdb").split(QLatin1Char(' ')) << 1;
}

void TestBackupCommand::backupFromTheCommandLine()
{
    QFETCH(QString, workingFolder);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO numinfo VALUES ('101', 2)"));
    const QDir home(db.directory());
    QVERIFY(home.mkpath(QStringLiteral("elsewhere")));

    QProcess program;
    program.setWorkingDirectory(home.filePath(workingFolder));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ORV_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), status);
    const QString copy = home.filePath(QStringLiteral("copy.mdb"));
    if (status == 0) {
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()).trimmed(),
                 QFileInfo(copy).canonicalFilePath());
        backup::verify(copy);
    } else {
        QVERIFY(!program.readAllStandardError().trimmed().isEmpty());
        QVERIFY(!QFile::exists(copy));
    }
}

QTEST_GUILESS_MAIN(TestBackupCommand)
#include "test_backupcommand.moc"
