// The semester's batch from a file: 5,000 check-ins and 3,400 meter readings read, previewed and
// imported, timed beside the least SQLite work the same rows need (the indexed look-ups and writes
// of each row, in one transaction, rolled back) on the same connection in the same run.
//
//   bench_batch

#include "data/connection.h"
#include "data/recordset.h"
#include "data/texts.h"
#include "operations/accommodation.h"
#include "operations/batch.h"
#include "operations/fees.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>
#include <sqlite3.h>

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

// Binds the texts in order, steps to the end and resets.
void run(const Statement &statement, const QList<QByteArray> &texts)
{
    for (int i = 0; i < texts.size(); ++i)
        sqlite3_bind_text(statement.get(), i + 1, texts[i].constData(), static_cast<int>(texts[i].size()),
                          SQLITE_TRANSIENT);
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
    }
    sqlite3_reset(statement.get());
}

double leastCheckInWork(Connection &connection, const ops::Batch &batch)
{
    sqlite3 *db = connection.handle();
    QElapsedTimer clock;
    clock.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    {
        const Statement person = prepare(db, "select 1 from personinfo where 工号=?");
        const Statement room = prepare(db, "select 可住人数,入住人数,空缺人数 from floorinfo where 房间号码=?");
        const Statement takeBed =
            prepare(db, "update floorinfo set 入住人数=入住人数+1,空缺人数=空缺人数-1 where 房间号码=?");
        const Statement count = prepare(db, "update numinfo set 入住人数=入住人数+1 where 房间号码=?");
        const Statement add = prepare(db, "insert into personinfo(姓名,性别,部门,工号,手机,日期,房间) "
                                          "values(?,?,?,?,?,?,?)");
        for (const ops::BatchRow &row : batch.rows) {
            QList<QByteArray> values;
            for (const QString &value : row.values)
                values.append(value.toUtf8());
            run(person, {values[3]});
            run(room, {values[6]});
            run(takeBed, {values[6]});
            run(count, {values[6]});
            run(add, values);
        }
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return clock.nsecsElapsed() / 1e6;
}

double leastReadingWork(Connection &connection, const ops::Batch &batch)
{
    sqlite3 *db = connection.handle();
    QElapsedTimer clock;
    clock.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    {
        const Statement recorded = prepare(db, "select 1 from feiinfo where 日期=? and 房间号=?");
        const Statement room = prepare(db, "select 水表底数,电表底数 from floorinfo where 房间号码=?");
        const Statement prices = prepare(db, "select 水费,电费 from feiyong");
        const Statement record = prepare(db, "insert into feiinfo(房间号,日期,水表,电表) values(?,?,?,?)");
        const Statement moveBase = prepare(db, "update floorinfo set 水表底数=?,电表底数=? where 房间号码=?");
        const Statement bill = prepare(db, "insert into listfei(房间号码,日期,水费,电费,总费用) values(?,?,1,1,2)");
        for (const ops::BatchRow &row : batch.rows) {
            const QByteArray roomNo = row.values[0].toUtf8();
            const QByteArray date = row.values[1].toUtf8();
            const QByteArray water = row.values[2].toUtf8();
            const QByteArray power = row.values[3].toUtf8();
            run(recorded, {date, roomNo});
            run(room, {roomNo});
            run(prices, {});
            run(record, {roomNo, date, water, power});
            run(moveBase, {water, power, roomNo});
            run(bill, {roomNo, date});
        }
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return clock.nsecsElapsed() / 1e6;
}

void writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

void measure(Connection &connection, ops::BatchKind kind, const QString &file,
             const std::function<double(Connection &, const ops::Batch &)> &least)
{
    QElapsedTimer clock;
    clock.start();
    ops::Batch batch = ops::makeBatch(kind, ops::readSheet(file), batchOperations());
    const double read = clock.nsecsElapsed() / 1e6;
    const double baseline = least(connection, batch);
    clock.restart();
    ops::preview(connection, batch);
    const double previewed = clock.nsecsElapsed() / 1e6;
    clock.restart();
    const ops::ImportResult result = ops::importBatch(connection, batch);
    const double imported = clock.nsecsElapsed() / 1e6;
    std::printf("%-10s %5zu rows  read %8.1f ms  preview %8.1f ms  import %8.1f ms  least work %8.1f ms  "
                "ratio %5.1f  (%d imported)\n",
                kind == ops::BatchKind::CheckIns ? "check-ins" : "readings", batch.rows.size(), read, previewed,
                imported, baseline, baseline > 0 ? imported / baseline : 0.0, result.imported);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("OrvDb.mdb"));
    Connection::Create(database, programPassword());
    Connection connection;
    connection.openFile(database, programPassword());

    connection.beginUnit();
    connection.execute(QStringLiteral("insert into feiyong(水费,电费,房租) values(2.5,0.6,300)"));
    for (int i = 0; i < kRooms; ++i)
        connection.execute(QStringLiteral("insert into floorinfo(房间号码,入住性别,可住人数,水表底数,电表底数,"
                                          "入住人数,空缺人数) values('%1','男',6,0,0,0,6)")
                               .arg(roomName(i)));
    connection.commitUnit();

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

    measure(connection, ops::BatchKind::CheckIns, dir.filePath(QStringLiteral("checkins.csv")), leastCheckInWork);
    measure(connection, ops::BatchKind::Readings, dir.filePath(QStringLiteral("readings.csv")), leastReadingWork);
    return 0;
}
