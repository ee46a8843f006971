#include "residence.h"

#include "columns.h"
#include "connection.h"
#include "storequery.h"
#include "texts.h"

namespace orv::residence {

namespace rh = db::residence;

namespace {

const QString kWriteFailure = QStringLiteral("无法写入住宿记录");
const QString kReadFailure = QStringLiteral("无法读取住宿记录");

const QString &columns()
{
    static const QString list =
        QStringList{QStringLiteral("id"), rh::staffNo,    rh::name,        rh::dept,         rh::room,
                    rh::checkedIn,        rh::checkedOut, rh::checkedInBy, rh::checkedOutBy, rh::origin}
            .join(QStringLiteral(", "));
    return list;
}

QList<Stay> read(Connection &connection, const QString &where, const QStringList &values)
{
    StoreQuery rows(connection,
                    QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY id").arg(columns(), rh::table, where),
                    kReadFailure);
    for (int i = 0; i < values.size(); ++i)
        rows.bind(i + 1, values.at(i));
    QList<Stay> stays;
    while (rows.next()) {
        Stay stay;
        stay.id = rows.integer(0);
        stay.staffNo = rows.text(1);
        stay.name = rows.text(2);
        stay.department = rows.text(3);
        stay.room = rows.text(4);
        stay.checkedIn = rows.text(5);
        stay.checkedOut = rows.text(6);
        stay.checkedInBy = rows.text(7);
        stay.checkedOutBy = rows.text(8);
        stay.origin = rows.text(9);
        stays.append(stay);
    }
    return stays;
}

void insert(Connection &connection, const Stay &stay)
{
    // The file numbers its rows itself. A server's id is the highest one plus one, read inside the
    // unit, so a desk that took the same one collides and its unit runs again. It is read from the
    // rows themselves, where the id's index answers at once: the table's own view keeps its rows in
    // order, which sorts them all first.
    static const QString fileText =
        QStringLiteral(
            "INSERT INTO %1 (%2, %3, %4, %5, %6, %7, %8, %9, %10) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)")
            .arg(rh::table, rh::staffNo, rh::name, rh::dept, rh::room, rh::checkedIn, rh::checkedOut, rh::checkedInBy,
                 rh::checkedOutBy)
            .arg(rh::origin);
    const auto serverText = [&connection] {
        return QStringLiteral("INSERT INTO %1 (id, %2, %3, %4, %5, %6, %7, %8, %9, %10) SELECT coalesce(max(id), 0) + "
                              "1, ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9 FROM %11")
            .arg(rh::table, rh::staffNo, rh::name, rh::dept, rh::room, rh::checkedIn, rh::checkedOut, rh::checkedInBy,
                 rh::checkedOutBy)
            .arg(rh::origin, connection.numbered(rh::table));
    };
    StoreQuery row(connection, connection.isServer() ? serverText() : fileText, kWriteFailure);
    row.bind(1, stay.staffNo).bind(2, stay.name).bind(3, stay.department).bind(4, stay.room).bind(5, stay.checkedIn);
    if (stay.checkedOut.isEmpty())
        row.bindNull(6);
    else
        row.bind(6, stay.checkedOut);
    row.bind(7, stay.checkedInBy).bind(8, stay.checkedOutBy).bind(9, stay.origin);
    row.run();
}

} // namespace

QStringList creationStatements()
{
    using namespace db;
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (id INTEGER PRIMARY KEY, %2 TEXT NOT NULL, %3 TEXT NOT NULL, "
                       "%4 TEXT NOT NULL, %5 TEXT NOT NULL, %6 TEXT NOT NULL, %7 TEXT, %8 TEXT NOT NULL, "
                       "%9 TEXT NOT NULL, %10 TEXT NOT NULL)")
            .arg(rh::table, rh::staffNo, rh::name, rh::dept, rh::room, rh::checkedIn, rh::checkedOut, rh::checkedInBy,
                 rh::checkedOutBy)
            .arg(rh::origin),
        QStringLiteral("CREATE INDEX IF NOT EXISTS residence_staff ON %1 (%2, %3)")
            .arg(rh::table, rh::staffNo, rh::checkedIn),
        QStringLiteral("CREATE INDEX IF NOT EXISTS residence_name ON %1 (%2, %3)")
            .arg(rh::table, rh::name, rh::checkedIn),
        QStringLiteral("CREATE INDEX IF NOT EXISTS residence_room ON %1 (%2, %3)")
            .arg(rh::table, rh::room, rh::checkedIn),
        QStringLiteral("CREATE INDEX IF NOT EXISTS residence_in ON %1 (%2)").arg(rh::table, rh::checkedIn),
        startStatement(),
    };
}

