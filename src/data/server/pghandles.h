#pragma once

#include <memory>

#include <libpq-fe.h>

namespace orv::server {

// libpq's handles, each freed by its own call when its owner goes.
struct PgConnCloser {
    void operator()(PGconn *connection) const noexcept { PQfinish(connection); }
};
struct PgResultClearer {
    void operator()(PGresult *result) const noexcept { PQclear(result); }
};
// What libpq allocates for its caller (escaped names and texts, encrypted passwords).
struct PgFreer {
    void operator()(char *text) const noexcept { PQfreemem(text); }
};
using PgConnHandle = std::unique_ptr<PGconn, PgConnCloser>;
using PgResultHandle = std::unique_ptr<PGresult, PgResultClearer>;
using PgText = std::unique_ptr<char, PgFreer>;

} // namespace orv::server
