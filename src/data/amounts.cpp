#include "amounts.h"

#include "fieldvalue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

namespace orv {

namespace {

constexpr std::int64_t kPowersOfTen[] = {1,
                                         10,
                                         100,
                                         1000,
                                         10000,
                                         100000,
                                         1000000,
                                         10000000,
                                         100000000,
                                         1000000000,
                                         10000000000,
                                         100000000000,
                                         1000000000000,
                                         10000000000000,
                                         100000000000000,
                                         1000000000000000,
                                         10000000000000000,
                                         100000000000000000,
                                         1000000000000000000};
constexpr int kMaxPower = 18;

} // namespace

std::optional<ShortestDecimal> shortestDecimal(float value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // The shortest form in scientific notation ("4.883e-01"): at most nine significant digits for
    // a single, read without the locale.
    char text[32];
    const auto written = std::to_chars(std::begin(text), std::end(text), value, std::chars_format::scientific);
    if (written.ec != std::errc())
        return std::nullopt;
    ShortestDecimal decimal;
    bool negative = false;
    int fractionDigits = 0;
    bool inFraction = false;
    const char *at = text;
    for (; at != written.ptr && *at != 'e'; ++at) {
        if (*at == '-') {
            negative = true;
        } else if (*at == '.') {
            inFraction = true;
        } else {
            decimal.digits = decimal.digits * 10 + (*at - '0');
            fractionDigits += inFraction ? 1 : 0;
        }
    }
    int exponent = 0;
    if (at != written.ptr) {
        const char *from = at + 1;
        if (*from == '+')
            ++from;
        std::from_chars(from, written.ptr, exponent);
    }
    decimal.exponent = exponent - fractionDigits;
    if (negative)
        decimal.digits = -decimal.digits;
    return decimal;
}

QString priceText(float price)
{
    const std::optional<ShortestDecimal> decimal = shortestDecimal(price);
    const auto value = static_cast<double>(price);
    if (!decimal || std::fabs(value) >= 1e15)
        return realToText(value, 9);
    // Fixed notation with the shortest decimal's own places rounds the single to exactly those
    // digits; prices keep at least the two places of an amount in 元.
    return QString::number(value, 'f', std::max(2, -decimal->exponent));
}

std::optional<std::int64_t> centsOf(std::int64_t quantity, float price)
{
    // The bill prints the price as this decimal and the use as a whole number, so rounding their
    // exact product is what a resident gets by hand from the bill; rounding the single itself
    // would turn 0.005 元 (0.00499999989 as a single) into 0.00 for one unit.
    const std::optional<ShortestDecimal> decimal = shortestDecimal(price);
    if (!decimal)
        return std::nullopt;
    std::int64_t product = 0;
    if (__builtin_mul_overflow(quantity, decimal->digits, &product))
        return std::nullopt;
    const int shift = decimal->exponent + 2; // to 分
    if (shift >= 0) {
        if (shift > kMaxPower || __builtin_mul_overflow(product, kPowersOfTen[shift], &product))
            return std::nullopt;
        return product;
    }
    const int down = -shift;
    if (down > kMaxPower) {
        // |product| < 2^63 < 10^19: only a shift of exactly 19 places can still reach half a 分.
        constexpr std::int64_t half = 5000000000000000000;
        if (down == kMaxPower + 1 && (product >= half || product <= -half))
            return std::int64_t{product < 0 ? -1 : 1};
        return std::int64_t{0};
    }
    const std::int64_t divisor = kPowersOfTen[down];
    const std::int64_t whole = product / divisor;
    const std::int64_t rest = product % divisor; // carries the product's sign
    // Half away from zero, compared without forming 2 × rest.
    if (rest >= divisor - rest)
        return whole + 1;
    if (-rest >= divisor + rest)
        return whole - 1;
    return whole;
}

QString yuanText(std::int64_t cents)
{
    const std::uint64_t magnitude =
        cents < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    return QStringLiteral("%1%2.%3 元")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 100)
        .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

} // namespace orv
