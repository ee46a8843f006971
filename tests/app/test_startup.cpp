#include "app/cdormapp.h"
#include "app/cstartpicturewnd.h"
#include "mainwindow/cdormdlg.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sqlite3.h>

using namespace orv;
using namespace Qt::StringLiterals;
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

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void failedConnectionsShowTheReasonAndEndTheProgram_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        QTest::newRow("file missing") << u"none"_s << u"当前目录中没有数据库文件“OrvDb.mdb”。"_s;
        const QString foreign = u"数据库密码不匹配，或者文件“OrvDb.mdb”不是本程序的数据库。"_s;
        QTest::newRow("wrong password") << u"other key"_s << foreign;
        QTest::newRow("not a database") << u"text"_s << foreign;
        QTest::newRow("empty file") << u"empty"_s << foreign;
        // A file busy in another program or damaged is named as such, never as a wrong password.
        const QString unreadable = u"数据库文件“OrvDb.mdb”无法读取：%1（数据库引擎：%2）"_s;
        QTest::newRow("held by another program")
            << u"held"_s << unreadable.arg(engineFaultCause(SQLITE_BUSY), u"database is locked"_s);
        QTest::newRow("truncated") << u"truncated"_s
                                   << unreadable.arg(engineFaultCause(SQLITE_CORRUPT),
                                                     u"database disk image is malformed"_s);
    }
    void failedConnectionsShowTheReasonAndEndTheProgram()
    {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"OrvDb.mdb"_s);
        test::RawDatabase holder;
        if (setup == "other key"_L1) {
            Connection::Create(file, u"另一个密码"_s);
        } else if (setup == "held"_L1) {
            Connection::Create(file, programPassword());
            holder = test::openKeyed(file);
            QCOMPARE(sqlite3_exec(holder.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        } else if (setup == "truncated"_L1) {
            Connection::Create(file, programPassword());
            QVERIFY(QFile::resize(file, 5000));
        } else if (setup != "none"_L1) {
            QFile text(file);
            QVERIFY(text.open(QIODevice::WriteOnly));
            if (setup == "text"_L1)
                text.write(QByteArray(4096, 'x'));
        }
        QFile::copy(QStringLiteral(ORV_RES_DIR "/bgl.jpg"), dir.filePath(u"bgl.jpg"_s));

        const StartResult result = startIn(dir.path());
        QVERIFY(result.status != 0);
        QCOMPARE(result.messages, QStringList{u"连接数据库失败!\n错误信息:"_s + reason});
        QVERIFY(result.mainWindowTitle.isEmpty());
    }

    void aMissingPictureStillLeadsToTheMainWindow()
    {
        QTemporaryDir dir;
        Connection::Create(dir.filePath(u"OrvDb.mdb"_s), programPassword());
        const StartResult result = startIn(dir.path());
        QCOMPARE(result.status, 0);
        QVERIFY(result.messages.isEmpty());
        QCOMPARE(result.mainWindowTitle, u"Lumeo宿舍管理系统V2.8"_s);
    }

    void thePictureWindowShowsOnlyAPicture()
    {
        CStartPictureWnd picture(QStringLiteral(ORV_RES_DIR "/bgl.jpg"));
        QVERIFY(picture.hasPicture());
        QVERIFY(picture.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(picture.showPicture());
        QCOMPARE(picture.size(), QImage(QStringLiteral(ORV_RES_DIR "/bgl.jpg")).size());

        // A file that is there but is no picture (this test program), and one that is not there.
        CStartPictureWnd broken(QCoreApplication::applicationFilePath());
        QVERIFY(!broken.showPicture());
        CStartPictureWnd missing(u"/nonexistent/bgl.jpg"_s);
        QVERIFY(!missing.showPicture());
    }

    void standardButtonsReadInChinese()
    {
        CDormApp app(0);
        app.preparePlatform();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), u"确定"_s);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"取消"_s);
        QCOMPARE(QApplication::applicationName(), u"Orvane"_s);
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
