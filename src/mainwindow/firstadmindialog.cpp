#include "firstadmindialog.h"

#include "kit/messagebox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace orv {

FirstAdminDialog::FirstAdminDialog(Make make, QWidget *parent)
    : QDialog(parent), m_make(std::move(make)), m_noDumps(1), m_nameEdit(new QLineEdit(this)),
      m_passwordEdit(new QLineEdit(this)), m_repeatEdit(new QLineEdit(this))
{
    setObjectName(QStringLiteral("firstAdminDialog"));
    setWindowTitle(QStringLiteral("设置管理员"));

    auto *intro =
        new QLabel(QStringLiteral("这是新的数据库。请设置第一个管理员：以后每次启动都要用这个姓名和密码登录。"), this);
    intro->setTextFormat(Qt::PlainText);
    intro->setWordWrap(true);

    m_nameEdit->setObjectName(QStringLiteral("adminNameEdit"));
    m_passwordEdit->setObjectName(QStringLiteral("adminPasswordEdit"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_repeatEdit->setObjectName(QStringLiteral("adminRepeatEdit"));
    m_repeatEdit->setEchoMode(QLineEdit::Password);

    auto *form = new QFormLayout;
    const std::pair<QString, QLineEdit *> rows[] = {{QStringLiteral("管理员姓名(&N)："), m_nameEdit},
                                                    {QStringLiteral("密码(&P)："), m_passwordEdit},
                                                    {QStringLiteral("再输一次密码(&R)："), m_repeatEdit}};
    for (const auto &[text, edit] : rows) {
        auto *label = new QLabel(text, this);
        label->setBuddy(edit);
        form->addRow(label, edit);
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &FirstAdminDialog::makeDatabase);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

FirstAdminDialog::~FirstAdminDialog()
{
    m_passwordEdit->clear();
    m_repeatEdit->clear();
}

void FirstAdminDialog::makeDatabase()
{
    QLineEdit *wrong = nullptr;
    QString problem;
    if (m_nameEdit->text().trimmed().isEmpty()) {
        wrong = m_nameEdit;
        problem = QStringLiteral("请输入管理员的姓名。");
    } else if (m_passwordEdit->text().isEmpty()) {
        wrong = m_passwordEdit;
        problem = QStringLiteral("请输入密码。");
    } else if (m_repeatEdit->text() != m_passwordEdit->text()) {
        wrong = m_repeatEdit;
        problem = QStringLiteral("两次输入的密码不一样，请重新输入。");
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        problem = m_make(m_nameEdit->text(), m_passwordEdit->text());
        QApplication::restoreOverrideCursor();
        if (problem.isEmpty()) {
            accept();
            return;
        }
    }
    showMessage(this, problem);
    if (wrong) {
        wrong->setFocus();
        wrong->selectAll();
    }
}

} // namespace orv
