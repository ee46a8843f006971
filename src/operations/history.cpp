#include "history.h"

#include "data/columns.h"
#include "data/listpages.h"

namespace orv::ops {

QList<residence::Stay> findStays(Connection &connection, const StayCriteria &criteria)
{
    const QString staffNo = criteria.staffNo.trimmed();
    const QString name = criteria.name.trimmed();
    const QString room = criteria.room.trimmed();
    if (!staffNo.isEmpty())
        return residence::ofStaffNo(connection, staffNo);
    if (!name.isEmpty())
        return residence::ofName(connection, name);
    if (!room.isEmpty())
        return residence::ofRoom(connection, room);
    return {};
}

QList<residence::Stay> livingOn(Connection &connection, const QString &room, const QDate &date)
{
    return residence::onDate(connection, room.trimmed(), date);
}

namespace {

std::unique_ptr<store::ListPages> opened(Connection &connection, sql::ListQuery query)
{
    return store::ListPages::open(connection, std::move(query), store::ListPages::kBlockRows,
                                  store::ListPages::Counting::Beside);
}

} // namespace

std::unique_ptr<store::ListPages> stayPages(Connection &connection, const StayCriteria &criteria)
{
    namespace rh = db::residence;
    const QString staffNo = criteria.staffNo.trimmed();
    const QString name = criteria.name.trimmed();
    const QString room = criteria.room.trimmed();
    if (!staffNo.isEmpty())
        return opened(connection, residence::staysWhere(rh::staffNo, staffNo));
    if (!name.isEmpty())
        return opened(connection, residence::staysWhere(rh::name, name));
    if (!room.isEmpty())
        return opened(connection, residence::staysWhere(rh::room, room));
    return nullptr;
}

std::unique_ptr<store::ListPages> livingOnPages(Connection &connection, const QString &room, const QDate &date)
{
    return opened(connection, residence::livingOnDate(room.trimmed(), date));
}

QStringList stayColumns()
{
    namespace rh = db::residence;
    return {rh::staffNo,    rh::name,        rh::dept,         rh::room,  rh::checkedIn,
            rh::checkedOut, rh::checkedInBy, rh::checkedOutBy, rh::origin};
}

QStringList stayCells(const residence::Stay &stay)
{
    return {stay.staffNo,    stay.name,        stay.department,   stay.room,  stay.checkedIn,
            stay.checkedOut, stay.checkedInBy, stay.checkedOutBy, stay.origin};
}

} // namespace orv::ops
