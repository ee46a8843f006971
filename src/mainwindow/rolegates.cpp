#include "rolegates.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QWidget>

namespace orv {

namespace {

using ops::Action;

// One control's own enabled state and tooltip, kept while a role holds it off.
class RoleGuard final : public QObject {
public:
    explicit RoleGuard(QObject *control) : QObject(control) { setObjectName(QString::fromLatin1(kName)); }

    static constexpr const char *kName = "orvRoleGuard";

    static RoleGuard *of(QObject *control)
    {
        auto *guard = control->findChild<RoleGuard *>(QString::fromLatin1(kName), Qt::FindDirectChildrenOnly);
        if (guard)
            return guard;
        guard = new RoleGuard(control);
        if (auto *widget = qobject_cast<QWidget *>(control)) {
            guard->m_wanted = !widget->testAttribute(Qt::WA_ForceDisabled);
            guard->m_toolTip = widget->toolTip();
            widget->installEventFilter(guard);
        } else if (auto *action = qobject_cast<QAction *>(control)) {
            // Actions here carry no tooltip of their own; an empty one falls back to the text.
            // Hiding an action turns it off and showing it turns it on again: neither is what its
            // own code wants, and taking either for that would keep a shown action off for good.
            guard->m_wanted = action->isEnabled() || !action->isVisible();
            connect(action, &QAction::enabledChanged, guard, [guard, action](bool enabled) {
                if (guard->m_applying || !action->isVisible())
                    return;
                guard->m_wanted = enabled;
                if (enabled && !guard->m_refusal.isEmpty())
                    guard->apply(action);
            });
        }
        return guard;
    }

    // An empty refusal lets the control be as its own code wants it.
    void setRefusal(QObject *control, const QString &refusal)
    {
        m_refusal = refusal;
        apply(control);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange && !m_applying) {
            auto *widget = static_cast<QWidget *>(watched);
            m_wanted = !widget->testAttribute(Qt::WA_ForceDisabled);
            if (widget->isEnabled() && !m_refusal.isEmpty())
                apply(widget);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void apply(QObject *control)
    {
        const bool enabled = m_wanted && m_refusal.isEmpty();
        QString tip = m_toolTip;
        if (!m_refusal.isEmpty())
            tip = tip.isEmpty() ? m_refusal : tip + QLatin1Char('\n') + m_refusal;
        m_applying = true;
        if (auto *widget = qobject_cast<QWidget *>(control)) {
            widget->setEnabled(enabled);
            widget->setToolTip(tip);
        } else if (auto *action = qobject_cast<QAction *>(control)) {
            action->setEnabled(enabled);
            action->setToolTip(tip);
        }
        m_applying = false;
    }

    bool m_wanted = true;
    bool m_applying = false;
    QString m_toolTip;
    QString m_refusal;
};

} // namespace

const QList<RoleGate> &roleGates()
{
    static const QList<RoleGate> gates = {
        // 住宿管理
        {"checkInButton", Action::CheckIn},
        {"checkOutButton", Action::CheckOut},
        {"freeRoomsButton", Action::Query},
        {"fullRoomsButton", Action::Query},
        // 房间设置
        {"addRoomButton", Action::AddRoom},
        {"modifyRoomButton", Action::ModifyRoom},
        {"deleteRoomButton", Action::DeleteRoom},
        {"listRoomsButton", Action::Query},
        // 信息查询
        {"listAllButton", Action::Query},
        {"queryPersonsButton", Action::Query},
        {"queryRoomsButton", Action::Query},
        {"staysButton", Action::Query},
        {"livingOnButton", Action::Query},
        // 费用管理
        {"setStandardButton", Action::SetFeeStandard},
        {"settleUtilityButton", Action::SettleUtilities},
        {"listFeesButton", Action::Query},
        {"settleRentButton", Action::SettleRent},
        {"listRentButton", Action::Query},
        {"arrearsButton", Action::Query},
        // every list's menu
        {"exportXlsxAction", Action::Export},
        {"exportCsvAction", Action::Export},
        {"printAction", Action::Print},
        {"printBillAction", Action::Print},
        {"printReceiptAction", Action::Print},
        {"shareBillAction", Action::Query},
        // 数据
        {"checkDatabaseAction", Action::CheckDatabase},
        {"backupAction", Action::Backup},
        {"restoreAction", Action::RestoreDatabase},
        {"checkInBatchAction", Action::BatchCheckIn},
        {"readingBatchAction", Action::BatchReadings},
        {"operationLogAction", Action::Query},
        {"chartsAction", Action::Query},
        {"operatorsAction", Action::ManageOperators},
        {"changePasswordAction", Action::ChangeOwnPassword},
        {"backupKeyAction", Action::ManageOperators},
    };
    return gates;
}

const QStringList &ungatedControls()
{
    static const QStringList controls = {
        QStringLiteral("clearListButton"),
        QStringLiteral("clearFeeListButton"),
        QStringLiteral("clearRentListButton"),
        QStringLiteral("chooseFieldButton"),
        QStringLiteral("roomListMenuButton"),
        QStringLiteral("personListMenuButton"),
        QStringLiteral("roomResultListMenuButton"),
        QStringLiteral("feeListMenuButton"),
        QStringLiteral("rentListMenuButton"),
        QStringLiteral("copyAction"),
        QStringLiteral("aboutButton"),
        QStringLiteral("dataButton"),
        QStringLiteral("openFolderButton"),
        // Anyone signed in may lock or hand over the desk; setting up operators is for files that
        // have none, where every role is allowed anyway.
        QStringLiteral("lockAction"),
        QStringLiteral("switchOperatorAction"),
        QStringLiteral("protectAction"),
        QStringLiteral("protectButton"),
        // Which store the next start opens is the user's own setting; a server signs in by itself.
        QStringLiteral("connectServerAction"),
    };
    return controls;
}

std::optional<ops::Action> gatedAction(const QString &objectName)
{
    for (const RoleGate &gate : roleGates()) {
        if (objectName == QLatin1String(gate.objectName))
            return gate.action;
    }
    return std::nullopt;
}

void applyRoleGates(QWidget *root, std::optional<Role> role)
{
    auto gate = [role](QObject *control) {
        const std::optional<ops::Action> action = gatedAction(control->objectName());
        if (!action)
            return;
        RoleGuard::of(control)->setRefusal(control, role ? ops::refusalTip(*role, *action) : QString());
    };
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>())
        gate(button);
    for (QAction *action : root->findChildren<QAction *>())
        gate(action);
}

} // namespace orv
