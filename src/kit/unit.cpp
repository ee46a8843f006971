#include "unit.h"

#include "data/connection.h"
#include "messagebox.h"

namespace orv {

bool runUnit(QWidget *parent, Connection &connection, const std::function<void()> &handler)
{
    // A handler called from inside another (a handler that runs a list at its end) joins the
    // unit already open.
    const bool outermost = !connection.inUnit();
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
        connection.rollbackUnit();
        showMessage(parent, QStringLiteral("数据库操作失败!\n错误信息:") + error.message());
        return false;
    }
}

} // namespace orv
