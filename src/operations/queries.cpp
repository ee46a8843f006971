#include "queries.h"

#include "data/listpages.h"
#include "data/recordset.h"
#include "data/statements.h"

#include <optional>

namespace orv::ops {

namespace {

// Runs the statement and hands its rows over; returns whether it found any.
bool walk(Connection &connection, const QString &statement, const Listing &listing)
{
    Recordset set(&connection);
    set.openIfClosed(statement);
    listing.restart();
    set.rewind();
    bool found = false;
    while (!set.adoEOF()) {
        found = true;
        listing.record(set);
        set.MoveNext();
    }
    set.closeIfOpen();
    return found;
}

// The same, handing the rows opened for reading on demand where the caller takes them so.
bool list(Connection &connection, const sql::ListQuery &query, const Listing &listing)
{
    if (!listing.pages)
        return walk(connection, query.text(), listing);
    // A long list is counted beside the window, which shows its first rows meanwhile.
    auto pages =
        store::ListPages::open(connection, query, store::ListPages::kBlockRows, store::ListPages::Counting::Beside);
    const bool found = pages->count() > 0;
    listing.restart();
    listing.pages(std::move(pages));
    return found;
}

Outcome listed(bool found, const QString &noneFound)
{
    return found ? Outcome::doneWith({}) : Outcome::refused(noneFound);
}

} // namespace

Outcome listAllPersons(Connection &connection, const Listing &listing)
{
    return listed(list(connection, sql::personList(), listing), QStringLiteral("还没有人入住，数据库为空！"));
}

Outcome queryPersons(Connection &connection, const PersonCriteria &criteria, const Listing &listing)
{
    // Several criteria may be filled one after another; the last one filled decides.
    std::optional<sql::ListQuery> query;
    if (!criteria.name.isEmpty())
        query = sql::personListWhere(db::personinfo::name, criteria.name);
    if (!criteria.sex.isEmpty())
        query = sql::personListWhere(db::personinfo::sex, criteria.sex);
    if (!criteria.room.isEmpty())
        query = sql::personListWhere(db::personinfo::room, criteria.room);
    if (!query)
        return Outcome::refused(QStringLiteral("请输入查询条件！"));
    return listed(list(connection, *query, listing), QStringLiteral("没有满足你要查询的记录！"));
}

Outcome queryRooms(Connection &connection, const RoomCriteria &criteria, const Listing &listing)
{
    if (criteria.field.isEmpty())
        return Outcome::refused(QStringLiteral("请您选择完查询方式后再操作！"));
    if (criteria.value.isEmpty())
        return Outcome::refused(QStringLiteral("请您输入查询条件！"));
    // The column name is always one of the field list's own entries; only the value is typed.
    return listed(walk(connection, sql::floorByFieldQuery(criteria.field, criteria.value), listing),
                  QStringLiteral("数据库中没有你要查询的记录！"));
}

} // namespace orv::ops
