#pragma once

#include <QString>

// Every statement the program runs. A "%1" is filled with a value already quoted by sqlQuote().
namespace orv::sql {

inline const QString floorAll = QStringLiteral("select * from floorinfo");
inline const QString floorByRoom = QStringLiteral("select * from floorinfo where 房间号码='%1'");
// The room query: %1 is a column name taken from the page's own list, %2 the quoted value.
inline const QString floorByField = QStringLiteral("select * from floorinfo where %1='%2'");

inline const QString personAll = QStringLiteral("select * from personinfo");
inline const QString personByName = QStringLiteral("select * from personinfo where 姓名='%1'");
inline const QString personBySex = QStringLiteral("select * from personinfo where 性别='%1'");
inline const QString personByRoom = QStringLiteral("select * from personinfo where 房间='%1'");
inline const QString personByStaffNo = QStringLiteral("select * from personinfo where 工号='%1'");

inline const QString numAll = QStringLiteral("select *from numinfo");

inline const QString feeStandard = QStringLiteral("select * from feiyong");
// %1 the date text, %2 the room.
inline const QString feeInfoByDateRoom = QStringLiteral("select * from feiinfo where 日期='%1'and 房间号='%2'");
inline const QString feeListAll = QStringLiteral("select * from listfei");
inline const QString rentDueByStaffNo = QStringLiteral("select * from fangset where 工号='%1'");
inline const QString rentListAll = QStringLiteral("select * from fanglist");
inline const QString rentListJoin = QStringLiteral(
    "select personinfo.姓名,fanglist.工号,personinfo.房间,fanglist.房租,fanglist.日期,  fangset.日期 As 房租到期 "
    "from fanglist,personinfo,fangset  where fanglist.工号=personinfo.工号 and fanglist.工号=fangset.工号");

// Fills a statement's placeholders, quoting each value.
QString withValue(const QString &statement, const QString &value);
QString withValues(const QString &statement, const QString &first, const QString &second);
// The room query; the column name must come from the page's own list, never from typed text.
QString floorByFieldQuery(const QString &column, const QString &value);

} // namespace orv::sql
