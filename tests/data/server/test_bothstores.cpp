#include "data/columns.h"
#include "data/recordset.h"
#include "data/server/migration.h"
#include "data/server/serverroles.h"
#include "data/server/serverstore.h"
#include "data/statements.h"
#include "data/unitrun.h"
#include "support/testdatabase.h"
#include "support/testserver.h"

#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <memory>

using namespace orv;
using namespace Qt::StringLiterals;
namespace ServerCode = orv::server::ServerCode;
using orv::server::ServerConnection;
using orv::server::ServerStore;
using orv::test::storeErrorOf;

namespace {

namespace floor = db::floorinfo;

// One of the two stores with the eight tables, empty, opened as the program opens it: the file,
// or a database on the test cluster. Other desks open their own connections to the same store.
class Store final {
public:
    explicit Store(const QByteArray &which)
    {
        if (which == "server") {
            m_server = std::make_unique<test::TestServer>();
            ServerConnection made(m_server->uri());
            server::migrateToServer(m_file.connection(), made);
        }
        m_desk = anotherDesk();
    }
    bool isServer() const { return m_server != nullptr; }
    Connection &connection() { return m_server ? *m_desk : m_file.connection(); }
    std::unique_ptr<Connection> anotherDesk()
    {
        auto desk = std::make_unique<Connection>();
        if (m_server)
            desk->openStore(ServerStore::open(m_server->uri()));
        else
            desk->Open(programConnectionString());
        return desk;
    }
    const QString &uri() const { return m_server->uri(); }
    // A desk signed in as a new operator of that role.
    std::unique_ptr<Connection> operatorDesk(Role role)
    {
        const QString name = u"值班 "_s + QUuid::createUuid().toString(QUuid::Id128).left(12);
        const QString password = u"密码 'x'"_s;
        ServerConnection owner(m_server->uri());
        server::createOperator(owner, name, role, password);
        const auto encoded = [](const QString &text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
        auto desk = std::make_unique<Connection>();
        desk->openStore(ServerStore::open(test::TestServer::uriFor(
            m_server->name(), u"user=%1&password=%2"_s.arg(encoded(name), encoded(password)))));
        return desk;
    }

private:
    test::TestDatabase m_file; // the current directory while the store lives
    std::unique_ptr<test::TestServer> m_server;
    std::unique_ptr<Connection> m_desk;
};

// A room added through a set, as the room page adds one; the other columns stay null.
void addRoom(Connection &connection, const QString &room, std::int16_t capacity = 4)
{
    Recordset set(&connection);
    set.Open(sql::floorAll);
    set.AddNew();
    set.PutCollect(floor::roomNo, room);
    set.PutCollect(floor::sex, u"男"_s);
    set.PutCollect(floor::capacity, FieldValue::int16(capacity));
    set.PutCollect(floor::waterBase, FieldValue::int32(100000 + capacity));
    set.Update();
}

QStringList walk(Recordset &set, const QString &column = floor::roomNo)
{
    return test::walkColumn(set, column);
}

// From past the end back to the first row.
QStringList walkBack(Recordset &set)
{
    QStringList seen;
    while (!set.adoEOF())
        set.MoveNext();
    set.MovePrevious();
    while (!set.BOF()) {
        seen.append(set.GetCollect(floor::roomNo).toText());
        set.MovePrevious();
    }
    return seen;
}

QStringList rooms(Connection &connection, const QString &sql = sql::floorAll)
{
    Recordset set(&connection);
    set.Open(sql);
    return walk(set);
}

// Ends a desk's session from the server's side, as an administrator or a restart would, and
// waits until it is gone.
void endSessionOf(Connection &connection)
{
    const int pid = PQbackendPID(static_cast<ServerStore *>(connection.backend())->server().handle());
    const QString ended =
        test::TestServer::admin().value(u"SELECT pg_terminate_backend($1::integer, 60000)"_s, {QString::number(pid)});
    if (ended != u"t"_s)
        test::fail(u"the desk's session did not end"_s, __FILE__, __LINE__);
}

// Rooms numbered 0, 1, ... added through a set in one unit; their numbers in the order added.
QStringList addNumberedRooms(Connection &c, int rooms)
{
    QStringList added;
    c.beginUnit();
    {
        Recordset set(&c);
        set.Open(sql::floorAll);
        for (int i = 0; i < rooms; ++i) {
            set.AddNew();
            set.PutCollect(floor::roomNo, QString::number(i));
            added.append(QString::number(i));
        }
        set.Update();
    }
    c.commitUnit();
    return added;
}

} // namespace

class TestBothStores : public QObject {
    Q_OBJECT

