#include "operatorroster.h"

#include "data/server/serverconnection.h"
#include "data/server/serverroles.h"
#include "operations/desk.h"

namespace orv {

namespace {

class KeyFileRoster final : public OperatorRoster {
public:
    KeyFileRoster(ops::Desk &desk, PasswordCost cost) : m_desk(desk), m_cost(cost) {}

    QString signedIn() const override { return m_desk.who().name; }
    QList<OperatorEntry> operators() override
    {
        const KeySlots *slots = m_desk.slots();
        return slots ? slots->operators() : QList<OperatorEntry>();
    }
    bool isOwnPassword(const QString &password) override { return slots().open(m_desk.who().name, password).opened(); }
    void add(const QString &name, Role role, const QString &password) override
    {
        slots().addOperator(m_desk.key(), name, password, role, m_cost);
    }
    void setPassword(const QString &name, const QString &password) override
    {
        slots().changePassword(m_desk.key(), name, password, m_cost);
    }
    void setRole(const QString &name, Role role) override { slots().changeRole(m_desk.key(), name, role); }
    void remove(const QString &name) override { slots().removeOperator(m_desk.key(), name); }

private:
    // The desk may sign in on other slots while a dialog is open; they are read afresh each time.
    KeySlots &slots()
    {
        KeySlots *slots = m_desk.slots();
        if (!slots)
            throw StoreError(StoreCode::InvalidPointer, QStringLiteral("这个数据库没有设置操作员。"));
        return *slots;
    }

    ops::Desk &m_desk;
    PasswordCost m_cost;
};

class ServerRoster final : public OperatorRoster {
public:
    explicit ServerRoster(server::ServerConnection &server) : m_server(server) {}

    QString signedIn() const override { return m_server.userName(); }
    QList<OperatorEntry> operators() override
    {
        QList<OperatorEntry> entries;
        for (const server::ServerOperator &each : server::serverOperators(live()))
            entries.append({each.name, each.role});
        return entries;
    }
    bool isOwnPassword(const QString &password) override { return server::signsInWith(live(), password); }
    void add(const QString &name, Role role, const QString &password) override
    {
        server::createOperator(live(), name, role, password);
    }
    void setPassword(const QString &name, const QString &password) override
    {
        server::changeOperatorPassword(live(), name, password);
    }
    void setRole(const QString &name, Role role) override { server::changeOperatorRole(live(), name, role); }
    void remove(const QString &name) override { server::dropOperator(live(), name); }

private:
    // The pages' connection, which the server may have ended since their last click.
    server::ServerConnection &live()
    {
        m_server.reconnectIfLost();
        return m_server;
    }

    server::ServerConnection &m_server;
};

} // namespace

std::unique_ptr<OperatorRoster> keyFileRoster(ops::Desk &desk, PasswordCost cost)
{
    return std::make_unique<KeyFileRoster>(desk, cost);
}

std::unique_ptr<OperatorRoster> serverRoster(server::ServerConnection &server)
{
    return std::make_unique<ServerRoster>(server);
}

} // namespace orv
