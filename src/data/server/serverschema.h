#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace orv::server {

// The version of the tables' layout on a server; a server database of another is refused.
// 2: each table also has a view that shows its order column, for the cursors.
constexpr int kSchemaVersion = 2;

// The schema that holds the tables themselves; the program's names are views over them.
inline const QString kRowsSchema = QStringLiteral("orvane_rows");
// The hidden insertion-order column of every table. The "$" never appears in the program's own
// names, so it cannot clash with a column of theirs.
inline const QString kOrderColumn = QStringLiteral("orvane$order");

// How a column is stored, as the program reads it.
enum class Kind {
    Text,   // text
    Int16,  // smallint: the file's Integer
    Int32,  // integer: the file's Long
    Single, // real: the file's Single
    Int64,  // bigint: INTEGER of our own tables
    Double, // double precision: REAL of our own tables
};

struct ColumnDef {
    QString name;
    Kind kind;
    bool notNull = false;
};

struct TableDef {
    QString name;
    std::vector<ColumnDef> columns;
    // The column that is the file's row number itself (its INTEGER PRIMARY KEY), if any.
    QString rowNumberColumn;
    QStringList columnNames() const;
};

// The eight tables and those of our own, in the order they are created and copied.
const std::vector<TableDef> &tables();

// The PostgreSQL type of a column kind.
QString typeName(Kind kind);
// A name quoted for PostgreSQL.
QString quoted(const QString &name);
// The table that holds a table's rows with its order column, schema-qualified and quoted.
QString rowsTable(const QString &table);
// The view that shows a table's rows with their order column, for the record store's cursors;
// operators read and write through it with the same rights as through the table's own view.
QString orderedView(const QString &table);
// The sequence that numbers a table's rows.
QString orderSequence(const QString &table);

// Everything that makes the schema in an empty database: the rows' schema, each table with its
// order column, the view by the program's name that shows every column but that one in insertion
// order, the ordered view with that column, the look-up indexes and the version row.
QStringList creationStatements();

} // namespace orv::server
