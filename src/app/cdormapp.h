#pragma once

#include "data/connection.h"
#include "data/keyslots.h"
#include "mainwindow/signindialog.h"
#include "operations/batch.h"
#include "operations/desk.h"

#include <exception>
#include <functional>
#include <memory>

namespace orv {

class DailyCopy;
class MainWindow;

// The application object: opens the one connection (for a file with operators, once one has signed
// in), shows the start-up picture, then runs the main window until it is closed.
class CDormApp final {
public:
    static constexpr int kPictureMilliseconds = 2000;

    // The picture stays for the given time; tests shorten it. The data menu offers the batches
    // whose operations are given.
    explicit CDormApp(int pictureMilliseconds = kPictureMilliseconds, ops::BatchOperations batchOperations = {});
    ~CDormApp();
    CDormApp(const CDormApp &) = delete;
    CDormApp &operator=(const CDormApp &) = delete;

    // The store to open: the server at `uri` (--server); with none, the one chosen in the data menu
    // unless `localFile` (--file) asks for the folder's file.
    void setStore(QString uri, bool localFile);
    // With --create: a folder without a database gets one at start, keyed for a first 管理员 asked
    // for before anything else, with the picture copied from `pictureSource` beside it.
    void setFirstStart(const QString &pictureSource);
    // What new passwords cost; tests make it cheap.
    void setNewPasswordCost(PasswordCost cost) { m_newPasswordCost = cost; }
    SignInTries &signInTries() { return m_signInTries; }
    // An opening that takes longer than this shows the start-up picture with a word on it; tests
    // shorten it.
    void setSlowOpenMilliseconds(int milliseconds) { m_slowOpenMilliseconds = milliseconds; }

    // The whole life of the program; returns the exit status.
    int InitInstance();

    // How a step before the connection ended: go on, the user cancelled, or it failed (and said why).
    enum class Step { Go, Cancelled, Failed };

    // The steps of InitInstance, each usable alone.
    void preparePlatform();
    Step setUpFirstAdministrator();
    // For a database with a key file beside it: asks an operator to sign in.
    Step signIn();
    bool openConnection();
    // The server the start opens; empty for the folder's file.
    QString serverToOpen() const;
    // Opens the connection on the server at `uri`. When it cannot, a box says why and offers the
    // folder's file instead: LocalFile when that was taken, Cancelled when not.
    enum class ServerStart { Opened, LocalFile, Cancelled };
    ServerStart openServer(const QString &uri);
    // Starts today's automatic copy beside everything that follows; stopDailyCopy ends it, kept
    // only when it got its name by then.
    void startDailyCopy();
    void stopDailyCopy();
    void showStartPicture();
    // Creates the main window and returns once it has been shown (runModal runs it to its close).
    MainWindow *createMainWindow();
    void runModal();

    MainWindow *mainWindow() const { return m_mainWindow.get(); }
    DailyCopy *dailyCopy() const { return m_dailyCopy.get(); }

    std::unique_ptr<Connection> m_pConnection;

private:
    // Runs `open` beside the event loop, so the screen stays drawn; an opening slower than the
    // limit says `waiting` (with the seconds so far) on the start-up picture. Returns what it raised.
    std::exception_ptr openBeside(const std::function<void()> &open, const QString &waiting);

    int m_pictureMilliseconds;
    QString m_serverUri;
    bool m_localFile = false;
    // Where the server connection went and whom it signed in; empty on a file.
    QString m_serverPlace;
    QString m_serverUser;
    int m_slowOpenMilliseconds = 800;
    ops::BatchOperations m_batchOperations;
    bool m_firstStart = false;
    QString m_pictureSource;
    PasswordCost m_newPasswordCost = defaultPasswordCost();
    SignInTries m_signInTries;
    // Declared before the window, which reads it, so it outlives the window.
    ops::Desk m_desk;
    // Ends before the connection, whose file it reads.
    std::unique_ptr<DailyCopy> m_dailyCopy;
    std::unique_ptr<MainWindow> m_mainWindow;
};

} // namespace orv
