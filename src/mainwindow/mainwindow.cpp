#include "mainwindow.h"

#include "aboutdialog.h"
#include "batchdialog.h"
#include "chartsdialog.h"
#include "checkdialog.h"
#include "convertdialog.h"
#include "data/connection.h"
#include "data/dbcheck.h"
#include "data/filejob.h"
#include "data/oplog.h"
#include "data/server/serverstore.h"
#include "databackupdialogs.h"
#include "fileprogress.h"
#include "helpdialog.h"
#include "kit/colours.h"
#include "kit/form.h"
#include "kit/messagebox.h"
#include "kit/page.h"
#include "kit/reportlist.h"
#include "kit/unit.h"
#include "logdialog.h"
#include "operatorsdialog.h"
#include "pages/accommodation/accommodationpage.h"
#include "pages/fees/feespage.h"
#include "pages/queries/queriespage.h"
#include "pages/rooms/roomspage.h"
#include "pagetabs.h"
#include "programicon.h"
#include "rolegates.h"
#include "serverdialog.h"
#include "signindialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QTabBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace orv {

namespace {

const QString kTitle = QStringLiteral("Lumeo宿舍管理系统V2.8");

} // namespace

MainWindow::MainWindow(Connection &connection, QWidget *parent)
    : QWidget(parent), m_connection(connection), m_tabSheet(new PageTabs(this)),
      m_page1(new AccommodationPage(connection)), m_page2(new RoomsPage(connection)),
      m_page3(new QueriesPage(connection)), m_page4(new FeesPage(connection))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(kTitle);
    setWindowIcon(programIcon());
    // The window's own template font is a point larger than its pages'.
    setFont(dialogFont(pageFontPointSize + 1));
    auto units = [this](int x, int y, int w, int h) { return dialogUnits(font(), x, y, w, h); };
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    // The pages keep their own sizes; the tab control is made large enough to hold them whole.
    m_tabSheet->AddPage(QStringLiteral("【住宿管理】"), m_page1);
    m_tabSheet->AddPage(QStringLiteral("【房间设置】"), m_page2);
    m_tabSheet->AddPage(QStringLiteral("【信息查询】"), m_page3);
    m_tabSheet->AddPage(QStringLiteral("【费用管理】"), m_page4);
    m_tabSheet->ShowPages();
    m_page1->setFirstStartHint(m_tabSheet->tabText(3), m_tabSheet->tabText(1));

    QSize pageSize;
    for (QWidget *page : {static_cast<QWidget *>(m_page1), static_cast<QWidget *>(m_page2),
                          static_cast<QWidget *>(m_page3), static_cast<QWidget *>(m_page4)})
        pageSize = pageSize.expandedTo(page->minimumSize()).expandedTo(page->sizeHint());
    const QRect tabPlace = units(17, 11, 415, 250);
    const int tabBarHeight = m_tabSheet->tabBar()->sizeHint().height();
    const QSize tabSize = QSize(tabPlace.width(), tabPlace.height())
                              .expandedTo(QSize(pageSize.width() + 8, pageSize.height() + tabBarHeight + 8));
    m_tabSheet->setGeometry(QRect(tabPlace.topLeft(), tabSize));

    const int statusTop = m_tabSheet->geometry().bottom() + 6;
    m_openFolder = new QPushButton(QStringLiteral("打开文件夹"), this);
    m_openFolder->setObjectName(QStringLiteral("openFolderButton"));
    m_openFolder->setAutoDefault(false);
    m_openFolder->setFocusPolicy(Qt::TabFocus);
    m_openFolder->hide();
    const int openWidth = m_openFolder->sizeHint().width();
    m_openFolder->setGeometry(m_tabSheet->geometry().right() - openWidth, statusTop, openWidth, 24);
    connect(m_openFolder, &QPushButton::clicked, this, &MainWindow::openStatusFolder);
    m_statusLine = new QLabel(this);
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    m_statusLine->setTextFormat(Qt::PlainText);
    m_statusLine->setGeometry(m_tabSheet->geometry().left(), statusTop, m_tabSheet->geometry().width() - openWidth - 8,
                              24);
    for (Page *page : {static_cast<Page *>(m_page1), static_cast<Page *>(m_page2), static_cast<Page *>(m_page3),
                       static_cast<Page *>(m_page4)})
        connect(page, &Page::announced, this, &MainWindow::showStatus);

    const int footerTop = statusTop + 32;
    auto *footer = new QLabel(QStringLiteral("Lumeo宿舍管理系统 · 一个管理员，一个数据库文件"), this);
    footer->setObjectName(QStringLiteral("footer"));
    footer->setGeometry(units(50, 0, 295, 0).x(), footerTop, units(0, 0, 295, 0).width(), 20);

    // Linux window managers offer no system menu to extend, so the about item sits in the window.
    auto *about = new QPushButton(QStringLiteral("关于 Orvane(&A)..."), this);
    about->setObjectName(QStringLiteral("aboutButton"));
    about->setAutoDefault(false);
    about->setFocusPolicy(Qt::TabFocus);
    const int aboutWidth = about->sizeHint().width();
    about->setGeometry(m_tabSheet->geometry().right() - aboutWidth, footerTop - 2, aboutWidth, 24);
    connect(about, &QPushButton::clicked, this, &MainWindow::showAbout);

    auto *dataButton = new QPushButton(QStringLiteral("数据(&D)"), this);
    dataButton->setObjectName(QStringLiteral("dataButton"));
    dataButton->setAutoDefault(false);
    dataButton->setFocusPolicy(Qt::TabFocus);
    m_dataMenu = createDataMenu();
    dataButton->setMenu(m_dataMenu);
    const int dataWidth = dataButton->sizeHint().width();
    dataButton->setGeometry(about->geometry().left() - 6 - dataWidth, footerTop - 2, dataWidth, 24);
    auto *help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &MainWindow::showHelp);

    // Under the footer, shown only for a file kept without operators; the window grows by its height.
    m_protectionBanner = new QWidget(this);
    m_protectionBanner->setObjectName(QStringLiteral("protectionBanner"));
    auto *bannerLayout = new QHBoxLayout(m_protectionBanner);
    bannerLayout->setContentsMargins(0, 0, 0, 0);
    auto *bannerText = new QLabel(QStringLiteral("此数据库未设置操作员，任何拥有本程序的人都能读取其中的个人信息。"),
                                  m_protectionBanner);
    bannerText->setObjectName(QStringLiteral("protectionText"));
    bannerText->setTextFormat(Qt::PlainText);
    bannerLayout->addWidget(bannerText, 1);
    auto *protect = new QPushButton(QStringLiteral("设置操作员…"), m_protectionBanner);
    protect->setObjectName(QStringLiteral("protectButton"));
    protect->setAutoDefault(false);
    protect->setAccessibleDescription(bannerText->text());
    bannerLayout->addWidget(protect);
    connect(protect, &QPushButton::clicked, this, &MainWindow::protectDatabase);
    m_protectionBanner->setGeometry(m_tabSheet->geometry().left(), footerTop + 28, m_tabSheet->geometry().width(), 28);
    m_protectionBanner->hide();

    // Opens at the size the pages are laid out for; smaller, the pages scroll.
    m_baseSize = QSize(m_tabSheet->geometry().right() + units(17, 0, 0, 0).x(), footerTop + 32);
    m_tabBase = m_tabSheet->geometry();
    for (QWidget *control : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (control != m_tabSheet && !control->isWindow())
            m_aroundTabs.append({control, control->geometry()});
    }
    setMinimumSize(m_baseSize.boundedTo(QSize(480, 360)));
    resize(m_baseSize);

    applySharedColours(this);
    applyRoles();
}

