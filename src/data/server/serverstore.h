#pragma once

#include "data/backend.h"
#include "data/roles.h"
#include "serverconnection.h"

#include <QHash>

namespace orv::server {

// The record store on a server: a Connection opened on it reads and writes the server's tables
// through recordsets as it does a file's. A unit is one SERIALIZABLE transaction.
class ServerStore final : public store::Backend {
public:
    // Connects, learns the user's role and requires this program's tables, refusing as
    // ServerConnection::open does and, by name, a user who is none of the database's operators.
    static std::unique_ptr<ServerStore> open(const QString &uri);

    // The role the user signed in with; the server's grants enforce it, the window shows it.
    Role role() const noexcept { return m_role; }

    std::shared_ptr<const store::Columns> columnsOf(const QString &sql, const store::SelectShape &shape) override;
    std::unique_ptr<store::Cursor> openCursor(Connection &connection, const store::Columns &columns, const QString &sql,
                                              const store::SelectShape &shape) override;
    std::unique_ptr<store::ListPages> openList(sql::ListQuery query, int blockRows) override;
    void execute(const QString &sql) override;
    store::StatementRows runStatement(const QString &sql, const store::TextParameters &parameters,
                                      const QString &what) override;
    std::int64_t lastAdded() const noexcept override { return m_lastAdded; }
    QString numbered(const QString &table) const override;
    void begin() override;
    // A refused commit is over: Conflict for a collision with another desk, ConnectionLost when
    // the server went, the server's words for a unit one of whose statements it refused before.
    void commit() override;
    void rollback() noexcept override;
    bool inUnit() const noexcept override { return m_inUnit; }
    // A serialization failure or deadlock runs the unit again, up to kUnitAttempts runs in all.
    bool runAgain(const StoreError &failure, int attempt) override;
    std::uint64_t changes() const noexcept override { return m_changes; }

    // Runs a statement for a cursor. Outside a unit a connection lost before is made again
    // first; inside one the unit is lost with it and the statement raises ConnectionLost.
    PgResultHandle run(const QString &sql, const ServerConnection::Parameters &parameters, const QString &what);
    // Called by a cursor that changed rows.
    void noteWrite() noexcept { ++m_changes; }
    // Called by a cursor that added a row, with the row's order value.
    void noteAdded(std::int64_t order) noexcept { m_lastAdded = order; }

    ServerConnection &server() noexcept { return m_server; }

private:
    ServerStore(ServerConnection server, Role role) : m_server(std::move(server)), m_role(role) {}

    ServerConnection m_server;
    Role m_role;
    bool m_inUnit = false;
    std::uint64_t m_changes = 0;
    std::int64_t m_lastAdded = 0;
    // Columns by the table or statement they were asked for: the schema stays while the program
    // runs, and every set opened asks.
    QHash<QString, std::shared_ptr<const store::Columns>> m_columns;
};

} // namespace orv::server
