#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace orv {

namespace server {
class ServerConnection;
}

// The store the program opens at start when the command line names none: a PostgreSQL database
// chosen with 连接服务器… and kept in the user's settings; empty for the folder's file.
QString chosenServer();
void chooseServer(const QString &uri);
void chooseLocalFile();

// Where a connection went, for the title bar: "服务器 host/dbname", a local socket as localhost.
QString serverPlace(const server::ServerConnection &connection);

// 连接服务器…: takes a libpq connection URI, tries it by connecting, and keeps it for the next
// start; or goes back to the folder's file.
class ServerDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerDialog)
public:
    explicit ServerDialog(QWidget *parent = nullptr);

    // What the dialog changed, in a sentence for the status line; empty when it was cancelled.
    const QString &outcome() const noexcept { return m_outcome; }

private:
    void connectToServer();
    void useLocalFile();

    QLineEdit *m_uriEdit;
    QPushButton *m_connectButton;
    QPushButton *m_localFileButton;
    QString m_outcome;
};

} // namespace orv
