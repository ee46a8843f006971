// The semester's batch from a file: 5,000 check-ins and 3,400 meter readings read, previewed and
// imported, timed beside the least SQLite work the same rows need (the indexed look-ups and writes
// of each row, in one transaction) in the same run. The preview rolls back, so it stands beside the
// least work rolled back; the import keeps its rows, so it stands beside the least work committed,
// on a database made the same way. Each figure is the median of its rounds.
//
//   bench_batch [--rounds N]   (default 5)
//
// The least work is what each operation must ask and write for a row, every statement prepared
// once: the operations' own checks decide which writes a row gets.

#include "data/connection.h"
#include "data/recordset.h"
#include "data/texts.h"
#include "operations/accommodation.h"
#include "operations/batch.h"
#include "operations/fees.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <vector>

using namespace orv;

namespace {

constexpr int kRooms = 3400;
constexpr int kCheckIns = 5000;

QString roomName(int i)
{
    return QStringLiteral("6-%1-%2").arg(i / 100).arg(i % 100, 2, 10, QLatin1Char('0'));
}

// The same operations the check-in form and the utility settlement run.
ops::BatchOperations batchOperations()
{
    return {ops::checkInOperation(ops::checkIn), ops::readingOperation(ops::settleUtility)};
}

struct Finalizer {
    void operator()(sqlite3_stmt *statement) const noexcept { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

Statement prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "prepare failed: %s\n", sqlite3_errmsg(db));
    return Statement(statement);
}

// Binds the values in order (texts as texts, numbers as integers) and steps once: whether a row
// came. The statement stays on that row until the next run.
bool step(const Statement &statement, std::initializer_list<QVariant> values)
{
    sqlite3_stmt *s = statement.get();
    sqlite3_reset(s);
    int slot = 1;
    for (const QVariant &value : values) {
        if (value.typeId() == QMetaType::QString) {
            const QByteArray text = value.toString().toUtf8();
            sqlite3_bind_text(s, slot++, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        } else if (value.typeId() == QMetaType::Double) {
            sqlite3_bind_double(s, slot++, value.toDouble());
        } else {
            sqlite3_bind_int64(s, slot++, value.toLongLong());
        }
    }
    return sqlite3_step(s) == SQLITE_ROW;
}

// What a check-in must ask and write: the staff number and the room looked up, the room's bed
// counters, the room's resident count raised or started, the resident's row.
double leastCheckInWork(Connection &connection, const ops::Batch &batch, bool commit)
{
    sqlite3 *db = connection.handle();
    QElapsedTimer clock;
    clock.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    {
        const Statement person = prepare(db, "select rowid from personinfo where 工号=?");
        const Statement room = prepare(db, "select rowid,可住人数,入住人数,空缺人数 from floorinfo where 房间号码=?");
        const Statement takeBed = prepare(db, "update floorinfo set 房间号码=?,入住人数=?,空缺人数=? where rowid=?");
        const Statement counted = prepare(db, "select rowid,入住人数 from numinfo where 房间号码=?");
        const Statement count = prepare(db, "update numinfo set 入住人数=? where rowid=?");
        const Statement firstCount = prepare(db, "insert into numinfo(房间号码,入住人数) values(?,1)");
        const Statement add = prepare(db, "insert into personinfo(姓名,性别,部门,工号,手机,日期,房间) "
                                          "values(?,?,?,?,?,?,?)");
        for (const ops::BatchRow &row : batch.rows) {
            const QStringList &v = row.values;
            if (step(person, {v[3]}) || !step(room, {v[6]}))
                continue;
            const qint64 roomRow = sqlite3_column_int64(room.get(), 0);
            const int occupants = sqlite3_column_int(room.get(), 2);
            const int vacant = sqlite3_column_int(room.get(), 3);
            if (occupants >= sqlite3_column_int(room.get(), 1))
                continue;
            step(takeBed, {v[6], occupants + 1, vacant - 1, roomRow});
            if (step(counted, {v[6]}))
                step(count, {sqlite3_column_int(counted.get(), 1) + 1, sqlite3_column_int64(counted.get(), 0)});
            else
                step(firstCount, {v[6]});
            step(add, {v[0], v[1], v[2], v[3], v[4], v[5], v[6]});
        }
    }
    sqlite3_exec(db, commit ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    return clock.nsecsElapsed() / 1e6;
}

// What a settlement must ask and write: the day's readings of the room, the room and the prices
// looked up, the readings and the bill added, the room's base readings moved on, and what the
// settlement started from kept beside them.
double leastReadingWork(Connection &connection, const ops::Batch &batch, bool commit)
{
    sqlite3 *db = connection.handle();
    QElapsedTimer clock;
    clock.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    {
        const Statement recorded = prepare(db, "select 1 from feiinfo where 日期=? and 房间号=?");
        const Statement room = prepare(db, "select rowid,水表底数,电表底数 from floorinfo where 房间号码=?");
        const Statement prices = prepare(db, "select 水费,电费 from feiyong");
        const Statement record = prepare(db, "insert into feiinfo(房间号,日期,水表,电表) values(?,?,?,?)");
        const Statement moveBase = prepare(db, "update floorinfo set 水表底数=?,电表底数=? where rowid=?");
        const Statement bill = prepare(db, "insert into listfei(房间号码,日期,水费,电费,总费用) values(?,?,?,?,?)");
        const Statement keep =
            prepare(db, "insert into settlement_readings(feiinfo_row,listfei_row,room,date,previous_date,"
                        "previous_water,previous_power,current_water,current_power,water_price,power_price) "
                        "values(?1,?2,?3,?4,(select 日期 from feiinfo where 房间号=?3 and rowid<?1 order by rowid "
                        "desc limit 1),?5,?6,?7,?8,?9,?10)");
        for (const ops::BatchRow &row : batch.rows) {
            const QStringList &v = row.values;
            const QString date = dateText(QDate::fromString(v[1], QStringLiteral("yyyy/M/d")));
            const int water = v[2].toInt();
            const int power = v[3].toInt();
            if (step(recorded, {date, v[0]}) || !step(room, {v[0]}))
                continue;
            const qint64 roomRow = sqlite3_column_int64(room.get(), 0);
            const int previousWater = sqlite3_column_int(room.get(), 1);
            const int previousPower = sqlite3_column_int(room.get(), 2);
            if (!step(prices, {}))
                continue;
            const double waterPrice = sqlite3_column_double(prices.get(), 0);
            const double powerPrice = sqlite3_column_double(prices.get(), 1);
            step(record, {v[0], date, water, power});
            const qint64 readingsRow = sqlite3_last_insert_rowid(db);
            step(moveBase, {water, power, roomRow});
            const double waterFee = (water - previousWater) * waterPrice;
            const double powerFee = (power - previousPower) * powerPrice;
            step(bill, {v[0], date, waterFee, powerFee, waterFee + powerFee});
            step(keep, {readingsRow, sqlite3_last_insert_rowid(db), v[0], date, previousWater, previousPower, water,
                        power, waterPrice, powerPrice});
        }
    }
    sqlite3_exec(db, commit ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    return clock.nsecsElapsed() / 1e6;
}

void writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

using LeastWork = std::function<double(Connection &, const ops::Batch &, bool)>;

// A database with the fee standard and the rooms every batch row names, open on `connection`.
void makeDatabase(Connection &connection, const QString &path)
{
    Connection::Create(path, programPassword());
    connection.openFile(path, programPassword());
    connection.beginUnit();
    connection.execute(QStringLiteral("insert into feiyong(水费,电费,房租) values(2.5,0.6,300)"));
    for (int i = 0; i < kRooms; ++i)
        connection.execute(QStringLiteral("insert into floorinfo(房间号码,入住性别,可住人数,水表底数,电表底数,"
                                          "入住人数,空缺人数) values('%1','男',6,0,0,0,6)")
                               .arg(roomName(i)));
    connection.commitUnit();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    std::vector<double> read, preview, import, least, leastKept;
    int imported = 0;
};

// One round on two fresh databases: the least work committed on one, and on the other the least
// work rolled back, the preview and the import.
void measureRound(const QString &folder, ops::BatchKind kind, const QString &file, const LeastWork &least,
                  Figures &figures)
{
    QElapsedTimer clock;
    clock.start();
    ops::Batch batch = ops::makeBatch(kind, ops::readSheet(file), batchOperations());
    figures.read.push_back(clock.nsecsElapsed() / 1e6);
    {
        Connection kept;
        const QString path = folder + QStringLiteral("/kept.mdb");
        QFile::remove(path);
        makeDatabase(kept, path);
        figures.leastKept.push_back(least(kept, batch, true));
    }
    Connection connection;
    const QString path = folder + QStringLiteral("/OrvDb.mdb");
    QFile::remove(path);
    makeDatabase(connection, path);
    figures.least.push_back(least(connection, batch, false));
    clock.restart();
    ops::preview(connection, batch);
    figures.preview.push_back(clock.nsecsElapsed() / 1e6);
    clock.restart();
    figures.imported = ops::importBatch(connection, batch).imported;
    figures.import.push_back(clock.nsecsElapsed() / 1e6);
}

void measure(const QString &folder, int rounds, ops::BatchKind kind, const QString &file, const LeastWork &least)
{
    Figures figures;
    for (int round = 0; round < rounds; ++round)
        measureRound(folder, kind, file, least, figures);
    const double previewed = median(figures.preview);
    const double imported = median(figures.import);
    const double baseline = median(figures.least);
    const double kept = median(figures.leastKept);
    std::printf("%-10s read %7.1f ms  preview %7.1f ms / least work %7.1f ms = %4.2fx  "
                "import %7.1f ms / least work committed %7.1f ms = %4.2fx  (%d imported)\n",
                kind == ops::BatchKind::CheckIns ? "check-ins" : "readings", median(figures.read), previewed, baseline,
                previewed / baseline, imported, kept, imported / kept, figures.imported);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int at = arguments.indexOf(QStringLiteral("--rounds"));
    const int rounds = at >= 0 && at + 1 < arguments.size() ? std::max(1, arguments.at(at + 1).toInt()) : 5;
    QTemporaryDir dir;

    QString checkIns = QStringLiteral("姓名,性别,部门,工号,手机,日期,房间\n");
    for (int i = 0; i < kCheckIns; ++i)
        checkIns += QStringLiteral("员工%1,男,后勤处,%2,13900000000,2024-09-01,%3\n")
                        .arg(i)
                        .arg(2024000000 + i)
                        .arg(roomName(i % kRooms));
    QString readings = QStringLiteral("房间,日期,水表数,电表数\n");
    for (int i = 0; i < kRooms; ++i)
        readings += QStringLiteral("%1,2024/9/30,%2,%3\n").arg(roomName(i)).arg(10 + i % 50).arg(100 + i % 500);
    writeFile(dir.filePath(QStringLiteral("checkins.csv")), checkIns);
    writeFile(dir.filePath(QStringLiteral("readings.csv")), readings);

    std::printf("%d rows of check-ins, %d of readings, median of %d rounds\n", kCheckIns, kRooms, rounds);
    measure(dir.path(), rounds, ops::BatchKind::CheckIns, dir.filePath(QStringLiteral("checkins.csv")),
            leastCheckInWork);
    measure(dir.path(), rounds, ops::BatchKind::Readings, dir.filePath(QStringLiteral("readings.csv")),
            leastReadingWork);
    return 0;
}
