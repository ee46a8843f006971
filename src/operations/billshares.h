#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <cstdint>

namespace orv {
class Connection;
} // namespace orv

namespace orv::ops {

// One resident's part of a room's utility bill.
struct BillShare {
    QString staffNo;
    QString name;
    QDate from; // within the bill's period
    QDate to;
    std::int64_t days = 0;
    std::int64_t fen = 0; // in 分
};

struct BillShares {
    QString room;
    QString date;     // the settlement's date, as the fee list holds it
    QDate periodFrom; // the room's settlement before it, or its first recorded stay
    QDate periodTo;   // the settlement's date
    std::int64_t totalFen = 0;
    QList<BillShare> shares; // in the order the stays were recorded
    // Why there are no shares: the bill's period cannot be told or nobody is recorded living in
    // the room during it. Empty when there are shares.
    QString none;
};

// Divides the room's bill settled on `date` among those who lived in the room since the room's
// settlement before it, by the days each lived there (a stay counts from its check-in day up to
// its check-out day or the bill's date), in whole 分: each share is rounded down and the 分 left
// over go one each to the largest shares (ties to the earlier stay), so the shares add up to the
// bill exactly. A room's first bill runs from its first recorded stay. Reads only.
BillShares shareBill(Connection &connection, const QString &room, const QString &date);

// The division alone: `weights` (days) into `total` 分 as above; all zero when no weight is.
QList<std::int64_t> divideFen(std::int64_t total, const QList<std::int64_t> &weights);

} // namespace orv::ops
