#include "billdata.h"

#include "columns.h"
#include "connection.h"
#include "schema.h"
#include "statementpool.h"

#include <memory>
#include <sqlite3.h>

namespace orv {

namespace {

const QString kReadFailure = QStringLiteral("无法读取打印所需的数据");

// One statement with its values bound as parameters, so any quote in a room number or staff
// number is only data.
class Query final {
public:
    // With `mayLack`, a statement naming a table the file lacks reads as no rows: files made
    // before our own tables open without them.
    Query(Connection &connection, const QString &sql, bool mayLack = false) : m_db(connection.handle())
    {
        if (!m_db)
            throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
        // A settlement runs the same few statements each time; the batch runs thousands.
        store::StatementPool &pool = connection.statementPool();
        pool.forgetIfSchemaChanged(m_db);
        m_statement = pool.reuse(m_db, sql);
        if (m_statement)
            return;
        sqlite3_stmt *raw = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &raw, nullptr);
        m_statement = pool.adopt(sql, raw);
        if (rc == SQLITE_ERROR && mayLack)
            return;
        if (rc != SQLITE_OK)
            raiseEngineError(m_db, rc, kReadFailure);
    }

    Query &bind(int index, const QString &value)
    {
        const QByteArray text = value.toUtf8();
        sqlite3_bind_text(m_statement.get(), index, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Query &bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(m_statement.get(), index, value);
        return *this;
    }
    Query &bind(int index, float value)
    {
        // A single widens to a double exactly, so the price reads back as the same single.
        sqlite3_bind_double(m_statement.get(), index, static_cast<double>(value));
        return *this;
    }

    bool next()
    {
        if (!m_statement)
            return false;
        const int rc = sqlite3_step(m_statement.get());
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            raiseEngineError(m_db, rc, kReadFailure);
        return false;
    }
    void write(const QString &what)
    {
        const int rc = sqlite3_step(m_statement.get());
        if (rc != SQLITE_DONE)
            raiseEngineError(m_db, rc, what);
    }
    bool isNull(int column) const { return sqlite3_column_type(m_statement.get(), column) == SQLITE_NULL; }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement.get(), column); }
    float single(int column) const { return static_cast<float>(sqlite3_column_double(m_statement.get(), column)); }
    std::optional<float> optionalSingle(int column) const
    {
        return isNull(column) ? std::nullopt : std::optional<float>(single(column));
    }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_statement.get(), column)));
    }

private:
    sqlite3 *m_db;
    store::PooledStatement m_statement;
};

// A file opened before it could be written lacks our tables; the first settlement that writes
// one makes them, inside its own unit.
void ensureOwnTables(Connection &connection, const QString &table)
{
    Query found(connection, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    found.bind(1, table);
    if (found.next())
        return;
    for (const QString &statement : schema::ownTableStatements())
        connection.execute(statement);
}

void readKeptReadings(Connection &connection, const QString &room, const QString &date, UtilityBillFacts &facts)
{
    namespace kept = db::settlementreadings;
    Query query(connection,
                QStringLiteral("SELECT %1, %2, %3, %4, %5, %6, %7, %8 FROM %9 WHERE %10 = ?1 AND %11 = ?2 "
                               "ORDER BY rowid DESC LIMIT 1")
                    .arg(kept::previousDate, kept::previousWater, kept::previousPower, kept::currentWater,
                         kept::currentPower, kept::waterPrice, kept::powerPrice, kept::date, kept::table)
                    .arg(kept::room, kept::date),
                true);
    query.bind(1, room).bind(2, date);
    if (!query.next())
        return;
    facts.previous = MeterReadings{query.isNull(0) ? QString() : query.text(0), query.integer(1), query.integer(2)};
    facts.current = MeterReadings{query.text(7), query.integer(3), query.integer(4)};
    facts.waterPrice = query.optionalSingle(5);
    facts.powerPrice = query.optionalSingle(6);
    facts.pricesKept = true;
}

// A settlement made before readings were kept: its own feiinfo row, and the room's row entered
// before it. The handler charges from the room's base readings, which each settlement moves on
// to its own, so the previous settlement is the one entered before, whatever its date.
void readEntryOrder(Connection &connection, const QString &room, const QString &date, UtilityBillFacts &facts)
{
    using namespace db;
    const QString readings = QStringLiteral("SELECT rowid, %1, %2, %3 FROM %4 WHERE %5 = ?1 AND ")
                                 .arg(feiinfo::date, feiinfo::water, feiinfo::power, feiinfo::table, feiinfo::room);
    Query current(connection, readings + QStringLiteral("%1 = ?2 ORDER BY rowid LIMIT 1").arg(feiinfo::date));
    current.bind(1, room).bind(2, date);
    if (!current.next() || current.isNull(2) || current.isNull(3))
        return;
    const std::int64_t row = current.integer(0);
    facts.current = MeterReadings{current.text(1), current.integer(2), current.integer(3)};
    Query previous(connection, readings + QStringLiteral("rowid < ?2 ORDER BY rowid DESC LIMIT 1"));
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
        Query standard(
            connection,
            QStringLiteral("SELECT %1, %2 FROM %3 LIMIT 1").arg(feiyong::water, feiyong::power, feiyong::table));
        if (standard.next()) {
            facts.waterPrice = standard.optionalSingle(0);
            facts.powerPrice = standard.optionalSingle(1);
        }
    }
    Query fees(connection, QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?1 AND %5 = ?2 ORDER BY rowid LIMIT 1")
                               .arg(listfei::water, listfei::power, listfei::table, listfei::roomNo, listfei::date));
    fees.bind(1, room).bind(2, date);
    if (fees.next()) {
        facts.waterFee = fees.optionalSingle(0);
        facts.powerFee = fees.optionalSingle(1);
    }
    return facts;
}

