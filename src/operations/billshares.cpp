#include "billshares.h"

#include "data/billdata.h"
#include "data/columns.h"
#include "data/connection.h"
#include "data/residence.h"
#include "data/storequery.h"
#include "data/texts.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace orv::ops {

namespace {

QDate dateOf(const QString &text)
{
    const DateParts parts = readDateText(text);
    return QDate(parts.year, parts.month, parts.day);
}

} // namespace

QList<std::int64_t> divideFen(std::int64_t total, const QList<std::int64_t> &weights)
{
    QList<std::int64_t> parts(weights.size(), 0);
    const std::int64_t sum = std::accumulate(weights.begin(), weights.end(), std::int64_t{0});
    if (sum <= 0)
        return parts;
    // A negative bill (a meter put back) is divided as its size and given its sign back.
    const std::int64_t size = total < 0 ? -total : total;
    std::int64_t given = 0;
    for (int i = 0; i < weights.size(); ++i) {
        // size * weight / sum rounded down, taken apart so that no product can overflow.
        parts[i] = size / sum * weights[i] + size % sum * weights[i] / sum;
        given += parts[i];
    }
    QList<int> largest(weights.size());
    std::iota(largest.begin(), largest.end(), 0);
    std::stable_sort(largest.begin(), largest.end(), [&](int a, int b) { return weights[a] > weights[b]; });
    for (int i = 0; given < size; i = (i + 1) % static_cast<int>(largest.size())) {
        if (weights[largest[i]] > 0) {
            ++parts[largest[i]];
            ++given;
        }
    }
    if (total < 0) {
        for (std::int64_t &part : parts)
            part = -part;
    }
    return parts;
}

BillShares shareBill(Connection &connection, const QString &room, const QString &date)
{
    using namespace db;
    BillShares bill;
    bill.room = room;
    bill.date = date;
    bill.periodTo = dateOf(date);

    const QString failure = QStringLiteral("无法读取账单");
    StoreQuery total(connection,
                     QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1 AND %4 = ?2 ORDER BY rowid DESC LIMIT 1")
                         .arg(listfei::total, connection.numbered(listfei::table), listfei::roomNo, listfei::date),
                     failure, StoreQuery::Keep::Once);
    total.bind(1, room).bind(2, date);
    if (!total.next() || total.isNull(0)) {
        bill.none = QStringLiteral("费用列表中没有房间“%1”在 %2 结算的账单。").arg(room, date);
        return bill;
    }
    const double yuan = total.real(0);
    // Far beyond any bill: a value no division could give back in whole 分.
    if (!std::isfinite(yuan) || std::abs(yuan) > 1e11) {
        bill.none = QStringLiteral("这张账单的金额无法分摊。");
        return bill;
    }
    bill.totalFen = std::llround(yuan * 100.0);

    const QList<orv::residence::Stay> stays = orv::residence::ofRoom(connection, room);
    const UtilityBillFacts facts = readUtilityBillFacts(connection, room, date);
    if (facts.previous && !facts.previous->date.isEmpty()) {
        bill.periodFrom = dateOf(facts.previous->date);
    } else {
        for (const orv::residence::Stay &stay : stays) {
            const QDate in = dateOf(stay.checkedIn);
            if (in.isValid() && (!bill.periodFrom.isValid() || in < bill.periodFrom))
                bill.periodFrom = in;
        }
    }
    if (!bill.periodFrom.isValid() || !bill.periodTo.isValid() || bill.periodFrom >= bill.periodTo) {
        bill.none =
            QStringLiteral("无法确定这张账单的期间：房间“%1”在 %2 之前没有可用的结算或住宿记录。").arg(room, date);
        return bill;
    }

    QList<std::int64_t> days;
    for (const orv::residence::Stay &stay : stays) {
        const QDate in = dateOf(stay.checkedIn);
        const QDate out = stay.checkedOut.isEmpty() ? bill.periodTo : dateOf(stay.checkedOut);
        if (!in.isValid() || !out.isValid())
            continue;
        const QDate from = std::max(in, bill.periodFrom);
        const QDate to = std::min(out, bill.periodTo);
        if (from >= to)
            continue;
        bill.shares.append({stay.staffNo, stay.name, from, to, from.daysTo(to), 0});
        days.append(from.daysTo(to));
    }
    if (bill.shares.isEmpty()) {
        bill.none = QStringLiteral("%1 至 %2 之间没有记录到住在房间“%3”的人员。")
                        .arg(dateText(bill.periodFrom), dateText(bill.periodTo), room);
        return bill;
    }
    const QList<std::int64_t> fen = divideFen(bill.totalFen, days);
    for (int i = 0; i < bill.shares.size(); ++i)
        bill.shares[i].fen = fen[i];
    return bill;
}

} // namespace orv::ops
