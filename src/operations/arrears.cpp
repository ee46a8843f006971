#include "arrears.h"

#include "data/columns.h"
#include "data/connection.h"
#include "data/rentperiod.h"
#include "data/storequery.h"
#include "data/texts.h"
#include "fees.h"

#include <algorithm>

namespace orv::ops {

ArrearsList arrears(Connection &connection, const QDate &day)
{
    using namespace db;
    ArrearsList list;
    if (const std::optional<StoredStandard> standard = storedStandard(connection))
        list.rent = standard->rent.asInt32();

    const QString failure = QStringLiteral("无法读取欠费名单");
    // The settlement's own look-up: the first fangset row of the staff number.
    StoreQuery residents(
        connection,
        QStringLiteral("SELECT %1, %2, %3, %4, %5, (SELECT %6 FROM %7 WHERE %10.%8 = %11.%2 ORDER BY rowid LIMIT 1) "
                       "FROM %9 ORDER BY rowid")
            .arg(personinfo::name, personinfo::staffNo, personinfo::room, personinfo::dept, personinfo::date,
                 fangset::date, connection.numbered(fangset::table), fangset::staffNo,
                 connection.numbered(personinfo::table))
            .arg(fangset::table, personinfo::table),
        failure, StoreQuery::Keep::Once);
    const DateParts today = readDateText(dateText(day));
    while (residents.next()) {
        Arrear arrear{
            residents.text(0), residents.text(1), residents.text(2), residents.text(3), residents.text(5), {}, 0, 0};
        arrear.rentsFrom = residents.isNull(5) ? residents.text(4) : arrear.paidUpTo;
        const RentPeriod period = rentPeriod(readDateText(arrear.rentsFrom), today);
        if (period.outcome != RentPeriod::Outcome::Due || period.months < 1)
            continue;
        arrear.months = period.months;
        arrear.amount = list.rent ? std::int64_t{*list.rent} * period.months : 0;
        list.residents.append(arrear);
    }
    std::stable_sort(list.residents.begin(), list.residents.end(),
                     [](const Arrear &a, const Arrear &b) { return a.months > b.months; });
    return list;
}

} // namespace orv::ops
