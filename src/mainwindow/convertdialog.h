#pragma once

#include "data/keyslots.h"

#include <QDialog>

class QLineEdit;

namespace orv {

class Connection;
namespace ops {
class Desk;
}

// Asks for an operator: a name and a password, or for a new 管理员 the password twice.
class OperatorDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OperatorDialog)
public:
    enum class Kind { NewAdministrator, Administrator };
    OperatorDialog(Kind kind, const QString &lead, QWidget *parent = nullptr);

    QString name() const;
    QString password() const;

    void accept() override;

private:
    Kind m_kind;
    QLineEdit *m_name;
    QLineEdit *m_password;
    QLineEdit *m_repeated = nullptr;
};

// "设置操作员…": asks for the first 管理员, converts the open database kept without operators to a
// key of its own and signs the desk in as that 管理员. Returns true when the file was converted.
bool protectDatabaseInteractively(QWidget *parent, Connection &connection, ops::Desk &desk,
                                  PasswordCost cost = defaultPasswordCost());

} // namespace orv
