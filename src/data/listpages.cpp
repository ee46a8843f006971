#include "listpages.h"

#include "backend.h"
#include "connection.h"
#include "filepages.h"

namespace orv::store {

std::unique_ptr<ListPages> ListPages::open(Connection &connection, sql::ListQuery query, int blockRows,
                                           Counting counting)
{
    if (Backend *backend = connection.backend())
        return backend->openList(std::move(query), blockRows);
    return std::make_unique<FilePages>(connection, std::move(query), blockRows, counting);
}

} // namespace orv::store
