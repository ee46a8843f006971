#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace orv {
class Connection;
} // namespace orv

namespace orv::ops {

// A resident who owes whole months of rent on a day.
struct Arrear {
    QString name;
    QString staffNo;
    QString room;
    QString department;
    QString paidUpTo;  // as the last settlement left it; empty when never settled
    QString rentsFrom; // what the months are counted from: paidUpTo, or the check-in date
    std::int64_t months = 0;
    std::int64_t amount = 0; // at the standard's rent now; 0 without a standard
};

struct ArrearsList {
    QList<Arrear> residents;          // most months due first; the order they checked in among equals
    std::optional<std::int32_t> rent; // the standard's monthly rent the amounts use; none without one
};

// Everyone living here who owes at least one whole month on `day` by the month rule a rent
// settlement on that day would apply, counted from the date paid up to, or from the check-in when
// never settled. A resident whose dates cannot be read, or who would not be charged yet, is left
// out. Reads only.
ArrearsList arrears(Connection &connection, const QDate &day);

} // namespace orv::ops
