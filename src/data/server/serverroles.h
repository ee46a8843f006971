#pragma once

#include "data/roles.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace orv::server {

class ServerConnection;

// On a server every operator is a login role of its own and signs in by the server's own
// authentication. What a role may write comes from two group roles per database, one for each
// kind of operator, whose grants are made from the permission table (data/roles.h).
//
// Roles belong to the whole cluster, which may hold several of the program's databases, so the
// groups are named after the database: "<database>_admin" and "<database>_attendant". The two
// endings differ in their last letter, so no database's group can carry another's name.
QString groupRole(const QString &database, Role role);

// The grants of the two groups on the program's views, made from the permission table: both read
// every table, append to the operation log and never change it; each writes what the actions its
// role may do write, and nothing else. The tables under the views stay the owner's alone.
QStringList grantStatements(ServerConnection &server);

// Makes the two groups of the connection's database when they are missing and gives them their
// grants afresh; running it again changes nothing. Needs a user that may create roles.
void makeOperatorGroups(ServerConnection &server);

struct ServerOperator {
    QString name;
    Role role;
    bool operator==(const ServerOperator &other) const { return name == other.name && role == other.role; }
};

// The role the connection's user works in: 管理员 for a member of the database's 管理员 group,
// its owner or a superuser; 值班员 for a member of the other group; none for anyone else.
std::optional<Role> signedInRole(ServerConnection &server);
// The same, refusing (NotPermitted) a user who is none of the database's operators, by name.
Role requireSignedInRole(ServerConnection &server);
// Whether the connection's user signs in again with `password`; a server that trusts the user
// without one takes any. Raises Unreachable when the server cannot be asked.
bool signsInWith(ServerConnection &server, const QString &password);

// The operators of the connection's database, by name.
QList<ServerOperator> serverOperators(ServerConnection &server);

// Managing the operators is for a 管理员 (or the database's owner): the server refuses anyone else,
// and the refusal says so. Names and passwords may hold any character; a password travels only as
// the hash libpq makes of it.
void createOperator(ServerConnection &server, const QString &name, Role role, const QString &password);
void changeOperatorRole(ServerConnection &server, const QString &name, Role role);
// Also every operator's own: changing one's own password needs no other right.
void changeOperatorPassword(ServerConnection &server, const QString &name, const QString &password);
void dropOperator(ServerConnection &server, const QString &name);

} // namespace orv::server
