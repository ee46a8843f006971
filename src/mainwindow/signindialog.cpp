#include "signindialog.h"

#include "kit/messagebox.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace orv {

namespace {

const QString kSignInText = QStringLiteral("登录");
// The key slots' own refusal, which never tells whether the name or the password was wrong.
const QString kRefused = QStringLiteral("操作员姓名或密码不正确。");

} // namespace

SignInDialog::SignInDialog(const KeySlots &slots, SignInTries &tries, QWidget *parent)
    : QDialog(parent), m_slots(slots), m_tries(tries), m_noDumps(1), m_operatorCombo(new QComboBox(this)),
      m_passwordEdit(new QLineEdit(this)), m_signInButton(new QPushButton(kSignInText, this)),
      m_waitLabel(new QLabel(this)), m_waitTick(new QTimer(this))
{
    setObjectName(QStringLiteral("signInDialog"));
    setWindowTitle(QStringLiteral("操作员登录"));

    m_operatorCombo->setObjectName(QStringLiteral("operatorCombo"));
    // Editable, so a name need not be shown to be typed; the list only saves typing.
    m_operatorCombo->setEditable(true);
    m_operatorCombo->setInsertPolicy(QComboBox::NoInsert);
    for (const OperatorEntry &entry : slots.operators())
        m_operatorCombo->addItem(entry.name);
    m_operatorCombo->setCurrentIndex(-1);
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);

    auto *form = new QFormLayout;
    auto *operatorLabel = new QLabel(QStringLiteral("操作员(&O)："), this);
    operatorLabel->setBuddy(m_operatorCombo);
    form->addRow(operatorLabel, m_operatorCombo);
    auto *passwordLabel = new QLabel(QStringLiteral("密码(&P)："), this);
    passwordLabel->setBuddy(m_passwordEdit);
    form->addRow(passwordLabel, m_passwordEdit);

    m_waitLabel->setObjectName(QStringLiteral("waitLabel"));
    m_waitLabel->setTextFormat(Qt::PlainText);
    m_waitLabel->hide();

    auto *buttons = new QDialogButtonBox(this);
    m_signInButton->setObjectName(QStringLiteral("signInButton"));
    m_signInButton->setDefault(true);
    buttons->addButton(m_signInButton, QDialogButtonBox::AcceptRole);
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(m_signInButton, &QPushButton::clicked, this, &SignInDialog::trySignIn);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_waitLabel);
    layout->addWidget(buttons);
    setMinimumWidth(320);

    // A second is fine enough for a countdown of seconds; a short test wait needs a finer tick.
    m_waitTick->setInterval(std::min(std::chrono::milliseconds(1000), m_tries.wait / 4 + std::chrono::milliseconds(1)));
    connect(m_waitTick, &QTimer::timeout, this, &SignInDialog::showWait);
    showWait();
}

SignInDialog::~SignInDialog()
{
    // The password's own copy in the edit is all that can be cleared; Qt's undo copies go with it.
    m_passwordEdit->clear();
}

void SignInDialog::lockToOperator(const QString &name)
{
    m_operatorCombo->clear();
    m_operatorCombo->addItem(name);
    m_operatorCombo->setCurrentIndex(0);
    m_operatorCombo->setEnabled(false);
    m_passwordEdit->setFocus();
}

void SignInDialog::showWait()
{
    const bool waiting = m_tries.failures >= SignInTries::kAllowed && !m_tries.nextTry.hasExpired();
    m_signInButton->setEnabled(!waiting);
    m_waitLabel->setVisible(waiting);
    if (!waiting) {
        m_waitTick->stop();
        m_signInButton->setText(kSignInText);
        return;
    }
    const qint64 seconds = (m_tries.nextTry.remainingTime() + 999) / 1000;
    m_signInButton->setText(QStringLiteral("%1（%2）").arg(kSignInText).arg(seconds));
    m_waitLabel->setText(
        QStringLiteral("连续 %1 次姓名或密码不正确，请 %2 秒后再试。").arg(m_tries.failures).arg(seconds));
    if (!m_waitTick->isActive())
        m_waitTick->start();
}

void SignInDialog::trySignIn()
{
    if (!m_signInButton->isEnabled())
        return;
    Unlocked unlocked;
    {
        // Deriving the password's key takes about half a second on purpose.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        unlocked = m_slots.open(m_operatorCombo->currentText(), m_passwordEdit->text());
        QApplication::restoreOverrideCursor();
    }
    QString refusal = unlocked.refusal;
    // Only operators sign in; a copy's key file is for copies alone.
    if (unlocked.opened() && unlocked.backupOnly)
        refusal = kRefused;
    else if (unlocked.opened() && m_requiredKey && !unlocked.key.equals(*m_requiredKey))
        refusal = QStringLiteral("操作员“%1”的密钥与已打开的数据库不一致，不能用它登录。").arg(unlocked.name);
    if (refusal.isEmpty()) {
        m_tries.failures = 0;
        m_unlocked = std::move(unlocked);
        m_passwordEdit->clear();
        accept();
        return;
    }
    ++m_tries.failures;
    if (m_tries.failures >= SignInTries::kAllowed)
        m_tries.nextTry = QDeadlineTimer(m_tries.wait);
    m_passwordEdit->clear();
    showMessage(this, refusal);
    showWait();
    m_passwordEdit->setFocus();
}

} // namespace orv
