#pragma once

#include "securekey.h"
#include "storeerror.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

struct sqlite3;

namespace orv {

class Recordset;
class SecureKey;
class Statement;
namespace store {
class Backend;
class StatementPool;
} // namespace store

// The program's one database connection: an SQLCipher file keyed with the program's password, or
// with a raw key of the file's own that its operators' key slots hold.
class Connection final {
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens the file named by the string's "Data Source=" in the current directory (a bare name
    // stays relative), keyed with the whole tail after "Password="; the program's own start-up.
    void Open(const QString &connectionString);
    // Opens the file at `path` keyed with `password`. Never creates a file: a missing file, a
    // wrong password or a file that is not one of ours raise StoreError. A file that cannot be
    // written (read-only medium or folder) opens read-only; its writes fail by name.
    void openFile(const QString &path, const QString &password);
    // The same for a file keyed with a raw key of its own; a wrong key is refused as a wrong
    // password is.
    void openFile(const QString &path, const SecureKey &key);
    // The open file and its key, taken on the connection's own thread, for a connection that
    // reads beside this one on another; raises StoreError when no file is open.
    struct Beside {
        QString path;
        SecureBytes key;
    };
    Beside beside() const;
    // Opens that file read-only with that key; raises StoreError as openFile does.
    void openBeside(const Beside &source);
    bool isOpen() const noexcept { return m_db != nullptr || m_backend != nullptr; }
    // Opens the connection on another store (a database server) instead of a file; Close closes
    // it again.
    void openStore(std::unique_ptr<store::Backend> backend);
    bool isServer() const noexcept { return m_backend != nullptr; }
    // The store the connection is open on when that is not a file; none for a file.
    store::Backend *backend() const noexcept { return m_backend.get(); }
    // A table's rows with the order they were added in as `rowid`, under the table's name, for
    // statements written for the file: on a file the table itself.
    QString numbered(const QString &table) const;
    // Closes every recordset still open on the connection (unstored values are dropped), rolls back
    // an open unit and closes the file, leaving it one file in rollback-journal mode; Open may
    // follow again.
    void Close() noexcept;
    // Rolls back an open unit and closes every recordset, as Close does, but keeps the file open:
    // for replacing the whole content through the connection.
    void closeRecordsets() noexcept;
    // Tells the connection that its content was replaced underneath it: versions change and the
    // program's indexes are made again where the new content lacks them.
    void contentReplaced() noexcept;
    // The string the connection was last opened with, and the full path of its open file.
    QString connectionString() const { return m_connectionString; }
    QString filePath() const;

    // Creates a new database file with the eight tables, keyed with the given password. Refuses
    // (StoreError) when the file exists already.
    static void Create(const QString &path, const QString &password);
    // The same, keyed with a raw key instead of a password.
    static void Create(const QString &path, const SecureKey &key);

    // Runs statements that return no rows (schema, transaction control, test set-up).
    void execute(const QString &sql);

    // A unit groups all writes of one user operation: either all of them stay or none. It holds
    // the file's write lock from its start, waiting up to a few seconds for another program.
    void beginUnit();
    void commitUnit();
    void rollbackUnit() noexcept;
    bool inUnit() const noexcept;

    // Changes whenever any row of the database changes through this connection or a unit is
    // rolled back; recordsets use it to know when their view of a table is stale.
    std::uint64_t version() const noexcept;
    // Serial of the open unit; 0 outside any unit.
    std::uint64_t currentUnit() const noexcept;

    sqlite3 *handle() const noexcept { return m_db; }
    // The statements the connection's recordsets have prepared and are not using now.
    store::StatementPool &statementPool() noexcept { return *m_statements; }
    // A statement of `text` kept prepared between uses, for our own tables that units write every
    // time (preparing anew costs more than the row); raises StoreError naming `what` when no file
    // is open or it cannot be prepared.
    Statement keptStatement(const QString &text, const QString &what);

    // Who works through the connection (the signed-in operator; empty without operators), for
    // the records that name who did what.
    void setOperatorName(const QString &name) { m_operatorName = name; }
    const QString &operatorName() const noexcept { return m_operatorName; }

    // Called by a recordset before it writes a row.
    void prepareWrite() noexcept;

    // Recordsets register themselves so that a commit or rollback can settle their cursors.
    void attach(Recordset *set);
    void detach(Recordset *set) noexcept;

private:
    struct Closer {
        void operator()(sqlite3 *db) const noexcept;
    };
    std::unique_ptr<sqlite3, Closer> m_owner;
    std::unique_ptr<store::StatementPool> m_statements;
    std::unique_ptr<store::Backend> m_backend;
    sqlite3 *m_db = nullptr;
    std::uint64_t m_epoch = 0;
    std::uint64_t m_unit = 0; // serial of the unit now open, or of the last one
    std::vector<Recordset *> m_sets;
    QString m_connectionString;
    QString m_operatorName;
    SecureBytes m_key; // what the file was keyed with, for a connection beside this one

    void openKeyed(const QString &path, const void *key, int keySize, bool beside = false);
    static void createKeyed(const QString &path, const void *key, int keySize);
    void settleCursors(bool rolledBack) noexcept;
    void putToRest() noexcept;
};

// The program's connection string: the data source and the database password.
QString programConnectionString();
// The database password alone (the tail of the connection string).
QString programPassword();
// The database file name, looked for in the current directory.
QString databaseFileName();
// The eight tables every database of the program holds.
QStringList programTableNames();

// The cause of an engine failure in plain words, with what the user can do; empty when the
// engine's own words are all there is to say.
QString engineFaultCause(int rc);

// Raises StoreError for a failed SQLite call: what failed, its cause, and the engine's own words.
[[noreturn]] void raiseEngineError(sqlite3 *db, int rc, const QString &what);

} // namespace orv
