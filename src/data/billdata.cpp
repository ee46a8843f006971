#include "billdata.h"

#include "columns.h"
#include "connection.h"

#include <memory>
#include <sqlite3.h>

namespace orv {

namespace {

struct Finalizer {
    void operator()(sqlite3_stmt *statement) const noexcept { sqlite3_finalize(statement); }
};

// One read-only statement with its texts bound as parameters, so any quote in a room number or
// staff number is only data.
class Query final {
public:
    Query(Connection &connection, const QString &sql, std::initializer_list<QString> values) : m_db(connection.handle())
    {
        if (!m_db)
            throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
        sqlite3_stmt *raw = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &raw, nullptr);
        m_statement.reset(raw);
        if (rc != SQLITE_OK)
            raiseEngineError(m_db, rc, QStringLiteral("无法读取打印所需的数据"));
        int index = 1;
        for (const QString &value : values) {
            const QByteArray text = value.toUtf8();
            sqlite3_bind_text(raw, index++, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
    }

    bool next()
    {
        const int rc = sqlite3_step(m_statement.get());
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            raiseEngineError(m_db, rc, QStringLiteral("无法读取打印所需的数据"));
        return false;
    }
    bool isNull(int column) const { return sqlite3_column_type(m_statement.get(), column) == SQLITE_NULL; }
    qint64 integer(int column) const { return sqlite3_column_int64(m_statement.get(), column); }
    double real(int column) const { return sqlite3_column_double(m_statement.get(), column); }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_statement.get(), column)));
    }

private:
    sqlite3 *m_db;
    std::unique_ptr<sqlite3_stmt, Finalizer> m_statement;
};

std::optional<MeterReadings> readings(Query &query)
{
    if (!query.next() || query.isNull(1) || query.isNull(2))
        return std::nullopt;
    return MeterReadings{query.text(0), query.integer(1), query.integer(2)};
}

} // namespace

UtilityBillFacts readUtilityBillFacts(Connection &connection, const QString &room, const QString &date)
{
    using namespace db;
    const QString readingsOf = QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %5 = ?1 AND %1 ")
                                   .arg(feiinfo::date, feiinfo::water, feiinfo::power, feiinfo::table, feiinfo::room);
    UtilityBillFacts facts;
    Query current(connection, readingsOf + QStringLiteral("= ?2 LIMIT 1"), {room, date});
    facts.current = readings(current);
    // Settlement dates are zero-padded, so they order as text.
    Query previous(connection,
                   readingsOf + QStringLiteral("< ?2 ORDER BY %1 DESC, rowid DESC LIMIT 1").arg(feiinfo::date),
                   {room, date});
    facts.previous = readings(previous);
    Query standard(connection,
                   QStringLiteral("SELECT %1, %2 FROM %3 LIMIT 1").arg(feiyong::water, feiyong::power, feiyong::table),
                   {});
    if (standard.next()) {
        if (!standard.isNull(0))
            facts.waterPrice = standard.real(0);
        if (!standard.isNull(1))
            facts.powerPrice = standard.real(1);
    }
    return facts;
}

QString readPaidUpTo(Connection &connection, const QString &staffNo)
{
    using namespace db;
    Query query(
        connection,
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1 LIMIT 1").arg(fangset::date, fangset::table, fangset::staffNo),
        {staffNo});
    return query.next() && !query.isNull(0) ? query.text(0) : QString();
}

} // namespace orv
