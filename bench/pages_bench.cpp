// Every handler of the four pages, run through its real button on a large dormitory (20,000 rooms
// of six beds, 100,000 residents, a bill per room and a rent settlement per resident), timed
// beside the least work the handler must do through the engine's own interface on the same
// connection in the same run: SQLite's on a file, libpq's on a PostgreSQL server.
//
//   bench_pages [--rounds K] [--db FILE] [--server URI] [--cpu]
//
// The database is built first (with the project's own record store) in FILE when it does not
// exist yet, or in a temporary folder without --db. With --server the pages work on the server's
// database instead: one that holds no tables yet gets the built file migrated into it first.
// Run it on a Release build, offscreen: see the README.
#include "data/connection.h"
#include "data/oplog.h"
#include "data/recordset.h"
#include "data/residence.h"
#include "data/server/migration.h"
#include "data/server/serverschema.h"
#include "data/server/serverstore.h"
#include "data/statements.h"
#include "data/storeerror.h"
#include "dormbuilder.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"
#include "pages/accommodation/accommodationpage.h"
#include "pages/fees/feespage.h"
#include "pages/queries/queriespage.h"
#include "pages/rooms/roomspage.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <ctime>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <sqlite3.h>
#include <vector>

using namespace orv;
using orv::bench::median;
using orv::bench::millis;
using orv::bench::put;
using orv::bench::residentKb;
using orv::bench::roomName;
using orv::bench::staffName;

