#include "permissions.h"

#include <iterator>

namespace orv::ops {

namespace {

struct Permission {
    Action action;
    const char16_t *name;
    const char16_t *phrase; // what the refusal says the role cannot do
};

// One row per action: how the menus, the log and the refusals name it.
constexpr Permission kTable[] = {
    {Action::CheckIn, u"入住", u"办理入住"},
    {Action::CheckOut, u"迁出", u"办理迁出"},
    {Action::BatchCheckIn, u"批量入住", u"批量入住"},
    {Action::Query, u"查询", u"查询"},
    {Action::SettleUtilities, u"水电费结算", u"结算水电费"},
    {Action::BatchReadings, u"批量抄表", u"批量抄表"},
    {Action::SettleRent, u"房租结算", u"结算房租"},
    {Action::Export, u"导出", u"导出列表"},
    {Action::Print, u"打印", u"打印列表"},
    {Action::Backup, u"备份", u"备份数据库"},
    {Action::CheckDatabase, u"检查数据库", u"检查数据库"},
    {Action::ChangeOwnPassword, u"修改本人密码", u"修改本人密码"},
    {Action::SetFeeStandard, u"设置费用标准", u"设置费用标准"},
    {Action::AddRoom, u"添加房间", u"添加房间"},
    {Action::ModifyRoom, u"修改房间", u"修改房间"},
    {Action::DeleteRoom, u"删除房间", u"删除房间"},
    {Action::RestoreDatabase, u"恢复数据库", u"恢复数据库"},
    {Action::ManageOperators, u"管理操作员", u"管理操作员"},
};

constexpr bool inActionOrder()
{
    for (std::size_t i = 0; i < std::size(kTable); ++i) {
        if (static_cast<std::size_t>(kTable[i].action) != i)
            return false;
    }
    return std::size(kTable) == static_cast<std::size_t>(Action::ManageOperators) + 1;
}
// Looked up by the action's value: a row out of place or missing would give another action's right.
static_assert(inActionOrder(), "one row per action, in the order Action declares them");

const Permission &permissionOf(Action action)
{
    return kTable[static_cast<std::size_t>(action)];
}

} // namespace

QList<Action> allActions()
{
    QList<Action> actions;
    for (const Permission &permission : kTable)
        actions.append(permission.action);
    return actions;
}

QString actionName(Action action)
{
    return QString::fromUtf16(permissionOf(action).name);
}

bool isAllowed(Role role, Action action)
{
    return mayDo(role, action);
}

QString refusalTip(Role role, Action action)
{
    if (isAllowed(role, action))
        return QString();
    return QStringLiteral("%1不能%2，请由管理员操作。")
        .arg(roleName(role), QString::fromUtf16(permissionOf(action).phrase));
}

} // namespace orv::ops