MainWindow::~MainWindow() = default;

QMenu *MainWindow::createDataMenu()
{
    // Every command on the whole file lives in this one menu.
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("dataMenu"));
    QAction *check = menu->addAction(QStringLiteral("检查数据库"));
    check->setObjectName(QStringLiteral("checkDatabaseAction"));
    connect(check, &QAction::triggered, this, &MainWindow::checkDatabase);
    QAction *backup = menu->addAction(QStringLiteral("备份数据库…"));
    backup->setObjectName(QStringLiteral("backupAction"));
    connect(backup, &QAction::triggered, this, [this] {
        const QString target = backupDatabaseInteractively(this, m_connection, m_desk);
        if (!target.isEmpty())
            showStatus(QStringLiteral("数据库已备份到 %1").arg(QDir::toNativeSeparators(target)), target);
    });
    QAction *restore = menu->addAction(QStringLiteral("恢复数据库…"));
    restore->setObjectName(QStringLiteral("restoreAction"));
    connect(restore, &QAction::triggered, this, [this] {
        // Every list showed rows of the replaced data.
        if (restoreDatabaseInteractively(this, m_connection, m_desk, [this] { Q_EMIT aboutToReplaceDatabase(); })) {
            // Logged into the restored file: the log it brings ends where its backup was taken.
            runUnit(this, m_connection, [this] {
                oplog::append(m_connection, {{},
                                             operatorName(),
                                             ops::actionName(ops::Action::RestoreDatabase),
                                             QFileInfo(m_connection.filePath()).fileName(),
                                             QStringLiteral("用备份替换了全部数据")});
            });
            for (ReportList *list : findChildren<ReportList *>())
                list->clearRows();
            deskChanged();
            showStatus(QStringLiteral("已用备份恢复数据库"));
        }
    });
    m_fileActions = {check, backup, restore};
    QAction *store = menu->addAction(QStringLiteral("连接服务器…"));
    store->setObjectName(QStringLiteral("connectServerAction"));
    connect(store, &QAction::triggered, this, &MainWindow::chooseStore);
    menu->addSeparator();
    m_checkInBatch = menu->addAction(QStringLiteral("批量入住…"));
    m_checkInBatch->setObjectName(QStringLiteral("checkInBatchAction"));
    connect(m_checkInBatch, &QAction::triggered, this, [this] {
        importBatchInteractively(this, m_connection, ops::BatchKind::CheckIns, m_batchOperations, operatorName());
    });
    m_readingBatch = menu->addAction(QStringLiteral("批量抄表…"));
    m_readingBatch->setObjectName(QStringLiteral("readingBatchAction"));
    connect(m_readingBatch, &QAction::triggered, this, [this] {
        importBatchInteractively(this, m_connection, ops::BatchKind::Readings, m_batchOperations, operatorName());
    });
    addKeyedFileActions(menu);
    setBatchOperations({});

    menu->addSeparator();
    m_lockAction = menu->addAction(QStringLiteral("锁定"));
    m_lockAction->setObjectName(QStringLiteral("lockAction"));
    connect(m_lockAction, &QAction::triggered, this, &MainWindow::lock);
    m_switchAction = menu->addAction(QStringLiteral("切换操作员…"));
    m_switchAction->setObjectName(QStringLiteral("switchOperatorAction"));
    connect(m_switchAction, &QAction::triggered, this, &MainWindow::switchOperator);
    m_lockAction->setEnabled(false);
    m_switchAction->setEnabled(false);

    // The year at a glance, operators and the operation log.
    menu->addSeparator();
    QAction *charts = menu->addAction(QStringLiteral("统计图表…"));
    charts->setObjectName(QStringLiteral("chartsAction"));
    connect(charts, &QAction::triggered, this, [this] {
        ChartsDialog dialog(m_connection, this);
        dialog.exec();
    });
    QAction *log = menu->addAction(QStringLiteral("操作日志…"));
    log->setObjectName(QStringLiteral("operationLogAction"));
    connect(log, &QAction::triggered, this, &MainWindow::showOperationLog);
    m_operatorsAction = menu->addAction(QStringLiteral("操作员…"));
    m_operatorsAction->setObjectName(QStringLiteral("operatorsAction"));
    connect(m_operatorsAction, &QAction::triggered, this, &MainWindow::manageOperators);
    m_changePasswordAction = menu->addAction(QStringLiteral("修改密码…"));
    m_changePasswordAction->setObjectName(QStringLiteral("changePasswordAction"));
    connect(m_changePasswordAction, &QAction::triggered, this, &MainWindow::changeOwnPassword);
    // A refused entry says why in its tooltip.
    menu->setToolTipsVisible(true);
    return menu;
}