namespace {

constexpr int kRooms = 20000;
constexpr int kBeds = 6;
constexpr int kPerRoom = 5; // one bed of each room stays free
constexpr int kResidents = kRooms * kPerRoom;
const QString kLogRow = QStringLiteral("one write unit with its log row");

// ---- building the database through the record store --------------------------------------------

void build(const QString &file)
{
    Connection::Create(file, programPassword());
    QDir::setCurrent(QFileInfo(file).absolutePath());
    Connection connection;
    connection.Open(programConnectionString());
    connection.beginUnit();
    Recordset rooms(&connection), nums(&connection), people(&connection), meters(&connection), bills(&connection),
        due(&connection), rents(&connection), standard(&connection);
    rooms.Open(sql::floorAll);
    nums.Open(sql::numAll);
    meters.Open(QStringLiteral("select * from feiinfo"));
    bills.Open(sql::feeListAll);
    for (int i = 0; i < kRooms; ++i) {
        const QString room = roomName(i);
        put(rooms, {{u"房间号码", room},
                    {u"入住性别", i % 2 ? u"女" : u"男"},
                    {u"电话号码", QStringLiteral("0571-8%1").arg(i, 7, 10, QLatin1Char('0'))},
                    {u"电话端口", QString::number(i % 500)},
                    {u"网线端口", QString::number(i % 700)},
                    {u"可住人数", FieldValue::int16(kBeds)},
                    {u"水表底数", FieldValue::int32(100)},
                    {u"电表底数", FieldValue::int32(200)},
                    {u"入住人数", FieldValue::int16(kPerRoom)},
                    {u"空缺人数", FieldValue::int16(kBeds - kPerRoom)}});
        put(nums, {{u"房间号码", room}, {u"入住人数", FieldValue::int16(kPerRoom)}});
        put(meters, {{u"房间号", room},
                     {u"日期", u"2026-01-05"},
                     {u"水表", FieldValue::int32(100)},
                     {u"电表", FieldValue::int32(200)}});
        put(bills,
            {{u"房间号码", room}, {u"日期", u"2026-01-05"}, {u"水费", 25.0F}, {u"电费", 60.0F}, {u"总费用", 85.0F}});
    }
    people.Open(sql::personAll);
    due.Open(QStringLiteral("select * from fangset"));
    rents.Open(sql::rentListAll);
    for (int i = 0; i < kResidents; ++i) {
        const QString staff = staffName(i);
        put(people, {{u"姓名", QStringLiteral("住户%1").arg(i)},
                     {u"性别", i % 2 ? u"女" : u"男"},
                     {u"部门", QStringLiteral("部门%1").arg(i % 40)},
                     {u"工号", staff},
                     {u"手机", QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0'))},
                     {u"日期", u"2025-03-15"},
                     {u"房间", roomName(i / kPerRoom)}});
        put(due, {{u"工号", staff}, {u"日期", u"2025- 9-15"}, {u"房租合计", FieldValue::int32(720)}});
        put(rents, {{u"工号", staff}, {u"日期", u"2025-09-20"}, {u"房租", FieldValue::int32(720)}});
    }
    standard.Open(sql::feeStandard);
    put(standard, {{u"水费", 2.5F}, {u"电费", 0.6F}, {u"房租", FieldValue::int32(120)}});
    for (Recordset *set : {&rooms, &nums, &people, &meters, &bills, &due, &rents, &standard})
        set->Close();
    // The residents' stays, as a file kept before the history began starts it (a server's
    // migration checks each resident has one).
    connection.execute(residence::startStatement());
    connection.commitUnit();
}

// ---- the least work, through the engine's own interface -----------------------------------------

// Statements are written once with ? for their texts; each engine runs them its own way. A write's
// least work is begin, its look-ups and row writes, own(), commit.
class Raw {
public:
    Raw() = default;
    Raw(const Raw &) = delete;
    Raw &operator=(const Raw &) = delete;
    virtual ~Raw() = default;
    // Runs the select with the texts bound, reading every column of every row; returns the rows.
    virtual long select(const char *sql, std::initializer_list<QString> binds = {}) const = 0;
    virtual void exec(const QString &sql) const = 0;
    virtual void begin() const = 0;
    virtual void commit() const = 0;
    // The rows of our own tables a logged write adds besides the page's: none on the file, whose
    // log row is timed apart at the end; on a server the log row, and a stay or a kept reading.
    virtual void own(const QString &table) const = 0;
    // Takes out again (untimed) what own() added, so the log stays a chain for the handler.
    virtual void untidy() const {}
    // Adds a room numbered `room` and returns its row number; the table and column that hold it.
    virtual qint64 addRoom(const QString &room) const = 0;
    virtual QString numberedRooms() const = 0;
    virtual QString rowNumber() const = 0;
};

class FileRaw final : public Raw {
public:
    explicit FileRaw(sqlite3 *db) : m_db(db) {}
    long select(const char *sql, std::initializer_list<QString> binds) const override
    {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr);
        int slot = 1;
        for (const QString &bind : binds) {
            const QByteArray text = bind.toUtf8();
            sqlite3_bind_text(statement, slot++, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        long rows = 0;
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c)
                sqlite3_column_text(statement, c);
            ++rows;
        }
        sqlite3_finalize(statement);
        return rows;
    }
    void exec(const QString &sql) const override
    {
        sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    }
    void begin() const override { exec(QStringLiteral("BEGIN IMMEDIATE")); }
    void commit() const override { exec(QStringLiteral("COMMIT")); }
    void own(const QString &) const override {}
    qint64 addRoom(const QString &room) const override
    {
        exec(QStringLiteral("INSERT INTO floorinfo (房间号码) VALUES ('%1')").arg(room));
        return sqlite3_last_insert_rowid(m_db);
    }
    QString numberedRooms() const override { return QStringLiteral("floorinfo"); }
    QString rowNumber() const override { return QStringLiteral("rowid"); }

private:
    sqlite3 *m_db;
};

// libpq on the store's own connection. A statement the server refuses stops the run: a least
// work that did not happen would flatter every ratio.
class ServerRaw final : public Raw {
public:
    explicit ServerRaw(PGconn *connection) : m_connection(connection) {}
    long select(const char *sql, std::initializer_list<QString> binds) const override
    {
        // The texts' ? become $1, $2, ...
        QString text = QString::fromUtf8(sql);
        int slot = 0;
        for (qsizetype at = text.indexOf(QLatin1Char('?')); at >= 0; at = text.indexOf(QLatin1Char('?'), at))
            text.replace(at, 1, QLatin1Char('$') + QString::number(++slot));
        std::vector<QByteArray> held;
        std::vector<const char *> values;
        for (const QString &bind : binds) {
            held.push_back(bind.toUtf8());
            values.push_back(held.back().constData());
        }
        const server::PgResultHandle result =
            check(PQexecParams(m_connection, text.toUtf8().constData(), static_cast<int>(values.size()), nullptr,
                               values.data(), nullptr, nullptr, 0),
                  text);
        const int rows = PQntuples(result.get());
        const int columns = PQnfields(result.get());
        for (int row = 0; row < rows; ++row) {
            for (int c = 0; c < columns; ++c)
                PQgetvalue(result.get(), row, c);
        }
        return rows;
    }
    void exec(const QString &sql) const override { check(PQexec(m_connection, sql.toUtf8().constData()), sql); }
    void begin() const override { exec(QStringLiteral("BEGIN ISOLATION LEVEL SERIALIZABLE")); }
    void commit() const override { exec(QStringLiteral("COMMIT")); }
    void own(const QString &table) const override
    {
        // As the program numbers them on a server: the last id plus one, read inside the unit.
        if (!table.isEmpty())
            exec(QStringLiteral("INSERT INTO %1 (id, staff_no, name, department, room, checked_in, checked_in_by, "
                                "checked_out_by, origin) SELECT coalesce(max(id), 0) + 1, '%2', '', '', '', '', '', "
                                "'', '' FROM %1")
                     .arg(table, kLeastMark));
        select("select id, hash from oplog order by id desc limit 1", {});
        exec(QStringLiteral("INSERT INTO oplog (id, time, operator, action, target, detail, prevhash, hash) "
                            "SELECT coalesce(max(id), 0) + 1, '2026-01-05 08:00:00', '%1', '', '', '', '', '' "
                            "FROM oplog")
                 .arg(kLeastMark));
    }
    void untidy() const override
    {
        exec(QStringLiteral("DELETE FROM oplog WHERE operator = '%1'; DELETE FROM %2 WHERE staff_no = '%1'")
                 .arg(kLeastMark, db::residence::table));
    }
    qint64 addRoom(const QString &room) const override
    {
        const server::PgResultHandle result =
            check(PQexec(m_connection, QStringLiteral("INSERT INTO %1 (房间号码) VALUES ('%2') RETURNING %3")
                                           .arg(numberedRooms(), room, rowNumber())
                                           .toUtf8()
                                           .constData()),
                  room);
        return QByteArray(PQgetvalue(result.get(), 0, 0)).toLongLong();
    }
    QString numberedRooms() const override { return server::orderedView(QStringLiteral("floorinfo")); }
    QString rowNumber() const override { return server::quoted(server::kOrderColumn); }

private:
    inline static const QString kLeastMark = QStringLiteral("bench-least");
    PGconn *m_connection;