    static void bothStores()
    {
        QTest::addColumn<QByteArray>("store");
        QTest::newRow("file") << QByteArray("file");
        QTest::newRow("server") << QByteArray("server");
    }

private Q_SLOTS:
    void rowsComeInTheOrderAddedWithTheirKinds_data() { bothStores(); }
    // Rows come in the order added, forwards and backwards, whatever their values; each column
    // gives the kind it holds and a column never written gives null; the set shows the table's
    // columns alone.
    void rowsComeInTheOrderAddedWithTheirKinds()
    {
        QFETCH(QByteArray, store);
        Store db(store);
        Connection &c = db.connection();
        QVERIFY(c.isServer() == db.isServer());
        for (const QString &room : {u"9"_s, u"1"_s, u"5"_s})
            addRoom(c, room, static_cast<std::int16_t>(room.toInt()));
        Recordset set(&c);
        set.Open(sql::floorAll);
        QCOMPARE(walk(set), (QStringList{u"9"_s, u"1"_s, u"5"_s}));
        QCOMPARE(walkBack(set), (QStringList{u"5"_s, u"1"_s, u"9"_s}));
        QCOMPARE(set.RecordCount(), 3L);
        set.MoveFirst();
        QCOMPARE(set.GetCollect(floor::capacity), FieldValue::int16(9));
        QCOMPARE(set.GetCollect(floor::waterBase), FieldValue::int32(100009));
        QCOMPARE(set.GetCollect(floor::sex), FieldValue(u"男"_s));
        QVERIFY(set.GetCollect(floor::phone).isNull());
        QVERIFY(set.GetCollect(floor::powerBase).isNull());
        QCOMPARE(storeErrorOf([&] { set.GetCollect(u"orvane$order"_s); }).code(), StoreCode::ItemNotFound);
        // Lists copy texts as the store holds them: a null as no bytes, a number through GetCollect.
        const QString shown[] = {floor::sex, floor::phone, floor::capacity};
        std::optional<QByteArrayView> texts[3];
        set.storedTexts(shown, 3, texts);
        QCOMPARE(texts[0].value_or(QByteArrayView("none")), QByteArrayView("男"));
        QVERIFY(texts[1] && texts[1]->isEmpty());
        QVERIFY(!texts[2]);

        // A single keeps its exact value; a text its every character.
        Recordset fees(&c);
        fees.Open(sql::feeStandard);
        fees.AddNew();
        fees.PutCollect(db::feiyong::water, FieldValue(0.55F));
        fees.PutCollect(db::feiyong::power, FieldValue(1e-7F));
        fees.PutCollect(db::feiyong::rent, FieldValue::int32(-2147483647 - 1));
        fees.Update();
        Recordset again(&c);
        again.Open(sql::feeStandard);
        QCOMPARE(again.GetCollect(db::feiyong::water), FieldValue(0.55F));
        QCOMPARE(again.GetCollect(db::feiyong::power), FieldValue(1e-7F));
        QCOMPARE(again.GetCollect(db::feiyong::rent), FieldValue::int32(-2147483647 - 1));
        const QString awkward = u"引号' \"、反斜杠\\ 与\t制表符 😀"_s;
        addRoom(c, awkward);
        QCOMPARE(rooms(c).last(), awkward);
        QCOMPARE(rooms(c, u"select * from floorinfo where 房间号码='1'"_s), (QStringList{u"1"_s}));
        // A statement the store refuses is named in the refusal.
        const QString wrong = u"select * from floorinfo where 没有这列='1'"_s;
        Recordset refused(&c);
        const StoreError error = storeErrorOf([&] { refused.Open(wrong); });
        QVERIFY2(error.code() != 0 && error.message().contains(u"没有这列"_s), qPrintable(error.message()));
        QCOMPARE(refused.State(), adStateClosed);
        // An empty table is empty at both ends.
        Recordset none(&c);
        none.Open(u"select * from numinfo"_s);
        QVERIFY(none.BOF() && none.adoEOF());
        QCOMPARE(none.RecordCount(), 0L);
    }

