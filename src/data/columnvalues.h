#pragma once

#include "fieldvalue.h"

#include <QString>

#include <vector>

struct sqlite3_stmt;

namespace orv::store {

struct Column {
    QString name;
    FieldValue::Kind kind; // Empty: no declared type, the stored value decides
};

// The columns of a row set, in statement order, found by name.
class Columns final {
public:
    void assign(std::vector<Column> columns);
    const Column &operator[](int at) const { return m_columns[static_cast<size_t>(at)]; }
    int size() const { return static_cast<int>(m_columns.size()); }
    // The column's position; an exact name first, then one that differs only in case. Raises
    // ItemNotFound for a name the set does not have.
    int indexOf(const QString &name) const;
    // The positions of `count` names at once, as indexOf finds each; valid until the next call.
    const int *positionsOf(const QString *names, size_t count) const;

private:
    // Whether the name is the column's at that position.
    bool knownAs(int at, const QString &name) const;

    std::vector<Column> m_columns;
    // Walks ask for the same columns in the same order row after row, so the column asked for
    // after the previous one is tried first: per column (and one for the start), the next one asked.
    mutable std::vector<int> m_askedAfter{-1};
    mutable std::vector<QString> m_askedAs; // per column, the name string it was last asked by
    // The names positionsOf was last asked, and their positions.
    mutable std::vector<QString> m_rowNames;
    mutable std::vector<int> m_rowPositions;
    mutable int m_lastAsked = -1;
};

// A column's kind from its declared type in the schema, named after the Access types.
FieldValue::Kind kindOfDeclared(const char *declared);

// The value in a result column, as the column's kind holds it.
FieldValue readColumn(sqlite3_stmt *statement, int index, FieldValue::Kind kind);

// Binds a value to a statement parameter.
void bindValue(sqlite3_stmt *statement, int index, const FieldValue &value);

// Converts a value to the kind of the column it is written to, as the store would; raises
// TypeMismatch or Overflow where the value does not fit.
FieldValue convertFor(const FieldValue &value, const Column &column);

} // namespace orv::store