void MainWindow::addKeyedFileActions(QMenu *menu)
{
    menu->addSeparator();
    m_protectAction = menu->addAction(QStringLiteral("设置操作员…"));
    m_protectAction->setObjectName(QStringLiteral("protectAction"));
    connect(m_protectAction, &QAction::triggered, this, &MainWindow::protectDatabase);
    m_backupKeyAction = menu->addAction(QStringLiteral("定时备份密钥…"));
    m_backupKeyAction->setObjectName(QStringLiteral("backupKeyAction"));
    connect(m_backupKeyAction, &QAction::triggered, this, [this] {
        if (m_desk)
            createBackupKeyInteractively(this, m_connection, *m_desk);
    });
    showKeyedFileState();
}

void MainWindow::showKeyedFileState()
{
    const bool keyed = m_desk && m_desk->hasOperators();
    // A server keeps its data behind its own sign-in; operators of a file do not apply there.
    const bool unprotected = m_desk && !keyed && !onServer();
    m_protectAction->setVisible(unprotected);
    m_backupKeyAction->setVisible(keyed);
    m_backupKeyAction->setEnabled(keyed && !m_desk->key().isNull() && m_desk->who().role == Role::Administrator);
    if (!m_protectionBanner || m_protectionBanner->isVisibleTo(this) == unprotected)
        return;
    m_protectionBanner->setVisible(unprotected);
    const int change = unprotected ? 34 : -34;
    m_baseSize.rheight() += change;
    setMinimumSize(m_baseSize.boundedTo(QSize(480, 360)));
    resize(width(), height() + change);
}

