#pragma once

#include "texts.h"

#include <cstdint>

namespace orv {

// What a rent settlement on a chosen date comes to, counted from the start date (the check-in
// date, or the paid-up-to date of the last settlement).
struct RentPeriod {
    enum class Outcome {
        Due,         // months whole months are charged
        NotYetDue,   // not a whole month yet, or the chosen date lies before the start in its year
        BeforeStart, // the chosen date lies in a year before the start
    };
    Outcome outcome = Outcome::NotYetDue;
    // Counted in 64 bits: dates typed into the table by hand must not wrap the count.
    std::int64_t months = 0;
    // The new paid-up-to date: the start's day in the last month paid for, kept even where that
    // month has no such day (the 31st stays the 31st).
    DateParts paidUpTo;
};

// Whole months between start and chosen: years and months apart, one less when the chosen day
// comes before the start's day.
RentPeriod rentPeriod(const DateParts &start, const DateParts &chosen);

} // namespace orv
