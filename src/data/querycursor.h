#pragma once

#include "cursor.h"

namespace orv::store {

// The rows of any other statement (the rent-list join), read-only. The statement is stepped
// along as the set moves; a row behind the current one is reached by stepping again from the
// start, which no list walk needs. A row is known by its place in the result.
class QueryCursor final : public Cursor {
public:
    QueryCursor(Connection &connection, const Columns &columns, const QString &sql);

    RowWriter *writer() noexcept override { return nullptr; }
    bool isEmpty() override;
    long count() override;
    bool first() override { return seekRow(0); }
    bool last() override { return seekRow(count() - 1); }
    bool next() override;
    bool previous() override { return m_index > 0 && seekRow(m_index - 1); }
    FieldValue value(int at) override;
    bool storedTexts(const int *at, size_t count, std::optional<QByteArrayView> *texts) const override;
    std::int64_t bookmark() const override { return m_index; }
    bool moveTo(std::int64_t bookmark) override { return bookmark >= 0 && seekRow(static_cast<long>(bookmark)); }
    Seek seek(int, const FieldValue &, From) override { return Seek::Walk; }
    void reread() noexcept override {}
    void settle(bool rolledBack) noexcept override;

private:
    Statement m_cursor;
    Statement m_probe;       // whether the statement has rows now, and how many
    long m_index = -1;       // the row the set stands on
    bool m_cursorOn = false; // whether m_cursor stands on that row

    // Steps the statement from its start to row n; false when it has fewer rows.
    bool seekRow(long n);
};

} // namespace orv::store
