#include "mainwindow/mainwindow.h"
#include "pagedriver.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace orv;
using namespace orv::test;

class TestStatusLine final : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

    QString statusOf(MainWindow &window) { return child<QLabel>(&window, u"statusLine"_s)->accessibleName(); }

    // Exports the room list through the file dialog, saving as `target`; returns the folder the
    // dialog first proposed.
    QString exportRooms(MainWindow &window, const QString &target)
    {
        QString proposed;
        QTimer::singleShot(50, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            proposed = dialog->directory().absolutePath();
            child<QLineEdit>(dialog, u"fileNameEdit"_s)->setText(target);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        child<QAbstractItemView>(page(window, 1), u"roomList"_s)->findChild<QAction *>(u"exportCsvAction"_s)->trigger();
        return proposed;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A desktop whose documents folder is named but not made yet.
        const QString config = m_home.filePath(u".config"_s);
        QVERIFY(QDir().mkpath(config));
        QFile dirs(config + u"/user-dirs.dirs"_s);
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n");
        dirs.close();
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(u".local/share"_s)));
    }

    // A check-in says what it did on the status line and nowhere else; a check-out keeps its
    // success box, now with the information sign; a refusal changes no line.
    void checkInAndOutAreTold()
    {
        Window w(kRoomsAndResident);
        test::checkIn(w.page(0), {u"王强"_s, u"男"_s, u"财务处"_s, u"2026001"_s, u"13900000000"_s, u"A"_s});
        QCOMPARE(w.answers->texts(), QStringList());
        QCOMPARE(statusOf(*w.window), u"已为 王强 办理入住 A"_s);
        QVERIFY(child<QPushButton>(w.window.get(), u"openFolderButton"_s)->isHidden());

        test::checkOut(w.page(0), u"P1"_s, u"A"_s);
        QCOMPARE(w.answers->texts(), QStringList{u"成功迁出！"_s});
        QCOMPARE(w.answers->icons(), QList<MessageIcon>{MessageIcon::Information});
        QCOMPARE(statusOf(*w.window), u"已为 甲 办理迁出"_s);

        w.answers->clear();
        test::checkOut(w.page(0), u"P1"_s, u"A"_s);
        QCOMPARE(w.answers->icons(), QList<MessageIcon>{MessageIcon::Warning});
        QCOMPARE(statusOf(*w.window), u"已为 甲 办理迁出"_s);
    }

    // The first export is offered the documents folder (made for it), the next one the folder
    // the first went to; the status line names the file and offers its folder.
    void exportsProposeTheirFolderAndAreTold()
    {
        Window w(kRoomsAndResident);
        press(w.page(1), u"listRoomsButton"_s);
        const QString documents = m_home.filePath(u"文档"_s);
        const QString chosen = m_home.filePath(u"交给财务"_s);
        QVERIFY(QDir().mkpath(chosen));
        const QString first = QDir(chosen).filePath(u"rooms.csv"_s);

        QCOMPARE(exportRooms(*w.window, first), documents);
        QVERIFY(QFileInfo(documents).isDir());
        QVERIFY(QFileInfo::exists(first));
        QCOMPARE(statusOf(*w.window), u"已导出 2 行到 "_s + first);
        QVERIFY(!child<QPushButton>(w.window.get(), u"openFolderButton"_s)->isHidden());

        QCOMPARE(exportRooms(*w.window, QDir(chosen).filePath(u"again.csv"_s)), chosen);
        QCOMPARE(w.answers->texts(), QStringList());
    }
};

QTEST_MAIN(TestStatusLine)
#include "test_statusline.moc"
