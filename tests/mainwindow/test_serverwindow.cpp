#include "data/columns.h"
#include "data/recordset.h"
#include "data/server/migration.h"
#include "data/server/serverconnection.h"
#include "data/server/serverstore.h"
#include "data/statements.h"
#include "kit/reportlist.h"
#include "kit/unit.h"
#include "operations/logbook.h"
#include "pagedriver.h"
#include "support/testserver.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>

#include <memory>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::server::ServerConnection;
using orv::server::ServerStore;
using orv::test::TestServer;

namespace {

namespace floor = db::floorinfo;

// The main window on a server database holding the rooms and resident of the page tests, with a
// second desk's connection to the same database; every box answered.
struct ServerWindow {
    TestServer server;
    Connection desk;
    Connection other;
    test::Answers answers;
    std::unique_ptr<MainWindow> window;

    ServerWindow()
    {
        {
            test::TestDatabase file;
            file.exec(test::kRoomsAndResident);
            ServerConnection target(server.uri());
            server::migrateToServer(file.connection(), target);
        }
        desk.openStore(ServerStore::open(server.uri()));
        other.openStore(ServerStore::open(server.uri()));
        window = std::make_unique<MainWindow>(desk);
        window->setServerStore(u"服务器 localhost/%1"_s.arg(server.name()), u"值班"_s);
    }
    QWidget *roomsPage() const { return test::page(*window, 1); }
    QStringList listedRooms()
    {
        test::press(roomsPage(), u"listRoomsButton"_s);
        auto *list = test::child<ReportList>(roomsPage(), u"roomList"_s);
        QStringList rooms;
        for (int row = 0; row < list->rowCount(); ++row)
            rooms.append(list->rowTexts(row).join(u','));
        return rooms;
    }
    // Ends the window's session on the server, as a server restart or a dropped network would.
    void cutTheWindowOff()
    {
        auto *store = dynamic_cast<ServerStore *>(desk.backend());
        QVERIFY(store);
        const QString pid = QString::number(PQbackendPID(store->server().handle()));
        QCOMPARE(TestServer::admin().value(u"SELECT pg_terminate_backend($1, 10000)"_s, {pid}), u"t"_s);
    }
};

int occupantsOf(Recordset &set)
{
    const FieldValue now = set.GetCollect(floor::occupants);
    return now.isNull() ? 0 : now.asInt16();
}

// Room A's occupants one higher, on the set's first row.
void addOccupant(Recordset &set, int seen)
{
    set.PutCollect(floor::occupants, FieldValue::int16(static_cast<std::int16_t>(seen + 1)));
    set.Update();
}

// The other desk adds an occupant to room A in a unit of its own, committed at once.
void otherDeskAddsOne(Connection &other)
{
    other.beginUnit();
    Recordset theirs(&other);
    theirs.Open(sql::floorAll);
    addOccupant(theirs, occupantsOf(theirs));
    theirs.Close();
    other.commitUnit();
}

} // namespace

