#pragma once

#include "data/roles.h"

#include <QString>

namespace orv::ops {

// Who works at the desk. A file kept without operators has nobody signed in, and everything is
// allowed there as it always was.
struct SignedIn {
    QString name;
    Role role = Role::Administrator;
    bool anyone = false;
};

} // namespace orv::ops
