#pragma once

#include <QString>

#include <cstdint>
#include <variant>

namespace orv {

// A tagged value read from or written to a column, with the record store's conversions and its
// exact, kind-strict equality.
class FieldValue final {
public:
    enum class Kind { Empty, Null, Text, Int16, Int32, Single, Double };

    FieldValue() = default; // empty
    FieldValue(const QString &text)
        : m_value(text) {} // NOLINT: text converts implicitly, as with the variant it mirrors
    FieldValue(const char16_t *text) : m_value(QString::fromUtf16(text)) {} // NOLINT
    FieldValue(std::int16_t v) : m_value(v) {}                              // NOLINT
    FieldValue(std::int32_t v) : m_value(v) {}                              // NOLINT
    FieldValue(float v) : m_value(v) {}                                     // NOLINT
    FieldValue(double v) : m_value(v) {}                                    // NOLINT

    static FieldValue null();
    static FieldValue int16(std::int16_t v) { return FieldValue(v); }
    static FieldValue int32(std::int32_t v) { return FieldValue(v); }

    Kind kind() const noexcept;
    bool isNull() const noexcept { return kind() == Kind::Null; }
    bool isEmpty() const noexcept { return kind() == Kind::Empty; }

    // Text form: text unchanged, integers in decimal, reals with 7 (single) or 15 (double)
    // significant digits and no trailing zeros. Null raises the record-store error; empty is "".
    QString toText() const;
    // Like toText, but null shows as an empty text: for list cells.
    QString toDisplayText() const;
    // Writes what toDisplayText gives for an integer, a single or a whole double into `out`, which
    // has room for kShortText characters, without making a string; returns its length, or -1 for
    // any other value.
    static constexpr int kShortText = 16;
    int writeShortText(char *out) const;

    // The stored value of that width, taken without conversion; another kind raises the
    // record-store error.
    std::int16_t asInt16() const;
    std::int32_t asInt32() const;
    float asSingle() const;
    double asDouble() const;
    const QString &asText() const;

    // Exact equality: values of different kinds are never equal; texts compare character by
    // character; a real that is not a number equals nothing.
    friend bool operator==(const FieldValue &a, const FieldValue &b);
    friend bool operator!=(const FieldValue &a, const FieldValue &b) { return !(a == b); }

private:
    struct NullTag {
        bool operator==(const NullTag &) const { return true; }
    };
    std::variant<std::monostate, NullTag, QString, std::int16_t, std::int32_t, float, double> m_value;
};

// The kind's name in messages ("16 位整数").
QString kindName(FieldValue::Kind kind);

// Text of a single- or double-precision real as the record store writes it.
QString realToText(double value, int significantDigits);

} // namespace orv
