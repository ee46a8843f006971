#include "convertdialog.h"

#include "data/convert.h"
#include "kit/messagebox.h"
#include "kit/unit.h"
#include "operations/desk.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

namespace orv {

namespace {

QLineEdit *passwordEdit(QWidget *parent, const QString &name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

OperatorDialog::OperatorDialog(Kind kind, const QString &lead, QWidget *parent)
    : QDialog(parent), m_kind(kind), m_name(new QLineEdit(this)),
      m_password(passwordEdit(this, QStringLiteral("passwordEdit")))
{
    setObjectName(QStringLiteral("operatorDialog"));
    setWindowTitle(kind == Kind::NewAdministrator ? QStringLiteral("设置操作员") : QStringLiteral("管理员登录"));
    m_name->setObjectName(QStringLiteral("nameEdit"));
    auto *layout = new QVBoxLayout(this);
    auto *leadLabel = new QLabel(lead, this);
    leadLabel->setWordWrap(true);
    leadLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(leadLabel);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("管理员姓名(&N)："), m_name);
    form->addRow(QStringLiteral("密码(&P)："), m_password);
    if (kind == Kind::NewAdministrator) {
        m_repeated = passwordEdit(this, QStringLiteral("repeatedEdit"));
        form->addRow(QStringLiteral("再输一次密码(&R)："), m_repeated);
    }
    layout->addLayout(form);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &OperatorDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString OperatorDialog::name() const
{
    return m_name->text().trimmed();
}

QString OperatorDialog::password() const
{
    return m_password->text();
}

void OperatorDialog::accept()
{
    // Wrong input is answered here, and the dialog stays for another try.
    if (name().isEmpty()) {
        showMessage(this, QStringLiteral("请输入管理员的姓名。"));
        m_name->setFocus();
        return;
    }
    if (password().isEmpty()) {
        showMessage(this, QStringLiteral("请输入密码。"));
        m_password->setFocus();
        return;
    }
    if (m_kind == Kind::NewAdministrator && m_repeated->text() != password()) {
        showMessage(this, QStringLiteral("两次输入的密码不一样，请重新输入。"));
        m_repeated->clear();
        m_repeated->setFocus();
        return;
    }
    QDialog::accept();
}

bool protectDatabaseInteractively(QWidget *parent, Connection &connection, ops::Desk &desk, PasswordCost cost)
{
    if (desk.hasOperators())
        return false;
    OperatorDialog dialog(OperatorDialog::Kind::NewAdministrator,
                          QStringLiteral("设置操作员以后，数据库文件改用它自己的随机密钥加密，密钥由操作员的密码保护，"
                                         "保存在数据库旁边的“.keys”密钥文件中。没有密钥文件和操作员的密码，"
                                         "谁也打不开这个数据库。\n\n没有保护的自动备份和恢复前保存的副本会被删除。\n\n"
                                         "请设置第一个管理员："),
                          parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    std::optional<convert::Protected> done;
    const bool converted = runGuarded(parent, QStringLiteral("设置操作员失败！\n"), [&] {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            done.emplace(convert::protectDatabase(connection, dialog.name(), dialog.password(), cost));
        } catch (...) {
            QGuiApplication::restoreOverrideCursor();
            throw;
        }
        QGuiApplication::restoreOverrideCursor();
    });
    if (!converted)
        return false;
    const QString keyFile = QDir::toNativeSeparators(done->slots.path());
    desk.signIn(std::move(done->slots), std::move(done->key), ops::SignedIn{dialog.name(), Role::Administrator, false});
    showSuccess(parent, QStringLiteral("已设置操作员，数据库现在用它自己的密钥加密。密钥文件是：\n%1\n\n"
                                       "请让密钥文件一直和数据库放在一起；备份会带上它的一份副本。")
                            .arg(keyFile));
    return true;
}

} // namespace orv