void MainWindow::protectDatabase()
{
    // Before the dialog: the conversion goes from the 管理员's answer straight to its work.
    if (m_desk)
        Q_EMIT aboutToReplaceDatabase();
    if (m_desk && protectDatabaseInteractively(this, m_connection, *m_desk)) {
        showStatus(QStringLiteral("已设置操作员，数据库改用它自己的密钥加密"), m_desk->slots()->path());
        deskChanged();
    }
}

void MainWindow::setBatchOperations(ops::BatchOperations operations)
{
    m_batchOperations = std::move(operations);
    m_checkInBatch->setEnabled(bool(m_batchOperations.checkIn));
    m_readingBatch->setEnabled(bool(m_batchOperations.settleUtility));
}

void MainWindow::checkDatabase()
{
    // Read beside the window on a connection of its own, which sees what the pages committed.
    auto findings = std::make_shared<QStringList>();
    const SecureKey none;
    FileJob job(m_connection.filePath(), m_desk && m_desk->hasOperators() ? m_desk->key() : none,
                [findings](Connection &own, const SecureKey &, const filecopy::Steps &) {
                    *findings = orv::checkDatabase(own);
                });
    if (runWithProgress(this, QStringLiteral("正在检查数据库…"), job, false) == FileJob::End::Stopped)
        return;
    if (!runGuarded(this, unitFailureLead(), [&] { job.rethrow(); }))
        return;
    CheckDialog dialog(*findings, this);
    dialog.exec();
}

void MainWindow::showAbout()
{
    AboutDialog about(this);
    about.exec();
}

void MainWindow::showHelp()
{
    HelpDialog help(this);
    help.exec();
}

