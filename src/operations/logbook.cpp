#include "logbook.h"

#include "data/connection.h"
#include "data/statement.h"

namespace orv::ops {

namespace {

const QString kReadFailure = QStringLiteral("无法读取操作记录");
// The log's times are "yyyy-MM-dd HH:mm:ss" text, so whole days compare as text.
const QString kDayFormat = QStringLiteral("yyyy-MM-dd");

bool hasLog(Connection &connection)
{
    Statement lookup = Statement::prepared(
        connection.handle(), QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'oplog'"),
        kReadFailure);
    return lookup.next(kReadFailure);
}

} // namespace

QList<oplog::Entry> readLog(Connection &connection, const LogFilter &filter)
{
    QList<oplog::Entry> entries;
    if (!hasLog(connection))
        return entries;
    Statement rows = Statement::prepared(
        connection.handle(),
        QStringLiteral("SELECT time, operator, action, target, detail FROM oplog WHERE "
                       // An empty text may reach the engine as null.
                       "(ifnull(?1, '') = '' OR operator = ?1) AND time >= ifnull(?2, '') AND time < ?3 "
                       "ORDER BY id DESC"),
        kReadFailure);
    rows.bind(1, filter.operatorName)
        .bind(2, filter.from.isValid() ? filter.from.toString(kDayFormat) : QString())
        // Past any time text when the end is open.
        .bind(3, filter.to.isValid() ? filter.to.addDays(1).toString(kDayFormat) : QStringLiteral("~"));
    while (rows.next(kReadFailure)) {
        oplog::Entry entry;
        entry.time = QDateTime::fromString(rows.text(0), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        entry.operatorName = rows.text(1);
        entry.action = rows.text(2);
        entry.target = rows.text(3);
        entry.detail = rows.text(4);
        entries.append(entry);
    }
    return entries;
}

QStringList loggedOperators(Connection &connection)
{
    QStringList names;
    if (!hasLog(connection))
        return names;
    Statement rows = Statement::prepared(
        connection.handle(),
        QStringLiteral("SELECT DISTINCT operator FROM oplog WHERE operator <> '' ORDER BY operator"), kReadFailure);
    while (rows.next(kReadFailure))
        names.append(rows.text(0));
    return names;
}

} // namespace orv::ops
