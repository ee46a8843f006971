#include "unit.h"

#include "data/backend.h"
#include "data/connection.h"
#include "messagebox.h"

#include <QCoreApplication>

#include <exception>

namespace orv {

namespace {

const QString kFailureLead = QStringLiteral("数据库操作失败!\n错误信息:");

// The message of the exception being handled. Anything else a handler raises (memory, a
// library) must not leave a Qt slot either, so every kind is put in words.
QString caughtMessage()
{
    try {
        throw;
    } catch (const StoreError &error) {
        return error.message();
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("未知错误。");
    }
}

// True when the unit that `error` refused is to run again as a whole (it collided with another
// desk's on a server); otherwise `failure` says what stands.
bool runsAgain(Connection &connection, const StoreError &error, int attempt, QString &failure)
{
    try {
        if (store::Backend *backend = connection.backend(); backend && backend->runAgain(error, attempt))
            return true;
        failure = error.message();
    } catch (const StoreError &spent) {
        failure = spent.message();
    }
    return false;
}

// A server's connection that went while the program stood idle is found only by the next
// statement, the unit's begin; a unit that has run nothing yet begins again on a connection made
// anew.
void beginUnit(Connection &connection)
{
    try {
        connection.beginUnit();
    } catch (const StoreError &) {
        if (!connection.isServer())
            throw;
        connection.rollbackUnit();
        connection.beginUnit();
    }
}

} // namespace

bool runUnit(QWidget *parent, Connection &connection, const std::function<void()> &handler,
             const std::function<void()> &beforeCommit)
{
    // A handler called from inside another (a handler that runs a list at its end) joins the
    // unit already open.
    if (connection.inUnit()) {
        handler();
        return true;
    }
    UnitBoxes boxes(QCoreApplication::instance());
    QString failure;
    for (int attempt = 1;; ++attempt) {
        try {
            beginUnit(connection);
            handler();
            if (beforeCommit)
                beforeCommit();
            connection.commitUnit();
            boxes.release();
            return true;
        } catch (const StoreError &error) {
            // Its writes are undone whatever it raised.
            connection.rollbackUnit();
            if (runsAgain(connection, error, attempt, failure)) {
                boxes.runAgain();
                continue;
            }
        } catch (...) {
            connection.rollbackUnit();
            failure = caughtMessage();
        }
        break;
    }
    boxes.release();
    showMessage(parent, kFailureLead + failure);
    return false;
}

bool runGuarded(QWidget *parent, const QString &lead, const std::function<void()> &action)
{
    QString failure;
    try {
        action();
        return true;
    } catch (...) {
        failure = caughtMessage();
    }
    showMessage(parent, lead + failure);
    return false;
}

QString unitFailureLead()
{
    return kFailureLead;
}

bool logInOwnUnit(QWidget *parent, Connection &connection, const QString &operatorName, oplog::Entry entry)
{
    if (entry.action.isEmpty())
        return false;
    entry.operatorName = operatorName;
    return runUnit(
        parent, connection, [] {}, [&] { oplog::append(connection, entry); });
}

} // namespace orv