void MainWindow::setDesk(ops::Desk *desk)
{
    m_desk = desk;
    const int minutes = QSettings().value(QStringLiteral("operators/idleMinutes"), 15).toInt();
    setIdleLock(std::chrono::minutes(std::max(minutes, 0)));
    deskChanged();
}

void MainWindow::deskChanged()
{
    showSignedIn();
    showKeyedFileState();
    applyRoles();
}

void MainWindow::showSignedIn()
{
    const bool operators = m_desk && m_desk->hasOperators();
    const bool signedIn = operators && !m_desk->who().name.isEmpty();
    // A file without operators keeps the title it always had.
    if (onServer())
        setWindowTitle(QStringLiteral("%1 — %2 — %3").arg(kTitle, m_serverPlace, m_serverUser));
    else
        setWindowTitle(
            signedIn ? QStringLiteral("%1 — %2（%3）").arg(kTitle, m_desk->who().name, roleName(m_desk->who().role))
                     : kTitle);
    m_lockAction->setEnabled(signedIn);
    m_switchAction->setEnabled(signedIn);
    if (m_idleTimer) {
        if (signedIn && !isLocked())
            m_idleTimer->start();
        else
            m_idleTimer->stop();
    }
}

void MainWindow::setIdleLock(std::chrono::milliseconds idle)
{
    if (idle.count() <= 0) {
        if (m_idleTimer)
            QCoreApplication::instance()->removeEventFilter(this);
        delete m_idleTimer;
        m_idleTimer = nullptr;
        return;
    }
    if (!m_idleTimer) {
        m_idleTimer = new QTimer(this);
        m_idleTimer->setSingleShot(true);
        connect(m_idleTimer, &QTimer::timeout, this, &MainWindow::lock);
        // Input to any window of the program counts, dialogs included.
        QCoreApplication::instance()->installEventFilter(this);
    }
    m_idleTimer->setInterval(idle);
    showSignedIn();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        if (m_idleTimer && m_idleTimer->isActive())
            m_idleTimer->start();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::lock()
{
    if (isLocked() || !m_desk || !m_desk->hasOperators() || m_desk->who().name.isEmpty())
        return;
    // The desk keeps its key while locked: the engine holds its own copy for the open connection
    // anyway, so wiping ours would take no key out of the process, and the unlock compares the
    // key the password unseals against it.
    coverData(QStringLiteral("已锁定。请操作员“%1”输入密码解锁。").arg(m_desk->who().name));
}

void MainWindow::switchOperator()
{
    if (isLocked() || !m_desk || !m_desk->hasOperators() || m_desk->who().name.isEmpty())
        return;
    // Every slot unseals the same key; the next operator's must unseal this one, not merely open.
    m_switchKey = SecureKey::zeroed();
    std::memcpy(m_switchKey.data(), m_desk->key().data(), SecureKey::size);
    m_desk->signOut();
    deskChanged();
    coverData(QStringLiteral("操作员已退出。请操作员登录。"));
}

void MainWindow::coverData(const QString &why)
{
    const auto hideContents = [this](QWidget *window) {
        for (QWidget *control : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!control->isWindow() && control->isVisible()) {
                control->hide();
                m_hiddenByLock.append(control);
            }
        }
    };
    hideContents(this);
    // A menu left open would show its texts over the cover.
    for (int open = 0; open < 8 && QApplication::activePopupWidget(); ++open)
        QApplication::activePopupWidget()->close();
    // Dialogs open above the window show data too. Their contents are hidden with the window's and
    // come back with them; closing the dialogs instead would lose what was being typed.
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible())
            hideContents(window);
    }
    m_lockPanel = new QWidget(this);
    m_lockPanel->setObjectName(QStringLiteral("lockPanel"));
    auto *layout = new QVBoxLayout(m_lockPanel);
    auto *reason = new QLabel(why, m_lockPanel);
    reason->setObjectName(QStringLiteral("lockReason"));
    reason->setTextFormat(Qt::PlainText);
    reason->setAlignment(Qt::AlignCenter);
    auto *signIn = new QPushButton(QStringLiteral("登录…"), m_lockPanel);
    signIn->setObjectName(QStringLiteral("unlockButton"));
    connect(signIn, &QPushButton::clicked, this, &MainWindow::askToSignIn);
    layout->addStretch();
    layout->addWidget(reason);
    layout->addWidget(signIn, 0, Qt::AlignCenter);
    layout->addStretch();
    m_lockPanel->setGeometry(rect());
    m_lockPanel->show();
    showSignedIn();
    askToSignIn();
}