    server::PgResultHandle check(PGresult *got, const QString &sql) const
    {
        server::PgResultHandle result(got);
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            std::fprintf(stderr, "least work refused: %s\n%s\n", sql.toUtf8().constData(),
                         PQerrorMessage(m_connection));
            std::exit(2);
        }
        return result;
    }
};

// ---- timing -------------------------------------------------------------------------------------

struct Figures {
    std::vector<double> handler;
    std::vector<double> least;
    bool commits = false;
    QString refused; // the warning the handler answered with instead of its work
};

double p95(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(static_cast<double>(v.size()) * 0.95))];
}

template <typename T> T *widget(QWidget *page, const char *name)
{
    T *found = page->findChild<T *>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "no widget %s\n", name);
        std::exit(2);
    }
    return found;
}
void click(QWidget *page, const char *button)
{
    widget<QPushButton>(page, button)->click();
}
void type(QWidget *page, const char *edit, const QString &text)
{
    widget<QLineEdit>(page, edit)->setText(text);
}

// Opens the connection on the folder's file, or on the server's database when `uri` is given, as
// the window does (the server's user is the operator). Returns the least work for that engine.
std::unique_ptr<Raw> openOn(Connection &connection, const QString &file, const QString &uri)
{
    if (uri.isEmpty()) {
        QDir::setCurrent(QFileInfo(file).absolutePath());
        connection.Open(programConnectionString());
        return std::make_unique<FileRaw>(connection.handle());
    }
    std::unique_ptr<server::ServerStore> store = server::ServerStore::open(uri);
    PGconn *handle = store->server().handle();
    connection.setOperatorName(store->server().userName());
    connection.openStore(std::move(store));
    return std::make_unique<ServerRaw>(handle);
}

