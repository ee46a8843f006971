#include "columnvalues.h"

#include "storeerror.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sqlite3.h>

namespace orv::store {

namespace {

using Kind = FieldValue::Kind;

// Columns without a declared type take any value.
QString columnKindName(Kind kind)
{
    return kind == Kind::Empty ? QStringLiteral("任意值") : kindName(kind);
}

[[noreturn]] void overflow(const FieldValue &value, const Column &column)
{
    throw StoreError(StoreCode::Overflow, QStringLiteral("数值 %1 超出了列“%2”（%3）能存放的范围。")
                                              .arg(value.toDisplayText(), column.name, columnKindName(column.kind)));
}

// A number held by a value, for storing it in a number column.
double numberOf(const FieldValue &value, const Column &column)
{
    switch (value.kind()) {
    case Kind::Int16:
        return value.asInt16();
    case Kind::Int32:
        return value.asInt32();
    case Kind::Single:
        return static_cast<double>(value.asSingle());
    case Kind::Double:
        return value.asDouble();
    case Kind::Text: {
        bool ok = false;
        const double number = value.asText().trimmed().toDouble(&ok);
        if (ok && std::isfinite(number))
            return number;
        break;
    }
    default:
        break;
    }
    throw StoreError(StoreCode::TypeMismatch,
                     QStringLiteral("“%1”不是数字，不能存入列“%2”（%3）。")
                         .arg(value.toDisplayText(), column.name, columnKindName(column.kind)));
}

} // namespace

void Columns::assign(std::vector<Column> columns)
{
    m_columns = std::move(columns);
    m_askedAfter.assign(m_columns.size() + 1, -1);
    m_askedAs.assign(m_columns.size(), QString());
    m_rowNames.clear();
    m_rowPositions.clear();
    m_lastAsked = -1;
}

bool Columns::knownAs(int at, const QString &name) const
{
    // Walks ask for every column of every row, by the same name strings each time. A string whose
    // data is the very data this column was last asked by is that name: the copy kept here holds
    // that data, so it cannot have been freed and reused for another text.
    QString &asked = m_askedAs[static_cast<size_t>(at)];
    if (!asked.isEmpty() && asked.constData() == name.constData() && asked.size() == name.size())
        return true;
    // Most names asked of another column differ in length already.
    const QString &own = m_columns[static_cast<size_t>(at)].name;
    if (own.size() != name.size() || own != name)
        return false;
    asked = name;
    return true;
}

const int *Columns::positionsOf(const QString *names, size_t count) const
{
    // Lists ask for the same names, by the same strings, row after row: the same data as the
    // copies kept here is the same text (see knownAs).
    bool same = m_rowNames.size() == count;
    for (size_t i = 0; same && i < count; ++i)
        same = m_rowNames[i].constData() == names[i].constData() && m_rowNames[i].size() == names[i].size();
    if (!same) {
        std::vector<int> positions;
        positions.reserve(count);
        for (size_t i = 0; i < count; ++i)
            positions.push_back(indexOf(names[i]));
        m_rowNames.assign(names, names + count);
        m_rowPositions = std::move(positions);
    }
    return m_rowPositions.data();
}

int Columns::indexOf(const QString &name) const
{
    const int count = size();
    // The same column asked again (a value read twice) keeps the order's place.
    if (m_lastAsked >= 0 && m_lastAsked < count && knownAs(m_lastAsked, name))
        return m_lastAsked;
    // The slot after the last column asked; slot 0 stands for "nothing asked yet".
    const size_t slot = m_lastAsked < 0 ? 0 : static_cast<size_t>(m_lastAsked) + 1;
    const int guess = m_askedAfter[slot];
    if (guess >= 0 && guess < count && knownAs(guess, name))
        return m_lastAsked = guess;
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i) {
        if ((*this)[i].name == name)
            found = i;
    }
    for (int i = 0; i < count && found < 0; ++i) {
        if ((*this)[i].name.compare(name, Qt::CaseInsensitive) == 0)
            found = i;
    }
    if (found < 0)
        throw StoreError(StoreCode::ItemNotFound, QStringLiteral("记录集中没有名为“%1”的列。").arg(name));
    m_askedAfter[slot] = found;
    return m_lastAsked = found;
}

