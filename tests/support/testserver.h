#pragma once

#include "data/server/serverconnection.h"

#include <QString>

namespace orv::test {

// A new, empty database of its own on the test cluster (tests/support/pgcluster.sh, started once
// per test run as a ctest fixture), dropped again when the fixture goes. Fails the test loudly when
// no cluster runs: the server's tests never pass by being skipped.
class TestServer final {
public:
    TestServer();
    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    const QString &uri() const noexcept { return m_uri; }
    const QString &name() const noexcept { return m_name; }
    // A URI to another database of the cluster, or to this one with more parameters.
    static QString uriFor(const QString &database, const QString &more = QString());
    // The cluster's own database, for setting up roles and ending connections.
    static server::ServerConnection admin();

private:
    QString m_name;
    QString m_uri;
};

// Whether the server lets the connection run the statement (refusing it NotPermitted, for want of
// a right); tried in a transaction of its own and rolled back either way.
bool permits(server::ServerConnection &connection, const QString &statement);

// A name of its own for a role: roles belong to the whole cluster, which every test shares.
QString unique(const QString &name);

} // namespace orv::test
