#pragma once

// Small operations in the shape of the office's check-in and meter reading, for driving batches
// in tests: each refuses on an empty field and on a row that is there already, else adds one row.
#include "data/connection.h"
#include "data/recordset.h"
#include "data/storeerror.h"
#include "data/texts.h"
#include "operations/batch.h"

namespace orv::test {

const QString kDuplicateStaffNo = QStringLiteral("你输入的工号已经存在，请不要重复输入！");
const QString kSameDayTwice = QStringLiteral("同一日期对同一房间已经操作超过一次，不允许这样操作！");
// A name that makes the stand-in check-in fail in the store, as a full disk would.
const QString kFailingName = QStringLiteral("磁盘满");

inline ops::Outcome standInCheckIn(Connection &connection, const ops::CheckInRow &row)
{
    if (row.name.isEmpty())
        return ops::Outcome::refused(QStringLiteral("请输入入住人的姓名！"));
    if (row.name == kFailingName)
        throw StoreError(0x80004005, QStringLiteral("磁盘已满。"));
    Recordset people(&connection);
    people.Open(QStringLiteral("select * from personinfo where 工号='%1'").arg(row.staffNo));
    if (!people.adoEOF())
        return ops::Outcome::refused(kDuplicateStaffNo);
    people.Close();
    connection.execute(
        QStringLiteral("insert into personinfo(姓名,性别,部门,工号,手机,日期,房间) "
                       "values('%1','%2','%3','%4','%5','%6','%7')")
            .arg(row.name, row.sex, row.department, row.staffNo, row.mobile, dateText(row.date), row.room));
    return ops::Outcome::doneWith({QStringLiteral("personinfo")});
}

inline ops::Outcome standInReading(Connection &connection, const ops::ReadingRow &row)
{
    if (row.room.isEmpty())
        return ops::Outcome::refused(QStringLiteral("请输入房间号码！"));
    Recordset readings(&connection);
    readings.Open(
        QStringLiteral("select * from feiinfo where 日期='%1'and 房间号='%2'").arg(dateText(row.date), row.room));
    if (!readings.adoEOF())
        return ops::Outcome::refused(kSameDayTwice);
    readings.Close();
    connection.execute(QStringLiteral("insert into feiinfo(房间号,日期,水表,电表) values('%1','%2',%3,%4)")
                           .arg(row.room, dateText(row.date))
                           .arg(row.water)
                           .arg(row.power));
    return ops::Outcome::doneWith({QStringLiteral("feiinfo")});
}

inline ops::BatchOperations standInOperations()
{
    return {standInCheckIn, standInReading};
}

} // namespace orv::test
