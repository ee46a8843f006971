#include "serverroles.h"

#include "serverconnection.h"
#include "serverschema.h"

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace orv::server {

namespace {

// PostgreSQL cuts longer names short, which would make a role of another name.
constexpr int kNameBytes = 63;

struct ConnOptionsFreer {
    void operator()(PQconninfoOption *options) const noexcept { PQconninfoFree(options); }
};
using ConnOptions = std::unique_ptr<PQconninfoOption, ConnOptionsFreer>;

const QString kNotOperator = QStringLiteral("“%1”不是这个数据库的操作员。");

struct Granted {
    bool insert = false;
    bool remove = false;
    QStringList updated;
};

// What the actions a role may do write, table by table.
std::map<QString, Granted> grantedTo(Role role)
{
    std::map<QString, Granted> granted;
    for (const Action action : everyAction()) {
        if (!mayDo(role, action))
            continue;
        for (const TableWrite &write : writesOf(action)) {
            Granted &table = granted[write.table];
            if (write.write == Write::Insert)
                table.insert = true;
            else if (write.write == Write::Delete)
                table.remove = true;
            for (const QString &column : write.columns) {
                if (!table.updated.contains(column))
                    table.updated.append(column);
            }
        }
    }
    return granted;
}

bool roleExists(ServerConnection &server, const QString &name)
{
    return !server.value(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = $1"), {name}).isNull();
}

void requireName(const QString &name)
{
    if (name.trimmed().isEmpty())
        throw StoreError(ServerCode::Failed, QStringLiteral("请输入操作员名称。"));
    if (name.toUtf8().size() > kNameBytes)
        throw StoreError(ServerCode::Failed,
                         QStringLiteral("操作员名称“%1”太长：服务器上的名称最长 %2 个字节（约 21 个汉字）。")
                             .arg(name)
                             .arg(kNameBytes));
}

// The password as the hash libpq makes of it, in the server's own choice of method.
QString passwordHash(ServerConnection &server, const QString &name, const QString &password)
{
    if (password.isEmpty())
        throw StoreError(ServerCode::Failed, QStringLiteral("请输入密码。"));
    const QByteArray user = name.toUtf8();
    const QByteArray text = password.toUtf8();
    const PgText hash(PQencryptPasswordConn(server.handle(), text.constData(), user.constData(), nullptr));
    if (!hash)
        throw StoreError(
            ServerCode::Failed,
            QStringLiteral("无法为密码加密：%1").arg(QString::fromUtf8(PQerrorMessage(server.handle())).trimmed()));
    return QString::fromUtf8(hash.get());
}

QString roleAttributes(Role role)
{
    // Only a 管理员 makes and changes roles.
    return role == Role::Administrator ? QStringLiteral("CREATEROLE") : QStringLiteral("NOCREATEROLE");
}

// Runs a change of the operators; a refusal for want of the right says who is signed in and why.
void asManager(ServerConnection &server, const std::function<void()> &work)
{
    try {
        work();
    } catch (const StoreError &error) {
        if (error.code() != ServerCode::NotPermitted)
            throw;
        throw StoreError(ServerCode::NotPermitted,
                         QStringLiteral("只有管理员可以管理操作员，登录服务器的“%1”不是管理员。%2")
                             .arg(server.userName(), error.message()));
    }
}

Role requireOperator(ServerConnection &server, const QString &name)
{
    for (const ServerOperator &member : serverOperators(server)) {
        if (member.name == name)
            return member.role;
    }
    throw StoreError(ServerCode::Failed, kNotOperator.arg(name));
}

} // namespace

QString groupRole(const QString &database, Role role)
{
    QString name = database + (role == Role::Administrator ? QStringLiteral("_admin") : QStringLiteral("_attendant"));
    if (name.toUtf8().size() > kNameBytes)
        throw StoreError(ServerCode::Failed,
                         QStringLiteral("数据库名称“%1”太长：操作员的用户组以它命名，服务器上的名称最长 %2 个字节。"
                                        "请换一个较短的数据库名称。")
                             .arg(database)
                             .arg(kNameBytes));
    return name;
}

QStringList grantStatements(ServerConnection &server)
{
    QStringList statements;
    for (const Role role : {Role::Administrator, Role::Attendant}) {
        const QString group = server.identifier(groupRole(server.databaseName(), role));
        statements.append(QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM %1").arg(group));
        statements.append(
            QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA %1 FROM %2").arg(quoted(kRowsSchema), group));
        // Opening the database reads the version of its tables; the tables themselves stay closed:
        // a view writes to its table with its owner's rights.
        statements.append(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(quoted(kRowsSchema), group));
        statements.append(
            QStringLiteral("GRANT SELECT ON %1 TO %2").arg(rowsTable(QStringLiteral("schema_version")), group));
        const std::map<QString, Granted> granted = grantedTo(role);
        for (const TableDef &table : tables()) {
            const QString view = QStringLiteral("public.") + server.identifier(table.name);
            QStringList privileges{QStringLiteral("SELECT")};
            const auto found = granted.find(table.name);
            // The log only grows: its chain of hashes holds only while no row is changed.
            if (table.name == kLogTable) {
                privileges.append(QStringLiteral("INSERT"));
            } else if (found != granted.end()) {
                if (found->second.insert)
                    privileges.append(QStringLiteral("INSERT"));
                if (found->second.remove)
                    privileges.append(QStringLiteral("DELETE"));
                if (!found->second.updated.isEmpty()) {
                    QStringList columns;
                    for (const QString &column : found->second.updated)
                        columns.append(server.identifier(column));
                    privileges.append(QStringLiteral("UPDATE (%1)").arg(columns.join(QStringLiteral(", "))));
                }
            }
            // The cursors' view with its order column gives the same rights.
            for (const QString &target : {view, orderedView(table.name)})
                statements.append(
                    QStringLiteral("GRANT %1 ON %2 TO %3").arg(privileges.join(QStringLiteral(", ")), target, group));
        }
    }
    return statements;
}

void makeOperatorGroups(ServerConnection &server)
{
    for (const Role role : {Role::Administrator, Role::Attendant}) {
        const QString name = groupRole(server.databaseName(), role);
        if (!roleExists(server, name))
            server.run(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(server.identifier(name)), {},
                       QStringLiteral("建立操作员用户组“%1”失败").arg(name));
    }
    for (const QString &statement : grantStatements(server))
        server.run(statement, {}, QStringLiteral("给操作员用户组授权失败"));
}

std::optional<Role> signedInRole(ServerConnection &server)
{
    // The groups may be missing on a database set up by hand; its owner still manages it.
    const QString role = server.value(
        QStringLiteral("SELECT CASE WHEN u.rolsuper OR pg_has_role(u.oid, d.datdba, 'MEMBER') "
                       "OR EXISTS (SELECT 1 FROM pg_roles g WHERE g.rolname = $1 "
                       "AND pg_has_role(u.oid, g.oid, 'MEMBER')) THEN 'a' "
                       "WHEN EXISTS (SELECT 1 FROM pg_roles g WHERE g.rolname = $2 "
                       "AND pg_has_role(u.oid, g.oid, 'MEMBER')) THEN 't' ELSE '' END "
                       "FROM pg_roles u JOIN pg_database d ON d.datname = current_database() "
                       "WHERE u.rolname = current_user"),
        {groupRole(server.databaseName(), Role::Administrator), groupRole(server.databaseName(), Role::Attendant)},
        QStringLiteral("读取登录用户的角色失败"));
    if (role == QLatin1String("a"))
        return Role::Administrator;
    if (role == QLatin1String("t"))
        return Role::Attendant;
    return std::nullopt;
}

Role requireSignedInRole(ServerConnection &server)
{
    if (const std::optional<Role> role = signedInRole(server))
        return *role;
    throw StoreError(ServerCode::NotPermitted,
                     QStringLiteral("登录服务器的“%1”不是数据库“%2”的操作员：它既不在用户组“%3”中，也不在“%4”中。"
                                    "请管理员用“操作员…”添加。")
                         .arg(server.userName(), server.databaseName(),
                              groupRole(server.databaseName(), Role::Administrator),
                              groupRole(server.databaseName(), Role::Attendant)));
}

bool signsInWith(ServerConnection &server, const QString &password)
{
    const ConnOptions options(PQconninfo(server.handle()));
    if (!options)
        throw StoreError(ServerCode::Failed, QStringLiteral("无法读取连接参数：内存不足。"));
    const QByteArray given = password.toUtf8();
    // Everything the connection was opened with, but the password.
    std::vector<const char *> keywords;
    std::vector<const char *> values;
    for (const PQconninfoOption *option = options.get(); option->keyword; ++option) {
        if (!option->val || std::strcmp(option->keyword, "password") == 0)
            continue;
        keywords.push_back(option->keyword);
        values.push_back(option->val);
    }
    keywords.push_back("password");
    values.push_back(given.constData());
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    const PgConnHandle attempt(PQconnectdbParams(keywords.data(), values.data(), 0));
    if (attempt && PQstatus(attempt.get()) == CONNECTION_OK)
        return true;
    // Only a refusal of the password itself says the password was wrong.
    if (attempt && PQconnectionUsedPassword(attempt.get()))
        return false;
    throw StoreError(
        ServerCode::Unreachable,
        QStringLiteral("无法连接数据库服务器核对密码。（服务器：%1）")
            .arg(attempt ? QString::fromUtf8(PQerrorMessage(attempt.get())).trimmed() : QStringLiteral("内存不足")));
}

QList<ServerOperator> serverOperators(ServerConnection &server)
{
    const QString admin = groupRole(server.databaseName(), Role::Administrator);
    const QString attendant = groupRole(server.databaseName(), Role::Attendant);
    PgResultHandle result =
        server.run(QStringLiteral("SELECT m.rolname, bool_or(g.rolname = $1) FROM pg_auth_members a "
                                  "JOIN pg_roles m ON m.oid = a.member JOIN pg_roles g ON g.oid = a.roleid "
                                  "WHERE g.rolname IN ($1, $2) GROUP BY m.rolname ORDER BY m.rolname"),
                   {admin, attendant}, QStringLiteral("读取操作员失败"));
    QList<ServerOperator> operators;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        operators.append({QString::fromUtf8(PQgetvalue(result.get(), row, 0)),
                          *PQgetvalue(result.get(), row, 1) == 't' ? Role::Administrator : Role::Attendant});
    return operators;
}

void createOperator(ServerConnection &server, const QString &name, Role role, const QString &password)
{
    requireName(name);
    if (roleExists(server, name))
        throw StoreError(ServerCode::Failed, QStringLiteral("服务器上已有名为“%1”的用户，请换一个名称。").arg(name));
    const QString hash = passwordHash(server, name, password);
    asManager(server, [&] {
        server.run(QStringLiteral("CREATE ROLE %1 LOGIN %2 PASSWORD %3 IN ROLE %4")
                       .arg(server.identifier(name), roleAttributes(role), server.literal(hash),
                            server.identifier(groupRole(server.databaseName(), role))),
                   {}, QStringLiteral("创建操作员“%1”失败").arg(name));
    });
}

void changeOperatorRole(ServerConnection &server, const QString &name, Role role)
{
    const Role was = requireOperator(server, name);
    if (was == role)
        return;
    const QString what = QStringLiteral("修改操作员“%1”的角色失败").arg(name);
    asManager(server, [&] {
        server.runUnit(
            [&](ServerConnection &c) {
                const QString member = c.identifier(name);
                c.run(QStringLiteral("REVOKE %1 FROM %2").arg(c.identifier(groupRole(c.databaseName(), was)), member),
                      {}, what);
                c.run(QStringLiteral("GRANT %1 TO %2").arg(c.identifier(groupRole(c.databaseName(), role)), member), {},
                      what);
                c.run(QStringLiteral("ALTER ROLE %1 %2").arg(member, roleAttributes(role)), {}, what);
            },
            1);
    });
}

void changeOperatorPassword(ServerConnection &server, const QString &name, const QString &password)
{
    if (name != server.userName())
        requireOperator(server, name);
    const QString hash = passwordHash(server, name, password);
    asManager(server, [&] {
        server.run(QStringLiteral("ALTER ROLE %1 PASSWORD %2").arg(server.identifier(name), server.literal(hash)), {},
                   QStringLiteral("修改操作员“%1”的密码失败").arg(name));
    });
}

void dropOperator(ServerConnection &server, const QString &name)
{
    requireOperator(server, name);
    asManager(server, [&] {
        server.run(QStringLiteral("DROP ROLE %1").arg(server.identifier(name)), {},
                   QStringLiteral("删除操作员“%1”失败").arg(name));
    });
}

} // namespace orv::server
