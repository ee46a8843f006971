#include "roles.h"

namespace orv {

QString roleName(Role role)
{
    return role == Role::Administrator ? QStringLiteral("管理员") : QStringLiteral("值班员");
}

std::optional<Role> roleFromName(const QString &name)
{
    for (const Role role : {Role::Administrator, Role::Attendant}) {
        if (name == roleName(role))
            return role;
    }
    return std::nullopt;
}

} // namespace orv
