#include "mainwindow/cdormdlg.h"
#include "mainwindow/checkdialog.h"
#include "mainwindow/ctabsheet.h"
#include "pages/accommodation/cdialog1.h"
#include "support/testsupport.h"

#include "kit/reportlist.h"
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
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

QWidget *pageAt(CDormDlg &window, int index)
{
    return window.tabSheet()->widget(index);
}

QList<int> visiblePages(CDormDlg &window)
{
    QList<int> shown;
    for (int i = 0; i < window.tabSheet()->count(); ++i) {
        if (pageAt(window, i)->isVisible())
            shown.append(i);
    }
    return shown;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTitleAndTheFourTabsInOrderWithTheFirstPageShown()
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
        QCOMPARE(pageAt(window, 0)->objectName(), QStringLiteral("CDialog1"));
        QCOMPARE(pageAt(window, 3)->objectName(), QStringLiteral("CDialog4"));
        QCOMPARE(visiblePages(window), QList<int>{0});
        QVERIFY(window.accommodationPage()->m_bPosLocked);
        // Each page fits inside the tab control whole.
        for (int i = 0; i < 4; ++i)
            QVERIFY(pageAt(window, i)->width() >= pageAt(window, i)->minimumWidth());
    }

    // Lists are named through accessibility; test_layout checks every control for a name.
    void everyInputHasItsLabel()
    {
        TestDatabase db;
        CDormDlg window(db.connection());
        QSet<QWidget *> labelled;
        for (QLabel *label : window.findChildren<QLabel *>()) {
            if (label->buddy())
                labelled.insert(label->buddy());
        }
        QStringList unlabelled;
        for (QWidget *input : window.findChildren<QWidget *>()) {
            const bool isInput = qobject_cast<QLineEdit *>(input) || qobject_cast<QComboBox *>(input) ||
                                 qobject_cast<QDateEdit *>(input);
            // Editable combos and date pickers hold an inner edit that their own label covers.
            if (isInput && !labelled.contains(input) && !labelled.contains(input->parentWidget()))
                unlabelled.append(input->objectName());
        }
        QCOMPARE(unlabelled, QStringList());
    }

    void tabsSwitchByClickAndKeyboardAndPagesKeepTheirState()
    {
        TestDatabase db;
        CDormDlg window(db.connection());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTabBar *bar = window.tabSheet()->tabBar();

        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        QCOMPARE(visiblePages(window), QList<int>{2});
        auto edits = pageAt(window, 2)->findChildren<QLineEdit *>();
        QVERIFY(!edits.isEmpty());
        edits.first()->setText(QStringLiteral("typed while shown"));

        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        QCOMPARE(visiblePages(window), QList<int>{1});
        QCOMPARE(window.tabSheet()->m_nCurPage, 1);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center()); // the shown tab: no change
        QCOMPARE(visiblePages(window), QList<int>{1});

        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Right);
        QCOMPARE(visiblePages(window), QList<int>{2});
        QCOMPARE(window.tabSheet()->m_nCurPage, 2);
        QCOMPARE(edits.first()->text(), QStringLiteral("typed while shown"));
    }

    void enterAndEscapeInsideAPageHideNothing()
    {
        TestDatabase db;
        CDormDlg window(db.connection());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget *page = pageAt(window, 0);
        auto edits = page->findChildren<QLineEdit *>();
        QVERIFY(!edits.isEmpty());
        edits.first()->setFocus();
        QTest::keyClick(edits.first(), Qt::Key_Escape);
        QTest::keyClick(edits.first(), Qt::Key_Return);
        QVERIFY(window.isVisible());
        QVERIFY(page->isVisible());
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

    // The data button beside the about button opens the data menu; its check lists the findings
    // and changes nothing.
    void theDataMenuChecksTheDatabase()
    {
        TestDatabase db;
        db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,1,1,1,3)"));
        CDormDlg window(db.connection());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *dataButton = orv::test::child<QPushButton>(&window, QStringLiteral("dataButton"));
        auto *aboutButton = orv::test::child<QPushButton>(&window, QStringLiteral("aboutButton"));
        QCOMPARE(dataButton->text(), QStringLiteral("数据(&D)"));
        QCOMPARE(dataButton->menu(), window.dataMenu());
        QVERIFY(dataButton->geometry().right() < aboutButton->geometry().left());
        QCOMPARE(dataButton->geometry().top(), aboutButton->geometry().top());
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
