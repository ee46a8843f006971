// The main window on screens of every size: it resizes with the lists taking the growth, scrolls
// its pages where the screen is smaller than they are, and comes back as the user left it.
#include "kit/reportlist.h"
#include "pagedriver.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTemporaryDir>

using namespace orv;
using namespace orv::test;

class TestWindowFit : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_settings;

private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setApplicationName(u"Orvane"_s);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }

    void theListsTakeTheGrowthAndTheFormsKeepTheirSize()
    {
        Window shown(QString(), true);
        MainWindow &window = *shown.window;
        auto sizes = [&window] {
            QList<QSize> out;
            for (int i = 0; i < window.tabSheet()->count(); ++i) {
                window.tabSheet()->setCurrentIndex(i);
                QApplication::processEvents();
            }
            for (QWidget *w : window.findChildren<QWidget *>())
                if (qobject_cast<ReportList *>(w) || qobject_cast<QLineEdit *>(w))
                    out.append(w->size());
            return out;
        };
        const QList<QSize> before = sizes();
        window.resize(window.size() + QSize(300, 200));
        const QList<QSize> after = sizes();
        int grown = 0;
        for (int i = 0; i < before.size(); ++i) {
            QVERIFY(after[i].width() >= before[i].width() && after[i].height() >= before[i].height());
            grown += after[i] != before[i];
        }
        QCOMPARE(grown, window.findChildren<ReportList *>().size());
    }

    // 1366 x 768 at 150%: every button of every page can be scrolled into the visible area.
    void aSmallScreenScrollsToEveryButton()
    {
        Window shown;
        MainWindow &window = *shown.window;
        window.resize(1366 * 2 / 3, 768 * 2 / 3 - 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int i = 0; i < window.tabSheet()->count(); ++i) {
            window.tabSheet()->setCurrentIndex(i);
            auto *scroller = qobject_cast<QScrollArea *>(window.tabSheet()->widget(i));
            QVERIFY(scroller);
            QApplication::processEvents();
            const QRect visible(scroller->viewport()->mapTo(&window, QPoint()), scroller->viewport()->size());
            QVERIFY(window.rect().contains(visible));
            for (QPushButton *button : scroller->widget()->findChildren<QPushButton *>()) {
                scroller->ensureWidgetVisible(button, 0, 0);
                const QRect place(button->mapTo(&window, QPoint()), button->size());
                QVERIFY2(visible.contains(place), qPrintable(button->objectName()));
            }
        }
    }

    void sizePageAndColumnWidthsComeBack()
    {
        TestDatabase db;
        const QList<int> given{68, 68, 68, 68, 68, 68};
        {
            MainWindow window(db.connection());
            window.restoreLayout();
            auto *list = child<ReportList>(page(window, 0), u"roomList"_s);
            QCOMPARE(list->columnWidths(), given);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.resize(900, 720);
            window.tabSheet()->setCurrentIndex(2);
            list->setColumnWidth(2, 150);
            window.close();
        }
        MainWindow again(db.connection());
        again.restoreLayout();
        QCOMPARE(again.size(), QSize(900, 720));
        QCOMPARE(again.tabSheet()->currentIndex(), 2);
        QCOMPARE(child<ReportList>(page(again, 0), u"roomList"_s)->columnWidths(),
                 (QList<int>{68, 68, 150, 68, 68, 68}));
        QCOMPARE(child<ReportList>(page(again, 1), u"roomList"_s)->columnWidth(2), 70);
    }

    void doubleClickingAColumnEdgeShowsItsCellsWhole()
    {
        Window w(u"INSERT INTO floorinfo VALUES ('6-8-518','男','0571-86001234','1','2',6,1,1,0,6)"_s, true);
        press(w.page(0), u"freeRoomsButton"_s);
        auto *list = child<ReportList>(w.page(0), u"roomList"_s);
        QHeaderView *header = list->horizontalHeader();
        const int edge = header->sectionViewportPosition(2) + header->sectionSize(2) - 1;
        QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(edge, header->height() / 2));
        QVERIFY(list->columnWidth(2) > list->fontMetrics().horizontalAdvance(u"0571-86001234"_s));
    }

    // The 列表 button's menu holds the context menu's actions; the bill waits for a chosen row.
    void theListButtonRunsTheListsActions()
    {
        Window w(u"INSERT INTO listfei VALUES ('6-101','2004-03-05',25,30,55)"_s);
        press(w.page(3), u"listFeesButton"_s);
        auto *list = child<ReportList>(w.page(3), u"feeList"_s);
        QMenu *menu = child<QPushButton>(w.page(3), u"feeListMenuButton"_s)->menu();
        auto entry = [menu](const QString &name) { return menu->findChild<QAction *>(name); };
        Q_EMIT menu->aboutToShow();
        QStringList names;
        for (QAction *action : menu->actions())
            names.append(action->objectName());
        QCOMPARE(names, (QStringList{u"copyAction"_s, u"exportXlsxAction"_s, u"exportCsvAction"_s, u"printAction"_s,
                                     QString(), u"printBillAction"_s, u"shareBillAction"_s}));
        QVERIFY(!entry(u"printBillAction"_s)->isEnabled());
        list->selectRow(0);
        Q_EMIT menu->aboutToShow();
        QVERIFY(entry(u"printBillAction"_s)->isEnabled());
        QApplication::clipboard()->clear();
        entry(u"copyAction"_s)->trigger();
        QVERIFY(QApplication::clipboard()->text().contains(u"6-101\t2004-03-05\t25\t30\t55"_s));
    }

    void theFirstStartHintGoesWithTheFirstRoom()
    {
        Window w(QString(), true);
        auto *hint = child<QLabel>(w.page(0), u"firstStartHint"_s);
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->text(),
                 u"尚无房间：请先在【费用管理】页设置费用标准，再在【房间设置】页添加房间，然后即可办理入住。"_s);
        w.window->tabSheet()->setCurrentIndex(1);
        addRoom(*w.window, {u"101"_s, u"1"_s, u"1"_s, u"1"_s, u"4"_s, u"1"_s, u"1"_s, u"男"_s});
        QCOMPARE(w.db.count(u"floorinfo"_s), 1);
        w.window->tabSheet()->setCurrentIndex(0);
        QVERIFY(!hint->isVisible());
    }
};

QTEST_MAIN(TestWindowFit)
#include "test_windowfit.moc"
