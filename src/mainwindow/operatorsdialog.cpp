#include "operatorsdialog.h"

#include "data/connection.h"
#include "data/oplog.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"
#include "kit/unit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

namespace {

// The log's action for every change of the operators; the detail says which.
const QString kOperatorChange = QStringLiteral("操作员变更");
const QString kPasswordsDiffer = QStringLiteral("两次输入的新密码不一样，请重新输入。");

QLineEdit *passwordEdit(QWidget *parent, const QString &objectName)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QPushButton *button(QWidget *parent, const QString &text, const QString &objectName)
{
    auto *made = new QPushButton(text, parent);
    made->setObjectName(objectName);
    made->setAutoDefault(false);
    return made;
}

// Key files and servers raise StoreError for their refusals and faults alike; both are told as
// they are.
bool changeOperators(QWidget *parent, const std::function<void()> &apply)
{
    try {
        apply();
        return true;
    } catch (const StoreError &error) {
        showMessage(parent, error.message());
        return false;
    }
}

void logChange(QWidget *parent, Connection &connection, const QString &operatorName, const QString &target,
               const QString &detail)
{
    runUnit(parent, connection, [&] {
        oplog::append(connection, {{}, operatorName, kOperatorChange, target, detail});
    });
}

} // namespace

OperatorsDialog::OperatorsDialog(Connection &connection, ops::Desk &desk, PasswordCost cost, QWidget *parent)
    : OperatorsDialog(connection, keyFileRoster(desk, cost), parent)
{
}

OperatorsDialog::OperatorsDialog(Connection &connection, std::unique_ptr<OperatorRoster> roster, QWidget *parent)
    : QDialog(parent), m_connection(connection), m_roster(std::move(roster))
{
    setObjectName(QStringLiteral("operatorsDialog"));
    setWindowTitle(QStringLiteral("操作员"));

    m_operatorList = new ReportList(QStringLiteral("operatorList"), this);
    m_operatorList->setAccessibleName(QStringLiteral("操作员"));
    m_operatorList->setColumns({{QStringLiteral("姓名"), 160}, {QStringLiteral("角色"), 100}});
    m_operatorList->setMinimumSize(300, 200);

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_roleCombo = new QComboBox(this);
    m_roleCombo->setObjectName(QStringLiteral("roleCombo"));
    m_roleCombo->addItems({roleName(Role::Attendant), roleName(Role::Administrator)});
    m_passwordEdit = passwordEdit(this, QStringLiteral("passwordEdit"));
    m_passwordAgainEdit = passwordEdit(this, QStringLiteral("passwordAgainEdit"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("姓名(&N)："), m_nameEdit);
    form->addRow(QStringLiteral("角色(&R)："), m_roleCombo);
    form->addRow(QStringLiteral("密码(&P)："), m_passwordEdit);
    form->addRow(QStringLiteral("再输一次(&A)："), m_passwordAgainEdit);

    auto *add = button(this, QStringLiteral("添加操作员"), QStringLiteral("addOperatorButton"));
    add->setToolTip(QStringLiteral("用上面的姓名、角色和密码添加一个操作员"));
    auto *reset = button(this, QStringLiteral("重设密码"), QStringLiteral("resetPasswordButton"));
    reset->setToolTip(QStringLiteral("给列表中选中的操作员换上上面的密码"));
    auto *role = button(this, QStringLiteral("更改角色"), QStringLiteral("changeRoleButton"));
    role->setToolTip(QStringLiteral("把列表中选中的操作员改为上面的角色"));
    auto *remove = button(this, QStringLiteral("删除操作员"), QStringLiteral("removeOperatorButton"));
    connect(add, &QPushButton::clicked, this, &OperatorsDialog::addOperator);
    connect(reset, &QPushButton::clicked, this, &OperatorsDialog::resetPassword);
    connect(role, &QPushButton::clicked, this, &OperatorsDialog::changeRole);
    connect(remove, &QPushButton::clicked, this, &OperatorsDialog::removeOperator);
    auto *actions = new QHBoxLayout;
    for (QPushButton *each : {add, reset, role, remove})
        actions->addWidget(each);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_operatorList);
    layout->addLayout(form);
    layout->addLayout(actions);
    layout->addWidget(buttons);
    listOperators();
}

OperatorsDialog::~OperatorsDialog() = default;

void OperatorsDialog::listOperators()
{
    m_operatorList->clearRows();
    QList<OperatorEntry> operators;
    changeOperators(this, [&] { operators = m_roster->operators(); });
    for (const OperatorEntry &entry : std::as_const(operators))
        m_operatorList->appendRow({entry.name, roleName(entry.role)});
    m_operatorList->publishRows();
}

