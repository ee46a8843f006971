#include "data/columns.h"
#include "data/dbcheck.h"
#include "data/oplog.h"
#include "data/server/serverconnection.h"
#include "data/server/serverstore.h"
#include "data/unitrun.h"
#include "operations/accommodation.h"
#include "support/teststore.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <map>
#include <random>

using namespace orv;
using namespace orv::test;
using namespace Qt::StringLiterals;
namespace ServerCode = orv::server::ServerCode;

// Four desks, each a process of its own, check residents into ten shared rooms and out again on
// one server, as the pages do: the operation and its log entry in one unit, run again when it
// collides. Each desk writes down what it saw committed and what it was refused; the test then
// holds the server's rows against those notes and every rule of the check.

namespace {

constexpr int kDesks = 4;
constexpr int kUnitsPerDesk = 300;
constexpr int kRooms = 10;
constexpr int kBeds = 4;

const QString kRoomFull = u"你选择的房间已经住满，请选择其他房间入住！"_s;
const QString kDuplicateStaffNo = u"你输入的工号已经存在，请不要重复输入！"_s;
const QString kNotResident = u"您输入的工号还没有入住，请不要对此工号操作！"_s;
const QString kCollided = u"这次操作与其他电脑同时进行的修改冲突"_s;

QString roomName(int room)
{
    return u"R%1"_s.arg(room);
}

// Runs the operation as one unit until the server gives an answer: while it is away the desk waits
// and tries again. Returns the outcome, or a refusal with the store's message; `lost` tells
// whether a run ended with the connection, whose unit may have been committed or not.
ops::Outcome answered(Connection &desk, const std::function<ops::Outcome(Connection &)> &operation, bool &lost,
                      int &runs)
{
    lost = false;
    for (int wait = 0; wait < 600; ++wait) {
        try {
            ops::Outcome outcome;
            runs += runUnitAgainOnCollision(desk, [&] {
                outcome = operation(desk);
                if (outcome.done)
                    oplog::append(
                        desk, {{}, desk.operatorName(), outcome.log.action, outcome.log.target, outcome.log.detail});
            });
            return outcome;
        } catch (const StoreError &error) {
            if (error.code() != ServerCode::ConnectionLost && error.code() != ServerCode::Unreachable)
                return ops::Outcome::refused(error.message());
            lost = true;
            QThread::msleep(100);
        }
    }
    return ops::Outcome::refused(u"the server never came back"_s);
}

// One desk: its notes are "in STAFF ROOM", "out STAFF" and "refused MESSAGE", a line each, and a last
// line "runs N" with the runs its units took.
int runDesk(const QString &uri, int deskNumber, const QString &notesPath)
{
    QFile notes(notesPath);
    if (!notes.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 2;
    const auto note = [&notes](const QString &line) { notes.write((line + u'\n').toUtf8()); };
    Connection desk;
    desk.openStore(server::ServerStore::open(uri));
    desk.setOperatorName(u"desk %1"_s.arg(deskNumber));
    std::mt19937 random(static_cast<std::mt19937::result_type>(deskNumber));
    std::map<QString, QString> living; // staff number to room, of this desk's residents
    int added = 0;
    int runs = 0;
    for (int unit = 0; unit < kUnitsPerDesk; ++unit) {
        bool lost = false;
        if (living.empty() || random() % 5 < 3) {
            const QString staffNo = u"D%1-%2"_s.arg(deskNumber).arg(added++);
            const QString room = roomName(static_cast<int>(random() % kRooms));
            const ops::CheckInForm form{u"住户"_s, u"男"_s, u"系"_s, staffNo, u"139"_s, QDate(2026, 1, 5), room};
            const ops::Outcome outcome = answered(
                desk, [&](Connection &c) { return ops::checkIn(c, form); }, lost, runs);
            // A check-in whose first run went with the connection had been committed when the next
            // run finds the staff number taken.
            if (outcome.done || (lost && outcome.message == kDuplicateStaffNo)) {
                living[staffNo] = room;
                note(u"in %1 %2"_s.arg(staffNo, room));
            } else {
                note(u"refused "_s + outcome.message);
            }
        } else {
            auto leaving = living.begin();
            std::advance(leaving, static_cast<long>(random() % living.size()));
            const ops::CheckOutForm form{leaving->first, leaving->second};
            const ops::Outcome outcome = answered(
                desk, [&](Connection &c) { return ops::checkOut(c, form); }, lost, runs);
            if (outcome.done || (lost && outcome.message == kNotResident)) {
                note(u"out "_s + leaving->first);
                living.erase(leaving);
            } else {
                note(u"refused "_s + outcome.message);
            }
        }
    }
    note(u"runs %1"_s.arg(runs));
    return 0;
}

struct Notes {
    std::map<QString, QString> living; // staff number to room
    int committed = 0;
    int runs = 0;
    QMap<QString, int> refusals; // by message
    int lines = 0;
};

void readNotes(const QString &path, Notes &notes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const QStringList words = line.split(u' ');
        if (line.isEmpty())
            continue;
        ++notes.lines;
        if (words[0] == u"in"_s) {
            notes.living[words.value(1)] = words.value(2);
            ++notes.committed;
        } else if (words[0] == u"out"_s) {
            notes.living.erase(words.value(1));
            ++notes.committed;
        } else if (words[0] == u"runs"_s) {
            notes.runs += words.value(1).toInt();
        } else {
            ++notes.refusals[line.mid(8)];
        }
    }
}

int linesWritten(const QStringList &paths)
{
    Notes notes;
    for (const QString &path : paths)
        readNotes(path, notes);
    return notes.lines;
}

QString clusterScript()
{
    return qEnvironmentVariable("ORV_PGCLUSTER_SCRIPT");
}

bool cluster(const QString &action, const QString &state)
{
    return QProcess::execute(u"sh"_s, {clusterScript(), action, state}) == 0;
}

} // namespace

