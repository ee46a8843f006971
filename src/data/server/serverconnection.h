#pragma once

#include "data/storeerror.h"
#include "pghandles.h"

#include <QString>
#include <QStringList>

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace orv::server {

// Codes of the refusals and failures that come from the server; StoreError carries them.
namespace ServerCode {
constexpr std::uint32_t Unreachable = 0x80C70001;    // no server answered at the address
constexpr std::uint32_t SignInRefused = 0x80C70002;  // the server refused the user or the password
constexpr std::uint32_t OtherSchema = 0x80C70003;    // a database of another version, or not ours
constexpr std::uint32_t NotEmpty = 0x80C70004;       // a migration's target holds tables already
constexpr std::uint32_t Conflict = 0x80C70005;       // serialization failure or deadlock (40001, 40P01)
constexpr std::uint32_t ConnectionLost = 0x80C70006; // the connection went in the middle of a statement
constexpr std::uint32_t Failed = 0x80C70007;         // any other statement the server refused
constexpr std::uint32_t NotPermitted = 0x80C70008;   // the signed-in user lacks the right (42501)
} // namespace ServerCode

// How many times a unit is run when the server finds it collides with another desk's.
constexpr int kUnitAttempts = 4;

// One connection to a PostgreSQL server, opened by a libpq connection URI. Statements are sent
// with their values as parameters, never spliced into the text.
class ServerConnection final {
public:
    // Connects; raises StoreError (Unreachable, SignInRefused) with the server's own words.
    explicit ServerConnection(const QString &uri);

    // Connects and requires the tables of this program's version: another version or a database
    // without them is refused by name (OtherSchema).
    static ServerConnection open(const QString &uri);

    // The database's name on the server.
    QString databaseName() const;
    // The version row of the schema; none when the database has no schema of ours.
    std::optional<int> schemaVersion();
    // Raises OtherSchema unless the database has this program's schema version.
    void requireSchema();
    // The tables, views and sequences of the database outside the server's own catalogs, by name.
    QStringList userRelations();

    // Runs a statement; raises StoreError naming `what` when the server refuses it.
    PgResultHandle run(const QString &sql, const QStringList &parameters = {}, const QString &what = {});
    // Values of a statement's parameters in the server's text form; none is a null.
    using Parameters = std::vector<std::optional<QByteArray>>;
    // Runs a statement with those values as parameters; raises as run does.
    PgResultHandle runWith(const QString &sql, const Parameters &parameters, const QString &what = {});
    // The columns a statement would give, without running it; raises as run does.
    PgResultHandle describe(const QString &sql, const QString &what = {});
    // A connection that was lost is made again with what it was first opened with; raises
    // Unreachable when the server cannot be reached now. Nothing happens to a live connection.
    void reconnectIfLost();

    // The first value of the first row as text (null when there is none).
    QString value(const QString &sql, const QStringList &parameters = {}, const QString &what = {});

    // Sends `rows` (COPY text format, one row a line) into `table (columns)`.
    void copyIn(const QString &target, const QByteArray &rows, const QString &what);

    // Runs `work` as one transaction at SERIALIZABLE isolation, where no update is lost. When the
    // server refuses it as colliding with another desk's (serialization failure or deadlock) it
    // is run again as a whole, up to `attempts` times in all, then refused naming the cause. Any
    // other failure rolls it back and is raised as it came. Returns the number of runs it took.
    int runUnit(const std::function<void(ServerConnection &)> &work, int attempts = kUnitAttempts);

    // A name and a text quoted by libpq, for the statements that take no parameters (CREATE ROLE,
    // GRANT, ...). Raises StoreError for a text the server's encoding cannot hold.
    QString identifier(const QString &name) const;
    QString literal(const QString &text) const;
    // The user this connection signed in as.
    QString userName() const;

    PGconn *handle() const noexcept { return m_conn.get(); }

private:
    [[noreturn]] void raise(const PGresult *result, const QString &what);
    // What every session of ours runs with, set again after a reconnect.
    void settleSession() noexcept;
    PgConnHandle m_conn;
    // A statement found the connection gone, though libpq may still call it open.
    bool m_lost = false;
};

// The refusal of a unit that still collided with other desks' after `attempts` runs, naming the
// last run's cause.
StoreError collisionRefusal(int attempts, const QString &cause);

// A COPY text-format field: backslash, tab and line breaks escaped; a null is \N.
QByteArray copyField(const QString &value);

} // namespace orv::server
