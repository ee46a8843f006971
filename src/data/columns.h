#pragma once

#include <QString>

// The names of the program's tables and their columns, as the database file holds them. Every
// statement, the schema and the pages take them from here.
namespace orv::db {

// One row per room.
namespace floorinfo {
inline const QString table = QStringLiteral("floorinfo");
inline const QString roomNo = QStringLiteral("房间号码");
inline const QString sex = QStringLiteral("入住性别");
inline const QString phone = QStringLiteral("电话号码");
inline const QString phonePort = QStringLiteral("电话端口");
inline const QString netPort = QStringLiteral("网线端口");
inline const QString capacity = QStringLiteral("可住人数");
inline const QString waterBase = QStringLiteral("水表底数");
inline const QString powerBase = QStringLiteral("电表底数");
inline const QString occupants = QStringLiteral("入住人数");
inline const QString vacant = QStringLiteral("空缺人数");
} // namespace floorinfo

// One row per resident.
namespace personinfo {
inline const QString table = QStringLiteral("personinfo");
inline const QString name = QStringLiteral("姓名");
inline const QString sex = QStringLiteral("性别");
inline const QString dept = QStringLiteral("部门");
inline const QString staffNo = QStringLiteral("工号");
inline const QString mobile = QStringLiteral("手机");
inline const QString date = QStringLiteral("日期");
inline const QString room = QStringLiteral("房间");
} // namespace personinfo

// The residents counted per room, one row for each room with residents.
namespace numinfo {
inline const QString table = QStringLiteral("numinfo");
inline const QString roomNo = QStringLiteral("房间号码");
inline const QString occupants = QStringLiteral("入住人数");
} // namespace numinfo

// The fee standard: one row of prices.
namespace feiyong {
inline const QString table = QStringLiteral("feiyong");
inline const QString water = QStringLiteral("水费");
inline const QString power = QStringLiteral("电费");
inline const QString rent = QStringLiteral("房租");
} // namespace feiyong

// The meter readings of each utility settlement.
namespace feiinfo {
inline const QString table = QStringLiteral("feiinfo");
inline const QString room = QStringLiteral("房间号");
inline const QString date = QStringLiteral("日期");
inline const QString water = QStringLiteral("水表");
inline const QString power = QStringLiteral("电表");
} // namespace feiinfo

// The charges of each utility settlement.
namespace listfei {
inline const QString table = QStringLiteral("listfei");
inline const QString roomNo = QStringLiteral("房间号码");
inline const QString date = QStringLiteral("日期");
inline const QString water = QStringLiteral("水费");
inline const QString power = QStringLiteral("电费");
inline const QString total = QStringLiteral("总费用");
} // namespace listfei

// Each resident's rent paid up to, and the rent charged in all.
namespace fangset {
inline const QString table = QStringLiteral("fangset");
inline const QString staffNo = QStringLiteral("工号");
inline const QString date = QStringLiteral("日期");
inline const QString total = QStringLiteral("房租合计");
// The name the rent list's query gives fangset's date.
inline const QString paidUpTo = QStringLiteral("房租到期");
} // namespace fangset

// The charge of each rent settlement.
namespace fanglist {
inline const QString table = QStringLiteral("fanglist");
inline const QString staffNo = QStringLiteral("工号");
inline const QString date = QStringLiteral("日期");
inline const QString rent = QStringLiteral("房租");
} // namespace fanglist

// Tables of our own beside the eight, which earlier files lack; the pages' own reads and writes
// of the eight never depend on them.

// What each utility settlement started from and charged at, so that its bill can be printed
// again as it was settled.
namespace settlementreadings {
inline const QString table = QStringLiteral("settlement_readings");
inline const QString readingsRow = QStringLiteral("feiinfo_row"); // the feiinfo row it wrote
inline const QString billRow = QStringLiteral("listfei_row");     // the listfei row it wrote
inline const QString room = QStringLiteral("room");
inline const QString date = QStringLiteral("date");
// The date of the room's settlement entered before it; null for the room's first.
inline const QString previousDate = QStringLiteral("previous_date");
inline const QString previousWater = QStringLiteral("previous_water");
inline const QString previousPower = QStringLiteral("previous_power");
inline const QString currentWater = QStringLiteral("current_water");
inline const QString currentPower = QStringLiteral("current_power");
inline const QString waterPrice = QStringLiteral("water_price");
inline const QString powerPrice = QStringLiteral("power_price");
} // namespace settlementreadings

// What each rent settlement covered.
namespace rentperiods {
inline const QString table = QStringLiteral("rent_periods");
inline const QString chargeRow = QStringLiteral("fanglist_row"); // the fanglist row it wrote
inline const QString staffNo = QStringLiteral("staff_no");
inline const QString date = QStringLiteral("date");
inline const QString paidFrom = QStringLiteral("paid_from");
inline const QString paidTo = QStringLiteral("paid_to");
inline const QString months = QStringLiteral("months");
inline const QString amount = QStringLiteral("amount");
} // namespace rentperiods

// Who lived in which room and when: a row per stay, written by check-in and closed by check-out.
namespace residence {
inline const QString table = QStringLiteral("residence_history");
inline const QString staffNo = QStringLiteral("staff_no");
inline const QString name = QStringLiteral("name");
inline const QString dept = QStringLiteral("department");
inline const QString room = QStringLiteral("room");
inline const QString checkedIn = QStringLiteral("checked_in");   // yyyy-MM-dd
inline const QString checkedOut = QStringLiteral("checked_out"); // yyyy-MM-dd; null while living there
inline const QString checkedInBy = QStringLiteral("checked_in_by");
inline const QString checkedOutBy = QStringLiteral("checked_out_by");
// Empty for a stay the program saw begin; otherwise how the row came to be (see residence.h).
inline const QString origin = QStringLiteral("origin");
} // namespace residence

} // namespace orv::db
