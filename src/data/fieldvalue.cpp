#include "fieldvalue.h"

#include "storeerror.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace orv {

FieldValue FieldValue::null()
{
    FieldValue value;
    value.m_value = NullTag{};
    return value;
}

FieldValue::Kind FieldValue::kind() const noexcept
{
    return static_cast<Kind>(m_value.index());
}

QString kindName(FieldValue::Kind kind)
{
    using Kind = FieldValue::Kind;
    switch (kind) {
    case Kind::Empty:
        return QStringLiteral("空");
    case Kind::Null:
        return QStringLiteral("Null");
    case Kind::Text:
        return QStringLiteral("文本");
    case Kind::Int16:
        return QStringLiteral("16 位整数");
    case Kind::Int32:
        return QStringLiteral("32 位整数");
    case Kind::Single:
        return QStringLiteral("单精度实数");
    case Kind::Double:
        return QStringLiteral("双精度实数");
    }
    return QString();
}

QString realToText(double value, int significantDigits)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
    // 'G' drops trailing zeros and the point of whole values, and turns to exponent form only
    // beyond the given number of digits.
    QString text = QString::number(value, 'G', significantDigits);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

namespace {

// The text realToText gives a single with 7 significant digits, worked out exactly without the
// general converter, which is slow on the values fee lists are full of. A float times 10^k
// (k <= 12) is exact in a double, so rounding it to 7 digits is exact too. Returns -1 where the
// fixed form does not apply (tiny, huge or rounding up to a new digit); otherwise the length
// written, at most 13 characters.
int singleText(float single, char *out)
{
    const auto value = static_cast<double>(single);
    if (value == 0) {
        *out = '0';
        return 1;
    }
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-4 && magnitude < 1e7))
        return -1;
    int k = 0;
    double scaled = magnitude;
    while (scaled < 1e6) {
        scaled *= 10;
        ++k;
    }
    std::int64_t digits = std::llround(scaled); // ties away from zero, as Qt rounds
    if (digits >= 10000000)
        return -1;
    // Written from the last digit: the last k follow the point, their trailing zeros dropped.
    char text[FieldValue::kShortText];
    char *at = std::end(text);
    bool fraction = false;
    for (int place = 0; place < k; ++place, digits /= 10) {
        const auto digit = static_cast<char>(digits % 10);
        fraction = fraction || digit != 0;
        if (fraction)
            *--at = static_cast<char>('0' + digit);
    }
    if (fraction)
        *--at = '.';
    do {
        *--at = static_cast<char>('0' + digits % 10);
        digits /= 10;
    } while (digits != 0);
    if (value < 0)
        *--at = '-';
    std::copy(at, std::end(text), out);
    return static_cast<int>(std::end(text) - at);
}

} // namespace

QString FieldValue::toText() const
{
    switch (kind()) {
    case Kind::Empty:
        return QString();
    case Kind::Null:
        throw StoreError(StoreCode::TypeMismatch, QStringLiteral("字段没有值（Null），不能转换为文本。"));
    case Kind::Text:
        return std::get<QString>(m_value);
    case Kind::Int16:
        return QString::number(std::get<std::int16_t>(m_value));
    case Kind::Int32:
        return QString::number(std::get<std::int32_t>(m_value));
    case Kind::Single: {
        char text[FieldValue::kShortText];
        const int length = singleText(std::get<float>(m_value), text);
        return length < 0 ? realToText(static_cast<double>(std::get<float>(m_value)), 7)
                          : QString::fromLatin1(text, length);
    }
    case Kind::Double:
        return realToText(std::get<double>(m_value), 15);
    }
    return QString();
}

QString FieldValue::toDisplayText() const
{
    return isNull() ? QString() : toText();
}

int FieldValue::writeShortText(char *out) const
{
    switch (kind()) {
    case Kind::Int16:
        return static_cast<int>(std::to_chars(out, out + kShortText, std::get<std::int16_t>(m_value)).ptr - out);
    case Kind::Int32:
        return static_cast<int>(std::to_chars(out, out + kShortText, std::get<std::int32_t>(m_value)).ptr - out);
    case Kind::Single:
        return singleText(std::get<float>(m_value), out);
    case Kind::Double: {
        // A whole number of at most 15 digits shows as its digits (readings and bases mostly are).
        const double value = std::get<double>(m_value);
        if (!(std::fabs(value) < 1e15) || std::trunc(value) != value)
            return -1;
        return static_cast<int>(std::to_chars(out, out + kShortText, static_cast<std::int64_t>(value)).ptr - out);
    }
    default:
        return -1;
    }
}

namespace {
[[noreturn]] void wrongKind(FieldValue::Kind have, FieldValue::Kind want)
{
    throw StoreError(StoreCode::TypeMismatch,
                     QStringLiteral("字段值是%1，不能作为%2读取。").arg(kindName(have), kindName(want)));
}
} // namespace

std::int16_t FieldValue::asInt16() const
{
    if (const auto *v = std::get_if<std::int16_t>(&m_value))
        return *v;
    wrongKind(kind(), Kind::Int16);
}

std::int32_t FieldValue::asInt32() const
{
    if (const auto *v = std::get_if<std::int32_t>(&m_value))
        return *v;
    wrongKind(kind(), Kind::Int32);
}

float FieldValue::asSingle() const
{
    if (const auto *v = std::get_if<float>(&m_value))
        return *v;
    wrongKind(kind(), Kind::Single);
}

double FieldValue::asDouble() const
{
    if (const auto *v = std::get_if<double>(&m_value))
        return *v;
    wrongKind(kind(), Kind::Double);
}

const QString &FieldValue::asText() const
{
    if (const auto *v = std::get_if<QString>(&m_value))
        return *v;
    wrongKind(kind(), Kind::Text);
}

bool operator==(const FieldValue &a, const FieldValue &b)
{
    // Same kind, same value; std::variant compares exactly that, and NaN stays unequal to itself.
    return a.m_value == b.m_value;
}

} // namespace orv
