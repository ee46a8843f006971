#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <cstdint>

namespace orv {
class Connection;
} // namespace orv

namespace orv::ops {

// One month of the charts: "2026-11".
struct MonthFigures {
    QString month;
    int living = 0;        // residents living here at the month's end (today for this month)
    double utility = 0;    // utility bills settled in the month, in yuan
    std::int64_t rent = 0; // rent settled in the month, in yuan
};

// Rooms whose numbers share the part before the first "-" (a building, where numbers follow the
// 楼-层-号 habit); numbers without a "-" form one group of their own.
struct BuildingFigures {
    QString building;
    int rooms = 0;
    int beds = 0;
    int taken = 0;
};

struct YearAtAGlance {
    int beds = 0;                     // every room's beds now
    int taken = 0;                    // residents living here now
    QList<MonthFigures> months;       // the last `monthCount` months, oldest first
    QList<BuildingFigures> buildings; // in the order their first room was added
};

// The figures behind the charts on `day`: occupancy now and at each month's end from the
// residence history, and the utility and rent charged per month, for the last `monthCount`
// months. Reads only.
YearAtAGlance yearAtAGlance(Connection &connection, const QDate &day, int monthCount = 24);

} // namespace orv::ops
