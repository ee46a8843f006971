#include "unit.h"

#include "data/connection.h"
#include "messagebox.h"

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

} // namespace

bool runUnit(QWidget *parent, Connection &connection, const std::function<void()> &handler,
             const std::function<void()> &beforeCommit)
{
    // A handler called from inside another (a handler that runs a list at its end) joins the
    // unit already open.
    const bool outermost = !connection.inUnit();
    QString failure;
    try {
        if (outermost)
            connection.beginUnit();
        handler();
        if (outermost) {
            if (beforeCommit)
                beforeCommit();
            connection.commitUnit();
        }
        return true;
    } catch (...) {
        // Its writes are undone whatever it raised.
        if (!outermost)
            throw;
        failure = caughtMessage();
    }
    connection.rollbackUnit();
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