void MainWindow::askToSignIn()
{
    if (!m_lockPanel || m_signInDialog || !m_desk || !m_desk->slots())
        return;
    const bool sameOperator = !m_desk->who().name.isEmpty();
    auto *dialog = new SignInDialog(*m_desk->slots(), m_signInTries, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (sameOperator)
        dialog->lockToOperator(m_desk->who().name);
    dialog->requireKey(sameOperator ? &m_desk->key() : &m_switchKey);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { signedInAgain(dialog->takeUnlocked()); });
    m_signInDialog = dialog;
    dialog->open();
}

void MainWindow::signedInAgain(Unlocked unlocked)
{
    if (!unlocked.opened())
        return;
    if (m_desk->who().name.isEmpty()) {
        m_desk->signIn(KeySlots(*m_desk->slots()), std::move(unlocked.key),
                       ops::SignedIn{unlocked.name, unlocked.role, false});
        m_switchKey = SecureKey();
    }
    delete m_lockPanel;
    m_lockPanel = nullptr;
    for (const QPointer<QWidget> &control : std::as_const(m_hiddenByLock)) {
        if (control)
            control->show();
    }
    m_hiddenByLock.clear();
    deskChanged();
}

QString MainWindow::operatorName() const
{
    if (onServer())
        return m_serverUser;
    return m_desk && m_desk->hasOperators() ? m_desk->who().name : QString();
}

void MainWindow::setServerStore(QString place, QString user)
{
    m_serverPlace = std::move(place);
    m_serverUser = std::move(user);
    if (auto *store = dynamic_cast<server::ServerStore *>(m_connection.backend()))
        m_serverRole = store->role();
    for (QAction *action : std::as_const(m_fileActions))
        action->setVisible(false);
    deskChanged();
}

void MainWindow::chooseStore()
{
    ServerDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        showStatus(dialog.outcome());
}

void MainWindow::applyRoles()
{
    // On a server its user is signed in for as long as the window runs.
    const bool operators = onServer() || (m_desk && m_desk->hasOperators());
    // Between a sign-out and the next sign-in nobody holds more than a 值班员 would.
    const bool signedIn = onServer() || (operators && !m_desk->who().name.isEmpty());
    const Role role = onServer() ? m_serverRole : signedIn ? m_desk->who().role : Role::Attendant;
    applyRoleGates(this, operators ? std::optional<Role>(role) : std::nullopt);
    // Only a 管理员 sees the operators; everyone signed in may change their own password.
    m_operatorsAction->setVisible(signedIn && role == Role::Administrator);
    m_changePasswordAction->setVisible(signedIn);
    m_connection.setOperatorName(operatorName());
    for (Page *page : findChildren<Page *>())
        page->setOperatorName(operatorName());
}

void MainWindow::showOperationLog()
{
    LogDialog dialog(m_connection, operatorName(), this);
    dialog.exec();
}

server::ServerConnection *MainWindow::serverConnection() const
{
    auto *store = dynamic_cast<server::ServerStore *>(m_connection.backend());
    return store ? &store->server() : nullptr;
}

