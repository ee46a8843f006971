#pragma once

#include "kit/reportlist.h"
#include "mainwindow/cdormdlg.h"
#include "mainwindow/ctabsheet.h"
#include "support/testsupport.h"

namespace orv::test {

// The main window's pages in tab order: accommodation, rooms, queries, fees.
inline QWidget *page(CDormDlg &window, int index)
{
    return window.tabSheet()->widget(index);
}

inline void addRoom(CDormDlg &window, const QStringList &form)
{
    fillRoom(page(window, 1), form);
    press(page(window, 1), QStringLiteral("addRoomButton"));
}

// Lists the rooms, picks a row and presses modify or delete.
inline void onRoomRow(CDormDlg &window, int row, bool modify)
{
    QWidget *rooms = page(window, 1);
    press(rooms, QStringLiteral("listRoomsButton"));
    auto *list = child<ReportList>(rooms, QStringLiteral("roomList"));
    if (row >= list->rowCount())
        return;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, list->rowViewportPosition(row) + 5));
    press(rooms, modify ? QStringLiteral("modifyRoomButton") : QStringLiteral("deleteRoomButton"));
}

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
