// Draws the main window on each of its four pages over a database with sample data and saves the
// pictures, so the documentation shows the program as it is. Run offscreen by scripts/screenshots.
#include "app/cdormapp.h"
#include "data/connection.h"
#include "data/schema.h"
#include "kit/messagebox.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/pagetabs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void clickIfPresent(QWidget *page, const char *objectName)
{
    if (auto *button = page->findChild<QAbstractButton *>(QString::fromLatin1(objectName)))
        button->click();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString target = arguments.size() > 1 ? arguments.at(1) : QStringLiteral(".");
    QDir().mkpath(target);
    orv::CDormApp program(0);
    program.preparePlatform();

    QTemporaryDir work;
    const QString file = work.filePath(orv::databaseFileName());
    try {
        orv::Connection::Create(file, orv::programPassword());
        orv::Connection connection;
        connection.Open(QStringLiteral("Data Source=%1;Password=%2").arg(file, orv::programPassword()));
        connection.beginUnit();
        orv::schema::fillDemo(connection);
        connection.commitUnit();

        // No box may stop the run; their texts are of no interest here.
        new orv::MessageAnswerer(&app);
        orv::MainWindow window(connection);
        window.show();
        QApplication::processEvents();
        std::printf("main window %dx%d\n", window.width(), window.height());

        const char *const listButtons[] = {"freeRoomsButton", "listRoomsButton", "listAllButton", "listFeesButton"};
        orv::PageTabs *tabs = window.tabSheet();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            clickIfPresent(tabs->widget(i), listButtons[i]);
            QApplication::processEvents();
            const QString name = QDir(target).filePath(QStringLiteral("page%1.png").arg(i + 1));
            if (!window.grab().save(name)) {
                std::fprintf(stderr, "orvane-screenshots: cannot write %s\n", qPrintable(name));
                return 1;
            }
            std::printf("%s\n", qPrintable(name));
        }
    } catch (const orv::StoreError &error) {
        std::fprintf(stderr, "orvane-screenshots: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