// Clicks the button; true when it answered with a warning, whose text is then in `refusal`.
bool refused(MessageAnswerer &answers, QWidget *page, const char *button, QString &refusal)
{
    const qsizetype before = answers.texts().size();
    click(page, button);
    for (qsizetype i = before; i < answers.texts().size(); ++i) {
        if (answers.icons().at(i) == MessageIcon::Warning) {
            refusal = answers.texts().at(i);
            return true;
        }
    }
    return false;
}

// A fresh process that lists every resident once and reports its memory, so the build and the
// other handlers do not colour the figure.
int memoryRun(MessageAnswerer &answers, const QString &file, const QString &uri)
{
    Connection connection;
    const std::unique_ptr<Raw> raw = openOn(connection, file, uri);
    QueriesPage page(connection);
    const long before = residentKb("VmRSS:");
    QString refusal;
    if (refused(answers, &page, "listAllButton", refusal)) {
        std::printf("memory: listing all %d residents refused: %s\n", kResidents,
                    refusal.replace(QLatin1Char('\n'), QLatin1Char(' ')).toUtf8().constData());
        return 0;
    }
    const long peak = residentKb("VmHWM:");
    const long full = residentKb("VmRSS:");
    type(&page, "nameEdit", QStringLiteral("住户5"));
    click(&page, "queryPersonsButton");
    QCoreApplication::processEvents(); // the heap is trimmed once the handler has returned
    const long after = residentKb("VmRSS:");
    std::printf("memory: before %ld MB, peak after listing all %d residents %ld MB, with the list %ld MB "
                "(+%ld MB), after a one-row query %ld MB\n",
                before / 1024, kResidents, peak / 1024, full / 1024, (full - before) / 1024, after / 1024);
    return 0;
}

