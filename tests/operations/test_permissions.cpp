#include "operations/permissions.h"

#include <QtTest>

using namespace orv;
using namespace orv::ops;
using namespace Qt::StringLiterals;

class TestPermissions final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The whole table: every action, whether a 值班员 may do it, and the tooltip that says why not.
    void eachActionForEachRole_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("attendantTip"); // empty: the 值班员 may do it too
        const QString no = u"值班员不能%1，请由管理员操作。"_s;
        const struct {
            Action action;
            QString name;
            QString tip;
        } rows[] = {
            {Action::CheckIn, u"入住"_s, {}},
            {Action::CheckOut, u"迁出"_s, {}},
            {Action::BatchCheckIn, u"批量入住"_s, {}},
            {Action::Query, u"查询"_s, {}},
            {Action::SettleUtilities, u"水电费结算"_s, {}},
            {Action::BatchReadings, u"批量抄表"_s, {}},
            {Action::SettleRent, u"房租结算"_s, {}},
            {Action::Export, u"导出"_s, {}},
            {Action::Print, u"打印"_s, {}},
            {Action::Backup, u"备份"_s, {}},
            {Action::CheckDatabase, u"检查数据库"_s, {}},
            {Action::ChangeOwnPassword, u"修改本人密码"_s, {}},
            {Action::SetFeeStandard, u"设置费用标准"_s, no.arg(u"设置费用标准"_s)},
            {Action::AddRoom, u"添加房间"_s, no.arg(u"添加房间"_s)},
            {Action::ModifyRoom, u"修改房间"_s, no.arg(u"修改房间"_s)},
            {Action::DeleteRoom, u"删除房间"_s, no.arg(u"删除房间"_s)},
            {Action::RestoreDatabase, u"恢复数据库"_s, no.arg(u"恢复数据库"_s)},
            {Action::ManageOperators, u"管理操作员"_s, no.arg(u"管理操作员"_s)},
        };
        QCOMPARE(allActions().size(), static_cast<qsizetype>(std::size(rows)));
        for (const auto &row : rows)
            QTest::newRow(qPrintable(row.name)) << row.action << row.name << row.tip;
    }
    void eachActionForEachRole()
    {
        QFETCH(Action, action);
        QFETCH(QString, name);
        QFETCH(QString, attendantTip);
        QCOMPARE(actionName(action), name);
        QVERIFY(isAllowed(Role::Administrator, action));
        QCOMPARE(refusalTip(Role::Administrator, action), QString());
        QCOMPARE(isAllowed(Role::Attendant, action), attendantTip.isEmpty());
        QCOMPARE(refusalTip(Role::Attendant, action), attendantTip);
    }
};

QTEST_GUILESS_MAIN(TestPermissions)
#include "test_permissions.moc"
