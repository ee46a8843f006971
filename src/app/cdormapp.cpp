#include "cdormapp.h"

#include "backupcommand.h"
#include "commandline.h"
#include "data/pendingkeys.h"
#include "data/storeerror.h"
#include "kit/colours.h"
#include "kit/messagebox.h"
#include "mainwindow/firstadmindialog.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/programicon.h"
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

bool CDormApp::openConnection()
{
    // Opening an older file gives it the indexes it lacks, some seconds each at ten years of
    // records. The file is opened beside the event loop, so the screen stays drawn, and an opening
    // that takes long says so on the start-up picture.
    std::exception_ptr failure;
    std::atomic<bool> opened{false};
    std::thread opening([&] {
        try {
            if (m_desk.hasOperators())
                m_pConnection->openFile(databaseFileName(), m_desk.key());
            else
                m_pConnection->Open(programConnectionString());
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
                const QString text =
                    QStringLiteral("正在整理数据库，请稍候……（已用 %1 秒）").arg(clock.elapsed() / 1000);
                if (picture->message() != text)
                    picture->showMessage(text);
            }
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
            QThread::msleep(10);
        }
    }
    opening.join();
    if (!failure)
        return true;
    try {
        std::rethrow_exception(failure);
    } catch (const StoreError &error) {
        showMessage(nullptr, kConnectFailed + error.message());
    }
    return false;
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
