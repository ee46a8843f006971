#pragma once

#include <QString>

#include <optional>

namespace orv {

// What an operator is allowed to do is decided by the role alone (see operations/permissions.h).
enum class Role {
    Administrator, // 管理员: everything, including the operators themselves
    Attendant,     // 值班员: the desk's daily work
};

// The role's name as the key slots store it and the user reads it.
QString roleName(Role role);
// The role a stored name stands for; none for any other text.
std::optional<Role> roleFromName(const QString &name);

} // namespace orv
