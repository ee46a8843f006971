#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace orv {

// A single-precision value as the shortest decimal that reads back to the same single:
// digits × 10^exponent ("0.4883" is 4883 × 10^-4).
struct ShortestDecimal {
    std::int64_t digits = 0;
    int exponent = 0;
};

// None for a value that is not a finite number.
std::optional<ShortestDecimal> shortestDecimal(float value);

// A stored price for a printed document: its shortest decimal, with at least two decimals
// ("2.50", "0.4883"); "NaN" or "Inf" as the store writes them.
QString priceText(float price);

// The amount, in 分, of a quantity at a stored price: the shortest decimal of the price times the
// quantity, exactly, rounded half away from zero. None when the price is not a finite number or the
// amount lies beyond 64 bits.
std::optional<std::int64_t> centsOf(std::int64_t quantity, float price);

// An amount in 分 as "12.34 元".
QString yuanText(std::int64_t cents);

} // namespace orv
