#include "unit.h"

#include "data/connection.h"
#include "messagebox.h"

#include <exception>

namespace orv {

namespace {

const QString kFailureLead = QStringLiteral("数据库操作失败!\n错误信息:");

} // namespace

bool runUnit(QWidget *parent, Connection &connection, const std::function<void()> &handler)
{
    // A handler called from inside another (a handler that runs a list at its end) joins the
    // unit already open.
    const bool outermost = !connection.inUnit();
    QString failure;
    try {
        if (outermost)
            connection.beginUnit();
        handler();
        if (outermost)
            connection.commitUnit();
        return true;
    } catch (const StoreError &error) {
        if (!outermost)
            throw;
        failure = error.message();
    } catch (const std::exception &error) {
        // Anything else a handler raises (memory, a library) must not leave a Qt slot either;
        // its writes are undone all the same.
        if (!outermost)
            throw;
        failure = QString::fromUtf8(error.what());
    } catch (...) {
        if (!outermost)
            throw;
        failure = QStringLiteral("未知错误。");
    }
    connection.rollbackUnit();
    showMessage(parent, kFailureLead + failure);
    return false;
}

} // namespace orv