QString startStatement()
{
    using namespace db;
    // Only while the history is empty: those living here then are its first rows.
    return QStringLiteral(
               "INSERT INTO %1 (%2, %3, %4, %5, %6, %7, %8, %9) SELECT ifnull(%10, ''), ifnull(%11, ''), "
               "ifnull(%12, ''), ifnull(%13, ''), replace(ifnull(%14, ''), ' ', '0'), '', '', '%15' FROM %16 "
               "WHERE NOT EXISTS (SELECT 1 FROM %1) ORDER BY rowid")
        .arg(rh::table, rh::staffNo, rh::name, rh::dept, rh::room, rh::checkedIn, rh::checkedInBy, rh::checkedOutBy,
             rh::origin)
        .arg(personinfo::staffNo, personinfo::name, personinfo::dept, personinfo::room, personinfo::date,
             kLivingAtStart, personinfo::table);
}

void begin(Connection &connection, const Stay &stay)
{
    Stay open = stay;
    open.checkedOut.clear();
    insert(connection, open);
}

void end(Connection &connection, const Stay &resident, const QDate &date, const QString &by)
{
    StoreQuery close(connection,
                     QStringLiteral("UPDATE %1 SET %2 = ?1, %3 = ?2 WHERE %4 = ?3 AND %2 IS NULL")
                         .arg(rh::table, rh::checkedOut, rh::checkedOutBy, rh::staffNo),
                     kWriteFailure);
    close.bind(1, dateText(date)).bind(2, by).bind(3, resident.staffNo);
    close.run();
    if (close.changes() > 0)
        return;
    Stay closed = resident;
    closed.checkedOut = dateText(date);
    closed.checkedOutBy = by;
    closed.origin = kNoCheckIn;
    insert(connection, closed);
}

QList<Stay> ofStaffNo(Connection &connection, const QString &staffNo)
{
    return read(connection, rh::staffNo + QStringLiteral(" = ?1"), {staffNo});
}

QList<Stay> ofName(Connection &connection, const QString &name)
{
    return read(connection, rh::name + QStringLiteral(" = ?1"), {name});
}

QList<Stay> ofRoom(Connection &connection, const QString &room)
{
    return read(connection, rh::room + QStringLiteral(" = ?1"), {room});
}

QList<Stay> onDate(Connection &connection, const QString &room, const QDate &date)
{
    const QString day = dateText(date);
    const QString lived = QStringLiteral("%1 <= ?1 AND (%2 IS NULL OR %2 >= ?1)").arg(rh::checkedIn, rh::checkedOut);
    if (room.isEmpty())
        return read(connection, lived, {day});
    return read(connection, rh::room + QStringLiteral(" = ?2 AND ") + lived, {day, room});
}

namespace {

QString quoted(const QString &value)
{
    return QLatin1Char('\'') + sqlQuote(value) + QLatin1Char('\'');
}

// The history in the order it was written, counted as it is read.
sql::ListQuery history(const QString &where)
{
    return {QStringLiteral("*"),
            rh::table,
            where,
            {rh::table},
            QStringLiteral("select count(*) from %1 where (%2) and %1.rowid <= ?1").arg(rh::table, where)};
}

} // namespace

sql::ListQuery staysWhere(const QString &column, const QString &value)
{
    return history(column + QStringLiteral(" = ") + quoted(value));
}

sql::ListQuery livingOnDate(const QString &room, const QDate &date)
{
    const QString day = quoted(dateText(date));
    QString where = QStringLiteral("%1 <= %3 AND (%2 IS NULL OR %2 >= %3)").arg(rh::checkedIn, rh::checkedOut, day);
    if (!room.isEmpty())
        where = rh::room + QStringLiteral(" = ") + quoted(room) + QStringLiteral(" AND ") + where;
    return history(where);
}

} // namespace orv::residence
