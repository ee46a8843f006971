#pragma once

#include "operations/batch.h"
#include "operations/desk.h"
#include "signindialog.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <chrono>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace orv {

class Connection;
class PageTabs;
namespace server {
class ServerConnection;
}
class AccommodationPage;
class RoomsPage;
class QueriesPage;
class FeesPage;

// The main window: title, icon, the four pages under their tabs, a footer and the about box.
class MainWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)
public:
    explicit MainWindow(Connection &connection, QWidget *parent = nullptr);
    ~MainWindow() override;

    PageTabs *tabSheet() const { return m_tabSheet; }
    AccommodationPage *accommodationPage() const { return m_page1; }
    RoomsPage *roomsPage() const { return m_page2; }
    QueriesPage *queriesPage() const { return m_page3; }
    FeesPage *feesPage() const { return m_page4; }

    // Puts the window back as it was when it last closed (size, place, the page shown, the lists'
    // column widths), from the user's settings, and keeps them there when it closes again. A
    // window never asked to stays as built and writes no settings.
    void restoreLayout();
    void saveLayout() const;

    // The data menu opened by the 数据 button beside the about button.
    QMenu *dataMenu() const { return m_dataMenu; }
    // The data menu offers the batches whose operations are given.
    void setBatchOperations(ops::BatchOperations operations);
    // The application's desk (key slots, key, who signed in); none for a window of its own.
    void setDesk(ops::Desk *desk);
    ops::Desk *desk() const { return m_desk; }
    // Called after a sign-in or sign-out on the desk: what the role forbids is disabled, and the
    // log names the operator.
    void deskChanged();
    // Whom the log names for what is done in this window: the signed-in operator; nobody on a file
    // without operators.
    QString operatorName() const;
    // The connection is open on a database server at `place` ("服务器 host/dbname"), signed in by
    // the server as `user`: the title says so, the user is the operator, the role the server
    // gives the user decides what is on as on a file, and the entries that work on the file
    // alone go.
    void setServerStore(QString place, QString user);
    bool onServer() const { return !m_serverPlace.isEmpty(); }

    // With operators only: the window's data is covered until someone signs in again; the
    // connection stays open meanwhile. A lock asks the same operator; a switch signs the operator
    // out and lets any operator sign in on the same key.
    bool isLocked() const { return m_lockPanel != nullptr; }
    // Locks after this long without a key or mouse input anywhere in the program; zero never.
    // Set from the user's settings ("operators/idleMinutes", 15 by default) with the desk.
    void setIdleLock(std::chrono::milliseconds idle);
    SignInTries &signInTries() { return m_signInTries; }

public Q_SLOTS:
    void showAbout();
    // F1: the user guide.
    void showHelp();
    // The status line under the tabs: what the last action did, and a button to the folder of the
    // file it wrote, if any.
    void showStatus(const QString &sentence, const QString &filePath = QString());
    // Checks the file and the rules between the tables, read-only, and lists the findings.
    void checkDatabase();
    void lock();
    void switchOperator();
    // "操作日志…", "操作员…" and "修改密码…" of the data menu.
    void showOperationLog();
    void manageOperators();
    void changeOwnPassword();
    // "连接服务器…": chooses the store the next start opens.
    void chooseStore();

Q_SIGNALS:
    void closed();
    // Before a restore or the setting of operators may put another file in the database's place:
    // work reading the file beside the window stops first.
    void aboutToReplaceDatabase();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMenu *createDataMenu();
    // The role's gating, the operator entries and the name the pages log, from the desk.
    void applyRoles();
    void openStatusFolder();
    void showSignedIn();
    void coverData(const QString &why);
    void askToSignIn();
    void signedInAgain(Unlocked unlocked);
    // The data menu's entries for files with and without operators, and the line that tells a file
    // without them that anyone can read it; shown as the desk says.
    void addKeyedFileActions(QMenu *menu);
    void showKeyedFileState();
    void protectDatabase();
    // The server the window's store is on; none on a file.
    server::ServerConnection *serverConnection() const;

    Connection &m_connection;
    QMenu *m_dataMenu = nullptr;
    // The entries that work on the file itself, gone on a server.
    QList<QAction *> m_fileActions;
    QString m_serverPlace;
    QString m_serverUser;
    // What the server let its user do when the store opened.
    Role m_serverRole = Role::Attendant;
    QAction *m_checkInBatch = nullptr;
    QAction *m_readingBatch = nullptr;
    QAction *m_operatorsAction = nullptr;
    QAction *m_changePasswordAction = nullptr;
    ops::BatchOperations m_batchOperations;
    PageTabs *m_tabSheet;
    AccommodationPage *m_page1;
    RoomsPage *m_page2;
    QueriesPage *m_page3;
    FeesPage *m_page4;
    ops::Desk *m_desk = nullptr;
    QAction *m_lockAction = nullptr;
    QAction *m_switchAction = nullptr;
    QTimer *m_idleTimer = nullptr;
    SignInTries m_signInTries;
    // While locked: the panel over the window, what it hid, and for a switch the key the next
    // operator's slot must unseal (the desk dropped its own when the operator signed out).
    QWidget *m_lockPanel = nullptr;
    QList<QPointer<QWidget>> m_hiddenByLock;
    QPointer<SignInDialog> m_signInDialog;
    SecureKey m_switchKey;
    QLabel *m_statusLine = nullptr;
    QPushButton *m_openFolder = nullptr;
    QString m_statusFile;
    QWidget *m_protectionBanner = nullptr;
    QAction *m_protectAction = nullptr;
    QAction *m_backupKeyAction = nullptr;

    // The size the window is built at, where the tab control stands then, and the controls around
    // it there: the tab control takes every change of size, the others follow its bottom and,
    // right of the middle, its right edge.
    struct Placed {
        QPointer<QWidget> control;
        QRect base;
    };
    QSize m_baseSize;
    QRect m_tabBase;
    QList<Placed> m_aroundTabs;
    bool m_remembersLayout = false;
};

} // namespace orv