class TestServerWindow final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The room page lists the server's rooms, and the entries that work on a file alone are gone
    // from the data menu, as is the call to set up a file's operators.
    void theRoomPageReadsTheServer()
    {
        ServerWindow w;
        QCOMPARE(w.listedRooms(), (QStringList{u"A,男,1,2,3,4,100,10"_s, u"B,女,1,2,3,8,100,10"_s}));
        QCOMPARE(w.answers->texts(), QStringList());
        for (const QString &fileOnly : {u"checkDatabaseAction"_s, u"backupAction"_s, u"restoreAction"_s,
                                        u"protectAction"_s, u"backupKeyAction"_s})
            QVERIFY2(!w.window->dataMenu()->findChild<QAction *>(fileOnly)->isVisible(), qPrintable(fileOnly));
        QVERIFY(w.window->dataMenu()->findChild<QAction *>(u"connectServerAction"_s)->isVisible());
        QVERIFY(!test::child<QWidget>(w.window.get(), u"protectionBanner"_s)->isVisibleTo(w.window.get()));
        QCOMPARE(w.window->operatorName(), u"值班"_s);
        QCOMPARE(w.window->windowTitle(), u"Lumeo宿舍管理系统V2.8 — 服务器 localhost/%1 — 值班"_s.arg(w.server.name()));
    }

    // A check-in and a check-out through the accommodation page show the boxes they show on a
    // file, and write the server's rows and its log, chained.
    void checkInAndOutThroughThePage()
    {
        const auto deskDay = [](MainWindow &window) {
            QWidget *desk = test::page(window, 0);
            test::checkIn(desk, {u"李四"_s, QString(), u"数学系"_s, u"S9"_s, u"139"_s, u"A"_s});
            auto *sex = test::child<QComboBox>(desk, u"sexCombo"_s);
            sex->setCurrentIndex(sex->findText(u"男"_s));
            test::press(desk, u"checkInButton"_s);
            test::checkOut(desk, u"P1"_s, u"A"_s);
        };
        QStringList onFile;
        {
            test::Window file(test::kRoomsAndResident);
            deskDay(*file.window);
            onFile = file.answers->texts();
        }
        ServerWindow w;
        deskDay(*w.window);
        QCOMPARE(w.answers->texts(), onFile);
        QCOMPARE(onFile, (QStringList{u"请输入性别！"_s, u"成功迁出！"_s}));
        Recordset rooms(&w.other);
        rooms.Open(sql::floorAll);
        QCOMPARE(occupantsOf(rooms), 1);
        const QList<oplog::Entry> log = ops::readLog(w.other, {});
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.at(0).action + log.at(1).action, u"迁出入住"_s);
        QCOMPARE(log.at(1).operatorName, u"值班"_s);
        QVERIFY(oplog::verify(w.other).intact());
    }

    // A session the server ended between two clicks is made again by the next click; one ended in
    // the middle of a unit loses the unit, says the connection was lost, and the click after
    // works again.
    void aLostConnectionIsToldAndTheNextClickReconnects()
    {
        ServerWindow w;
        w.cutTheWindowOff();
        QCOMPARE(w.listedRooms().size(), 2);
        QCOMPARE(w.answers->texts(), QStringList());

        const bool done = runUnit(w.window.get(), w.desk, [&] {
            Recordset mine(&w.desk);
            mine.Open(sql::floorAll);
            const int seen = occupantsOf(mine);
            w.cutTheWindowOff();
            addOccupant(mine, seen);
        });
        QVERIFY(!done);
        QCOMPARE(w.answers->texts().size(), 1);
        const QString box = w.answers->last();
        QVERIFY2(box.startsWith(unitFailureLead()) && box.contains(u"与数据库服务器的连接断开了，这次操作没有保存。"_s),
                 qPrintable(box));
        QVERIFY(!w.desk.inUnit());

        w.answers->clear();
        QCOMPARE(w.listedRooms().first(), u"A,男,1,2,3,4,100,10"_s);
        QCOMPARE(w.answers->texts(), QStringList());
        Recordset check(&w.other);
        check.Open(sql::floorAll);
        QCOMPARE(occupantsOf(check), 1); // as the file had it: the lost unit left nothing
    }

    // A unit that collides with another desk's runs again as a whole. Its boxes show once each, in
    // the order the run that stands shows them: a box held back by a collided run is dropped, a
    // question asked once keeps its answer. A unit that collides every time is refused by name,
    // beside the boxes of its last run.
    void aCollidedUnitRunsAgainAndShowsItsBoxesOnce_data()
    {
        QTest::addColumn<int>("collisions");
        QTest::newRow("no collision") << 0;
        QTest::newRow("once") << 1;
        QTest::newRow("twice") << 2;
        QTest::newRow("every time") << 100;
    }
    void aCollidedUnitRunsAgainAndShowsItsBoxesOnce()
    {
        QFETCH(int, collisions);
        ServerWindow w;
        int runs = 0;
        const bool done = runUnit(w.window.get(), w.desk, [&] {
            ++runs;
            showMessage(w.window.get(), u"先看看"_s);
            if (showMessage(w.window.get(), u"要加一位吗？"_s, MessageButtons::OkCancel) != MessageAnswer::Ok)
                return;
            Recordset mine(&w.desk);
            mine.Open(sql::floorAll);
            const int seen = occupantsOf(mine);
            showMessage(w.window.get(), u"读到 %1 位"_s.arg(seen));
            if (runs <= collisions)
                otherDeskAddsOne(w.other);
            addOccupant(mine, seen);
            showMessage(w.window.get(), u"加好了"_s);
        });
        const bool always = collisions >= server::kUnitAttempts;
        QCOMPARE(done, !always);
        QCOMPARE(runs, always ? server::kUnitAttempts : collisions + 1);
        // Room A had one occupant; each collision is the other desk's one more.
        const QStringList boxes = w.answers->texts();
        QCOMPARE(boxes.mid(0, 3), (QStringList{u"先看看"_s, u"要加一位吗？"_s, u"读到 %1 位"_s.arg(runs)}));
        QCOMPARE(boxes.size(), 4);
        if (always)
            QVERIFY2(boxes.last().startsWith(unitFailureLead()) &&
                         boxes.last().contains(u"重试了 %1 次仍未成功"_s.arg(server::kUnitAttempts)) &&
                         boxes.last().contains(u"40001"_s),
                     qPrintable(boxes.last()));
        else
            QCOMPARE(boxes.last(), u"加好了"_s);
        Recordset check(&w.other);
        check.Open(sql::floorAll);
        QCOMPARE(occupantsOf(check), always ? 1 + runs : 2 + collisions);
    }
};

QTEST_MAIN(TestServerWindow)
#include "test_serverwindow.moc"
