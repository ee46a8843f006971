#pragma once

#include "data/securekey.h"

#include <QDialog>

#include <functional>

class QLineEdit;

namespace orv {

// Asks for the first 管理员 of a new database: a name and the password twice. The files are made
// by `make` only once the form is complete; a text it returns is shown and the form stays open.
class FirstAdminDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FirstAdminDialog)
public:
    using Make = std::function<QString(const QString &name, const QString &password)>;

    explicit FirstAdminDialog(Make make, QWidget *parent = nullptr);
    ~FirstAdminDialog() override;

private:
    void makeDatabase();

    Make m_make;
    // No core dump while a password is typed (see SignInDialog).
    SecureBytes m_noDumps;
    QLineEdit *m_nameEdit;
    QLineEdit *m_passwordEdit;
    QLineEdit *m_repeatEdit;
};

} // namespace orv
