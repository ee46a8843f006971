#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace orv {
class Connection;
}

namespace orv::server {

class ServerConnection;

// The rows a migration copied, table by table, in the order the tables were copied.
struct Migrated {
    QList<QPair<QString, qint64>> rows;
    qint64 total() const;
    // "floorinfo 5 行，personinfo 7 行，…"
    QString summary() const;
};

// Copies every table of the open file, every row in the order it was added, into the server's
// database, which must be empty: the schema is made there first, with the groups of its operators
// (serverroles.h). Before it is committed the server's rows are counted against the file's and the
// rules between the tables are checked there; on any refusal or failure nothing stays on the
// server. Raises StoreError: NotEmpty names what the database holds already.
Migrated migrateToServer(Connection &file, ServerConnection &server);

// Copies every table of the server's database (of this program's schema version) into a new file
// opened on `file`, keeping each table's order and the rows' numbers, then counts the rows of both.
// The rules between the tables are not a condition: a server's data is never kept from its owner.
// Raises StoreError; the caller removes a file it left unfinished.
Migrated migrateFromServer(ServerConnection &server, Connection &file);

// The rules between the tables, checked on the server: one line per finding, as the file's own
// check words them; empty when they all hold.
QStringList checkServerRules(ServerConnection &server);

} // namespace orv::server
