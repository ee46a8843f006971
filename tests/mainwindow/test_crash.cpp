#include "data/dbcheck.h"
#include "data/recordset.h"
#include "data/statements.h"
#include "pagedriver.h"

#include <QApplication>
#include <QProcess>
#include <QRandomGenerator>

using namespace orv;
using namespace orv::test;

namespace {

// The child: random work through the real pages on the file in the current folder, until killed.
int runChild(quint32 seed)
{
    Connection connection;
    connection.Open(programConnectionString());
    Answers answers;
    MainWindow w(connection);
    QRandomGenerator random(seed);
    auto pick = [&](const char *prefix, int count) {
        return QLatin1String(prefix) + QString::number(random.bounded(count));
    };
    for (;;) {
        const int work = random.bounded(4);
        if (work == 0)
            checkIn(page(w, 0), {QStringLiteral("名"), QStringLiteral("男"), QStringLiteral("系"), pick("S", 40),
                                 QStringLiteral("139"), pick("R", 6)});
        else if (work == 1)
            checkOut(page(w, 0), pick("S", 40), pick("R", 6));
        else if (work == 2)
            addRoom(w, {pick("R", 6), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                        QString::number(1 + random.bounded(8)), QStringLiteral("100"), QStringLiteral("10"),
                        QStringLiteral("男")});
        else
            settleUtility(page(w, 3), QDate(2004, 1, 1).addDays(random.bounded(300)), pick("R", 6),
                          QString::number(100 + random.bounded(1000)), QString::number(10 + random.bounded(1000)));
    }
}

} // namespace

class TestCrash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Kills the child with SIGKILL at random moments; after each kill the file must open, pass the
    // engine's integrity check and keep every rule between the tables. ORV_CRASH_KILLS sets the
    // number of kills (scripts/crash-test runs a long series).
    void killedAtRandomTheFileStaysSound()
    {
        const int kills =
            qEnvironmentVariableIntValue("ORV_CRASH_KILLS") > 0 ? qEnvironmentVariableIntValue("ORV_CRASH_KILLS") : 6;
        const InFolder folder; // the child and the checks open the file as the program does
        Connection::Create(databaseFileName(), programPassword());
        QRandomGenerator random(QRandomGenerator::global()->generate());
        int worked = 0; // kills after which the file held rooms: the child did work
        for (int kill = 0; kill < kills; ++kill) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), QString::number(random.generate())});
            QVERIFY(child.waitForStarted());
            // Start-up takes a moment; the kill lands somewhere in the work after it.
            QTest::qWait(300 + random.bounded(700));
            child.kill(); // SIGKILL
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QStringList findings;
            try {
                Connection after;
                after.Open(programConnectionString());
                findings = checkDatabase(after);
                Recordset rooms(&after);
                rooms.Open(sql::floorAll);
                worked += rooms.adoEOF() ? 0 : 1;
            } catch (const StoreError &error) {
                findings.append(error.message());
            }
            QVERIFY2(findings.isEmpty(), qPrintable(findings.join(QLatin1Char('\n'))));
        }
        QVERIFY(worked > 0);
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(QByteArray(argv[2]).toUInt());
    TestCrash test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_crash.moc"