    void walksCrossManyWindows_data() { bothStores(); }
    // A table longer than a screen is walked whole in both directions, and a row added or
    // deleted in the middle of a walk is seen by it.
    void walksCrossManyWindows()
    {
        QFETCH(QByteArray, store);
        Store db(store);
        Connection &c = db.connection();
        QStringList expected = addNumberedRooms(c, 450);
        Recordset set(&c);
        set.Open(sql::floorAll);
        QCOMPARE(walk(set), expected);
        std::reverse(expected.begin(), expected.end());
        QCOMPARE(walkBack(set), expected);

        auto other = db.anotherDesk();
        set.MoveFirst();
        for (int i = 0; i < 250; ++i)
            set.MoveNext();
        Recordset theirs(other.get());
        theirs.Open(u"select * from floorinfo where 房间号码='251'"_s);
        theirs.Delete();
        addRoom(*other, u"new"_s);
        set.Move(0); // read afresh, as a page does before it goes on
        QStringList rest;
        while (!set.adoEOF()) {
            rest.append(set.GetCollect(floor::roomNo).toText());
            set.MoveNext();
        }
        QCOMPARE(rest.size(), 450 - 250 - 1 + 1);
        QCOMPARE(rest.first(), u"250"_s);
        QCOMPARE(rest.at(1), u"252"_s);
        QCOMPARE(rest.last(), u"new"_s);
    }

    void aLongWalkSeesEveryRowOnce_data() { bothStores(); }
    // Walked on and on, a table many screens long gives each row once, in order, both ways; a
    // row changed through the connection in the middle of the walk shows as changed when reached.
    void aLongWalkSeesEveryRowOnce()
    {
        QFETCH(QByteArray, store);
        Store db(store);
        Connection &c = db.connection();
        constexpr int kRows = 3000;
        QStringList expected = addNumberedRooms(c, kRows);
        Recordset set(&c);
        set.Open(sql::floorAll);
        QCOMPARE(walk(set), expected);
        QStringList back = expected;
        std::reverse(back.begin(), back.end());
        QCOMPARE(walkBack(set), back);

        QStringList seen;
        set.MoveFirst();
        for (int i = 0; i < 1000; ++i) {
            seen.append(set.GetCollect(floor::roomNo).toText());
            set.MoveNext();
        }
        {
            Recordset later(&c);
            later.Open(u"select * from floorinfo where 房间号码='2500'"_s);
            later.PutCollect(floor::roomNo, u"2500 changed"_s);
            later.Update();
        }
        while (!set.adoEOF()) {
            seen.append(set.GetCollect(floor::roomNo).toText());
            set.MoveNext();
        }
        expected[2500] = u"2500 changed"_s;
        QCOMPARE(seen, expected);
    }

