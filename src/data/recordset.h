#pragma once

#include "fieldvalue.h"
#include "storeerror.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3_stmt;

namespace orv {

class Connection;

// Recordset states and the scope of Delete, as ADO numbers them.
constexpr int adStateClosed = 0;
constexpr int adStateOpen = 1;
constexpr int adAffectCurrent = 1;

// A dynamic cursor over the rows of one statement. A whole-table or filtered select of one table
// is updatable; any other statement (the rent-list join) is read-only. Rows come in insertion
// order; every move sees the table's current rows, including changes made through other
// recordsets on the same connection.
class Recordset final {
public:
    // A recordset without a connection behaves like a handle that could not be created: every
    // operation raises StoreError with StoreCode::InvalidPointer. So does one whose connection
    // has been destroyed.
    explicit Recordset(Connection *connection = nullptr);
    ~Recordset();
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;

    void Open(const QString &sql, Connection *connection = nullptr);
    int State() const noexcept;
    bool BOF() const;
    // EOF is a C library macro; ADO programs rename the property the same way.
    bool adoEOF() const;
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void Move(long count);
    FieldValue GetCollect(const QString &column) const;
    void PutCollect(const QString &column, const FieldValue &value);
    void AddNew();
    void Update();

    // Moves to the first row, in insertion order, whose column equals the value under the
    // store's equality rule (FieldValue's ==), answered by an index where the table has one. With
    // no such row the set is left at its end, as a walk to the end would leave it. Returns
    // whether a row was found.
    bool Find(const QString &column, const FieldValue &value);
    // The same, from the row after the current one.
    bool FindNext(const QString &column, const FieldValue &value);
    // The number of rows the set has now.
    long RecordCount() const;
    // The current row's texts in `count` text columns as the engine holds them (UTF-8; a null as
    // no bytes), without making values: for lists that copy whole rows. A text is empty where the
    // value must come through GetCollect (another kind, a value written but not stored, no live
    // row). Valid until the set moves.
    void storedTexts(const QString *columns, size_t count, std::optional<QByteArrayView> *texts) const;

    // The current row's bookmark; moving to a bookmark finds that row again wherever it now
    // stands, or leaves the set at its end and returns false when the row is gone.
    std::int64_t Bookmark() const;
    bool MoveToBookmark(std::int64_t bookmark);
    void Delete(int affect = adAffectCurrent);
    void Close();

    // The three fixed patterns the pages use.
    void openIfClosed(const QString &sql)
    {
        if (State() == adStateClosed)
            Open(sql);
    }
    void closeIfOpen()
    {
        if (State() != adStateClosed)
            Close();
    }
    void rewind()
    {
        if (!BOF())
            MoveFirst();
    }

    // Called by the connection: statements are reset before a commit or rollback; after a
    // rollback, unstored values and cached rows are dropped.
    void settle(bool rolledBack) noexcept;

private:
    // Find and FindNext from the first row, or from the current one on.
    bool findFrom(bool fromStart, int at, const QString &column, const FieldValue &value);

    friend class Connection;
    // Called by a connection that closes its file: the set closes, unstored values dropped.
    void closeWithConnection() noexcept;
    // Called by a connection being destroyed: the set closes if it was open on it and forgets it,
    // so that it never reaches freed memory.
    void forgetConnection(const Connection *connection) noexcept;

    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace orv
