#pragma once

#include "data/keyslots.h"
#include "operatorroster.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLineEdit;

namespace orv {

class Connection;
class ReportList;
namespace ops {
class Desk;
}

// "操作员…", for a 管理员: the operators with their roles, a file's or a server's; adds one, gives
// one a new password or role, removes one. Every change is made at once (in the key file, or on the
// server) and logged as "操作员变更", never with a password.
class OperatorsDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OperatorsDialog)
public:
    // `cost` is what new passwords get (tests give the cheapest).
    OperatorsDialog(Connection &connection, ops::Desk &desk, PasswordCost cost = defaultPasswordCost(),
                    QWidget *parent = nullptr);
    OperatorsDialog(Connection &connection, std::unique_ptr<OperatorRoster> roster, QWidget *parent = nullptr);
    ~OperatorsDialog() override;

    void addOperator();
    void resetPassword();
    void changeRole();
    void removeOperator();

private:
    void listOperators();
    // The operator chosen in the list; empty (after saying so) when none is.
    QString chosenOperator();
    // The two password fields, when they agree (else says so and gives none).
    std::optional<QString> typedPassword();
    // Runs a change of the operators and logs it; refusals and failures are shown.
    void change(const QString &target, const QString &detail, const std::function<void()> &apply);

    Connection &m_connection;
    std::unique_ptr<OperatorRoster> m_roster;
    ReportList *m_operatorList;
    QLineEdit *m_nameEdit;
    QComboBox *m_roleCombo;
    QLineEdit *m_passwordEdit;
    QLineEdit *m_passwordAgainEdit;
};

// "修改密码…": the signed-in operator's own password, after the old one is given.
class PasswordDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PasswordDialog)
public:
    PasswordDialog(Connection &connection, ops::Desk &desk, PasswordCost cost = defaultPasswordCost(),
                   QWidget *parent = nullptr);
    PasswordDialog(Connection &connection, std::unique_ptr<OperatorRoster> roster, QWidget *parent = nullptr);
    ~PasswordDialog() override;

    // Checks the old password and the new one twice, and changes it; the dialog closes when done.
    void changePassword();

private:
    Connection &m_connection;
    std::unique_ptr<OperatorRoster> m_roster;
    QLineEdit *m_oldPasswordEdit;
    QLineEdit *m_newPasswordEdit;
    QLineEdit *m_newPasswordAgainEdit;
};

} // namespace orv
