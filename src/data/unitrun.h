#pragma once

#include <functional>

namespace orv {

class Connection;

// Runs `work` as one unit of the connection: committed when it returns, rolled back when it
// raises. On a store where units of several desks may collide (a server), a unit that collided
// is rolled back and run again as a whole, a few times at most, then refused with a message that
// names the cause. Returns the number of runs it took.
int runUnitAgainOnCollision(Connection &connection, const std::function<void()> &work);

} // namespace orv
