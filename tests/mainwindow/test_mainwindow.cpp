#include "data/backup.h"
#include "data/dbcheck.h"
#include "mainwindow/checkdialog.h"
#include "pagedriver.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

using namespace orv;
using orv::test::Window;

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tabsInOrderSwitchByClickAndKeyboardKeepingPageState()
    {
        Window w(QString(), true);
        MainWindow &window = *w.window;
        QVERIFY(window.maximumWidth() > window.width() && window.maximumHeight() > window.height()); // resizable
        PageTabs *tabs = window.tabSheet();
        QStringList titles;
        for (int i = 0; i < tabs->count(); ++i)
            titles.append(tabs->tabText(i));
        QCOMPARE(titles, (QStringList{QStringLiteral("【住宿管理】"), QStringLiteral("【房间设置】"),
                                      QStringLiteral("【信息查询】"), QStringLiteral("【费用管理】")}));
        QCOMPARE(tabs->currentIndex(), 0);
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(2).center());
        QCOMPARE(tabs->currentIndex(), 2);
        auto *edit = orv::test::child<QLineEdit>(tabs->widget(2), QStringLiteral("nameEdit"));
        edit->setText(QStringLiteral("typed while shown"));
        tabs->tabBar()->setFocus();
        QTest::keyClick(tabs->tabBar(), Qt::Key_Left);
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::keyClick(tabs->tabBar(), Qt::Key_Right);
        QCOMPARE(edit->text(), QStringLiteral("typed while shown"));
        // Enter and Esc inside a page hide nothing (Enter runs the form's query, whose box is answered).
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Escape);
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(window.isVisible());
        QCOMPARE(tabs->currentIndex(), 2);
    }

    // Every input of the pages has a label as its buddy; every control, lists and buttons too, has
    // an accessible name.
    void everyInputHasItsLabelAndEveryControlAName()
    {
        Window w(QString(), true);
        MainWindow &window = *w.window;
        QSet<QWidget *> labelled;
        for (QLabel *label : window.findChildren<QLabel *>())
            labelled.insert(label->buddy());
        QStringList unlabelled;
        QStringList unnamed;
        int controls = 0;
        for (QWidget *widget : window.tabSheet()->findChildren<QWidget *>()) {
            const bool input = qobject_cast<QLineEdit *>(widget) || qobject_cast<QComboBox *>(widget) ||
                               qobject_cast<QAbstractSpinBox *>(widget);
            // Editable combos and date pickers hold an inner edit that their own label covers.
            if (input && !labelled.contains(widget) && !labelled.contains(widget->parentWidget()))
                unlabelled.append(widget->objectName());
            // Item views' own inner widgets (cell editors, header buttons) are theirs to name, a spin
            // box's inner edit is the spin box's; pop-ups are windows named by their owner.
            if (!(input || qobject_cast<QAbstractButton *>(widget) || qobject_cast<QAbstractItemView *>(widget)) ||
                widget->window() != &window || qobject_cast<QAbstractItemView *>(widget->parentWidget()) ||
                widget->inherits("QHeaderView") || qobject_cast<QAbstractSpinBox *>(widget->parentWidget()))
                continue;
            ++controls;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
            if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
                unnamed.append(widget->objectName());
        }
        QCOMPARE(unlabelled, QStringList());
        QCOMPARE(unnamed, QStringList());
        QVERIFY(controls >= 50);
    }

    void aboutBoxOpensFromTheWindow()
    {
        Window w(QString(), true);
        auto *aboutButton = orv::test::child<QPushButton>(w.window.get(), QStringLiteral("aboutButton"));
        QCOMPARE(aboutButton->text(), QStringLiteral("关于 Orvane(&A)..."));
        QStringList texts;
        bool icon = false;
        QTimer::singleShot(50, this, [&texts, &icon] {
            QWidget *box = QApplication::activeModalWidget();
            QVERIFY(box);
            icon = !orv::test::child<QLabel>(box, u"aboutIcon"_s)->pixmap().isNull();
            auto *ok = orv::test::child<QPushButton>(box, QStringLiteral("aboutOk"));
            texts =
                QStringList{box->windowTitle(), orv::test::child<QLabel>(box, u"aboutVersion"_s)->text(), ok->text()};
            ok->click();
        });
        orv::test::click(aboutButton);
        QVERIFY(icon);
        QCOMPARE(texts, (QStringList{QStringLiteral("关于 Orvane"), QStringLiteral("Orvane Version 1.0"),
                                     QStringLiteral("确\n定")}));
    }

    // The data menu's check, made beside the window, lists what a check of the program's own
    // connection finds, and changes nothing.
    void theDataMenuChecksTheDatabase()
    {
        Window w(QStringLiteral("INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,1,1,1,3)"));
        QAction *check = w.window->dataMenu()->findChild<QAction *>(QStringLiteral("checkDatabaseAction"));
        QVERIFY(check);
        QStringList shown;
        QStringList findings;
        QTimer waiting; // the dialog comes once the check has ended
        QObject::connect(&waiting, &QTimer::timeout, this, [&] {
            if (auto *dialog = qobject_cast<CheckDialog *>(QApplication::activeModalWidget())) {
                waiting.stop();
                shown = QStringList{dialog->windowTitle(), dialog->summary()};
                findings = dialog->findings();
                dialog->accept();
            }
        });
        waiting.start(20);
        check->trigger();
        QCOMPARE(shown, (QStringList{QStringLiteral("检查数据库"), QStringLiteral("检查发现 2 处问题：")}));
        QCOMPARE(findings, checkDatabase(w.db.connection()));
        QCOMPARE(w.answers->texts(), QStringList());
        QCOMPARE(w.db.count(QStringLiteral("floorinfo")), 1);
    }

    // 取消 while a backup is made leaves nothing under the chosen name, nor a part of it, and says
    // nothing.
    void aCancelledBackupLeavesNothing()
    {
        Window w(orv::test::kRoomsAndResident);
        const QString target = QDir(w.db.directory()).filePath(u"copy.mdb"_s);
        bool cancelled = false;
        QTimer::singleShot(50, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            orv::test::child<QLineEdit>(dialog, u"fileNameEdit"_s)->setText(target);
            // Queued before the copy starts, so it comes before the copy could end.
            QMetaObject::invokeMethod(
                w.window.get(),
                [&] {
                    auto *progress = w.window->findChild<QProgressDialog *>();
                    QVERIFY(progress && progress->findChild<QPushButton *>());
                    progress->findChild<QPushButton *>()->click();
                    cancelled = true;
                },
                Qt::QueuedConnection);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        w.window->dataMenu()->findChild<QAction *>(u"backupAction"_s)->trigger();
        QVERIFY(cancelled);
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(QDir(w.db.directory()).entryList({u"*.part*"_s}, QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(w.answers->texts(), QStringList());
        QCOMPARE(orv::test::child<QLabel>(w.window.get(), u"statusLine"_s)->accessibleName(), QString());
    }

    // A restore from the menu, checked and copied beside the window and put in place on it, brings
    // the backup's rows back, keeps the replaced data and leaves no part behind.
    void aRestoreFromTheMenuBringsTheBackupBack()
    {
        Window w(orv::test::kRoomsAndResident);
        const QString copy = QDir(w.db.directory()).filePath(u"copy.mdb"_s);
        backup::backupTo(w.db.connection(), copy);
        w.db.exec(u"DELETE FROM personinfo"_s);
        QTimer::singleShot(50, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            orv::test::child<QLineEdit>(dialog, u"fileNameEdit"_s)->setText(copy);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        w.window->dataMenu()->findChild<QAction *>(u"restoreAction"_s)->trigger();
        QCOMPARE(w.answers->texts().size(), 2); // the question, then the outcome
        QVERIFY2(w.answers->last().startsWith(u"数据库已恢复。原来的数据保存在：\n"_s), qPrintable(w.answers->last()));
        QCOMPARE(w.db.count(u"personinfo"_s), 1);
        const QStringList files = QDir(w.db.directory()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(files.filter(u".part"_s), QStringList());
        QCOMPARE(files.filter(u"OrvDb-before-restore-"_s).size(), 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
