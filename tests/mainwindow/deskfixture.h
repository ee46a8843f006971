#pragma once

#include "data/keyslots.h"
#include "operations/desk.h"

#include <QFile>
#include <QTemporaryDir>

namespace orv::test {

// The least Argon2id allows: the slots keep their cost, so the tests need not pay the real one.
constexpr PasswordCost kCheapCost{1, 8192};

// A desk whose key file holds the 管理员 张三 (password "甲乙") and the 值班员 李四 ("丙丁"),
// signed in as `name`. The key only has to match the key file: the pages' database is another.
inline void signIn(ops::Desk &desk, const QTemporaryDir &dir, const QString &name, Role role)
{
    SecureKey key = SecureKey::random();
    // A new key file for each sign-in: a key file is never made over another.
    QString path = dir.filePath(QStringLiteral("OrvDb.keys"));
    for (int n = 1; QFile::exists(path); ++n)
        path = dir.filePath(QStringLiteral("OrvDb%1.keys").arg(n));
    KeySlots slots = KeySlots::create(path, key, QStringLiteral("张三"), QStringLiteral("甲乙"), kCheapCost);
    slots.addOperator(key, QStringLiteral("李四"), QStringLiteral("丙丁"), Role::Attendant, kCheapCost);
    desk.signIn(std::move(slots), std::move(key), {name, role, false});
}

} // namespace orv::test