// Every handler `rounds` times, then the table of figures and the memory of a fresh process.
int run(MessageAnswerer &answers, const QString &file, const QString &uri, int rounds, bool cpu)
{
    Connection connection;
    const std::unique_ptr<Raw> raw = openOn(connection, file, uri);
    AccommodationPage page1(connection);
    RoomsPage page2(connection);
    QueriesPage page3(connection);
    FeesPage page4(connection);

    std::vector<std::pair<QString, Figures>> results;
    auto figures = [&](const QString &name) -> Figures & {
        for (auto &[key, value] : results) {
            if (key == name)
                return value;
        }
        results.emplace_back(name, Figures{});
        return results.back().second;
    };
    // The least work runs first; what it wrote is taken out again (untimed) before the handler
    // runs, so the handler finds the tables as the page left them.
    auto measure = [&](const QString &name, const std::function<void()> &handler, const std::function<void()> &least,
                       bool commits = false, const std::function<void()> &undoLeast = {}) {
        Figures &f = figures(name);
        f.commits = commits;
        f.least.push_back(millis(least, cpu));
        raw->untidy();
        if (undoLeast)
            undoLeast();
        const qsizetype boxes = answers.texts().size();
        f.handler.push_back(millis(handler, cpu));
        // A handler the store refuses shows a warning instead of its work: it has no figure.
        for (qsizetype i = boxes; i < answers.texts().size() && f.refused.isEmpty(); ++i) {
            if (answers.icons().at(i) == MessageIcon::Warning)
                f.refused = answers.texts().at(i);
        }
    };
    auto person = [](int i) { return QStringLiteral("B%1").arg(i); };

    for (int k = 0; k < rounds; ++k) {
        // Accommodation page.
        measure(
            QStringLiteral("查询空房间 (%1 rooms)").arg(kRooms), [&] { click(&page1, "freeRoomsButton"); },
            [&] { raw->select("select * from floorinfo"); });
        measure(
            QStringLiteral("查询满房间"), [&] { click(&page1, "fullRoomsButton"); },
            [&] { raw->select("select * from floorinfo"); });
        measure(
            QStringLiteral("清除信息"), [&] { click(&page1, "clearListButton"); }, [] {});
        const QString inRoom = roomName(k * 7);
        type(&page1, "nameEdit", QStringLiteral("新人"));
        widget<QComboBox>(&page1, "sexCombo")->setEditText(QStringLiteral("男"));
        type(&page1, "staffNoEdit", person(k));
        type(&page1, "roomEdit", inRoom);
        measure(
            QStringLiteral("入住 (check-in)"), [&] { click(&page1, "checkInButton"); },
            [&] {
                raw->begin();
                raw->select("select * from personinfo where 工号=?", {QStringLiteral("R%1").arg(k)});
                raw->select("select * from floorinfo where 房间号码=?", {inRoom});
                raw->select("select * from numinfo where 房间号码=?", {inRoom});
                raw->exec(QStringLiteral("UPDATE floorinfo SET 入住人数=入住人数 WHERE 房间号码='%1'").arg(inRoom));
                raw->exec(QStringLiteral("UPDATE numinfo SET 入住人数=入住人数 WHERE 房间号码='%1'").arg(inRoom));
                raw->exec(
                    QStringLiteral("INSERT INTO personinfo (工号, 房间) VALUES ('R%1', '%2')").arg(k).arg(inRoom));
                raw->own(db::residence::table);
                raw->commit();
                raw->select("select * from floorinfo");
            },
            true);
        type(&page1, "outStaffNoEdit", person(k));
        type(&page1, "outRoomEdit", inRoom);
        measure(
            QStringLiteral("迁出 (check-out)"), [&] { click(&page1, "checkOutButton"); },
            [&] {
                raw->begin();
                raw->select("select * from personinfo where 工号=?", {QStringLiteral("R%1").arg(k)});
                raw->exec(QStringLiteral("DELETE FROM personinfo WHERE 工号='R%1'").arg(k));
                raw->select("select * from numinfo where 房间号码=?", {inRoom});
                raw->exec(QStringLiteral("UPDATE numinfo SET 入住人数=入住人数 WHERE 房间号码='%1'").arg(inRoom));
                raw->select("select * from floorinfo where 房间号码=?", {inRoom});
                raw->exec(QStringLiteral("UPDATE floorinfo SET 入住人数=入住人数 WHERE 房间号码='%1'").arg(inRoom));
                raw->own(db::residence::table);
                raw->commit();
                raw->select("select * from floorinfo");
            },
            true);

        // Room page: the list, then a room added, taken out by modify, added back and deleted.
        measure(
            QStringLiteral("房间信息列表 (%1 rooms)").arg(kRooms), [&] { click(&page2, "listRoomsButton"); },
            [&] { raw->select("select * from floorinfo"); });
        const QString newRoom = QStringLiteral("9-9-%1").arg(k);
        auto addRoom = [&] {
            measure(
                QStringLiteral("添加房间"), [&] { click(&page2, "addRoomButton"); },
                [&] {
                    raw->begin();
                    raw->select("select * from floorinfo where 房间号码=?", {QStringLiteral("R%1").arg(k)});
                    raw->select("select count(*) from floorinfo");
                    raw->select("select * from numinfo where 房间号码=?", {QStringLiteral("R%1").arg(k)});
                    raw->exec(QStringLiteral("INSERT INTO floorinfo (房间号码) VALUES ('R%1')").arg(k));
                    raw->own({});
                    raw->commit();
                },
                true, [&] { raw->exec(QStringLiteral("DELETE FROM floorinfo WHERE 房间号码='R%1'").arg(k)); });
        };
        type(&page2, "roomNoEdit", newRoom);
        type(&page2, "capacityEdit", QStringLiteral("6"));
        type(&page2, "waterBaseEdit", QStringLiteral("100"));
        type(&page2, "powerBaseEdit", QStringLiteral("200"));
        addRoom();
        auto *rooms = widget<ReportList>(&page2, "roomList");
        auto removeLast = [&](const QString &name, const char *button) {
            page2.OnClickRoomList(rooms->rowCount() - 1);
            const qint64 last = raw->addRoom(QStringLiteral("R%1").arg(k));
            measure(
                name, [&] { click(&page2, button); },
                [&] {
                    raw->begin();
                    raw->select(QStringLiteral("select * from %1 where %2=%3")
                                    .arg(raw->numberedRooms(), raw->rowNumber())
                                    .arg(last)
                                    .toUtf8()
                                    .constData());
                    raw->exec(QStringLiteral("DELETE FROM %1 WHERE %2=%3")
                                  .arg(raw->numberedRooms(), raw->rowNumber())
                                  .arg(last));
                    raw->own({});
                    raw->commit();
                },
                true);
        };
        removeLast(QStringLiteral("房间信息修改"), "modifyRoomButton");
        type(&page2, "roomNoEdit", newRoom);
        // The modify cleared the form.
        type(&page2, "capacityEdit", QStringLiteral("6"));
        type(&page2, "waterBaseEdit", QStringLiteral("100"));
        type(&page2, "powerBaseEdit", QStringLiteral("200"));
        addRoom();
        removeLast(QStringLiteral("房间信息删除"), "deleteRoomButton");

        // Query page.
        measure(
            QStringLiteral("整体查询 (%1 residents)").arg(kResidents), [&] { click(&page3, "listAllButton"); },
            [&] { raw->select("select * from personinfo"); });
        type(&page3, "nameEdit", QStringLiteral("住户%1").arg(k * 13));
        measure(
            QStringLiteral("one-row 姓名 query right after 整体查询"), [&] { click(&page3, "queryPersonsButton"); },
            [&] { raw->select("select * from personinfo where 姓名=?", {QStringLiteral("住户%1").arg(k * 13)}); });
        type(&page3, "sexEdit", QStringLiteral("男"));
        measure(
            QStringLiteral("查询 by 性别 (%1 rows)").arg(kResidents / 2), [&] { click(&page3, "queryPersonsButton"); },
            [&] { raw->select("select * from personinfo where 性别=?", {QStringLiteral("男")}); });
        type(&page3, "roomEdit", roomName(k));
        measure(
            QStringLiteral("查询 by 房间"), [&] { click(&page3, "queryPersonsButton"); },
            [&] { raw->select("select * from personinfo where 房间=?", {roomName(k)}); });
        auto *fields = widget<QListWidget>(&page3, "queryFieldList");
        QListWidgetItem *field = fields->findItems(QStringLiteral("电话端口"), Qt::MatchContains).value(0);
        fields->setCurrentItem(field);
        field->setSelected(true);
        click(&page3, "chooseFieldButton");
        type(&page3, "queryValueEdit", QString::number(k));
        measure(
            QStringLiteral("房间查询 by 电话端口 (%1 rooms)").arg(kRooms / 500),
            [&] { click(&page3, "queryRoomsButton"); },
            [&] { raw->select("select * from floorinfo where 电话端口=?", {QString::number(k)}); });

        // Fee page.
        type(&page4, "waterPriceEdit", QStringLiteral("2.5"));
        type(&page4, "powerPriceEdit", QStringLiteral("0.6"));
        type(&page4, "rentPriceEdit", QStringLiteral("120"));
        measure(
            QStringLiteral("设置 (fee standard)"), [&] { click(&page4, "setStandardButton"); },
            [&] {
                raw->begin();
                raw->select("select * from feiyong");
                raw->exec(QStringLiteral("UPDATE feiyong SET 房租=房租"));
                raw->own({});
                raw->commit();
            },
            true);
        const QString billRoom = roomName(1000 + k);
        type(&page4, "feeRoomEdit", billRoom);
        type(&page4, "waterReadingEdit", QString::number(150 + k));
        type(&page4, "powerReadingEdit", QString::number(250 + k));
        measure(
            QStringLiteral("提交结算 (utility)"), [&] { click(&page4, "settleUtilityButton"); },
            [&] {
                raw->begin();
                raw->select("select * from feiinfo where 日期=? and 房间号=?",
                            {QStringLiteral("2000-01-01"), billRoom});
                raw->select("select * from floorinfo where 房间号码=?", {billRoom});
                raw->select("select * from feiyong");
                raw->exec(QStringLiteral("INSERT INTO feiinfo (房间号) VALUES ('R')"));
                raw->exec(QStringLiteral("UPDATE floorinfo SET 水表底数=水表底数 WHERE 房间号码='%1'").arg(billRoom));
                raw->exec(QStringLiteral("INSERT INTO listfei (房间号码) VALUES ('R')"));
                raw->own({});
                raw->commit();
            },
            true);
        measure(
            QStringLiteral("费用列表 (%1 bills)").arg(kRooms), [&] { click(&page4, "listFeesButton"); },
            [&] { raw->select("select * from listfei"); });
        measure(
            QStringLiteral("信息清除 (fees)"), [&] { click(&page4, "clearFeeListButton"); }, [] {});
        type(&page4, "staffNoEdit", staffName(k * 11));
        measure(
            QStringLiteral("房租结算 (rent)"), [&] { click(&page4, "settleRentButton"); },
            [&] {
                raw->begin();
                raw->select("select * from personinfo where 工号=?", {staffName(k * 11 + 1)});
                raw->select("select * from fangset where 工号=?", {staffName(k * 11 + 1)});
                raw->select("select * from feiyong");
                raw->exec(QStringLiteral("UPDATE fangset SET 日期=日期 WHERE 工号='%1'").arg(staffName(k * 11 + 1)));
                raw->exec(QStringLiteral("INSERT INTO fanglist (工号) VALUES ('R')"));
                raw->own({});
                raw->commit();
            },
            true);
        measure(
            QStringLiteral("房租列表 (%1 settlements)").arg(kResidents), [&] { click(&page4, "listRentButton"); },
            [&] { raw->select(sql::rentListJoin.toUtf8().constData()); });
        measure(
            QStringLiteral("信息清除 (rent)"), [&] { click(&page4, "clearRentListButton"); }, [] {});
        raw->exec(QStringLiteral("DELETE FROM feiinfo WHERE 房间号='R'; DELETE FROM listfei WHERE 房间号码='R'; "
                                 "DELETE FROM fanglist WHERE 工号='R'"));

        // What the operation log adds to a write: the same one-row unit with its log row and
        // without, both committed.
        auto smallUnit = [&](bool logged) {
            connection.beginUnit();
            raw->exec(QStringLiteral("UPDATE feiyong SET 房租=房租"));
            if (logged)
                oplog::append(connection, {{},
                                           QStringLiteral("张三"),
                                           QStringLiteral("设置费用标准"),
                                           QStringLiteral("费用标准"),
                                           QStringLiteral("房租 120 → 120")});
            connection.commitUnit();
        };
        measure(
            kLogRow, [&] { smallUnit(true); }, [&] { smallUnit(false); }, true);
    }

    std::printf("\n%s, %d rounds; milliseconds of %s; least = the same select read to the end, or the indexed "
                "look-ups, writes%s and commit of a write\n\n",
                uri.isEmpty() ? "file (SQLite)" : "server (libpq)", rounds, cpu ? "processor time" : "wall-clock time",
                uri.isEmpty() ? "" : ", log row");
    std::printf("| %-44s | %9s | %9s | %9s | %6s |\n", "handler", "median", "p95", "least", "ratio");
    std::printf("|%s|---------:|---------:|---------:|-------:|\n", std::string(46, '-').c_str());
    for (const auto &[name, f] : results) {
        const double least = median(f.least);
        const double ratio = least > 0.05 ? median(f.handler) / least : 0;
        const QByteArray label = name.toUtf8();
        // Chinese characters are two columns wide but three bytes long.
        const int pad = 44 + (label.size() - static_cast<int>(name.size())) / 2;
        if (!f.refused.isEmpty()) {
            std::printf("| %-*s | refused: %s |\n", pad, label.constData(),
                        QString(f.refused).replace(QLatin1Char('\n'), QLatin1Char(' ')).toUtf8().constData());
            continue;
        }
        std::printf("| %-*s | %9.2f | %9.2f | %9.2f | %6s |%s\n", pad, label.constData(), median(f.handler),
                    p95(f.handler), least, ratio > 0 ? QByteArray::number(ratio, 'f', 2).constData() : "-",
                    f.commits ? " incl. commit" : "");
    }

    // The log row's own cost, and what it is of each write handler (which writes one).
    double logRow = 0;
    for (const auto &[name, f] : results) {
        if (name == kLogRow)
            logRow = median(f.handler) - median(f.least);
    }
    std::printf("\nthe log row adds %.3f ms to a write; share of each write handler:\n", logRow);
    for (const auto &[name, f] : results) {
        if (f.commits && name != kLogRow)
            std::printf("  %s: %.1f %%\n", name.toUtf8().constData(), 100 * logRow / (median(f.handler) - logRow));
    }
    std::fflush(stdout);

    // Memory, in a fresh process on the same store.
    QStringList memoryArgs{QStringLiteral("--memory"), QStringLiteral("--db"), file};
    if (!uri.isEmpty())
        memoryArgs << QStringLiteral("--server") << uri;
    QProcess memory;
    memory.setProcessChannelMode(QProcess::ForwardedChannels);
    memory.start(QApplication::applicationFilePath(), memoryArgs);
    memory.waitForFinished(-1);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    auto *answers = new MessageAnswerer(&app); // every box is answered OK

    int rounds = 15;
    bool cpu = false;
    bool memory = false;
    QString file;
    QString uri;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = args[++i].toInt();
        else if (args[i] == QLatin1String("--db") && i + 1 < args.size())
            file = QFileInfo(args[++i]).absoluteFilePath();
        else if (args[i] == QLatin1String("--server") && i + 1 < args.size())
            uri = args[++i];
        else if (args[i] == QLatin1String("--cpu"))
            cpu = true;
        else if (args[i] == QLatin1String("--memory"))
            memory = true;
    }
    try {
        if (memory)
            return memoryRun(*answers, file, uri);
        QTemporaryDir scratch;
        if (file.isEmpty())
            file = scratch.filePath(QStringLiteral("OrvDb.mdb"));
        // A server database that holds our tables already is used as it is.
        const bool migrate = !uri.isEmpty() && !server::ServerConnection(uri).schemaVersion();
        if ((uri.isEmpty() || migrate) && !QFileInfo::exists(file)) {
            std::printf("building %d rooms and %d residents ... ", kRooms, kResidents);
            std::fflush(stdout);
            std::printf("%.1f s\n", millis([&] { build(file); }) / 1000);
        }
        if (migrate) {
            std::printf("migrating to the server ... ");
            std::fflush(stdout);
            std::printf("%.1f s\n", millis([&] {
                                        Connection built;
                                        openOn(built, file, {});
                                        server::ServerConnection target(uri);
                                        server::migrateToServer(built, target);
                                    }) / 1000);
        }
        return run(*answers, file, uri, rounds, cpu);
    } catch (const StoreError &error) {
        std::fprintf(stderr, "%s\n", error.message().left(400).toUtf8().constData());
        return 1;
    }
}