QString OperatorsDialog::chosenOperator()
{
    const int row = m_operatorList->selectedRow();
    if (row < 0) {
        showMessage(this, QStringLiteral("请先在列表中选中一个操作员。"));
        return QString();
    }
    return m_operatorList->cellText(row, 0);
}

std::optional<QString> OperatorsDialog::typedPassword()
{
    if (m_passwordEdit->text() != m_passwordAgainEdit->text()) {
        showMessage(this, kPasswordsDiffer);
        return std::nullopt;
    }
    return m_passwordEdit->text();
}

void OperatorsDialog::change(const QString &target, const QString &detail, const std::function<void()> &apply)
{
    if (!changeOperators(this, apply))
        return;
    m_passwordEdit->clear();
    m_passwordAgainEdit->clear();
    listOperators();
    logChange(this, m_connection, m_roster->signedIn(), target, detail);
}

void OperatorsDialog::addOperator()
{
    const std::optional<QString> password = typedPassword();
    if (!password)
        return;
    const QString name = m_nameEdit->text().trimmed();
    const Role role = roleFromName(m_roleCombo->currentText()).value_or(Role::Attendant);
    change(name, QStringLiteral("添加，%1").arg(roleName(role)), [&] { m_roster->add(name, role, *password); });
}

void OperatorsDialog::resetPassword()
{
    const QString name = chosenOperator();
    if (name.isEmpty())
        return;
    const std::optional<QString> password = typedPassword();
    if (!password)
        return;
    change(name, QStringLiteral("重设密码"), [&] { m_roster->setPassword(name, *password); });
}

void OperatorsDialog::changeRole()
{
    const QString name = chosenOperator();
    if (name.isEmpty())
        return;
    // The desk holds the role its operator signed in with until the next sign-in.
    if (name == m_roster->signedIn()) {
        showMessage(this, QStringLiteral("不能更改本人的角色，请由另一位管理员操作。"));
        return;
    }
    const Role role = roleFromName(m_roleCombo->currentText()).value_or(Role::Attendant);
    const QString before = m_operatorList->cellText(m_operatorList->selectedRow(), 1);
    change(name, QStringLiteral("角色 %1 → %2").arg(before, roleName(role)), [&] { m_roster->setRole(name, role); });
}

void OperatorsDialog::removeOperator()
{
    const QString name = chosenOperator();
    if (name.isEmpty())
        return;
    if (showMessage(this, QStringLiteral("要删除操作员“%1”吗？").arg(name), MessageButtons::OkCancel) !=
        MessageAnswer::Ok)
        return;
    change(name, QStringLiteral("删除"), [&] { m_roster->remove(name); });
}

PasswordDialog::PasswordDialog(Connection &connection, ops::Desk &desk, PasswordCost cost, QWidget *parent)
    : PasswordDialog(connection, keyFileRoster(desk, cost), parent)
{
}

PasswordDialog::PasswordDialog(Connection &connection, std::unique_ptr<OperatorRoster> roster, QWidget *parent)
    : QDialog(parent), m_connection(connection), m_roster(std::move(roster))
{
    setObjectName(QStringLiteral("passwordDialog"));
    setWindowTitle(QStringLiteral("修改密码"));
    m_oldPasswordEdit = passwordEdit(this, QStringLiteral("oldPasswordEdit"));
    m_newPasswordEdit = passwordEdit(this, QStringLiteral("newPasswordEdit"));
    m_newPasswordAgainEdit = passwordEdit(this, QStringLiteral("newPasswordAgainEdit"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("原密码(&O)："), m_oldPasswordEdit);
    form->addRow(QStringLiteral("新密码(&N)："), m_newPasswordEdit);
    form->addRow(QStringLiteral("再输一次(&A)："), m_newPasswordAgainEdit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("changePasswordButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordDialog::changePassword);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

PasswordDialog::~PasswordDialog() = default;

void PasswordDialog::changePassword()
{
    const QString name = m_roster->signedIn();
    bool own = false;
    if (!changeOperators(this, [&] { own = m_roster->isOwnPassword(m_oldPasswordEdit->text()); }))
        return;
    if (!own) {
        showMessage(this, QStringLiteral("原密码不对，请重新输入。"));
        return;
    }
    if (m_newPasswordEdit->text() != m_newPasswordAgainEdit->text()) {
        showMessage(this, kPasswordsDiffer);
        return;
    }
    if (!changeOperators(this, [&] { m_roster->setPassword(name, m_newPasswordEdit->text()); }))
        return;
    logChange(this, m_connection, name, name, QStringLiteral("修改本人密码"));
    showSuccess(this, QStringLiteral("密码已修改，下次登录时请使用新密码。"));
    accept();
}

} // namespace orv
