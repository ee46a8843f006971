#include "history.h"

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

QStringList stayCells(const residence::Stay &stay)
{
    return {stay.staffNo,    stay.name,        stay.department,   stay.room,  stay.checkedIn,
            stay.checkedOut, stay.checkedInBy, stay.checkedOutBy, stay.origin};
}

} // namespace orv::ops
