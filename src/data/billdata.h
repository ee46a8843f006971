#pragma once

#include <QString>

#include <optional>

namespace orv {

class Connection;

// What a printed bill needs beyond the fee list's row, read without changing anything.
struct MeterReadings {
    QString date;
    qint64 water = 0;
    qint64 power = 0;
};

struct UtilityBillFacts {
    std::optional<MeterReadings> current;  // recorded at this settlement
    std::optional<MeterReadings> previous; // the room's settlement before it, where there is one
    std::optional<double> waterPrice;      // the fee standard now stored
    std::optional<double> powerPrice;
};

// The readings of the room's settlement on `date` and of its settlement before that, and the
// stored fee standard.
UtilityBillFacts readUtilityBillFacts(Connection &connection, const QString &room, const QString &date);

// The paid-up-to date now on record for a staff number; empty when there is none.
QString readPaidUpTo(Connection &connection, const QString &staffNo);

} // namespace orv
