#pragma once

#include "data/connection.h"
#include "data/recordset.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <stdexcept>

#include <QtTest>

struct sqlite3;

namespace orv::test {

// A new database with the eight tables in a temporary folder, opened like the program opens its
// own (the folder is the current directory while the fixture lives).
class TestDatabase final {
public:
    TestDatabase();
    ~TestDatabase();

    Connection &connection() { return *m_connection; }
    QString directory() const { return m_dir.path(); }

    // Runs statements straight on the engine, for setting up rows.
    void exec(const QString &sql);
    // A room for nine, men's, with base readings 100 and 200.
    void addRoom(const QString &room, int residents = 0);
    // Every row of a query, each value as text: NULL as "NULL", reals with 7 significant digits.
    QList<QStringList> rows(const QString &sql);
    // The rows as "a,b|c,d", for comparing a table in one line.
    QString text(const QString &sql);
    int count(const QString &table);

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    std::unique_ptr<Connection> m_connection;
};

// Another program's connection to a database file, keyed with the program's password, for
// holding locks or writing beside the connection under test.
using RawDatabase = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;
RawDatabase openKeyed(const QString &file);
// TestDatabase::rows on any engine handle.
QList<QStringList> rowsOf(sqlite3 *db, const QString &sql);
// The tables a statement's plan walks, in its order, with "sorted" where it sorts.
QStringList planOf(sqlite3 *db, const QString &sql);
// One column of rows of cells.
QStringList columnOf(const QList<QStringList> &rows, int at);
// A set's column from its first row to its last, as each value shows.
QStringList walkColumn(Recordset &set, const QString &column);

// The store error an operation raises; code 0 and no message when it raises none.
StoreError storeErrorOf(const std::function<void()> &operation);

// Records a failure with the framework and stops the test function with an exception, so it
// goes no further than what the helper could not provide.
[[noreturn]] void fail(const QString &message, const char *file, int line);

} // namespace orv::test
