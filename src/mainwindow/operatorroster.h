#pragma once

#include "data/keyslots.h"

#include <QList>
#include <QString>

#include <memory>

namespace orv {

namespace ops {
class Desk;
}
namespace server {
class ServerConnection;
}

// The operators "操作员…" and "修改密码…" show and change: a key file's slots, or a server's login
// roles. Every change is made at once; a refusal or a failure raises StoreError saying why.
class OperatorRoster {
public:
    OperatorRoster() = default;
    OperatorRoster(const OperatorRoster &) = delete;
    OperatorRoster &operator=(const OperatorRoster &) = delete;
    virtual ~OperatorRoster() = default;

    // Who is signed in: the changes are logged in this name.
    virtual QString signedIn() const = 0;
    virtual QList<OperatorEntry> operators() = 0;
    // Whether the signed-in operator's password is this one.
    virtual bool isOwnPassword(const QString &password) = 0;
    virtual void add(const QString &name, Role role, const QString &password) = 0;
    virtual void setPassword(const QString &name, const QString &password) = 0;
    virtual void setRole(const QString &name, Role role) = 0;
    virtual void remove(const QString &name) = 0;
};

// The open file's key slots on the desk; new passwords get `cost`.
std::unique_ptr<OperatorRoster> keyFileRoster(ops::Desk &desk, PasswordCost cost);
// The server's operators of the connection's database, managed by its user.
std::unique_ptr<OperatorRoster> serverRoster(server::ServerConnection &server);

} // namespace orv
