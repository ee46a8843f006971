#include "dbcheck.h"

#include "columns.h"
#include "connection.h"
#include "oplog.h"
#include "statement.h"
#include "storequery.h"

#include <sqlite3.h>

namespace orv {
namespace {

const QString kCheckFailure = QStringLiteral("检查数据库失败");

// Every row of a query, each value as text; one finding per row is formatted by the caller.
QList<QStringList> rowsOf(sqlite3 *db, const QString &sql)
{
    Statement statement = Statement::prepared(db, sql, kCheckFailure);
    QList<QStringList> rows;
    while (statement.next(kCheckFailure)) {
        QStringList row;
        for (int i = 0; i < statement.columnCount(); ++i)
            row.append(statement.isNull(i) ? QStringLiteral("NULL") : statement.text(i));
        rows.append(row);
    }
    return rows;
}

struct Rule {
    QString sql;
    QString finding; // %1, %2, ... are the row's values
};

} // namespace

namespace {

// The engine's own check of every page of the file.
QStringList integrityFindings(sqlite3 *db)
{
    QStringList findings;
    try {
        for (const QStringList &row : rowsOf(db, QStringLiteral("PRAGMA integrity_check"))) {
            if (row.value(0) != QLatin1String("ok"))
                findings.append(QStringLiteral("文件完整性：%1").arg(row.value(0)));
        }
    } catch (const StoreError &error) {
        // A page that fails its decryption check stops the engine's own check with a bare error;
        // only a file held elsewhere, or a check asked to stop, is not a finding about the file.
        const auto code = error.code() & 0xff;
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_INTERRUPT)
            throw;
        findings.append(QStringLiteral("文件完整性：数据库文件已损坏，无法从头读到尾（数据库引擎：%1）。")
                            .arg(QString::fromUtf8(sqlite3_errmsg(db))));
    }
    return findings;
}

QList<QStringList> rowsOf(Connection &connection, const QString &sql)
{
    StoreQuery statement(connection, sql, kCheckFailure, StoreQuery::Keep::Once);
    QList<QStringList> rows;
    while (statement.next()) {
        QStringList row;
        for (int i = 0; i < statement.columnCount(); ++i)
            row.append(statement.isNull(i) ? QStringLiteral("NULL") : statement.text(i));
        rows.append(row);
    }
    return rows;
}

} // namespace

