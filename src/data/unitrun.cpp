#include "unitrun.h"

#include "backend.h"
#include "connection.h"

namespace orv {

int runUnitAgainOnCollision(Connection &connection, const std::function<void()> &work)
{
    for (int attempt = 1;; ++attempt) {
        try {
            connection.beginUnit();
            work();
            connection.commitUnit();
            return attempt;
        } catch (const StoreError &failure) {
            connection.rollbackUnit();
            store::Backend *backend = connection.backend();
            if (!backend || !backend->runAgain(failure, attempt))
                throw;
        } catch (...) {
            connection.rollbackUnit();
            throw;
        }
    }
}

} // namespace orv
