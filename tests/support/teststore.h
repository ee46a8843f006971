#pragma once

#include "support/testdatabase.h"
#include "support/testserver.h"

#include <memory>

namespace orv::test {

// The store an operation suite runs on: the file TestDatabase makes, or, when the suite is run with
// ORV_TEST_STORE=server, a database of its own on the test cluster holding the same empty tables,
// opened as a desk opens one. Set-up statements and raw reads are written for the file (rowid, the
// file's functions) and go to whichever store it is.
class TestStore final {
public:
    TestStore();
    ~TestStore();
    TestStore(const TestStore &) = delete;
    TestStore &operator=(const TestStore &) = delete;

    static bool serverRun();
    bool isServer() const noexcept { return m_server != nullptr; }
    Connection &connection() { return m_desk ? *m_desk : m_file.connection(); }
    QString directory() const { return m_file.directory(); }
    // Another desk on the same store, with a connection of its own.
    std::unique_ptr<Connection> anotherDesk();

    void exec(const QString &sql);
    void addRoom(const QString &room, int residents = 0);
    QList<QStringList> rows(const QString &sql);
    QString text(const QString &sql);
    int count(const QString &table);
    // Makes the store refuse every row added to the table, as a damaged or full store would.
    void refuseInsertsInto(const QString &table);

private:
    TestDatabase m_file; // the current directory while the store lives
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<Connection> m_desk;
};

} // namespace orv::test
