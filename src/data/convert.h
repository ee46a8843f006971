#pragma once

#include "keyslots.h"
#include "securekey.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace orv {

class Connection;

// Gives a database kept without operators (keyed with the program's password) a random key of its
// own and a key file whose first 管理员 is the one named.
namespace convert {

struct Protected {
    KeySlots slots;
    SecureKey key;
    QStringList removed; // the automatic copies and copies before a restore, which were unprotected
};

// Exports every table of the open database, the program's own tables included, into a new file
// under a new random key; checks it (the tables, each table's row count, the engine's integrity
// check); writes the key file; renames the new file over the old one, removes the old file's
// journal and log and every unprotected copy the program made of it (the automatic copies and
// those kept before a restore); and opens the connection again on the new key. Until the rename
// nothing of the old file changes: a failure before it removes the new file and the key file and
// raises StoreError, with the connection open on the old file as before. `checked` runs on the
// new file's path after the program's own checks (a further check may refuse by raising).
Protected protectDatabase(Connection &connection, const QString &name, const QString &password,
                          PasswordCost cost = defaultPasswordCost(),
                          const std::function<void(const QString &)> &checked = {});

} // namespace convert
} // namespace orv
