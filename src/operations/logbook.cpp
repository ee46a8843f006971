#include "logbook.h"

#include "data/connection.h"
#include "data/storequery.h"

namespace orv::ops {

namespace {

const QString kReadFailure = QStringLiteral("无法读取操作记录");
// The log's times are "yyyy-MM-dd HH:mm:ss" text, so whole days compare as text.
const QString kDayFormat = QStringLiteral("yyyy-MM-dd");

} // namespace

QList<oplog::Entry> readLog(Connection &connection, const LogFilter &filter)
{
    QList<oplog::Entry> entries;
    if (!oplog::hasLog(connection))
        return entries;
    // An empty text may reach the engine as null. The server compares the times byte by byte, as
    // the file does, whatever its collation: the open end "~" lies past every time there too.
    StoreQuery rows(
        connection,
        connection.isServer()
            ? QStringLiteral("SELECT time, operator, action, target, detail FROM oplog WHERE "
                             "(coalesce(?1, '') = '' OR operator = ?1) AND time COLLATE \"C\" >= "
                             "coalesce(?2, '') AND time COLLATE \"C\" < ?3 ORDER BY id DESC")
            : QStringLiteral("SELECT time, operator, action, target, detail FROM oplog WHERE "
                             "(ifnull(?1, '') = '' OR operator = ?1) AND time >= ifnull(?2, '') AND time < ?3 "
                             "ORDER BY id DESC"),
        kReadFailure, StoreQuery::Keep::Once);
    rows.bind(1, filter.operatorName)
        .bind(2, filter.from.isValid() ? filter.from.toString(kDayFormat) : QString())
        // Past any time text when the end is open.
        .bind(3, filter.to.isValid() ? filter.to.addDays(1).toString(kDayFormat) : QStringLiteral("~"));
    while (rows.next()) {
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
    if (!oplog::hasLog(connection))
        return names;
    // In the file's order of texts, byte by byte.
    StoreQuery rows(connection,
                    connection.isServer()
                        ? QStringLiteral("SELECT DISTINCT operator COLLATE \"C\" FROM oplog WHERE operator <> '' "
                                         "ORDER BY 1")
                        : QStringLiteral("SELECT DISTINCT operator FROM oplog WHERE operator <> '' ORDER BY operator"),
                    kReadFailure, StoreQuery::Keep::Once);
    while (rows.next())
        names.append(rows.text(0));
    return names;
}

} // namespace orv::ops
