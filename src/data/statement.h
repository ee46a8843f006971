#pragma once

#include <QString>

#include <cstdint>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace orv {
namespace store {
class StatementPool;
}

// One prepared statement, with its values bound as parameters so that any quote in a room or
// staff number is only data. The engine's own codes stay visible for the callers that tell them
// apart; next() and run() raise StoreError for the rest.
class Statement final {
public:
    Statement() = default;
    // A statement the engine refuses is empty, with the engine's code in status().
    Statement(sqlite3 *db, const QString &text);
    ~Statement();
    Statement(Statement &&) noexcept = default;
    Statement &operator=(Statement &&) noexcept = default;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    // Takes over a statement prepared elsewhere.
    static Statement adopt(sqlite3 *db, sqlite3_stmt *statement) noexcept;
    // When it ends, the statement goes back to the pool under `key`, reset, instead of being
    // finalized.
    void returnTo(store::StatementPool *pool, const QString &key);
    // Raises StoreError with `what` when the engine refuses the statement.
    static Statement prepared(sqlite3 *db, const QString &text, const QString &what);

    int status() const noexcept { return m_status; }
    explicit operator bool() const noexcept { return bool(m_statement); }
    sqlite3_stmt *handle() const noexcept { return m_statement.get(); }
    // Hands the statement to a new owner (the connection's pool of statements).
    sqlite3_stmt *release() noexcept { return m_statement.release(); }

    Statement &bind(int index, const QString &value);
    Statement &bind(int index, std::int64_t value);
    // A single widens to a double exactly, so it reads back as the same single.
    Statement &bind(int index, float value);
    Statement &bind(int index, double value);
    Statement &bindNull(int index);

    // SQLITE_ROW, SQLITE_DONE or the engine's code for the failure.
    int step() noexcept;
    // Whether it stepped to a row; a failure raises StoreError with `what`. An empty statement
    // has no rows.
    bool next(const QString &what);
    // Steps a statement that returns no rows; a failure raises StoreError with `what`.
    void run(const QString &what);
    void reset() noexcept;
    // Releases the statement now: the engine's code for its last step.
    int finalize() noexcept;

    int columnCount() const noexcept;
    bool isNull(int column) const noexcept;
    std::int64_t integer(int column) const noexcept;
    double real(int column) const noexcept;
    // A null reads as a null string.
    QString text(int column) const;

private:
    struct Finalizer {
        void operator()(sqlite3_stmt *statement) const noexcept;
    };

    sqlite3 *m_db = nullptr;
    std::unique_ptr<sqlite3_stmt, Finalizer> m_statement;
    int m_status = 0;
    store::StatementPool *m_pool = nullptr;
    QString m_key;
};

} // namespace orv