    void aUnitSeesTheRowsItAdds_data() { bothStores(); }
    // Inside a unit a list read once and walked again, or walked past its end, still shows a row
    // the unit added through another set meanwhile, at the end or at the start.
    void aUnitSeesTheRowsItAdds()
    {
        QFETCH(QByteArray, store);
        Store db(store);
        Connection &c = db.connection();
        for (const QString &room : {u"a"_s, u"b"_s})
            addRoom(c, room);
        c.beginUnit();
        Recordset set(&c);
        set.Open(sql::floorAll);
        QCOMPARE(walk(set), (QStringList{u"a"_s, u"b"_s}));
        addRoom(c, u"c"_s);
        QCOMPARE(walk(set), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
        set.MoveFirst();
        set.MoveNext();
        set.MoveNext();
        QCOMPARE(set.GetCollect(floor::roomNo).toText(), u"c"_s);
        addRoom(c, u"d"_s);
        set.MoveNext();
        QVERIFY(!set.adoEOF());
        QCOMPARE(set.GetCollect(floor::roomNo).toText(), u"d"_s);
        {
            Recordset first(&c);
            first.Open(u"select * from floorinfo where 房间号码='a'"_s);
            first.Delete();
        }
        set.MoveFirst();
        QCOMPARE(set.GetCollect(floor::roomNo).toText(), u"b"_s);
        c.commitUnit();
    }

    void bookmarksOutliveDeletes_data() { bothStores(); }
    // A bookmark finds its row wherever it stands after rows before it are deleted; a deleted
    // row's bookmark leaves the set at its end; the deleted row stays the position until a move.
    void bookmarksOutliveDeletes()
    {
        QFETCH(QByteArray, store);
        Store db(store);
        Connection &c = db.connection();
        for (const QString &room : {u"a"_s, u"b"_s, u"c"_s, u"d"_s})
            addRoom(c, room);
        Recordset set(&c);
        set.Open(sql::floorAll);
        set.MoveNext();
        const std::int64_t b = set.Bookmark();
        set.MoveNext();
        const std::int64_t cMark = set.Bookmark();
        set.MoveToBookmark(b);
        set.Delete();
        QCOMPARE(storeErrorOf([&] { set.GetCollect(floor::roomNo); }).code(), StoreCode::NoCurrentRecord);
        set.MoveNext();
        QCOMPARE(set.GetCollect(floor::roomNo).toText(), u"c"_s);
        set.MoveFirst();
        set.Delete();
        QVERIFY(set.MoveToBookmark(cMark));
        QCOMPARE(set.GetCollect(floor::roomNo).toText(), u"c"_s);
        QVERIFY(!set.MoveToBookmark(b));
        QVERIFY(set.adoEOF());
        QCOMPARE(rooms(c), (QStringList{u"c"_s, u"d"_s}));
    }

    void findFollowsTheEqualityRule_data() { bothStores(); }
    // Find and FindNext stop at values equal under the store's rule: same kind, same value,
    // texts character for character; a filtered set finds only inside its condition.
    void findFollowsTheEqualityRule()
    {
        QFETCH(QByteArray, store);
        Store db(store);
        Connection &c = db.connection();
        for (const QString &room : {u"101"_s, u"1"_s, u"A1"_s, u"a1"_s, u"1"_s, u"1 "_s})
            addRoom(c, room, room == u"1 "_s ? 2 : 4);
        Recordset set(&c);
        set.Open(sql::floorAll);
        QVERIFY(set.Find(floor::roomNo, u"1"_s));
        const std::int64_t firstOne = set.Bookmark();
        QVERIFY(set.FindNext(floor::roomNo, u"1"_s));
        QVERIFY(set.Bookmark() != firstOne);
        QVERIFY(!set.FindNext(floor::roomNo, u"1"_s));
        QVERIFY(set.adoEOF());
        QVERIFY(set.Find(floor::roomNo, u"a1"_s));
        QCOMPARE(set.GetCollect(floor::roomNo).toText(), u"a1"_s);
        QVERIFY(!set.Find(floor::roomNo, FieldValue::int32(1))); // a number never equals a text
        QVERIFY(set.Find(floor::capacity, FieldValue::int16(2)));
        QCOMPARE(set.GetCollect(floor::roomNo).toText(), u"1 "_s);
        QVERIFY(!set.Find(floor::capacity, FieldValue::int32(2))); // nor a 32-bit a 16-bit one

        Recordset filtered(&c);
        filtered.Open(u"select * from floorinfo where 可住人数=4 and 房间号码 <> '101'"_s);
        QVERIFY(filtered.Find(floor::roomNo, u"1"_s));
        QVERIFY(!filtered.Find(floor::roomNo, u"101"_s));
        Recordset byText(&c);
        byText.Open(u"select * from floorinfo where 房间号码='1'"_s);
        QCOMPARE(byText.RecordCount(), 2L);
        QVERIFY(!byText.Find(floor::roomNo, u"a1"_s));
    }

    void changesAreSeenAndStaleRowsRefused_data() { bothStores(); }
    // A set sees what another set or another desk stored since it read; writing to a row
    // another desk deleted is refused and stores nothing.
    void changesAreSeenAndStaleRowsRefused()
    {
        QFETCH(QByteArray, store);
        Store db(store);
        Connection &c = db.connection();
        addRoom(c, u"1"_s);
        addRoom(c, u"2"_s);
        Recordset reader(&c);
        reader.Open(sql::floorAll);
        Recordset writer(&c);
        writer.Open(sql::floorAll);
        writer.PutCollect(floor::occupants, FieldValue::int16(3));
        writer.Update();
        QCOMPARE(reader.GetCollect(floor::occupants), FieldValue::int16(3));

        auto other = db.anotherDesk();
        Recordset theirs(other.get());
        theirs.Open(sql::floorAll);
        theirs.PutCollect(floor::occupants, FieldValue::int16(4));
        theirs.Update();
        reader.Move(0);
        QCOMPARE(reader.GetCollect(floor::occupants), FieldValue::int16(4));

        theirs.Delete();
        writer.PutCollect(floor::occupants, FieldValue::int16(5));
        const StoreError stale = storeErrorOf([&] { writer.Update(); });
        QCOMPARE(stale.code(), StoreCode::NoCurrentRecord);
        QCOMPARE(stale.message(), u"当前记录已经被其他操作删除，修改没有保存。"_s);
        QCOMPARE(rooms(c), (QStringList{u"2"_s}));
    }

    void aUnitRolledBackLeavesNothing_data() { bothStores(); }
    // Everything a unit wrote goes with its rollback, and sets read the rows as they were.
    void aUnitRolledBackLeavesNothing()
    {
        QFETCH(QByteArray, store);
        Store db(store);
        Connection &c = db.connection();
        addRoom(c, u"1"_s);
        Recordset set(&c);
        set.Open(sql::floorAll);
        c.beginUnit();
        QVERIFY(c.inUnit());
        set.PutCollect(floor::occupants, FieldValue::int16(7));
        set.Update();
        addRoom(c, u"2"_s);
        set.MoveFirst();
        set.Delete();
        c.rollbackUnit();
        QVERIFY(!c.inUnit());
        QCOMPARE(rooms(c), (QStringList{u"1"_s}));
        set.MoveFirst();
        QVERIFY(set.GetCollect(floor::occupants).isNull());
        QCOMPARE(rooms(*db.anotherDesk()), (QStringList{u"1"_s}));
    }

    void theRentListJoinIsReadOnlyInTheOrderAdded_data() { bothStores(); }
    // The rent list's join reads the three tables together in the order the payments were
    // added, whatever order the residents and their due dates were added in, and takes no writes.
    void theRentListJoinIsReadOnlyInTheOrderAdded()
    {
        QFETCH(QByteArray, store);
        Store db(store);
        Connection &c = db.connection();
        c.beginUnit();
        for (int i = 1; i <= 3; ++i)
            c.execute(u"INSERT INTO personinfo (姓名, 工号) VALUES ('p%1', '%1')"_s.arg(i));
        for (const int i : {2, 3, 1})
            c.execute(u"INSERT INTO fangset VALUES ('%1', '2004- 6-15', 1)"_s.arg(i));
        for (const int i : {3, 1, 2, 4, 3})
            c.execute(u"INSERT INTO fanglist VALUES ('%1', '2004-06-20', %1)"_s.arg(i));
        c.commitUnit();
        Recordset set(&c);
        set.Open(sql::rentListJoin);
        QCOMPARE(set.RecordCount(), 4L);
        QCOMPARE(walk(set, u"姓名"_s), (QStringList{u"p3"_s, u"p1"_s, u"p2"_s, u"p3"_s}));
        set.MoveFirst();
        QCOMPARE(set.GetCollect(u"房租到期"_s).toText(), u"2004- 6-15"_s);
        QCOMPARE(set.GetCollect(u"房租"_s), FieldValue::int32(3));
        QCOMPARE(storeErrorOf([&] { set.PutCollect(u"房租"_s, FieldValue::int32(1)); }).code(), StoreCode::ReadOnly);
    }

    // An operator works through the same sets within the rights of its role: a 值班员 walks and
    // finds rooms and changes their occupants, and the server refuses it a new room by name.
    void anOperatorWorksWithinItsRole()
    {
        Store db("server");
        addRoom(db.connection(), u"1"_s);
        addRoom(db.connection(), u"2"_s);
        auto desk = db.operatorDesk(Role::Attendant);
        QCOMPARE(rooms(*desk), (QStringList{u"1"_s, u"2"_s}));
        Recordset set(desk.get());
        set.Open(sql::floorAll);
        QVERIFY(set.Find(floor::roomNo, u"2"_s));
        set.PutCollect(floor::occupants, FieldValue::int16(1));
        set.Update();
        Recordset seen(&db.connection());
        seen.Open(u"select * from floorinfo where 房间号码='2'"_s);
        QCOMPARE(seen.GetCollect(floor::occupants), FieldValue::int16(1));
        set.AddNew();
        set.PutCollect(floor::roomNo, u"3"_s);
        const StoreError refused = storeErrorOf([&] { set.Update(); });
        QCOMPARE(refused.code(), ServerCode::NotPermitted);
        QCOMPARE(rooms(db.connection()), (QStringList{u"1"_s, u"2"_s}));
    }

    // Two desks read the same room in their units and both write what they read plus one: the
    // second is refused by name as a conflict, so no update is lost.
    void aLostUpdateIsRefusedAsAConflict()
    {
        Store db("server");
        addRoom(db.connection(), u"1"_s);
        Connection &desk = db.connection();
        auto other = db.anotherDesk();
        const auto readOccupants = [](Recordset &set) {
            const FieldValue value = set.GetCollect(floor::occupants);
            return value.isNull() ? std::int16_t(0) : value.asInt16();
        };
        Recordset mine(&desk);
        mine.Open(sql::floorAll);
        Recordset theirs(other.get());
        theirs.Open(sql::floorAll);
        desk.beginUnit();
        other->beginUnit();
        const std::int16_t seenByMe = readOccupants(mine);
        const std::int16_t seenByThem = readOccupants(theirs);
        theirs.PutCollect(floor::occupants, FieldValue::int16(static_cast<std::int16_t>(seenByThem + 1)));
        theirs.Update();
        other->commitUnit();
        const StoreError refused = storeErrorOf([&] {
            mine.PutCollect(floor::occupants, FieldValue::int16(static_cast<std::int16_t>(seenByMe + 1)));
            mine.Update();
            desk.commitUnit();
        });
        QCOMPARE(refused.code(), ServerCode::Conflict);
        QVERIFY2(refused.message().contains(u"40001"_s), qPrintable(refused.message()));
        desk.rollbackUnit();
        mine.MoveFirst();
        QCOMPARE(mine.GetCollect(floor::occupants), FieldValue::int16(1));
    }

    // A unit run through the collision rule reads a room and writes it back one higher; the
    // other desk adds one in between on the first runs only. The collided runs are run again as a
    // whole, so every addition stays; a unit that collides every time is refused by name after
    // the last run, keeping only the other desk's additions.
    void aCollidedUnitIsRunAgainAsAWhole_data()
    {
        QTest::addColumn<int>("collisions");
        QTest::addColumn<int>("runs");
        QTest::addColumn<int>("occupants");
        QTest::newRow("once") << 1 << 2 << 2;
        QTest::newRow("three times") << 3 << 4 << 4;
        QTest::newRow("every time") << 100 << 0 << server::kUnitAttempts;
    }
    void aCollidedUnitIsRunAgainAsAWhole()
    {
        QFETCH(int, collisions);
        QFETCH(int, runs);
        QFETCH(int, occupants);
        Store db("server");
        Connection &desk = db.connection();
        addRoom(desk, u"1"_s);
        auto other = db.anotherDesk();
        const auto occupantsOf = [](Recordset &set) {
            const FieldValue now = set.GetCollect(floor::occupants);
            return now.isNull() ? 0 : now.asInt16();
        };
        const auto write = [](Recordset &set, int value) {
            set.PutCollect(floor::occupants, FieldValue::int16(static_cast<std::int16_t>(value)));
            set.Update();
        };
        int started = 0;
        int took = 0;
        const StoreError refused = storeErrorOf([&] {
            took = runUnitAgainOnCollision(desk, [&] {
                Recordset mine(&desk);
                mine.Open(sql::floorAll);
                const int seen = occupantsOf(mine);
                if (started++ < collisions) {
                    Recordset theirs(other.get());
                    theirs.Open(sql::floorAll);
                    write(theirs, occupantsOf(theirs) + 1);
                }
                write(mine, seen + 1);
            });
        });
        QCOMPARE(took, runs);
        QVERIFY(!desk.inUnit());
        if (runs == 0) {
            QCOMPARE(refused.code(), ServerCode::Conflict);
            QVERIFY2(refused.message().contains(u"重试了 %1 次"_s.arg(server::kUnitAttempts)) &&
                         refused.message().contains(u"40001"_s),
                     qPrintable(refused.message()));
        } else {
            QCOMPARE(refused.code(), 0U);
        }
        Recordset set(&desk);
        set.Open(sql::floorAll);
        QCOMPARE(set.GetCollect(floor::occupants), FieldValue::int16(static_cast<std::int16_t>(occupants)));
    }

    // Two desks each read all rooms and change a different one: together their units could not
    // have run one after the other, so the second commit is refused as a conflict.
    void writeSkewIsRefusedAtCommit()
    {
        Store db("server");
        addRoom(db.connection(), u"1"_s);
        addRoom(db.connection(), u"2"_s);
        Connection &desk = db.connection();
        auto other = db.anotherDesk();
        desk.beginUnit();
        other->beginUnit();
        const auto changeRoom = [](Connection &c, const QString &room) {
            Recordset set(&c);
            set.Open(sql::floorAll);
            walk(set);
            QVERIFY(set.Find(floor::roomNo, room));
            set.PutCollect(floor::vacant, FieldValue::int16(0));
            set.Update();
        };
        changeRoom(desk, u"1"_s);
        // The server refuses the second desk at its write or, at the latest, at its commit.
        StoreError refused = storeErrorOf([&] { changeRoom(*other, u"2"_s); });
        desk.commitUnit();
        if (refused.code() == 0)
            refused = storeErrorOf([&] { other->commitUnit(); });
        QCOMPARE(refused.code(), ServerCode::Conflict);
        QVERIFY(!other->inUnit());
        other->rollbackUnit();
        QVERIFY(rooms(*other) == (QStringList{u"1"_s, u"2"_s}));
    }

    // The server ends the desk's session in the middle of a unit: the next statement says the
    // connection was lost, nothing of the unit stays, and the next unit connects again.
    void aLostConnectionIsNamedAndTheNextUnitReconnects()
    {
        Store db("server");
        Connection &desk = db.connection();
        addRoom(desk, u"1"_s);
        Recordset set(&desk);
        set.Open(sql::floorAll);
        desk.beginUnit();
        set.PutCollect(floor::occupants, FieldValue::int16(2));
        set.Update();
        endSessionOf(desk);
        const StoreError lost = storeErrorOf([&] { addRoom(desk, u"2"_s); });
        QCOMPARE(lost.code(), ServerCode::ConnectionLost);
        QVERIFY2(lost.message().contains(u"连接断开"_s), qPrintable(lost.message()));
        desk.rollbackUnit();

        desk.beginUnit();
        addRoom(desk, u"3"_s);
        desk.commitUnit();
        QCOMPARE(rooms(desk), (QStringList{u"1"_s, u"3"_s}));
        set.MoveFirst();
        QVERIFY(set.GetCollect(floor::occupants).isNull());

        // Outside a unit the next read connects again by itself.
        endSessionOf(desk);
        QCOMPARE(storeErrorOf([&] { rooms(desk); }).code(), ServerCode::ConnectionLost);
        QCOMPARE(rooms(desk), (QStringList{u"1"_s, u"3"_s}));
    }
};

QTEST_GUILESS_MAIN(TestBothStores)
#include "test_bothstores.moc"