QStringList checkDatabase(Connection &connection)
{
    if (!connection.isOpen())
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
    // A server keeps its own pages whole; the rules and the log are checked there as on a file.
    const bool server = connection.isServer();
    QStringList findings = server ? QStringList() : integrityFindings(connection.handle());
    // The rules cannot be trusted on a damaged file; its damage is the finding.
    if (!findings.isEmpty())
        return findings;

    using namespace orv::db;
    // The server has no IS NOT for values and cannot name a column's alias in its conditions.
    const QString isNot = server ? QStringLiteral("IS DISTINCT FROM") : QStringLiteral("IS NOT");
    const QString rooms = connection.numbered(floorinfo::table);
    const QString people = connection.numbered(personinfo::table);
    const QString residents = QStringLiteral("(SELECT count(*) FROM %1 WHERE %2 = %3.%4)")
                                  .arg(personinfo::table, personinfo::room, floorinfo::table, floorinfo::roomNo);
    const QString counted =
        QStringLiteral("(SELECT coalesce(sum(%1), 0) FROM %2 WHERE %2.%3 = %4.%5)")
            .arg(numinfo::occupants, numinfo::table, numinfo::roomNo, floorinfo::table, floorinfo::roomNo);
    // A room's counter against a count of it, the room's order kept.
    const auto counterAgainst = [&](const QString &count) {
        if (!server)
            return QStringLiteral("SELECT %1, %2, %3 AS n FROM %4 WHERE %2 IS NOT n ORDER BY rowid")
                .arg(floorinfo::roomNo, floorinfo::occupants, count, floorinfo::table);
        return QStringLiteral("SELECT %1, %2, n FROM (SELECT %1, %2, %3 AS n, rowid FROM %4) AS %5 "
                              "WHERE %2 IS DISTINCT FROM n ORDER BY rowid")
            .arg(floorinfo::roomNo, floorinfo::occupants, count, rooms, floorinfo::table);
    };
    const Rule rules[] = {
        {QStringLiteral("SELECT %1, %2, %3, %4 FROM %5 WHERE %2 + %3 %6 %4 ORDER BY rowid")
             .arg(floorinfo::roomNo, floorinfo::occupants, floorinfo::vacant, floorinfo::capacity, rooms, isNot),
         QStringLiteral("房间“%1”：入住人数 %2 加空缺人数 %3 不等于可住人数 %4。")},
        {counterAgainst(residents), QStringLiteral("房间“%1”：入住人数为 %2，住在这个房间的人员却有 %3 人。")},
        {counterAgainst(counted), QStringLiteral("房间“%1”：入住人数为 %2，入住人数统计却记为 %3。")},
        {QStringLiteral("SELECT %1, count(*) FROM %2 GROUP BY %1 HAVING count(*) > 1 ORDER BY min(rowid)")
             .arg(floorinfo::roomNo, rooms),
         QStringLiteral("房间号码“%1”有 %2 个房间共用。")},
        {QStringLiteral("SELECT %1, count(*) FROM %2 GROUP BY %1 HAVING count(*) > 1 ORDER BY min(rowid)")
             .arg(personinfo::staffNo, people),
         QStringLiteral("工号“%1”有 %2 个人员共用。")},
    };
    for (const Rule &rule : rules) {
        for (const QStringList &row : rowsOf(connection, rule.sql)) {
            // One pass, so a "%" inside a stored value is never taken for a placeholder.
            const QString &f = rule.finding;
            findings.append(row.size() == 2   ? f.arg(row[0], row[1])
                            : row.size() == 3 ? f.arg(row[0], row[1], row[2])
                                              : f.arg(row[0], row[1], row[2], row.value(3)));
        }
    }
    // The residence history against those living here: an open stay for each of them, in their room,
    // and for nobody else. A file opened before it could be given the history has none to check; a
    // server's database is made with it.
    namespace rh = residence;
    const bool hasHistory =
        server ||
        !rowsOf(connection,
                QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '%1'").arg(rh::table))
             .isEmpty();
    const QString open = QStringLiteral("%1.%2 IS NULL").arg(rh::table, rh::checkedOut);
    const QString openStay =
        QStringLiteral("SELECT 1 FROM %1 WHERE %1.%2 = %3.%4 AND %1.%5 = %3.%6 AND %7")
            .arg(rh::table, rh::staffNo, personinfo::table, personinfo::staffNo, rh::room, personinfo::room, open);
    const QString living = QStringLiteral("(SELECT count(*) FROM %1 WHERE %1.%2 = %3.%4)")
                               .arg(personinfo::table, personinfo::staffNo, rh::table, rh::staffNo);
    const Rule historyRules[] = {
        {QStringLiteral("SELECT %1, %2 FROM %3 WHERE NOT EXISTS (%4) ORDER BY rowid")
             .arg(personinfo::staffNo, personinfo::room, people, openStay),
         QStringLiteral("住宿记录：工号“%1”住在房间“%2”，却没有在这个房间尚未迁出的住宿记录。")},
        {QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 AND NOT EXISTS (SELECT 1 FROM %5 WHERE %5.%6 = %3.%1 "
                        "AND %5.%7 = %3.%2) ORDER BY id")
             .arg(rh::staffNo, rh::room, rh::table, open, personinfo::table, personinfo::staffNo, personinfo::room),
         QStringLiteral("住宿记录：工号“%1”并不住在房间“%2”，却有在这个房间尚未迁出的住宿记录。")},
        {server
             ? QStringLiteral("SELECT %1, n, living FROM (SELECT %1, count(*) AS n, %4 AS living, min(id) AS first "
                              "FROM %2 WHERE %3 GROUP BY %1) AS stays WHERE n > living AND living > 0 ORDER BY first")
                   .arg(rh::staffNo, rh::table, open, living)
             : QStringLiteral("SELECT %1, count(*), %4 AS living FROM %2 "
                              "WHERE %3 GROUP BY %1 HAVING count(*) > living AND living > 0 ORDER BY min(id)")
                   .arg(rh::staffNo, rh::table, open, living),
         QStringLiteral("住宿记录：工号“%1”有 %2 条尚未迁出的住宿记录，住着的却只有 %3 人。")},
    };
    for (const Rule &rule : historyRules) {
        if (!hasHistory)
            break;
        for (const QStringList &row : rowsOf(connection, rule.sql))
            findings.append(row.size() == 2 ? rule.finding.arg(row[0], row[1])
                                            : rule.finding.arg(row[0], row[1], row[2]));
    }
    const oplog::Verdict log = oplog::verify(connection);
    if (!log.intact())
        findings.append(log.finding);
    return findings;
}

} // namespace orv
