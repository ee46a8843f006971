#include "rentperiod.h"

namespace orv {

RentPeriod rentPeriod(const DateParts &start, const DateParts &chosen)
{
    RentPeriod period;
    if (chosen.year == start.year) {
        if (chosen.month <= start.month)
            return period;
        period.months = chosen.month - start.month;
    } else if (chosen.year < start.year) {
        period.outcome = RentPeriod::Outcome::BeforeStart;
        return period;
    } else {
        period.months = std::int64_t{12} * (chosen.year - start.year) + chosen.month - start.month;
    }
    period.paidUpTo = {chosen.year, chosen.month, start.day};
    if (chosen.day < start.day) {
        --period.months;
        if (--period.paidUpTo.month == 0) {
            period.paidUpTo.month = 12;
            --period.paidUpTo.year;
        }
    }
    // Below zero only for a month text out of its range, which is no period to charge either.
    if (period.months > 0)
        period.outcome = RentPeriod::Outcome::Due;
    return period;
}

} // namespace orv
