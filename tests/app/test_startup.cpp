#include "app/backupcommand.h"
#include "app/cdormapp.h"
#include "app/startpicture.h"
#include "data/backup.h"
#include "mainwindow/mainwindow.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <sqlite3.h>

using namespace orv;
using namespace Qt::StringLiterals;

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A failed connection shows its reason and ends the program; a missing picture does not stop it.
    void startsOrShowsWhyNot_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason"); // empty: the main window opens
        QTest::newRow("no picture") << u"sound"_s << QString();
        QTest::newRow("file missing") << u"none"_s << u"当前目录中没有数据库文件“OrvDb.mdb”。"_s;
        // An empty file would open as a new, empty database: it is refused like a foreign one.
        const QString foreign = u"数据库密码不匹配，或者文件“OrvDb.mdb”不是本程序的数据库。"_s;
        QTest::newRow("wrong password") << u"other key"_s << foreign;
        QTest::newRow("empty file") << u"empty"_s << foreign;
        // A damaged file is named as such, never as a wrong password.
        QTest::newRow("truncated") << u"truncated"_s
                                   << u"数据库文件“OrvDb.mdb”无法读取：%1（数据库引擎：%2）"_s.arg(
                                          engineFaultCause(SQLITE_CORRUPT), u"database disk image is malformed"_s);
    }
    void startsOrShowsWhyNot()
    {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        test::InFolder dir;
        const QString file = dir.filePath(u"OrvDb.mdb"_s);
        QFile empty(file);
        if (setup == "empty"_L1)
            QVERIFY(empty.open(QIODevice::WriteOnly));
        else if (setup != "none"_L1)
            Connection::Create(file, setup == "other key"_L1 ? u"另一个密码"_s : programPassword());
        if (setup == "truncated"_L1)
            QVERIFY(QFile::resize(file, 5000));
        test::Answers answers;
        QString title;
        CDormApp app(0);
        QTimer watcher; // notes the main window's title once it shows, and closes it
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (MainWindow *window = app.mainWindow(); window && window->isVisible()) {
                title = window->windowTitle();
                window->close();
            }
        });
        watcher.start(20);
        const int status = app.InitInstance();
        QCOMPARE(status != 0, !reason.isEmpty());
        QCOMPARE(answers->texts(),
                 reason.isEmpty() ? QStringList() : QStringList{u"连接数据库失败!\n错误信息:"_s + reason});
        QCOMPARE(title.isEmpty(), !reason.isEmpty());
    }

    // The day's first start copies the file beside the window: the copy gets its name while the
    // window is up, and a window closed before then leaves neither the copy nor a part of it.
    void theDailyCopyIsMadeBesideTheWindow_data()
    {
        QTest::addColumn<bool>("closeAtOnce");
        QTest::newRow("window up") << false;
        QTest::newRow("closed at once") << true;
    }
    void theDailyCopyIsMadeBesideTheWindow()
    {
        QFETCH(bool, closeAtOnce);
        test::InFolder dir;
        Connection::Create(dir.filePath(u"OrvDb.mdb"_s), programPassword());
        test::Answers answers;
        CDormApp app(0);
        QVERIFY(app.openConnection());
        app.startDailyCopy();
        bool windowUp = false;
        QObject::connect(app.dailyCopy(), &DailyCopy::finished,
                         [&] { windowUp = app.mainWindow() && app.mainWindow()->isVisible(); });
        QSignalSpy finished(app.dailyCopy(), &DailyCopy::finished);
        MainWindow *window = app.createMainWindow();
        if (closeAtOnce) {
            window->close();
            app.runModal();
            app.stopDailyCopy();
        } else {
            QVERIFY(finished.wait(60000));
            QVERIFY(windowUp);
        }
        const QDir backups(dir.filePath(u"backups"_s));
        const QString copy = backups.filePath(u"OrvDb-%1.mdb"_s.arg(QDate::currentDate().toString(u"yyyyMMdd"_s)));
        QCOMPARE(app.dailyCopy()->written(), closeAtOnce ? QString() : copy);
        QCOMPARE(QFileInfo::exists(copy), !closeAtOnce);
        QCOMPARE(backups.entryList(QDir::Files | QDir::Hidden).filter(u".part"_s), QStringList());
        if (!closeAtOnce)
            QCOMPARE(test::storeErrorOf([&] { backup::verify(copy); }).message(), QString());
        QCOMPARE(answers->texts(), QStringList());
    }

    void thePictureWindowShowsOnlyAPicture()
    {
        StartPicture picture(QStringLiteral(ORV_RES_DIR "/bgl.jpg"));
        QVERIFY(picture.showPicture());
        QCOMPARE(picture.size(), QImage(QStringLiteral(ORV_RES_DIR "/bgl.jpg")).size());
        // A file that is there but is no picture: this test program.
        StartPicture broken(QCoreApplication::applicationFilePath());
        QVERIFY(!broken.showPicture());

        // A word while the file opens slowly: on the picture at its own size, or alone without one.
        const QString word = u"正在整理数据库，请稍候……（已用 3 秒）"_s;
        picture.showMessage(word);
        QCOMPARE(picture.size(), QImage(QStringLiteral(ORV_RES_DIR "/bgl.jpg")).size());
        broken.showMessage(word);
        QVERIFY(broken.isVisible());
        QCOMPARE(broken.message(), word);
    }

    // A file made before the newest indexes gets them as it is opened, beside the event loop.
    void anOlderFileGetsTheIndexesItLacks()
    {
        test::InFolder dir;
        const QString file = dir.filePath(u"OrvDb.mdb"_s);
        Connection::Create(file, programPassword());
        const auto indexes = [&file] {
            return test::rowsOf(test::openKeyed(file).get(),
                                u"SELECT name FROM sqlite_master WHERE name IN ('fanglist_date', 'fangset_date') "
                                "ORDER BY name"_s);
        };
        sqlite3_exec(test::openKeyed(file).get(), "DROP INDEX fanglist_date; DROP INDEX fangset_date", nullptr, nullptr,
                     nullptr);
        QCOMPARE(indexes().size(), 0);
        test::Answers answers;
        CDormApp app(0);
        app.setSlowOpenMilliseconds(0);
        QVERIFY(app.openConnection());
        QCOMPARE(indexes(), (QList<QStringList>{{u"fanglist_date"_s}, {u"fangset_date"_s}}));
        QCOMPARE(answers->texts(), QStringList());
    }

    void standardButtonsReadInChinese()
    {
        CDormApp app(0);
        app.preparePlatform();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), u"确定"_s);
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
