#pragma once

#include <memory>

#include <libpq-fe.h>

namespace orv::server {

// libpq's two handles, each freed by its own call when its owner goes.
struct PgConnCloser {
    void operator()(PGconn *connection) const noexcept { PQfinish(connection); }
};
struct PgResultClearer {
    void operator()(PGresult *result) const noexcept { PQclear(result); }
};
using PgConnHandle = std::unique_ptr<PGconn, PgConnCloser>;
using PgResultHandle = std::unique_ptr<PGresult, PgResultClearer>;

} // namespace orv::server
