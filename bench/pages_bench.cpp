// Every handler of the four pages, run through its real button on a large dormitory (20,000 rooms
// of six beds, 100,000 residents, a bill per room and a rent settlement per resident), timed
// beside the least SQLite work the handler must do on the same connection in the same run.
//
//   bench_pages [--rounds K] [--db FILE]
//
// The database is built first (with the project's own record store) in FILE when it does not
// exist yet, or in a temporary folder without --db. Run it on a Release build, offscreen: see the README.
#include "data/connection.h"
#include "data/oplog.h"
#include "data/recordset.h"
#include "data/statements.h"
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
    connection.commitUnit();
}

// ---- the least SQLite work ----------------------------------------------------------------------

struct Raw {
    sqlite3 *db;

    // Prepares, binds the texts, steps to the end reading every column; returns the rows.
    long select(const char *sql, std::initializer_list<QString> binds = {}) const
    {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
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
    void exec(const QString &sql) const { sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr); }
};

// ---- timing -------------------------------------------------------------------------------------

struct Figures {
    std::vector<double> handler;
    std::vector<double> least;
    bool commits = false;
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

// A fresh process that lists every resident once and reports its memory, so the build and the
// other handlers do not colour the figure.
int memoryRun(const QString &file)
{
    QDir::setCurrent(QFileInfo(file).absolutePath());
    Connection connection;
    connection.Open(programConnectionString());
    QueriesPage page(connection);
    const long before = residentKb("VmRSS:");
    click(&page, "listAllButton");
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

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    new MessageAnswerer(&app); // every box is answered OK

    int rounds = 15;
    bool cpu = false;
    QString file;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = args[++i].toInt();
        else if (args[i] == QLatin1String("--db") && i + 1 < args.size())
            file = QFileInfo(args[++i]).absoluteFilePath();
        else if (args[i] == QLatin1String("--cpu"))
            cpu = true;
        else if (args[i] == QLatin1String("--memory") && i + 1 < args.size())
            return memoryRun(QFileInfo(args[++i]).absoluteFilePath());
    }
    QTemporaryDir scratch;
    if (file.isEmpty())
        file = scratch.filePath(QStringLiteral("OrvDb.mdb"));
    if (!QFileInfo::exists(file)) {
        std::printf("building %d rooms and %d residents ... ", kRooms, kResidents);
        std::fflush(stdout);
        std::printf("%.1f s\n", millis([&] { build(file); }) / 1000);
    }