class TestOpsManyDesks final : public QObject {
    Q_OBJECT

    QTemporaryDir m_state;
    QString state() const { return m_state.filePath(u"cluster"_s); }

    // Runs the four desks to their end, restarting the server on the way when asked, and holds
    // the server against their notes.
    void runDesks(bool restartMidRun)
    {
        TestStore store;
        QVERIFY(store.isServer());
        for (int room = 0; room < kRooms; ++room)
            store.exec(u"INSERT INTO floorinfo VALUES ('%1','男','1','2','3',%2,100,200,0,%2);"
                       "INSERT INTO numinfo VALUES ('%1',0)"_s.arg(roomName(room))
                           .arg(kBeds));
        const QString uri = TestServer::uriFor(
            static_cast<server::ServerStore *>(store.connection().backend())->server().databaseName());

        QElapsedTimer clock;
        clock.start();
        QStringList paths;
        std::vector<std::unique_ptr<QProcess>> desks;
        for (int desk = 1; desk <= kDesks; ++desk) {
            paths.append(m_state.filePath(u"desk%1-%2.notes"_s.arg(desk).arg(restartMidRun)));
            auto process = std::make_unique<QProcess>();
            process->setProcessChannelMode(QProcess::ForwardedChannels);
            process->start(QCoreApplication::applicationFilePath(),
                           {u"--desk"_s, uri, QString::number(desk), paths.last()});
            QVERIFY(process->waitForStarted());
            desks.push_back(std::move(process));
        }
        if (restartMidRun) {
            // A fifth of the way in, the server stops at once and comes back.
            while (linesWritten(paths) < kDesks * kUnitsPerDesk / 5 && desks.front()->state() == QProcess::Running)
                QThread::msleep(20);
            QVERIFY(cluster(u"restart"_s, state()));
        }
        for (const auto &desk : desks) {
            QVERIFY(desk->waitForFinished(120000));
            QCOMPARE(desk->exitCode(), 0);
        }
        const qint64 elapsed = clock.elapsed();

        Notes notes;
        for (const QString &path : paths)
            readNotes(path, notes);
        QCOMPARE(notes.lines, kDesks * (kUnitsPerDesk + 1));
        // Every refusal says why: the room was full, or the unit kept colliding with other desks'.
        for (auto refusal = notes.refusals.cbegin(); refusal != notes.refusals.cend(); ++refusal)
            QVERIFY2(refusal.key() == kRoomFull || refusal.key().startsWith(kCollided), qPrintable(refusal.key()));

        // Whoever a desk saw checked in and not out lives here, in that room, once; nobody else does.
        Connection &desk = store.connection();
        QStringList expected;
        for (const auto &[staffNo, room] : notes.living)
            expected.append(staffNo + u',' + room);
        QStringList found;
        for (const QStringList &row : store.rows(
                 u"SELECT %1, %2 FROM %3"_s.arg(db::personinfo::staffNo, db::personinfo::room, db::personinfo::table)))
            found.append(row.join(u','));
        expected.sort();
        found.sort();
        QCOMPARE(found, expected);
        // Every committed unit wrote its log entry; the counters, the history and the chain agree.
        QCOMPARE(store.count(u"oplog"_s), notes.committed);
        QCOMPARE(checkDatabase(desk), QStringList());

        int refused = 0;
        for (const int count : notes.refusals)
            refused += count;
        qInfo("%d desks x %d units%s: %d committed, %d refused (%d room full), %d runs, %lld ms", kDesks, kUnitsPerDesk,
              restartMidRun ? " with a server restart" : "", notes.committed, refused, notes.refusals.value(kRoomFull),
              notes.runs, elapsed);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(!clusterScript().isEmpty());
        // A cluster of this suite's own: stopping it mid-run must not disturb other suites.
        QVERIFY(cluster(u"start"_s, state()));
        qputenv("ORV_TEST_PG_URI_FILE", QFile::encodeName(state() + u".uri"_s));
        qputenv("ORV_TEST_STORE", "server");
    }
    void cleanupTestCase() { cluster(u"stop"_s, state()); }

    void fourDesksKeepEveryRule() { runDesks(false); }
    void aServerStoppedMidRunLosesNoCommittedUnit() { runDesks(true); }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == u"--desk"_s)
        return runDesk(arguments.value(2), arguments.value(3).toInt(), arguments.value(4));
    TestOpsManyDesks suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "test_ops_manydesks.moc"