void keepSettlementReadings(Connection &connection, const SettlementReadings &readings)
{
    namespace kept = db::settlementreadings;
    ensureOwnTables(connection, kept::table);
    const QString previousDate =
        QStringLiteral("(SELECT %1 FROM %2 WHERE %3 = ?3 AND rowid < ?1 ORDER BY rowid DESC LIMIT 1)")
            .arg(db::feiinfo::date, db::feiinfo::table, db::feiinfo::room);
    Query insert(connection,
                 QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4, %3, ?5, ?6, ?7, ?8, ?9, ?10)")
                     .arg(kept::table,
                          QStringList{kept::readingsRow, kept::billRow, kept::room, kept::date, kept::previousDate,
                                      kept::previousWater, kept::previousPower, kept::currentWater, kept::currentPower,
                                      kept::waterPrice, kept::powerPrice}
                              .join(QStringLiteral(", ")),
                          previousDate));
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
    insert.write(QStringLiteral("无法记录本次结算的表数"));
}

void keepRentPeriod(Connection &connection, const RentPeriodRecord &period)
{
    namespace kept = db::rentperiods;
    ensureOwnTables(connection, kept::table);
    Query insert(connection, QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")
                                 .arg(kept::table, QStringList{kept::chargeRow, kept::staffNo, kept::date,
                                                               kept::paidFrom, kept::paidTo, kept::months, kept::amount}
                                                       .join(QStringLiteral(", "))));
    insert.bind(1, period.chargeRow)
        .bind(2, period.staffNo)
        .bind(3, period.date)
        .bind(4, period.paidFrom)
        .bind(5, period.paidTo)
        .bind(6, period.months)
        .bind(7, period.amount);
    insert.write(QStringLiteral("无法记录本次房租结算的期间"));
}

std::optional<RentPeriodRecord> readRentPeriod(Connection &connection, const QString &staffNo, const QString &date)
{
    namespace kept = db::rentperiods;
    Query query(
        connection,
        QStringLiteral("SELECT %1, %2, %3, %4, %5 FROM %6 WHERE %7 = ?1 AND %8 = ?2 ORDER BY rowid DESC LIMIT 1")
            .arg(kept::chargeRow, kept::paidFrom, kept::paidTo, kept::months, kept::amount, kept::table, kept::staffNo,
                 kept::date),
        true);
    query.bind(1, staffNo).bind(2, date);
    if (!query.next())
        return std::nullopt;
    return RentPeriodRecord{query.integer(0), staffNo,         date, query.text(1), query.text(2),
                            query.integer(3), query.integer(4)};
}

std::int64_t lastInsertedRow(Connection &connection)
{
    return connection.handle() ? sqlite3_last_insert_rowid(connection.handle()) : 0;
}

} // namespace orv
