#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace orv {

class Connection;

// What a printed bill needs beyond the fee list's row, read without changing anything.
struct MeterReadings {
    QString date; // empty for a room's base readings
    std::int64_t water = 0;
    std::int64_t power = 0;
};

struct UtilityBillFacts {
    std::optional<MeterReadings> current;  // recorded at this settlement
    std::optional<MeterReadings> previous; // what it was charged from, where that is known
    // The prices it was charged at where kept with it; otherwise the fee standard now stored.
    std::optional<float> waterPrice;
    std::optional<float> powerPrice;
    bool pricesKept = false;
    // The fees listfei holds for it.
    std::optional<float> waterFee;
    std::optional<float> powerFee;
};

// The facts of the room's settlement on `date`: what it kept of its readings and prices, or for a
// settlement made before they were kept, its feiinfo row and the room's row entered before that.
UtilityBillFacts readUtilityBillFacts(Connection &connection, const QString &room, const QString &date);

// What a utility settlement started from and charged at, kept beside the rows it wrote.
struct SettlementReadings {
    std::int64_t readingsRow = 0; // its feiinfo row
    std::int64_t billRow = 0;     // its listfei row
    QString room;
    QString date;
    std::int64_t previousWater = 0;
    std::int64_t previousPower = 0;
    std::int64_t currentWater = 0;
    std::int64_t currentPower = 0;
    float waterPrice = 0;
    float powerPrice = 0;
};

// Writes the record with the date of the room's settlement entered before readingsRow. Raises
// StoreError when it cannot, so that the settlement's unit is undone with it.
void keepSettlementReadings(Connection &connection, const SettlementReadings &readings);

// What a rent settlement covered, kept beside the fanglist row it wrote.
struct RentPeriodRecord {
    std::int64_t chargeRow = 0;
    QString staffNo;
    QString date; // the settlement date, as fanglist holds it
    QString paidFrom;
    QString paidTo;
    std::int64_t months = 0;
    std::int64_t amount = 0;
};

void keepRentPeriod(Connection &connection, const RentPeriodRecord &period);

// The period kept for the staff number's rent settlement on `date`; none for a settlement made
// before periods were kept (or on a file without the table).
std::optional<RentPeriodRecord> readRentPeriod(Connection &connection, const QString &staffNo, const QString &date);

// The row id of the row the connection inserted last.
std::int64_t lastInsertedRow(Connection &connection);

} // namespace orv
