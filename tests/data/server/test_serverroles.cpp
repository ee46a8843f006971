#include "data/roles.h"
#include "data/server/migration.h"
#include "data/server/serverconnection.h"
#include "data/server/serverroles.h"
#include "data/server/serverschema.h"
#include "support/testdatabase.h"
#include "support/testserver.h"

#include <QUrl>

#include <algorithm>

using namespace orv;
using namespace Qt::StringLiterals;
namespace ServerCode = orv::server::ServerCode;
using orv::server::ServerConnection;
using orv::server::ServerOperator;
using orv::test::permits;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;
using orv::test::TestServer;
using orv::test::unique;

namespace {

// A migrated database with one operator of each kind, the kinds of names a desk may choose.
struct Office {
    TestDatabase file;
    TestServer db;
    ServerConnection owner{db.uri()};
    const QString admin = unique(u"管理员 \"老王\" "_s);
    const QString attendant = unique(u"值班 'A' 甲 "_s);

    Office()
    {
        server::migrateToServer(file.connection(), owner);
        server::createOperator(owner, admin, Role::Administrator, u"admin's pw"_s);
        server::createOperator(owner, attendant, Role::Attendant, u"值班\"密码\""_s);
    }
    // The URI of an operator, with its password when one is given.
    QString uriOf(const QString &name, const QString &password = {}) const
    {
        QString parameters = u"user="_s + QString::fromLatin1(QUrl::toPercentEncoding(name));
        if (!password.isNull())
            parameters += u"&password="_s + QString::fromLatin1(QUrl::toPercentEncoding(password));
        return TestServer::uriFor(db.name(), parameters);
    }
    ServerConnection as(const QString &name, const QString &password = {}) const
    {
        return ServerConnection(uriOf(name, password));
    }
    ServerConnection as(Role role) const { return as(role == Role::Administrator ? admin : attendant); }
};

QString sampleValue(server::Kind kind)
{
    return kind == server::Kind::Text ? u"'x'"_s : u"0"_s;
}

// A statement that makes the write on the table's view.
QString statementFor(ServerConnection &c, const server::TableDef &table, Write write, const QString &column = {})
{
    const QString view = u"public."_s + c.identifier(table.name);
    if (write == Write::Delete)
        return u"DELETE FROM %1"_s.arg(view);
    if (write == Write::Update)
        return u"UPDATE %1 SET %2 = %2"_s.arg(view, c.identifier(column));
    QStringList columns;
    QStringList values;
    for (const server::ColumnDef &def : table.columns) {
        columns.append(c.identifier(def.name));
        values.append(sampleValue(def.kind));
    }
    return u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(view, columns.join(u", "_s), values.join(u", "_s));
}

const server::TableDef &tableNamed(const QString &name)
{
    const std::vector<server::TableDef> &all = server::tables();
    const auto found =
        std::find_if(all.begin(), all.end(), [&](const server::TableDef &table) { return table.name == name; });
    if (found == all.end())
        test::fail(u"no table %1 on the server"_s.arg(name), __FILE__, __LINE__);
    return *found;
}

bool permitsWrite(ServerConnection &c, const TableWrite &write)
{
    const server::TableDef &table = tableNamed(write.table);
    if (write.write != Write::Update)
        return permits(c, statementFor(c, table, write.write));
    for (const QString &column : write.columns) {
        if (!permits(c, statementFor(c, table, Write::Update, column)))
            return false;
    }
    return true;
}

// Whether an action the role may do makes the write: the table's single word on it.
bool tableGives(Role role, const QString &table, Write write, const QString &column = {})
{
    for (const Action action : everyAction()) {
        if (!mayDo(role, action))
            continue;
        for (const TableWrite &made : writesOf(action)) {
            if (made.table == table && made.write == write && (column.isEmpty() || made.columns.contains(column)))
                return true;
        }
    }
    return false;
}

} // namespace

