#include "fieldvalue.h"

#include "storeerror.h"

#include <cmath>

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
    case Kind::Single:
        return realToText(static_cast<double>(std::get<float>(m_value)), 7);
    case Kind::Double:
        return realToText(std::get<double>(m_value), 15);
    }
    return QString();
}

QString FieldValue::toDisplayText() const
{
    return isNull() ? QString() : toText();
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
