#pragma once

#include "data/fieldvalue.h"

#include <QString>

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

namespace orv {
class Recordset;
}

// Dormitories written through the program's own record store, and the timing the benchmarks share.
namespace orv::bench {

// Rooms "6-0-00", "6-0-01", ... and staff numbers 2004000000, 2004000001, ...
QString roomName(int i);
QString staffName(int i);

// Adds one record with the given columns.
void put(Recordset &set, std::initializer_list<std::pair<const char16_t *, FieldValue>> values);

// Ten years of a 20,000-bed dormitory, as an office keeps them: 3,400 rooms of six beds,
// 20,000 residents, a utility bill per room and a rent settlement per resident every month for
// 120 months (408,000 bills, 2,400,000 settlements), added month by month. Makes the database at
// `file`, keyed with the program's password.
inline constexpr int kTenYearRooms = 3400;
inline constexpr int kTenYearResidents = 20000;
inline constexpr int kTenYearMonths = 120;
void buildTenYears(const QString &file);

// Wall-clock milliseconds the work takes, or with `cpu` the thread's own processor time, which
// other work on a busy machine does not stretch.
double millis(const std::function<void()> &work, bool cpu = false);
double median(std::vector<double> values);

// A line of /proc/self/status in kB ("VmRSS:", "VmHWM:"), or -1.
long residentKb(const char *field);

} // namespace orv::bench
