// A whole-table walk of personinfo through the record store, the way every page finds a row,
// beside a plain prepare/step loop over the same two columns. Prints both times and, last, the
// ratio of the two.
#include "data/connection.h"
#include "data/recordset.h"
#include "data/statements.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int kResidents = 100000;
constexpr int kRounds = 5;

void fill(orv::Connection &connection)
{
    connection.execute(QStringLiteral("BEGIN"));
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(connection.handle(),
                       "INSERT INTO personinfo VALUES (?1, '男', '计算机系', ?2, '13800000000', '2004-03-15', ?3)", -1,
                       &insert, nullptr);
    for (int i = 0; i < kResidents; ++i) {
        const QByteArray name = QStringLiteral("住户%1").arg(i).toUtf8();
        const QByteArray staff = QByteArray::number(2004000000 + i);
        const QByteArray room = QStringLiteral("6-%1-%2").arg(i / 1000).arg(i % 1000).toUtf8();
        sqlite3_bind_text(insert, 1, name.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, staff.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, room.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    connection.execute(QStringLiteral("COMMIT"));
}

// Returns the time in milliseconds and a checksum so the work cannot be optimised away.
std::pair<double, long long> walkRecordStore(orv::Connection &connection)
{
    QElapsedTimer clock;
    clock.start();
    long long checksum = 0;
    orv::Recordset set(&connection);
    set.openIfClosed(orv::sql::personAll);
    set.rewind();
    while (!set.adoEOF()) {
        checksum += set.GetCollect(QStringLiteral("姓名")).asText().size();
        checksum += set.GetCollect(QStringLiteral("工号")).asText().size();
        set.MoveNext();
    }
    set.closeIfOpen();
    return {static_cast<double>(clock.nsecsElapsed()) / 1e6, checksum};
}

std::pair<double, long long> walkRaw(orv::Connection &connection)
{
    QElapsedTimer clock;
    clock.start();
    long long checksum = 0;
    sqlite3_stmt *select = nullptr;
    sqlite3_prepare_v2(connection.handle(), "select 姓名, 工号 from personinfo", -1, &select, nullptr);
    while (sqlite3_step(select) == SQLITE_ROW) {
        // Same work per value as the record store's caller: the text as a QString.
        checksum += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(select, 0)),
                                      sqlite3_column_bytes(select, 0))
                        .size();
        checksum += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(select, 1)),
                                      sqlite3_column_bytes(select, 1))
                        .size();
    }
    sqlite3_finalize(select);
    return {static_cast<double>(clock.nsecsElapsed()) / 1e6, checksum};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    orv::Connection::Create(orv::databaseFileName(), orv::programPassword());
    orv::Connection connection;
    connection.Open(orv::programConnectionString());
    fill(connection);

    std::vector<double> store;
    std::vector<double> raw;
    for (int round = 0; round < kRounds; ++round) {
        const auto [storeMs, storeSum] = walkRecordStore(connection);
        const auto [rawMs, rawSum] = walkRaw(connection);
        if (storeSum != rawSum) {
            std::fprintf(stderr, "checksums differ: %lld vs %lld\n", storeSum, rawSum);
            return 1;
        }
        store.push_back(storeMs);
        raw.push_back(rawMs);
    }
    std::sort(store.begin(), store.end());
    std::sort(raw.begin(), raw.end());
    const double storeMedian = store[kRounds / 2];
    const double rawMedian = raw[kRounds / 2];
    std::printf("rows: %d, rounds: %d (medians)\n", kResidents, kRounds);
    std::printf("record store walk (GetCollect of 姓名, 工号): %.2f ms\n", storeMedian);
    std::printf("raw sqlite3 prepare/step (姓名, 工号): %.2f ms\n", rawMedian);
    std::printf("ratio: %.2f\n", storeMedian / rawMedian);
    return 0;
}
