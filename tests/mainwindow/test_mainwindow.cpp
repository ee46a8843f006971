#include "mainwindow/cdormdlg.h"
#include "mainwindow/checkdialog.h"
#include "mainwindow/ctabsheet.h"
#include "support/testsupport.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

using namespace orv;
using orv::test::TestDatabase;

namespace {

QList<int> visiblePages(CDormDlg &window)
{
    QList<int> shown;
    for (int i = 0; i < window.tabSheet()->count(); ++i) {
        if (window.tabSheet()->widget(i)->isVisible())
            shown.append(i);
    }
    return shown;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void titleAndTabsInOrderSwitchByClickAndKeyboardKeepingPageState()
    {
        TestDatabase db;
        CDormDlg window(db.connection());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Lumeo宿舍管理系统V2.8"));
        QCOMPARE(window.minimumSize(), window.maximumSize()); // fixed size
        QStringList titles;
        for (int i = 0; i < window.tabSheet()->count(); ++i)
            titles.append(window.tabSheet()->tabText(i));
        QCOMPARE(titles, (QStringList{QStringLiteral("【住宿管理】"), QStringLiteral("【房间设置】"),
                                      QStringLiteral("【信息查询】"), QStringLiteral("【费用管理】")}));
        QCOMPARE(visiblePages(window), QList<int>{0});

        QTabBar *bar = window.tabSheet()->tabBar();

        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        QCOMPARE(visiblePages(window), QList<int>{2});
        auto edits = window.tabSheet()->widget(2)->findChildren<QLineEdit *>();
        QVERIFY(!edits.isEmpty());
        edits.first()->setText(QStringLiteral("typed while shown"));

        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        QCOMPARE(visiblePages(window), QList<int>{1});

        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Right);
        QCOMPARE(visiblePages(window), QList<int>{2});
        QCOMPARE(edits.first()->text(), QStringLiteral("typed while shown"));

        // Enter and Esc inside a page hide nothing.
        edits.first()->setFocus();
        QTest::keyClick(edits.first(), Qt::Key_Escape);
        QTest::keyClick(edits.first(), Qt::Key_Return);
        QVERIFY(window.isVisible());
        QCOMPARE(visiblePages(window), QList<int>{2});
    }

    // Every input of the pages has a label as its buddy; every control, lists and buttons too, has
    // an accessible name.
    void everyInputHasItsLabelAndEveryControlAName()
    {
        TestDatabase db;
        CDormDlg window(db.connection());
        window.show();
        QSet<QWidget *> labelled;
        for (QLabel *label : window.findChildren<QLabel *>())
            labelled.insert(label->buddy());
        QStringList unlabelled;
        QStringList unnamed;
        int controls = 0;
        for (QWidget *widget : window.tabSheet()->findChildren<QWidget *>()) {
            const QString name = widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                                : widget->objectName();
            const bool input = qobject_cast<QLineEdit *>(widget) || qobject_cast<QComboBox *>(widget) ||
                               qobject_cast<QAbstractSpinBox *>(widget);
            // Editable combos and date pickers hold an inner edit that their own label covers.
            if (input && !labelled.contains(widget) && !labelled.contains(widget->parentWidget()))
                unlabelled.append(name);
            // Item views' own inner widgets (cell editors, header buttons) are theirs to name, a spin
            // box's inner edit is the spin box's; pop-ups are windows named by their owner.
            if (!(input || qobject_cast<QAbstractButton *>(widget) || qobject_cast<QAbstractItemView *>(widget)) ||
                widget->window() != &window || qobject_cast<QAbstractItemView *>(widget->parentWidget()) ||
                widget->inherits("QHeaderView") || qobject_cast<QAbstractSpinBox *>(widget->parentWidget()))
                continue;
            ++controls;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
            if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
                unnamed.append(name);
        }
        QCOMPARE(unlabelled, QStringList());
        QCOMPARE(unnamed, QStringList());
        QVERIFY(controls >= 50);
    }

    void aboutBoxOpensFromTheWindowAndFromF1()
    {
        TestDatabase db;
        CDormDlg window(db.connection());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *aboutButton = orv::test::child<QPushButton>(&window, QStringLiteral("aboutButton"));
        QCOMPARE(aboutButton->text(), QStringLiteral("关于 Orvane(&A)..."));

        for (int way = 0; way < 2; ++way) {
            QString caption;
            QStringList texts;
            QTimer::singleShot(50, this, [&] {
                QWidget *box = QApplication::activeModalWidget();
                QVERIFY(box);
                caption = box->windowTitle();
                for (auto *label : box->findChildren<QLabel *>())
                    texts.append(label->text());
                auto *ok = box->findChild<QPushButton *>(QStringLiteral("aboutOk"));
                QVERIFY(ok);
                texts.append(ok->text());
                ok->click();
            });
            if (way == 0)
                orv::test::click(aboutButton);
            else {
                QApplication::setActiveWindow(&window);
                QTest::keyClick(&window, Qt::Key_F1);
            }
            QVERIFY2(caption == QStringLiteral("关于 Orvane"), way == 0 ? "by button" : "by F1");
            QVERIFY(texts.contains(QStringLiteral("Orvane Version 1.0")));
            QVERIFY(texts.contains(QStringLiteral("确\n定")));
        }
    }

    // The data menu's check lists the findings and changes nothing.
    void theDataMenuChecksTheDatabase()
    {
        TestDatabase db;
        db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,1,1,1,3)"));
        CDormDlg window(db.connection());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *dataButton = orv::test::child<QPushButton>(&window, QStringLiteral("dataButton"));
        QCOMPARE(dataButton->text(), QStringLiteral("数据(&D)"));
        QCOMPARE(dataButton->menu(), window.dataMenu());
        QAction *check = window.dataMenu()->actions().value(0);
        QVERIFY(check);
        QCOMPARE(check->text(), QStringLiteral("检查数据库"));

        QStringList shown;
        QTimer::singleShot(50, this, [&] {
            auto *dialog = qobject_cast<CheckDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            shown = QStringList{dialog->windowTitle(), dialog->summary()} + dialog->findings();
            QVERIFY(dialog->findChild<QListWidget *>(QStringLiteral("checkFindings")));
            dialog->accept();
        });
        check->trigger();
        QCOMPARE(shown, (QStringList{QStringLiteral("检查数据库"), QStringLiteral("检查发现 2 处问题："),
                                     QStringLiteral("房间“A”：入住人数为 1，住在这个房间的人员却有 0 人。"),
                                     QStringLiteral("房间“A”：入住人数为 1，入住人数统计却记为 0。")}));
        QCOMPARE(db.count(QStringLiteral("floorinfo")), 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
