#pragma once

#include "columnvalues.h"
#include "statement.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orv {
class Connection;
}

namespace orv::store {

// Prepares a statement; a statement the engine refuses raises StoreError naming its text.
Statement prepare(sqlite3 *db, const QString &text);

// A statement prepared on first use: most sets need few of theirs.
class LazyStatement final {
public:
    LazyStatement(sqlite3 *db, QString text) : m_db(db), m_text(std::move(text)) {}
    sqlite3_stmt *get();
    // Resets the statement if it was ever prepared.
    void reset() noexcept;

private:
    sqlite3 *m_db;
    QString m_text;
    Statement m_statement;
};

// Steps a statement to its next row: true on a row, false at its end (the statement is then
// reset); an engine failure resets it and raises StoreError.
bool stepRow(sqlite3 *db, sqlite3_stmt *statement);

// Resets a statement, steps it once and resets it again: whether it has no rows now.
bool hasNoRows(sqlite3 *db, sqlite3_stmt *statement);

// A text column of the row a statement stands on, as the engine holds it (a null as no bytes);
// empty for a value of another kind.
std::optional<QByteArrayView> textAt(sqlite3_stmt *statement, int index);

[[noreturn]] void noCurrentRecord(const QString &why);

// Values written to a row and not yet stored, one slot per column.
using PendingValues = std::vector<std::optional<FieldValue>>;

// Writes rows of the one table a set shows; the cursor then stands on the row written.
class RowWriter {
public:
    virtual ~RowWriter() = default;
    // Inserts a row of the written values (the others take their defaults) and stands on it.
    virtual void insert(const PendingValues &values) = 0;
    // Stores the written values in the current row; false when the row is no longer there.
    virtual bool update(const PendingValues &values) = 0;
    virtual void remove() = 0;

protected:
    RowWriter() = default;
    RowWriter(const RowWriter &) = default;
    RowWriter &operator=(const RowWriter &) = default;
};

// The rows of one statement as a set walks them. The cursor knows the row it stands on; whether
// the set is before, on or after the rows is the recordset's to keep. Each move returns whether
// it reached a row.
class Cursor {
public:
    Cursor(const Cursor &) = delete;
    Cursor &operator=(const Cursor &) = delete;
    virtual ~Cursor() = default;

    // The writer of a set over one table; none for any other statement.
    virtual RowWriter *writer() noexcept = 0;

    virtual bool isEmpty() = 0;
    virtual long count() = 0;
    virtual bool first() = 0;
    virtual bool last() = 0;
    // From the current row to the one after or before it.
    virtual bool next() = 0;
    virtual bool previous() = 0;

    // A value of the current row; raises NoCurrentRecord when that row is gone.
    virtual FieldValue value(int at) = 0;
    // The current row's texts at the given positions as the engine holds them (see textAt), where
    // a statement stands on that row now; otherwise false, with nothing written.
    virtual bool storedTexts(const int *at, size_t count, std::optional<QByteArrayView> *texts) const = 0;

    virtual std::int64_t bookmark() const = 0;
    virtual bool moveTo(std::int64_t bookmark) = 0;

    enum class Seek { Found, None, Walk };
    enum class From { Start, Current };
    // Moves to the first row, from the start or from the current row on, whose column equals
    // the value, where the engine can answer that; Walk leaves it to the recordset.
    virtual Seek seek(int at, const FieldValue &value, From from) = 0;

    // The current row is read afresh at the next read.
    virtual void reread() noexcept = 0;
    // Statements are reset before a commit or rollback; a rollback also drops cached rows.
    virtual void settle(bool rolledBack) noexcept = 0;

protected:
    Cursor(Connection &connection, const Columns &columns) : m_connection(connection), m_columns(columns) {}
    sqlite3 *db() const;

    Connection &m_connection;
    const Columns &m_columns;
};

// A cursor over one statement: one table, with an optional condition, gives an updatable
// cursor by rowid; any other statement a read-only one.
// The table and condition are read in place: valid while the statement's text is.
struct SelectShape {
    bool oneTable = false;
    QStringView table;
    QStringView condition;
    // A condition of the shape the pages write, with its texts as parameters, and those texts,
    // bound from ?3 on; empty for any other condition.
    QString parameterized;
    std::vector<QByteArray> values;
    // The statement a set learns its columns from: one shape serves every value a page puts into
    // the same condition.
    QString probe;
};
SelectShape shapeOf(const QString &sql);
struct TableTexts;
// A set over one table takes the statement texts kept for its shape.
std::unique_ptr<Cursor> openCursor(Connection &connection, const Columns &columns, const QString &sql,
                                   SelectShape shape, std::shared_ptr<TableTexts> texts);

} // namespace orv::store
