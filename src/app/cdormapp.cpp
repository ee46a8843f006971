#include "cdormapp.h"

#include "backupcommand.h"
#include "commandline.h"
#include "data/pendingkeys.h"
#include "data/server/serverstore.h"
#include "data/storeerror.h"
#include "kit/colours.h"
#include "kit/messagebox.h"
#include "mainwindow/firstadmindialog.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/programicon.h"
#include "mainwindow/serverdialog.h"
#include "startpicture.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QThread>
#include <QTimer>
#include <QTranslator>

#include <atomic>
#include <exception>
#include <memory>
#include <thread>
#include <utility>

namespace orv {

CDormApp::CDormApp(int pictureMilliseconds, ops::BatchOperations batchOperations)
    : m_pConnection(std::make_unique<Connection>()), m_pictureMilliseconds(pictureMilliseconds),
      m_batchOperations(std::move(batchOperations))
{
}

CDormApp::~CDormApp()
{
    // The main window and its pages end before the connection they use.
    m_mainWindow.reset();
    stopDailyCopy();
}

void CDormApp::preparePlatform()
{
    // Settings go to ~/.config/orvane/Orvane.conf, beside nothing of another program's.
    QApplication::setOrganizationName(QStringLiteral("orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setWindowIcon(programIcon());
    // Ties the windows to the installed menu entry, so desktops show its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvane.Orvane"));
    // Standard buttons read 确定 and 取消, like the rest of the program.
    auto *translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QApplication::setStyle(createFocusRingStyle());
}

namespace {

const QString kConnectFailed = QStringLiteral("连接数据库失败!\n错误信息:");
const QString kServerFailed = QStringLiteral("连接数据库服务器失败!\n错误信息:");
const QString kOfferLocalFile = QStringLiteral("\n\n要改为打开本机的数据库文件吗？");

} // namespace

void CDormApp::setFirstStart(const QString &pictureSource)
{
    m_firstStart = true;
    m_pictureSource = pictureSource;
}

CDormApp::Step CDormApp::setUpFirstAdministrator()
{
    if (!m_firstStart || !databaseMissing())
        return Step::Go;
    const QString database = databaseFileName();
    SecureKey key;
    FirstAdminDialog dialog([&](const QString &name, const QString &password) {
        try {
            key = createKeyedDatabase(database, name, password, m_newPasswordCost);
            return QString();
        } catch (const StoreError &error) {
            return error.message();
        }
    });
    if (dialog.exec() != QDialog::Accepted)
        return Step::Cancelled;
    copyStartPicture(m_pictureSource);
    // The one who just chose the password is signed in at once.
    try {
        KeySlots slots = KeySlots::load(KeySlots::pathFor(database));
        const OperatorEntry first = slots.operators().constFirst();
        m_desk.signIn(std::move(slots), std::move(key), ops::SignedIn{first.name, first.role, false});
    } catch (const StoreError &error) {
        showMessage(nullptr, kConnectFailed + error.message());
        return Step::Failed;
    }
    return Step::Go;
}

CDormApp::Step CDormApp::signIn()
{
    const QString keys = KeySlots::pathFor(databaseFileName());
    // A file kept with the program's own password opens as it always did.
    if (m_desk.hasOperators() || (!QFileInfo(keys).exists() && !QFileInfo(keys).isSymLink()))
        return Step::Go;
    try {
        KeySlots slots = KeySlots::load(keys);
        SignInDialog dialog(slots, m_signInTries);
        if (dialog.exec() != QDialog::Accepted)
            return Step::Cancelled;
        Unlocked unlocked = dialog.takeUnlocked();
        m_desk.signIn(std::move(slots), std::move(unlocked.key), ops::SignedIn{unlocked.name, unlocked.role, false});
    } catch (const StoreError &error) {
        showMessage(nullptr, kConnectFailed + error.message());
        return Step::Failed;
    }
    return Step::Go;
}

std::exception_ptr CDormApp::openBeside(const std::function<void()> &open, const QString &waiting)
{
    std::exception_ptr failure;
    std::atomic<bool> opened{false};
    std::thread opening([&] {
        try {
            open();
        } catch (...) {
            failure = std::current_exception();
        }
        opened = true;
    });
    {
        std::unique_ptr<StartPicture> picture;
        QElapsedTimer clock;
        clock.start();
        while (!opened) {
            if (clock.elapsed() >= m_slowOpenMilliseconds) {
                if (!picture)
                    picture = std::make_unique<StartPicture>(QStringLiteral("bgl.jpg"));
                const QString text = waiting.arg(clock.elapsed() / 1000);
                if (picture->message() != text)
                    picture->showMessage(text);
            }
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
            QThread::msleep(10);
        }
    }
    opening.join();
    return failure;
}

bool CDormApp::openConnection()
{
    // Opening an older file gives it the indexes it lacks, some seconds each at ten years of
    // records, so it is opened beside the event loop.
    const std::exception_ptr failure = openBeside(
        [this] {
            if (m_desk.hasOperators())
                m_pConnection->openFile(databaseFileName(), m_desk.key());
            else
                m_pConnection->Open(programConnectionString());
        },
        QStringLiteral("正在整理数据库，请稍候……（已用 %1 秒）"));
    if (!failure)
        return true;
    try {
        std::rethrow_exception(failure);
    } catch (const StoreError &error) {
        showMessage(nullptr, kConnectFailed + error.message());
    }
    return false;
}

void CDormApp::setStore(QString uri, bool localFile)
{
    m_serverUri = std::move(uri);
    m_localFile = localFile;
}

QString CDormApp::serverToOpen() const
{
    if (!m_serverUri.isEmpty() || m_localFile)
        return m_serverUri;
    return chosenServer();
}

CDormApp::ServerStart CDormApp::openServer(const QString &uri)
{
    std::unique_ptr<server::ServerStore> store;
    // A server that does not answer can keep the connection waiting for a long time.
    const std::exception_ptr failure = openBeside([&] { store = server::ServerStore::open(uri); },
                                                  QStringLiteral("正在连接数据库服务器，请稍候……（已用 %1 秒）"));
    if (!failure) {
        m_serverPlace = serverPlace(store->server());
        m_serverUser = store->server().userName();
        m_pConnection->openStore(std::move(store));
        m_pConnection->setOperatorName(m_serverUser);
        return ServerStart::Opened;
    }
    QString cause;
    try {
        std::rethrow_exception(failure);
    } catch (const StoreError &error) {
        cause = error.message();
    }
    return showMessage(nullptr, kServerFailed + cause + kOfferLocalFile, MessageButtons::OkCancel) == MessageAnswer::Ok
               ? ServerStart::LocalFile
               : ServerStart::Cancelled;
}

void CDormApp::startDailyCopy()
{
    m_dailyCopy = std::make_unique<DailyCopy>(m_pConnection->filePath(), m_desk.key(), QDate::currentDate());
    m_dailyCopy->start();
}

void CDormApp::stopDailyCopy()
{
    if (m_dailyCopy)
        m_dailyCopy->stop();
}

void CDormApp::showStartPicture()
{
    StartPicture picture(QStringLiteral("bgl.jpg"));
    picture.showPicture();
    // The wait takes place with or without a picture. Only painting is handled meanwhile, so the
    // picture stays drawn while nothing else can happen.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < m_pictureMilliseconds) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
        QThread::msleep(10);
    }
}

MainWindow *CDormApp::createMainWindow()
{
    m_mainWindow = std::make_unique<MainWindow>(*m_pConnection);
    m_mainWindow->setBatchOperations(m_batchOperations);
    if (!m_serverPlace.isEmpty())
        m_mainWindow->setServerStore(m_serverPlace, m_serverUser);
    m_mainWindow->setDesk(&m_desk);
    m_mainWindow->restoreLayout();
    m_mainWindow->show();
    if (m_dailyCopy) {
        // A file put in the database's place is not the one the copy reads.
        QObject::connect(m_mainWindow.get(), &MainWindow::aboutToReplaceDatabase, m_dailyCopy.get(), &DailyCopy::stop);
        m_dailyCopy->windowShown();
    }
    return m_mainWindow.get();
}

void CDormApp::runModal()
{
    if (!m_mainWindow)
        return;
    QEventLoop loop;
    QObject::connect(m_mainWindow.get(), &MainWindow::closed, &loop, &QEventLoop::quit);
    if (m_mainWindow->isVisible())
        loop.exec();
    m_mainWindow.reset();
}

int CDormApp::InitInstance()
{
    preparePlatform();
    if (const QString uri = serverToOpen(); !uri.isEmpty()) {
        const ServerStart start = openServer(uri);
        if (start == ServerStart::Cancelled)
            return 1;
        if (start == ServerStart::Opened) {
            // The server keeps its own copies and signs its users in itself.
            showStartPicture();
            createMainWindow();
            runModal();
            return 0;
        }
    }
    // A key file a stopped program left waiting for its database goes in place before anyone signs in.
    settlePendingKeyFiles(databaseFileName());
    Step step = setUpFirstAdministrator();
    if (step == Step::Go)
        step = signIn();
    if (step != Step::Go)
        return step == Step::Cancelled ? 0 : 1;
    if (!openConnection())
        return 1;
    startDailyCopy();
    showStartPicture();
    createMainWindow();
    runModal();
    stopDailyCopy();
    return 0;
}

} // namespace orv
