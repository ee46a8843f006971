#pragma once

#include "data/connection.h"
#include "operations/batch.h"
#include "operations/desk.h"

#include <memory>

namespace orv {

class MainWindow;

// The application object: opens the one connection, shows the start-up picture, then runs the
// main window until it is closed.
class CDormApp final {
public:
    static constexpr int kPictureMilliseconds = 2000;

    // The picture stays for the given time; tests shorten it. The data menu offers the batches
    // whose operations are given.
    explicit CDormApp(int pictureMilliseconds = kPictureMilliseconds, ops::BatchOperations batchOperations = {});
    ~CDormApp();
    CDormApp(const CDormApp &) = delete;
    CDormApp &operator=(const CDormApp &) = delete;

    // The whole life of the program; returns the exit status.
    int InitInstance();

    // The steps of InitInstance, each usable alone.
    void preparePlatform();
    bool openConnection();
    void showStartPicture();
    // Creates the main window and returns once it has been shown (runModal runs it to its close).
    MainWindow *createMainWindow();
    void runModal();

    MainWindow *mainWindow() const { return m_mainWindow.get(); }

    std::unique_ptr<Connection> m_pConnection;

private:
    int m_pictureMilliseconds;
    ops::BatchOperations m_batchOperations;
    // Declared before the window, which reads it, so it outlives the window.
    ops::Desk m_desk;
    std::unique_ptr<MainWindow> m_mainWindow;
};

} // namespace orv