class TestServerRoles final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each action of the permission table, tried by a 值班员 and a 管理员 on the server: an action
    // the role may do has every one of its writes taken, one it may not has at least one refused.
    void grantsAgreeWithThePermissionTable()
    {
        Office office;
        for (const Role role : {Role::Administrator, Role::Attendant}) {
            ServerConnection desk = office.as(role);
            for (const Action action : everyAction()) {
                const QList<TableWrite> writes = writesOf(action);
                bool all = true;
                for (const TableWrite &write : writes)
                    all = permitsWrite(desk, write) && all;
                const QString which = u"%1, action %2"_s.arg(roleName(role)).arg(static_cast<int>(action));
                if (mayDo(role, action))
                    QVERIFY2(all, qPrintable(which));
                else if (!writes.isEmpty())
                    QVERIFY2(!all, qPrintable(which));
            }
        }
    }

    // Nothing is granted beyond the table: every insert, delete and column update on every view is
    // taken exactly when an action of the role makes it. Both read everything; the log only grows,
    // and the tables under the views are closed to both.
    void nothingBeyondTheTable()
    {
        Office office;
        for (const Role role : {Role::Administrator, Role::Attendant}) {
            ServerConnection desk = office.as(role);
            for (const server::TableDef &table : server::tables()) {
                const bool log = table.name == kLogTable;
                const QString where = roleName(role) + u" "_s + table.name;
                QVERIFY2(permits(desk, u"SELECT * FROM public.%1"_s.arg(desk.identifier(table.name))),
                         qPrintable(where));
                QCOMPARE(permits(desk, statementFor(desk, table, Write::Insert)),
                         log || tableGives(role, table.name, Write::Insert));
                QCOMPARE(permits(desk, statementFor(desk, table, Write::Delete)),
                         !log && tableGives(role, table.name, Write::Delete));
                for (const server::ColumnDef &column : table.columns)
                    QCOMPARE(permits(desk, statementFor(desk, table, Write::Update, column.name)),
                             !log && tableGives(role, table.name, Write::Update, column.name));
                QVERIFY2(!permits(desk, u"SELECT * FROM %1"_s.arg(server::rowsTable(table.name))), qPrintable(where));
            }
            // The desk opens the database as the program does.
            ServerConnection::open(office.uriOf(role == Role::Administrator ? office.admin : office.attendant));
        }
        // One row per action, and no action writes the log but by appending to it.
        const QList<Action> actions = everyAction();
        QCOMPARE(actions.size(), static_cast<qsizetype>(Action::ManageOperators) + 1);
        for (qsizetype i = 0; i < actions.size(); ++i)
            QCOMPARE(static_cast<qsizetype>(actions[i]), i);
        for (const Action action : actions) {
            for (const TableWrite &write : writesOf(action))
                QVERIFY(write.table != kLogTable);
        }
    }

    // A line appended by a desk cannot be changed or removed by either kind of operator, and the
    // refusal is the server's, for want of the right.
    void theLogCannotBeRewritten()
    {
        Office office;
        ServerConnection attendant = office.as(Role::Attendant);
        attendant.run(u"INSERT INTO oplog (id, time, operator, action, target, detail, prevhash, hash) "
                      "VALUES (1, '2026-12-07 09:00:00', $1, '入住', '2004001', '', '', 'h1')"_s,
                      {office.attendant});
        for (const Role role : {Role::Administrator, Role::Attendant}) {
            ServerConnection desk = office.as(role);
            for (const QString &statement :
                 {u"UPDATE oplog SET detail = 'changed'"_s, u"DELETE FROM oplog"_s,
                  u"UPDATE orvane_rows.oplog SET detail = 'changed'"_s, u"TRUNCATE orvane_rows.oplog"_s}) {
                const StoreError refused = storeErrorOf([&] { desk.run(statement); });
                QCOMPARE(refused.code(), ServerCode::NotPermitted);
                QVERIFY2(refused.message().contains(u"permission denied"_s), qPrintable(refused.message()));
            }
        }
        QCOMPARE(office.owner.value(u"SELECT detail || hash FROM oplog"_s), u"h1"_s);
    }

    // A 管理员 makes, changes and drops operators whose names hold quotes, spaces and Chinese; the
    // changed role is the one the server enforces at once.
    void operatorsAreMadeChangedAndDropped()
    {
        Office office;
        // By name: 值 comes before 管.
        QCOMPARE(server::serverOperators(office.owner),
                 (QList<ServerOperator>{{office.attendant, Role::Attendant}, {office.admin, Role::Administrator}}));
        ServerConnection admin = office.as(Role::Administrator);
        const QString newcomer = unique(u"新 \"值班\" 'x' "_s);
        server::createOperator(admin, newcomer, Role::Attendant, u"pw"_s);
        ServerConnection desk = office.as(newcomer);
        const QString addRoom = statementFor(desk, tableNamed(u"floorinfo"_s), Write::Insert);
        QVERIFY(!permits(desk, addRoom));

        server::changeOperatorRole(admin, newcomer, Role::Administrator);
        QVERIFY(server::serverOperators(admin).contains(ServerOperator{newcomer, Role::Administrator}));
        QVERIFY(permits(desk, addRoom));
        // Now a 管理员 itself, it manages others.
        const QString another = unique(u"另一位"_s);
        server::createOperator(desk, another, Role::Attendant, u"pw"_s);
        server::dropOperator(desk, another);

        server::changeOperatorRole(admin, newcomer, Role::Attendant);
        QVERIFY(!permits(desk, addRoom));
        QVERIFY(server::serverOperators(admin).contains(ServerOperator{newcomer, Role::Attendant}));

        server::dropOperator(admin, newcomer);
        QVERIFY(!server::serverOperators(admin).contains(ServerOperator{newcomer, Role::Attendant}));
        QVERIFY(office.owner.value(u"SELECT 1 FROM pg_roles WHERE rolname = $1"_s, {newcomer}).isNull());

        // Only this database's operators are touched, and a taken name is refused by name.
        const StoreError stranger = storeErrorOf([&] { server::dropOperator(admin, office.owner.userName()); });
        QCOMPARE(stranger.message(), u"“%1”不是这个数据库的操作员。"_s.arg(office.owner.userName()));
        const StoreError taken =
            storeErrorOf([&] { server::createOperator(admin, office.attendant, Role::Attendant, u"pw"_s); });
        QCOMPARE(taken.message(), u"服务器上已有名为“%1”的用户，请换一个名称。"_s.arg(office.attendant));
        const StoreError tooLong =
            storeErrorOf([&] { server::createOperator(admin, QString(22, u'长'), Role::Attendant, u"pw"_s); });
        QVERIFY2(tooLong.message().contains(u"太长"_s), qPrintable(tooLong.message()));
    }

    // A 值班员 cannot make, change or drop an operator: the server refuses, and the message says who
    // is signed in and that only a 管理员 may.
    void attendantIsRefusedByTheServer()
    {
        Office office;
        ServerConnection desk = office.as(Role::Attendant);
        const QString expected = u"只有管理员可以管理操作员，登录服务器的“%1”不是管理员。"_s.arg(office.attendant);
        const std::function<void()> attempts[] = {
            [&] { server::createOperator(desk, unique(u"x"_s), Role::Attendant, u"pw"_s); },
            [&] { server::changeOperatorRole(desk, office.attendant, Role::Administrator); },
            [&] { server::changeOperatorPassword(desk, office.admin, u"mine now"_s); },
            [&] { server::dropOperator(desk, office.admin); },
        };
        for (const auto &attempt : attempts) {
            const StoreError refused = storeErrorOf(attempt);
            QCOMPARE(refused.code(), ServerCode::NotPermitted);
            QVERIFY2(refused.message().startsWith(expected), qPrintable(refused.message()));
        }
        QCOMPARE(server::serverOperators(office.owner).size(), 2);
    }

    // Signing in is the server's: the password set, changed by a 管理员 or by the operator, is the
    // one it asks for, whatever quotes it holds.
    void passwordsAreTheServers()
    {
        Office office;
        // The test cluster asks members of this role for their password and trusts everyone else.
        office.owner.run(u"DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = "
                         "'orv_password_login') THEN CREATE ROLE orv_password_login NOLOGIN; END IF; END $$"_s);
        office.owner.run(u"GRANT orv_password_login TO %1"_s.arg(office.owner.identifier(office.attendant)));
        const auto signIn = [&](const QString &password) { office.as(office.attendant, password); };
        signIn(u"值班\"密码\""_s);
        QCOMPARE(storeErrorOf([&] { signIn(u"wrong"_s); }).code(), ServerCode::SignInRefused);

        ServerConnection admin = office.as(Role::Administrator);
        server::changeOperatorPassword(admin, office.attendant, u"new 'one' \"密\""_s);
        QCOMPARE(storeErrorOf([&] { signIn(u"值班\"密码\""_s); }).code(), ServerCode::SignInRefused);
        signIn(u"new 'one' \"密\""_s);

        ServerConnection own = office.as(office.attendant, u"new 'one' \"密\""_s);
        server::changeOperatorPassword(own, office.attendant, u"my own"_s);
        signIn(u"my own"_s);
        QCOMPARE(storeErrorOf([&] { server::changeOperatorPassword(own, office.attendant, {}); }).message(),
                 u"请输入密码。"_s);
    }

    // Two databases on one cluster: each has its own groups, made again without change, and an
    // operator of one cannot read the other.
    void groupsBelongToTheirDatabase()
    {
        Office office;
        Office other;
        const QString grants = u"SELECT string_agg(grantee || ' ' || table_name || ' ' || privilege_type, ',' "
                               "ORDER BY grantee, table_name, privilege_type) "
                               "FROM information_schema.role_table_grants WHERE grantee LIKE $1"_s;
        const QString mine = office.db.name() + u"\\_%"_s;
        const QString before = office.owner.value(grants, {mine});
        QVERIFY(before.contains(server::groupRole(office.db.name(), Role::Attendant) + u" oplog INSERT"_s));
        server::makeOperatorGroups(office.owner);
        QCOMPARE(office.owner.value(grants, {mine}), before);

        ServerConnection visitor = office.as(other.admin);
        QCOMPARE(storeErrorOf([&] { visitor.run(u"SELECT * FROM floorinfo"_s); }).code(), ServerCode::NotPermitted);
        QVERIFY(!server::serverOperators(office.owner).contains(ServerOperator{other.admin, Role::Administrator}));
    }
};

QTEST_GUILESS_MAIN(TestServerRoles)
#include "test_serverroles.moc"
