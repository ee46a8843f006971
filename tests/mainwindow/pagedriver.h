#pragma once

#include "mainwindow/mainwindow.h"
#include "mainwindow/pagetabs.h"
#include "support/testsupport.h"

#include <QApplication>

#include <memory>

namespace orv::test {

// The main window's pages in tab order: accommodation, rooms, queries, fees.
inline QWidget *page(MainWindow &window, int index)
{
    return window.tabSheet()->widget(index);
}

inline void addRoom(MainWindow &window, const QStringList &form)
{
    fillRoom(page(window, 1), form);
    press(page(window, 1), QStringLiteral("addRoomButton"));
}

// Rooms A (with resident P1) and B, and a fee standard: every form has something to work on.
const QString kRoomsAndResident = QStringLiteral("INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,100,10,1,3),"
                                                 "('B','女','1','2','3',8,100,10,0,8);"
                                                 "INSERT INTO numinfo VALUES ('A',1);"
                                                 "INSERT INTO personinfo VALUES "
                                                 "('甲','男','系','P1','139','2004-01-01','A');"
                                                 "INSERT INTO feiyong VALUES (2.5, 1, 100)");

// The main window on a fresh database holding `rows`, every box answered; shown and active on
// request.
struct Window {
    TestDatabase db;
    Answers answers;
    std::unique_ptr<MainWindow> window;

    explicit Window(const QString &rows = QString(), bool shown = false)
    {
        if (!rows.isEmpty())
            db.exec(rows);
        window = std::make_unique<MainWindow>(db.connection());
        if (!shown)
            return;
        window->show();
        QApplication::setActiveWindow(window.get());
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("window not active");
    }
    QWidget *page(int index) const { return window->tabSheet()->widget(index); }
};

// Every row of the eight tables, for comparing before and after.
inline QString allTables(TestDatabase &db)
{
    QStringList out;
    for (const char *table :
         {"floorinfo", "personinfo", "numinfo", "feiyong", "feiinfo", "listfei", "fangset", "fanglist"})
        out.append(db.text(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QLatin1String(table))));
    return out.join(QLatin1Char('\n'));
}

} // namespace orv::test
