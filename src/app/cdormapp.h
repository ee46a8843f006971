#pragma once

#include "data/connection.h"

#include <memory>

namespace orv {

class CDormDlg;

// The application object: opens the one connection, shows the start-up picture, then runs the
// main window until it is closed.
class CDormApp final {
public:
    // The picture stays for the given time; tests shorten it.
    explicit CDormApp(int pictureMilliseconds = 2000);
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
    CDormDlg *createMainWindow();
    void runModal();

    CDormDlg *mainWindow() const { return m_mainWindow.get(); }

    std::unique_ptr<Connection> m_pConnection;

private:
    int m_pictureMilliseconds;
    std::unique_ptr<CDormDlg> m_mainWindow;
};

} // namespace orv