void MainWindow::manageOperators()
{
    if (server::ServerConnection *server = onServer() ? serverConnection() : nullptr) {
        // The entry is hidden from a 值班员; whoever gets here anyway is told why, before the server
        // refuses the first change.
        if (const QString refusal = ops::refusalTip(m_serverRole, ops::Action::ManageOperators); !refusal.isEmpty()) {
            showMessage(this, refusal);
            return;
        }
        OperatorsDialog dialog(m_connection, serverRoster(*server), this);
        dialog.exec();
        return;
    }
    if (!m_desk || !m_desk->hasOperators())
        return;
    OperatorsDialog dialog(m_connection, *m_desk, defaultPasswordCost(), this);
    dialog.exec();
}

void MainWindow::changeOwnPassword()
{
    if (server::ServerConnection *server = onServer() ? serverConnection() : nullptr) {
        PasswordDialog dialog(m_connection, serverRoster(*server), this);
        dialog.exec();
        return;
    }
    if (!m_desk || !m_desk->hasOperators())
        return;
    PasswordDialog dialog(m_connection, *m_desk, defaultPasswordCost(), this);
    dialog.exec();
}

void MainWindow::showStatus(const QString &sentence, const QString &filePath)
{
    m_statusFile = filePath;
    // A long path is shortened in the middle on screen; the tooltip and a screen reader get it whole.
    m_statusLine->setText(
        m_statusLine->fontMetrics().elidedText(sentence, Qt::ElideMiddle, m_statusLine->contentsRect().width()));
    m_statusLine->setToolTip(sentence);
    m_statusLine->setAccessibleName(sentence);
    m_openFolder->setVisible(!filePath.isEmpty());
}

void MainWindow::openStatusFolder()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(m_statusFile).absolutePath()));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (!event->isAccepted())
        return;
    if (m_remembersLayout)
        saveLayout();
    Q_EMIT closed();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int extraWidth = width() - m_baseSize.width();
    const int extraHeight = height() - m_baseSize.height();
    m_tabSheet->setGeometry(m_tabBase.adjusted(0, 0, extraWidth, extraHeight));
    if (m_lockPanel)
        m_lockPanel->setGeometry(rect());
    for (const Placed &placed : std::as_const(m_aroundTabs)) {
        if (!placed.control)
            continue;
        const bool right = placed.base.center().x() > m_baseSize.width() / 2;
        placed.control->move(placed.base.topLeft() + QPoint(right ? extraWidth : 0, extraHeight));
        // The status line spans the tabs' width, so a long sentence shows more of itself.
        if (placed.control == m_statusLine) {
            m_statusLine->resize(placed.base.width() + extraWidth, placed.base.height());
            m_statusLine->setText(m_statusLine->fontMetrics().elidedText(m_statusLine->toolTip(), Qt::ElideMiddle,
                                                                         m_statusLine->contentsRect().width()));
        }
    }
}

namespace {

// Where the window's layout is kept in the user's settings.
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kPageKey = QStringLiteral("window/page");

QString columnsKey(const ReportList *list)
{
    return QStringLiteral("columns/%1/%2").arg(list->parentWidget()->objectName(), list->objectName());
}

} // namespace

void MainWindow::restoreLayout()
{
    m_remembersLayout = true;
    const QSettings settings;
    restoreGeometry(settings.value(kGeometryKey).toByteArray());
    const int page = settings.value(kPageKey, 0).toInt();
    if (page > 0 && page < m_tabSheet->count())
        m_tabSheet->setCurrentIndex(page);
    for (ReportList *list : findChildren<ReportList *>()) {
        QList<int> widths;
        for (const QString &width : settings.value(columnsKey(list)).toStringList())
            widths.append(width.toInt());
        list->restoreColumnWidths(widths);
    }
}

void MainWindow::saveLayout() const
{
    QSettings settings;
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kPageKey, m_tabSheet->currentIndex());
    for (const ReportList *list : findChildren<ReportList *>()) {
        QStringList widths;
        for (int width : list->columnWidths())
            widths.append(QString::number(width));
        settings.setValue(columnsKey(list), widths);
    }
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // Enter and Esc never close the program by accident; the close box does.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace orv
