#include "fees.h"

#include "data/billdata.h"
#include "data/columns.h"
#include "data/connection.h"
#include "data/listpages.h"
#include "data/recordset.h"
#include "data/rentperiod.h"
#include "data/statements.h"
#include "data/texts.h"

#include <limits>

namespace orv::ops {
namespace {

namespace rooms = db::floorinfo;
namespace people = db::personinfo;
namespace standard = db::feiyong;
namespace meters = db::feiinfo;
namespace bills = db::listfei;
namespace rentDue = db::fangset;
namespace rentCharges = db::fanglist;

const QString kNoStandard = QStringLiteral("还没有设置费用标准，请先设置费用标准！");
const QString kWaterPriceRange = QStringLiteral("请输入一个大于0小于100的数！");
const QString kPowerPriceRange = QStringLiteral("请正确输入标准！");
const QString kRentPriceRange = QStringLiteral("请输入一个大于0小于10000的数！");
const QString kNoRoom = QStringLiteral("请输入房间号码！");
const QString kReadingRange = QStringLiteral("请输入一个大于0小于999999的数！");
const QString kUnknownRoom = QStringLiteral("您输入的房间号码还没有被初始化，请查询后输入！");
const QString kBelowPrevious = QStringLiteral("现在的表数小于上次的表数，请核查后在结算！");
const QString kSettledThatDay = QStringLiteral("同一日期对同一房间已经操作超过一次，不允许这样操作！");
const QString kNotCheckedIn = QStringLiteral("您输入的工号还没有入住，无法计算房租！");
const QString kNotYetDue =
    QStringLiteral("您输入的日期小于入住或上次结算时的日期或还没满一个月现在还不能够结算，请重新输入结算日期！");
const QString kBeforeStart = QStringLiteral("您输入的日期小于入住或上次结算时的日期，请重新输入结算日期！");
const QString kChargeTooLarge = QStringLiteral("本次应收的房租超出了能够记录的范围，无法结算！");
const QString kTotalTooLarge = QStringLiteral("房租合计超出了能够记录的范围，无法结算！");

constexpr int kSettledReadingMax = 999999;

bool fitsInt32(std::int64_t value)
{
    return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
}

bool isEmpty(const Recordset &set)
{
    return set.BOF() && set.adoEOF();
}

bool settledReadingInRange(int reading)
{
    return reading > 0 && reading <= kSettledReadingMax;
}

void addStandardRow(Recordset &set, const StandardForm &form)
{
    set.AddNew();
    set.PutCollect(standard::water, FieldValue(form.water));
    set.PutCollect(standard::power, FieldValue(form.power));
    set.PutCollect(standard::rent, FieldValue::int32(form.rent));
    set.Update();
}

// Adds the readings row and moves the room's base readings up to it; returns the readings row.
std::int64_t recordReadings(Connection &connection, Recordset &readings, Recordset &room, const ReadingForm &form,
                            const QString &date)
{
    readings.AddNew();
    readings.PutCollect(meters::room, form.room);
    readings.PutCollect(meters::date, date);
    readings.PutCollect(meters::water, FieldValue::int32(form.water));
    readings.PutCollect(meters::power, FieldValue::int32(form.power));
    readings.Update();
    const std::int64_t row = lastInsertedRow(connection);

    room.PutCollect(rooms::waterBase, FieldValue::int32(form.water));
    room.PutCollect(rooms::powerBase, FieldValue::int32(form.power));
    room.Update();
    room.closeIfOpen();
    readings.closeIfOpen();
    return row;
}

// Returns the bill row.
std::int64_t addBill(Connection &connection, const UtilityBill &bill)
{
    Recordset bills(&connection);
    bills.Open(sql::feeListAll);
    bills.AddNew();
    bills.PutCollect(bills::roomNo, bill.room);
    bills.PutCollect(bills::date, bill.date);
    bills.PutCollect(bills::water, FieldValue(bill.water));
    bills.PutCollect(bills::power, FieldValue(bill.power));
    bills.PutCollect(bills::total, FieldValue(bill.total));
    bills.Update();
    return lastInsertedRow(connection);
}

// Returns the charge row.
std::int64_t addRentCharge(Connection &connection, const RentForm &form, const QString &date, std::int32_t rent)
{
    Recordset charges(&connection);
    charges.Open(sql::rentListAll);
    charges.AddNew();
    charges.PutCollect(rentCharges::staffNo, form.staffNo);
    charges.PutCollect(rentCharges::date, date);
    charges.PutCollect(rentCharges::rent, FieldValue::int32(rent));
    charges.Update();
    return lastInsertedRow(connection);
}

} // namespace

std::optional<StoredStandard> storedStandard(Connection &connection)
{
    Recordset set(&connection);
    set.Open(sql::feeStandard);
    if (isEmpty(set))
        return std::nullopt;
    return StoredStandard{set.GetCollect(standard::water), set.GetCollect(standard::power),
                          set.GetCollect(standard::rent)};
}

Outcome checkStandard(const StandardForm &form)
{
    if (!(form.water > 0 && form.water <= 100))
        return Outcome::refused(kWaterPriceRange);
    if (!(form.power > 0 && form.power <= 100))
        return Outcome::refused(kPowerPriceRange);
    if (form.rent < 1 || form.rent > 10000)
        return Outcome::refused(kRentPriceRange);
    return Outcome::doneWith({});
}

QStringList standardQuestions(const std::optional<StoredStandard> &stored, const StandardForm &form)
{
    if (!stored) {
        return {QStringLiteral("目前还没有设置费用标准，你要继续设置吗？"),
                QString::asprintf("你设置的水费为：%4.2f元/吨  电费为：%4.2f元/度  房租费为：%ld元/人吗？",
                                  static_cast<double>(form.water), static_cast<double>(form.power),
                                  static_cast<long>(form.rent))};
    }
    return {QString::asprintf("目前的水费为：%4.2f元/吨   目前的电费为：%4.2f元/度   目前的房租费为：%ld元/人\n\n\n"
                              "你确定要修改为现在的水费为：%4.2f元/吨  电费为：%4.2f元/度  房租费为：%ld元/人吗？",
                              static_cast<double>(stored->water.asSingle()),
                              static_cast<double>(stored->power.asSingle()), static_cast<long>(stored->rent.asInt32()),
                              static_cast<double>(form.water), static_cast<double>(form.power),
                              static_cast<long>(form.rent))};
}

Outcome setStandard(Connection &connection, const StandardForm &form)
{
    if (Outcome checked = checkStandard(form); !checked.done)
        return checked;
    Recordset set(&connection);
    set.Open(sql::feeStandard);
    const QString water = FieldValue(form.water).toDisplayText();
    const QString power = FieldValue(form.power).toDisplayText();
    const QString rent = QString::number(form.rent);
    QString detail = QStringLiteral("水费 %1，电费 %2，房租 %3").arg(water, power, rent);
    if (!isEmpty(set)) {
        // A change replaces the row, so the table keeps exactly one.
        set.rewind();
        const QString arrow = QStringLiteral("%1 → %2");
        detail = QStringLiteral("水费 %1，电费 %2，房租 %3")
                     .arg(arrow.arg(set.GetCollect(standard::water).toDisplayText(), water),
                          arrow.arg(set.GetCollect(standard::power).toDisplayText(), power),
                          arrow.arg(set.GetCollect(standard::rent).toDisplayText(), rent));
        set.Delete(adAffectCurrent);
        set.Update();
    }
    addStandardRow(set, form);
    return Outcome::doneWith({standard::table}).logged(Action::SetFeeStandard, QStringLiteral("费用标准"), detail);
}

Outcome settleUtility(Connection &connection, const ReadingForm &form)
{
    return settleUtility(connection, form, [](const UtilityBill &) {});
}

Outcome settleUtility(Connection &connection, const ReadingForm &form,
                      const std::function<void(const UtilityBill &)> &billed)
{
    if (form.room.isEmpty())
        return Outcome::refused(kNoRoom);
    if (!settledReadingInRange(form.water) || !settledReadingInRange(form.power))
        return Outcome::refused(kReadingRange);

    const QString date = dateText(form.date);
    Recordset readings(&connection);
    readings.Open(sql::withValues(sql::feeInfoByDateRoom, date, form.room));
    Recordset room(&connection);
    room.Open(sql::withValue(sql::floorByRoom, form.room));
    if (isEmpty(room))
        return Outcome::refused(kUnknownRoom);
    const std::int32_t previousWater = room.GetCollect(rooms::waterBase).asInt32();
    const std::int32_t previousPower = room.GetCollect(rooms::powerBase).asInt32();
    if (form.water < previousWater || form.power < previousPower)
        return Outcome::refused(kBelowPrevious);
    if (!isEmpty(readings))
        return Outcome::refused(kSettledThatDay);
    // Without a standard the readings must not be recorded either: the base readings would move
    // on and that consumption would never be billed.
    const std::optional<StoredStandard> prices = storedStandard(connection);
    if (!prices)
        return Outcome::refused(kNoStandard);

    SettlementReadings kept{0, 0, form.room, date, previousWater, previousPower, form.water, form.power};
    kept.readingsRow = recordReadings(connection, readings, room, form, date);
    kept.waterPrice = prices->water.asSingle();
    kept.powerPrice = prices->power.asSingle();
    // Widened so that a stored base reading far below zero cannot wrap the difference; the total
    // is rounded from the exact sum, not from the two rounded fees.
    const double waterProduct =
        static_cast<double>(std::int64_t{form.water} - previousWater) * static_cast<double>(kept.waterPrice);
    const double powerProduct =
        static_cast<double>(std::int64_t{form.power} - previousPower) * static_cast<double>(kept.powerPrice);
    const UtilityBill bill{form.room, date, static_cast<float>(waterProduct), static_cast<float>(powerProduct),
                           static_cast<float>(waterProduct + powerProduct)};
    kept.billRow = addBill(connection, bill);
    // In the settlement's unit: its bill can be printed as settled for as long as its rows stay.
    keepSettlementReadings(connection, kept);
    billed(bill);
    return Outcome::doneWith({meters::table, rooms::table, bills::table, db::settlementreadings::table})
        .logged(Action::SettleUtilities, form.room,
                QStringLiteral("%1，水表 %2 → %3，电表 %4 → %5，合计 %6 元")
                    .arg(date)
                    .arg(previousWater)
                    .arg(form.water)
                    .arg(previousPower)
                    .arg(form.power)
                    .arg(FieldValue(bill.total).toDisplayText()));
}

Outcome settleRent(Connection &connection, const RentForm &form)
{
    return settleRent(connection, form, [](const RentCharge &) {});
}

Outcome settleRent(Connection &connection, const RentForm &form, const std::function<void(const RentCharge &)> &charged)
{
    const QString date = dateText(form.date);
    Recordset resident(&connection);
    resident.Open(sql::withValue(sql::personByStaffNo, form.staffNo));
    if (isEmpty(resident))
        return Outcome::refused(kNotCheckedIn);

    Recordset due(&connection);
    due.Open(sql::withValue(sql::rentDueByStaffNo, form.staffNo));
    const bool firstSettlement = isEmpty(due);
    QString startText;
    std::int32_t previousTotal = 0;
    if (firstSettlement) {
        // Never charged before: the rent runs from the check-in.
        startText = resident.GetCollect(people::date).toText();
    } else {
        startText = due.GetCollect(rentDue::date).toText();
        previousTotal = due.GetCollect(rentDue::total).asInt32();
    }
    const RentPeriod period = rentPeriod(readDateText(startText), readDateText(date));
    if (period.outcome == RentPeriod::Outcome::BeforeStart)
        return Outcome::refused(kBeforeStart);
    if (period.outcome == RentPeriod::Outcome::NotYetDue)
        return Outcome::refused(kNotYetDue);

    const std::optional<StoredStandard> prices = storedStandard(connection);
    if (!prices)
        return Outcome::refused(kNoStandard);
    const std::int64_t charge = std::int64_t{prices->rent.asInt32()} * period.months;
    if (!fitsInt32(charge))
        return Outcome::refused(kChargeTooLarge);
    const std::int64_t total = previousTotal + charge;
    if (!fitsInt32(total))
        return Outcome::refused(kTotalTooLarge);
    const auto rent = static_cast<std::int32_t>(charge);

    const QString paidUpTo = paidUpToText(period.paidUpTo.year, period.paidUpTo.month, period.paidUpTo.day);
    if (firstSettlement) {
        due.AddNew();
        due.PutCollect(rentDue::staffNo, form.staffNo);
    }
    due.PutCollect(rentDue::date, paidUpTo);
    due.PutCollect(rentDue::total, FieldValue::int32(static_cast<std::int32_t>(total)));
    due.Update();
    due.closeIfOpen();
    const std::int64_t chargeRow = addRentCharge(connection, form, date, rent);
    // In the settlement's unit, so that every receipt can state the period its own row paid for.
    keepRentPeriod(connection, {chargeRow, form.staffNo, date, startText, paidUpTo, period.months, rent});

    charged(RentCharge{resident.GetCollect(people::name), form.staffNo, resident.GetCollect(people::room), rent, date,
                       paidUpTo});
    return Outcome::doneWith({rentDue::table, rentCharges::table, db::rentperiods::table})
        .logged(Action::SettleRent, form.staffNo, QStringLiteral("%1 元，交至 %2").arg(rent).arg(paidUpTo));
}

void listFees(Connection &connection, const RecordSink &each)
{
    Recordset set(&connection);
    set.Open(sql::feeListAll);
    set.rewind();
    while (!set.adoEOF()) {
        each(set);
        set.MoveNext();
    }
}

void listRent(Connection &connection, const std::function<void()> &found, const RecordSink &each)
{
    Recordset set(&connection);
    set.Open(sql::rentListJoin);
    set.rewind();
    found();
    while (!set.adoEOF()) {
        each(set);
        set.MoveNext();
    }
}

std::unique_ptr<store::ListPages> feePages(Connection &connection)
{
    return store::ListPages::open(connection, sql::feeList(), store::ListPages::kBlockRows,
                                  store::ListPages::Counting::Beside);
}

std::unique_ptr<store::ListPages> rentPages(Connection &connection)
{
    return store::ListPages::open(connection, sql::rentList(), store::ListPages::kBlockRows,
                                  store::ListPages::Counting::Beside);
}

} // namespace orv::ops
