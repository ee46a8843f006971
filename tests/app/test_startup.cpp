#include "app/cdormapp.h"
#include "app/cstartpicturewnd.h"
#include "mainwindow/cdormdlg.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sqlite3.h>

#include <memory>

using namespace orv;
using orv::test::Answers;

namespace {

// Runs the whole start-up in a folder; when a main window appears, notes its title and closes it.
struct StartResult {
    int status = -1;
    QStringList messages;
    QString mainWindowTitle;
};

StartResult startIn(const QString &folder)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    Answers answers;
    StartResult result;
    CDormApp app(0);
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (CDormDlg *window = app.mainWindow(); window && window->isVisible()) {
            result.mainWindowTitle = window->windowTitle();
            window->close();
        }
    });
    watcher.start(20);
    result.status = app.InitInstance();
    result.messages = answers->texts();
    QDir::setCurrent(previous);
    return result;
}

bool anyMainWindowShown()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<CDormDlg *>(widget) && widget->isVisible())
            return true;
    }
    return false;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void failedConnectionsShowTheReasonAndEndTheProgram_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        QTest::newRow("file missing") << QStringLiteral("none")
                                      << QStringLiteral("当前目录中没有数据库文件“OrvDb.mdb”。");
        QTest::newRow("wrong password") << QStringLiteral("other key")
                                        << QStringLiteral("数据库密码不匹配，或者文件“OrvDb.mdb”不是本程序的数据库。");
        QTest::newRow("not a database") << QStringLiteral("text")
                                        << QStringLiteral("数据库密码不匹配，或者文件“OrvDb.mdb”不是本程序的数据库。");
        QTest::newRow("empty file") << QStringLiteral("empty")
                                    << QStringLiteral("数据库密码不匹配，或者文件“OrvDb.mdb”不是本程序的数据库。");
        // A file busy in another program or damaged is named as such, never as a wrong password.
        const QString unreadable = QStringLiteral("数据库文件“OrvDb.mdb”无法读取：%1（数据库引擎：%2）");
        QTest::newRow("held by another program")
            << QStringLiteral("held")
            << unreadable.arg(engineFaultCause(SQLITE_BUSY), QStringLiteral("database is locked"));
        QTest::newRow("truncated") << QStringLiteral("truncated")
                                   << unreadable.arg(engineFaultCause(SQLITE_CORRUPT),
                                                     QStringLiteral("database disk image is malformed"));
    }
    void failedConnectionsShowTheReasonAndEndTheProgram()
    {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("OrvDb.mdb"));
        test::RawDatabase holder;
        if (setup == QLatin1String("other key")) {
            Connection::Create(file, QStringLiteral("另一个密码"));
        } else if (setup == QLatin1String("held")) {
            Connection::Create(file, programPassword());
            holder = test::openKeyed(file);
            QCOMPARE(sqlite3_exec(holder.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        } else if (setup == QLatin1String("truncated")) {
            Connection::Create(file, programPassword());
            QVERIFY(QFile::resize(file, 5000));
        } else if (setup != QLatin1String("none")) {
            QFile text(file);
            QVERIFY(text.open(QIODevice::WriteOnly));
            if (setup == QLatin1String("text"))
                text.write(QByteArray(4096, 'x'));
        }
        QFile::copy(QStringLiteral(ORV_RES_DIR "/bgl.jpg"), dir.filePath(QStringLiteral("bgl.jpg")));

        const StartResult result = startIn(dir.path());
        QVERIFY(result.status != 0);
        QCOMPARE(result.messages, QStringList{QStringLiteral("连接数据库失败!\n错误信息:") + reason});
        QVERIFY(result.mainWindowTitle.isEmpty());
        QVERIFY(!anyMainWindowShown());
        QVERIFY(!result.messages.first().contains(programPassword()));
    }

    void aMissingPictureStillLeadsToTheMainWindow()
    {
        QTemporaryDir dir;
        Connection::Create(dir.filePath(QStringLiteral("OrvDb.mdb")), programPassword());
        const StartResult result = startIn(dir.path());
        QCOMPARE(result.status, 0);
        QVERIFY(result.messages.isEmpty());
        QCOMPARE(result.mainWindowTitle, QStringLiteral("Lumeo宿舍管理系统V2.8"));
    }

    void thePictureWindowShowsOnlyAPicture()
    {
        QTemporaryDir dir;
        CStartPictureWnd picture(QStringLiteral(ORV_RES_DIR "/bgl.jpg"));
        QVERIFY(picture.hasPicture());
        QVERIFY(picture.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(picture.showPicture());
        QCOMPARE(picture.size(), QImage(QStringLiteral(ORV_RES_DIR "/bgl.jpg")).size());

        const QString notAPicture = dir.filePath(QStringLiteral("bgl.jpg"));
        QFile file(notAPicture);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        CStartPictureWnd broken(notAPicture);
        QVERIFY(!broken.showPicture());
        CStartPictureWnd missing(dir.filePath(QStringLiteral("missing.jpg")));
        QVERIFY(!missing.showPicture());
    }

    void standardButtonsReadInChinese()
    {
        CDormApp app(0);
        app.preparePlatform();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Orvane"));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
