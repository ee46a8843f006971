#include "billdata.h"

#include "columns.h"
#include "connection.h"
#include "schema.h"
#include "statementpool.h"
#include "storequery.h"

#include <sqlite3.h>

namespace orv {

namespace {

const QString kReadFailure = QStringLiteral("无法读取打印所需的数据");

// A settlement runs the same few statements each time; a batch runs them thousands of times. With
// `mayLack`, a statement naming a table the file lacks reads as no rows: files made before our own
// tables open without them.
StoreQuery prepareOn(Connection &connection, const QString &sql, bool mayLack = false)
{
    return StoreQuery(connection, sql, kReadFailure,
                      mayLack ? StoreQuery::Keep::KeptMayLack : StoreQuery::Keep::KeptChecked);
}

std::optional<float> optionalSingle(const StoreQuery &row, int column)
{
    return row.isNull(column) ? std::nullopt : std::optional<float>(static_cast<float>(row.real(column)));
}

// A file opened before it could be written lacks our tables; the first settlement that writes
// one makes them, inside its own unit.
void ensureOwnTables(Connection &connection, const QString &table)
{
    // A server's database is made with them.
    if (connection.isServer())
        return;
    // A batch settles thousands of times: a table seen once under this schema is there still.
    store::StatementPool &pool = connection.statementPool();
    pool.forgetIfSchemaChanged(connection.handle());
    if (pool.knowsTable(table))
        return;
    StoreQuery found =
        prepareOn(connection, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    found.bind(1, table);
    if (found.next()) {
        pool.knowTable(table);
        return;
    }
    for (const QString &statement : schema::ownTableStatements())
        connection.execute(statement);
}

void readKeptReadings(Connection &connection, const QString &room, const QString &date, UtilityBillFacts &facts)
{
    namespace kept = db::settlementreadings;
    StoreQuery row = prepareOn(
        connection,
        QStringLiteral("SELECT %1, %2, %3, %4, %5, %6, %7, %8 FROM %9 WHERE %10 = ?1 AND %11 = ?2 "
                       "ORDER BY rowid DESC LIMIT 1")
            .arg(kept::previousDate, kept::previousWater, kept::previousPower, kept::currentWater, kept::currentPower,
                 kept::waterPrice, kept::powerPrice, kept::date, connection.numbered(kept::table))
            .arg(kept::room, kept::date),
        true);
    row.bind(1, room).bind(2, date);
    if (!row.next())
        return;
    facts.previous = MeterReadings{row.isNull(0) ? QString() : row.text(0), row.integer(1), row.integer(2)};
    facts.current = MeterReadings{row.text(7), row.integer(3), row.integer(4)};
    facts.waterPrice = optionalSingle(row, 5);
    facts.powerPrice = optionalSingle(row, 6);
    facts.pricesKept = true;
}

// A settlement made before readings were kept: its own feiinfo row, and the room's row entered
// before it. The handler charges from the room's base readings, which each settlement moves on
// to its own, so the previous settlement is the one entered before, whatever its date.
void readEntryOrder(Connection &connection, const QString &room, const QString &date, UtilityBillFacts &facts)
{
    using namespace db;
    const QString readings =
        QStringLiteral("SELECT rowid, %1, %2, %3 FROM %4 WHERE %5 = ?1 AND ")
            .arg(feiinfo::date, feiinfo::water, feiinfo::power, connection.numbered(feiinfo::table), feiinfo::room);
    StoreQuery current =
        prepareOn(connection, readings + QStringLiteral("%1 = ?2 ORDER BY rowid LIMIT 1").arg(feiinfo::date));
    current.bind(1, room).bind(2, date);
    if (!current.next() || current.isNull(2) || current.isNull(3))
        return;
    const std::int64_t row = current.integer(0);
    facts.current = MeterReadings{current.text(1), current.integer(2), current.integer(3)};
    StoreQuery previous = prepareOn(connection, readings + QStringLiteral("rowid < ?2 ORDER BY rowid DESC LIMIT 1"));
    previous.bind(1, room).bind(2, row);
    if (previous.next() && !previous.isNull(2) && !previous.isNull(3))
        facts.previous = MeterReadings{previous.text(1), previous.integer(2), previous.integer(3)};
}

} // namespace

UtilityBillFacts readUtilityBillFacts(Connection &connection, const QString &room, const QString &date)
{
    using namespace db;
    UtilityBillFacts facts;
    readKeptReadings(connection, room, date, facts);
    if (!facts.pricesKept) {
        readEntryOrder(connection, room, date, facts);
        StoreQuery standard = prepareOn(
            connection,
            QStringLiteral("SELECT %1, %2 FROM %3 LIMIT 1").arg(feiyong::water, feiyong::power, feiyong::table));
        if (standard.next()) {
            facts.waterPrice = optionalSingle(standard, 0);
            facts.powerPrice = optionalSingle(standard, 1);
        }
    }
    StoreQuery fees =
        prepareOn(connection, QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?1 AND %5 = ?2 ORDER BY rowid LIMIT 1")
                                  .arg(listfei::water, listfei::power, connection.numbered(listfei::table),
                                       listfei::roomNo, listfei::date));
    fees.bind(1, room).bind(2, date);
    if (fees.next()) {
        facts.waterFee = optionalSingle(fees, 0);
        facts.powerFee = optionalSingle(fees, 1);
    }
    return facts;
}

void keepSettlementReadings(Connection &connection, const SettlementReadings &readings)
{
    namespace kept = db::settlementreadings;
    ensureOwnTables(connection, kept::table);
    const auto textOn = [](const QString &readingsTable) {
        const QString previousDate =
            QStringLiteral("(SELECT %1 FROM %2 WHERE %3 = ?3 AND rowid < ?1 ORDER BY rowid DESC LIMIT 1)")
                .arg(db::feiinfo::date, readingsTable, db::feiinfo::room);
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4, %3, ?5, ?6, ?7, ?8, ?9, ?10)")
            .arg(kept::table,
                 QStringList{kept::readingsRow, kept::billRow, kept::room, kept::date, kept::previousDate,
                             kept::previousWater, kept::previousPower, kept::currentWater, kept::currentPower,
                             kept::waterPrice, kept::powerPrice}
                     .join(QStringLiteral(", ")),
                 previousDate);
    };
    static const QString fileText = textOn(db::feiinfo::table);
    StoreQuery insert =
        prepareOn(connection, connection.isServer() ? textOn(connection.numbered(db::feiinfo::table)) : fileText);
    insert.bind(1, readings.readingsRow)
        .bind(2, readings.billRow)
        .bind(3, readings.room)
        .bind(4, readings.date)
        .bind(5, readings.previousWater)
        .bind(6, readings.previousPower)
        .bind(7, readings.currentWater)
        .bind(8, readings.currentPower)
        .bind(9, readings.waterPrice)
        .bind(10, readings.powerPrice);
    insert.run(QStringLiteral("无法记录本次结算的表数"));
}

void keepRentPeriod(Connection &connection, const RentPeriodRecord &period)
{
    namespace kept = db::rentperiods;
    ensureOwnTables(connection, kept::table);
    static const QString text =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")
            .arg(kept::table, QStringList{kept::chargeRow, kept::staffNo, kept::date, kept::paidFrom, kept::paidTo,
                                          kept::months, kept::amount}
                                  .join(QStringLiteral(", ")));
    StoreQuery insert = prepareOn(connection, text);
    insert.bind(1, period.chargeRow)
        .bind(2, period.staffNo)
        .bind(3, period.date)
        .bind(4, period.paidFrom)
        .bind(5, period.paidTo)
        .bind(6, period.months)
        .bind(7, period.amount);
    insert.run(QStringLiteral("无法记录本次房租结算的期间"));
}

std::optional<RentPeriodRecord> readRentPeriod(Connection &connection, const QString &staffNo, const QString &date)
{
    namespace kept = db::rentperiods;
    StoreQuery row = prepareOn(
        connection,
        QStringLiteral("SELECT %1, %2, %3, %4, %5 FROM %6 WHERE %7 = ?1 AND %8 = ?2 ORDER BY rowid DESC LIMIT 1")
            .arg(kept::chargeRow, kept::paidFrom, kept::paidTo, kept::months, kept::amount,
                 connection.numbered(kept::table), kept::staffNo, kept::date),
        true);
    row.bind(1, staffNo).bind(2, date);
    if (!row.next())
        return std::nullopt;
    return RentPeriodRecord{row.integer(0), staffNo, date, row.text(1), row.text(2), row.integer(3), row.integer(4)};
}

std::int64_t lastInsertedRow(Connection &connection)
{
    if (const store::Backend *backend = connection.backend())
        return backend->lastAdded();
    return connection.handle() ? sqlite3_last_insert_rowid(connection.handle()) : 0;
}

} // namespace orv