    QDir::setCurrent(QFileInfo(file).absolutePath());
    Connection connection;
    connection.Open(programConnectionString());
    const Raw raw{connection.handle()};
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
        if (undoLeast)
            undoLeast();
        f.handler.push_back(millis(handler, cpu));
    };
    auto person = [](int i) { return QStringLiteral("B%1").arg(i); };

    for (int k = 0; k < rounds; ++k) {
        // Accommodation page.
        measure(
            QStringLiteral("查询空房间 (%1 rooms)").arg(kRooms), [&] { click(&page1, "freeRoomsButton"); },
            [&] { raw.select("select * from floorinfo"); });
        measure(
            QStringLiteral("查询满房间"), [&] { click(&page1, "fullRoomsButton"); },
            [&] { raw.select("select * from floorinfo"); });
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
                raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
                raw.select("select * from personinfo where 工号=?", {QStringLiteral("R%1").arg(k)});
                raw.select("select * from floorinfo where 房间号码=?", {inRoom});
                raw.select("select * from numinfo where 房间号码=?", {inRoom});
                raw.exec(QStringLiteral("UPDATE floorinfo SET 入住人数=入住人数 WHERE 房间号码='%1'").arg(inRoom));
                raw.exec(QStringLiteral("UPDATE numinfo SET 入住人数=入住人数 WHERE 房间号码='%1'").arg(inRoom));
                raw.exec(QStringLiteral("INSERT INTO personinfo (工号, 房间) VALUES ('R%1', '%2')").arg(k).arg(inRoom));
                raw.exec(QStringLiteral("COMMIT"));
                raw.select("select * from floorinfo");
            },
            true);
        type(&page1, "outStaffNoEdit", person(k));
        type(&page1, "outRoomEdit", inRoom);
        measure(
            QStringLiteral("迁出 (check-out)"), [&] { click(&page1, "checkOutButton"); },
            [&] {
                raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
                raw.select("select * from personinfo where 工号=?", {QStringLiteral("R%1").arg(k)});
                raw.exec(QStringLiteral("DELETE FROM personinfo WHERE 工号='R%1'").arg(k));
                raw.select("select * from numinfo where 房间号码=?", {inRoom});
                raw.exec(QStringLiteral("UPDATE numinfo SET 入住人数=入住人数 WHERE 房间号码='%1'").arg(inRoom));
                raw.select("select * from floorinfo where 房间号码=?", {inRoom});
                raw.exec(QStringLiteral("UPDATE floorinfo SET 入住人数=入住人数 WHERE 房间号码='%1'").arg(inRoom));
                raw.exec(QStringLiteral("COMMIT"));
                raw.select("select * from floorinfo");
            },
            true);

        // Room page: the list, then a room added, taken out by modify, added back and deleted.
        measure(
            QStringLiteral("房间信息列表 (%1 rooms)").arg(kRooms), [&] { click(&page2, "listRoomsButton"); },
            [&] { raw.select("select * from floorinfo"); });
        const QString newRoom = QStringLiteral("9-9-%1").arg(k);
        auto addRoom = [&] {
            measure(
                QStringLiteral("添加房间"), [&] { click(&page2, "addRoomButton"); },
                [&] {
                    raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
                    raw.select("select * from floorinfo where 房间号码=?", {QStringLiteral("R%1").arg(k)});
                    raw.select("select count(*) from floorinfo");
                    raw.select("select * from numinfo where 房间号码=?", {QStringLiteral("R%1").arg(k)});
                    raw.exec(QStringLiteral("INSERT INTO floorinfo (房间号码) VALUES ('R%1')").arg(k));
                    raw.exec(QStringLiteral("COMMIT"));
                },
                true, [&] { raw.exec(QStringLiteral("DELETE FROM floorinfo WHERE 房间号码='R%1'").arg(k)); });
        };
        type(&page2, "roomNoEdit", newRoom);
        type(&page2, "capacityEdit", QStringLiteral("6"));
        addRoom();
        auto *rooms = widget<ReportList>(&page2, "roomList");
        auto removeLast = [&](const QString &name, const char *button) {
            page2.OnClickRoomList(rooms->rowCount() - 1);
            raw.exec(QStringLiteral("INSERT INTO floorinfo (房间号码) VALUES ('R%1')").arg(k));
            const qint64 last = sqlite3_last_insert_rowid(raw.db);
            measure(
                name, [&] { click(&page2, button); },
                [&] {
                    raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
                    raw.select(QStringLiteral("select * from floorinfo where rowid=%1").arg(last).toUtf8().constData());
                    raw.exec(QStringLiteral("DELETE FROM floorinfo WHERE rowid=%1").arg(last));
                    raw.exec(QStringLiteral("COMMIT"));
                },
                true);
        };
        removeLast(QStringLiteral("房间信息修改"), "modifyRoomButton");
        type(&page2, "roomNoEdit", newRoom);
        addRoom();
        removeLast(QStringLiteral("房间信息删除"), "deleteRoomButton");

        // Query page.
        measure(
            QStringLiteral("整体查询 (%1 residents)").arg(kResidents), [&] { click(&page3, "listAllButton"); },
            [&] { raw.select("select * from personinfo"); });
        type(&page3, "nameEdit", QStringLiteral("住户%1").arg(k * 13));
        measure(
            QStringLiteral("one-row 姓名 query right after 整体查询"), [&] { click(&page3, "queryPersonsButton"); },
            [&] { raw.select("select * from personinfo where 姓名=?", {QStringLiteral("住户%1").arg(k * 13)}); });
        type(&page3, "sexEdit", QStringLiteral("男"));
        measure(
            QStringLiteral("查询 by 性别 (%1 rows)").arg(kResidents / 2), [&] { click(&page3, "queryPersonsButton"); },
            [&] { raw.select("select * from personinfo where 性别=?", {QStringLiteral("男")}); });
        type(&page3, "roomEdit", roomName(k));
        measure(
            QStringLiteral("查询 by 房间"), [&] { click(&page3, "queryPersonsButton"); },
            [&] { raw.select("select * from personinfo where 房间=?", {roomName(k)}); });
        auto *fields = widget<QListWidget>(&page3, "queryFieldList");
        QListWidgetItem *field = fields->findItems(QStringLiteral("电话端口"), Qt::MatchContains).value(0);
        fields->setCurrentItem(field);
        field->setSelected(true);
        click(&page3, "chooseFieldButton");
        type(&page3, "queryValueEdit", QString::number(k));
        measure(
            QStringLiteral("房间查询 by 电话端口 (%1 rooms)").arg(kRooms / 500),
            [&] { click(&page3, "queryRoomsButton"); },
            [&] { raw.select("select * from floorinfo where 电话端口=?", {QString::number(k)}); });

        // Fee page.
        type(&page4, "waterPriceEdit", QStringLiteral("2.5"));
        type(&page4, "powerPriceEdit", QStringLiteral("0.6"));
        type(&page4, "rentPriceEdit", QStringLiteral("120"));
        measure(
            QStringLiteral("设置 (fee standard)"), [&] { click(&page4, "setStandardButton"); },
            [&] {
                raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
                raw.select("select * from feiyong");
                raw.exec(QStringLiteral("UPDATE feiyong SET 房租=房租"));
                raw.exec(QStringLiteral("COMMIT"));
            },
            true);
        const QString billRoom = roomName(1000 + k);
        type(&page4, "feeRoomEdit", billRoom);
        type(&page4, "waterReadingEdit", QString::number(150 + k));
        type(&page4, "powerReadingEdit", QString::number(250 + k));
        measure(
            QStringLiteral("提交结算 (utility)"), [&] { click(&page4, "settleUtilityButton"); },
            [&] {
                raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
                raw.select("select * from feiinfo where 日期=? and 房间号=?", {QStringLiteral("2000-01-01"), billRoom});
                raw.select("select * from floorinfo where 房间号码=?", {billRoom});
                raw.select("select * from feiyong");
                raw.exec(QStringLiteral("INSERT INTO feiinfo (房间号) VALUES ('R')"));
                raw.exec(QStringLiteral("UPDATE floorinfo SET 水表底数=水表底数 WHERE 房间号码='%1'").arg(billRoom));
                raw.exec(QStringLiteral("INSERT INTO listfei (房间号码) VALUES ('R')"));
                raw.exec(QStringLiteral("COMMIT"));
            },
            true);
        measure(
            QStringLiteral("费用列表 (%1 bills)").arg(kRooms), [&] { click(&page4, "listFeesButton"); },
            [&] { raw.select("select * from listfei"); });
        measure(
            QStringLiteral("信息清除 (fees)"), [&] { click(&page4, "clearFeeListButton"); }, [] {});
        type(&page4, "staffNoEdit", staffName(k * 11));
        measure(
            QStringLiteral("房租结算 (rent)"), [&] { click(&page4, "settleRentButton"); },
            [&] {
                raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
                raw.select("select * from personinfo where 工号=?", {staffName(k * 11 + 1)});
                raw.select("select * from fangset where 工号=?", {staffName(k * 11 + 1)});
                raw.select("select * from feiyong");
                raw.exec(QStringLiteral("UPDATE fangset SET 日期=日期 WHERE 工号='%1'").arg(staffName(k * 11 + 1)));
                raw.exec(QStringLiteral("INSERT INTO fanglist (工号) VALUES ('R')"));
                raw.exec(QStringLiteral("COMMIT"));
            },
            true);
        measure(
            QStringLiteral("房租列表 (%1 settlements)").arg(kResidents), [&] { click(&page4, "listRentButton"); },
            [&] { raw.select(sql::rentListJoin.toUtf8().constData()); });
        measure(
            QStringLiteral("信息清除 (rent)"), [&] { click(&page4, "clearRentListButton"); }, [] {});
        raw.exec(QStringLiteral("DELETE FROM feiinfo WHERE 房间号='R'; DELETE FROM listfei WHERE 房间号码='R'; "
                                "DELETE FROM fanglist WHERE 工号='R'"));

        // What the operation log adds to a write: the same one-row unit with its log row and
        // without, both committed.
        auto smallUnit = [&](bool logged) {
            connection.beginUnit();
            raw.exec(QStringLiteral("UPDATE feiyong SET 房租=房租"));
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

    std::printf("\n%d rounds; milliseconds of %s; least = the same select stepped to the end, or the indexed look-ups, "
                "writes and commit of a write\n\n",
                rounds, cpu ? "processor time" : "wall-clock time");
    std::printf("| %-44s | %9s | %9s | %9s | %6s |\n", "handler", "median", "p95", "least", "ratio");
    std::printf("|%s|---------:|---------:|---------:|-------:|\n", std::string(46, '-').c_str());
    for (const auto &[name, f] : results) {
        const double least = median(f.least);
        const double ratio = least > 0.05 ? median(f.handler) / least : 0;
        const QByteArray label = name.toUtf8();
        // Chinese characters are two columns wide but three bytes long.
        const int pad = 44 + (label.size() - static_cast<int>(name.size())) / 2;
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

    // Memory, in a fresh process on the same file.
    QProcess memory;
    memory.setProcessChannelMode(QProcess::ForwardedChannels);
    memory.start(QApplication::applicationFilePath(), {QStringLiteral("--memory"), file});
    memory.waitForFinished(-1);
    return 0;
}