Kind kindOfDeclared(const char *declared)
{
    if (!declared)
        return Kind::Empty;
    const QString type = QString::fromUtf8(declared).trimmed().toUpper();
    if (type.startsWith(QLatin1String("TEXT")) || type.contains(QLatin1String("CHAR")) ||
        type.startsWith(QLatin1String("MEMO")))
        return Kind::Text;
    if (type == QLatin1String("INTEGER") || type == QLatin1String("SMALLINT") || type == QLatin1String("SHORT"))
        return Kind::Int16;
    if (type == QLatin1String("LONG") || type == QLatin1String("INT"))
        return Kind::Int32;
    if (type == QLatin1String("SINGLE") || type == QLatin1String("REAL") || type == QLatin1String("FLOAT"))
        return Kind::Single;
    if (type == QLatin1String("DOUBLE"))
        return Kind::Double;
    return Kind::Empty;
}

FieldValue readColumn(sqlite3_stmt *statement, int index, Kind kind)
{
    // One look-up of the column; its value is read directly, the connection having one thread.
    sqlite3_value *value = sqlite3_column_value(statement, index);
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL)
        return FieldValue::null();
    switch (kind) {
    case Kind::Int16:
        return FieldValue::int16(static_cast<std::int16_t>(sqlite3_value_int(value)));
    case Kind::Int32:
        return FieldValue::int32(sqlite3_value_int(value));
    case Kind::Single:
        return FieldValue(static_cast<float>(sqlite3_value_double(value)));
    case Kind::Double:
        return FieldValue(sqlite3_value_double(value));
    case Kind::Text:
        break;
    default:
        if (type == SQLITE_INTEGER)
            return FieldValue::int32(sqlite3_value_int(value));
        if (type == SQLITE_FLOAT)
            return FieldValue(sqlite3_value_double(value));
        break;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return FieldValue(QString::fromUtf8(text, sqlite3_value_bytes(value)));
}

void bindValue(sqlite3_stmt *statement, int index, const FieldValue &value)
{
    switch (value.kind()) {
    case Kind::Empty:
    case Kind::Null:
        sqlite3_bind_null(statement, index);
        break;
    case Kind::Text: {
        const QByteArray text = value.asText().toUtf8();
        sqlite3_bind_text(statement, index, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        break;
    }
    case Kind::Int16:
        sqlite3_bind_int(statement, index, value.asInt16());
        break;
    case Kind::Int32:
        sqlite3_bind_int(statement, index, value.asInt32());
        break;
    case Kind::Single:
        sqlite3_bind_double(statement, index, static_cast<double>(value.asSingle()));
        break;
    case Kind::Double:
        sqlite3_bind_double(statement, index, value.asDouble());
        break;
    }
}

FieldValue convertFor(const FieldValue &value, const Column &column)
{
    if (value.isEmpty() || value.isNull())
        return FieldValue::null();
    switch (column.kind) {
    case Kind::Text:
        return FieldValue(value.toText());
    case Kind::Int16:
    case Kind::Int32: {
        // Reals are rounded half to even, as variant conversion does.
        const double number = std::nearbyint(numberOf(value, column));
        const double low = column.kind == Kind::Int16 ? std::numeric_limits<std::int16_t>::min()
                                                      : std::numeric_limits<std::int32_t>::min();
        const double high = column.kind == Kind::Int16 ? std::numeric_limits<std::int16_t>::max()
                                                       : std::numeric_limits<std::int32_t>::max();
        if (number < low || number > high)
            overflow(value, column);
        if (column.kind == Kind::Int16)
            return FieldValue::int16(static_cast<std::int16_t>(number));
        return FieldValue::int32(static_cast<std::int32_t>(number));
    }
    case Kind::Single: {
        const double number = numberOf(value, column);
        if (std::fabs(number) > static_cast<double>(FLT_MAX))
            overflow(value, column);
        return FieldValue(static_cast<float>(number));
    }
    case Kind::Double:
        return FieldValue(numberOf(value, column));
    default:
        return value;
    }
}

} // namespace orv::store
