#pragma once

#include "kit/reportlist.h"
#include "mainwindow/cdormdlg.h"
#include "mainwindow/ctabsheet.h"
#include "support/testsupport.h"

namespace orv::test {

// Drives the four pages of a main window as a user would: fields are filled, buttons clicked.
class PageDriver final {
public:
    explicit PageDriver(CDormDlg &window) : m_window(window) {}

    QWidget *page(int index) const { return m_window.tabSheet()->widget(index); }
    void set(int index, const QString &name, const QString &text) { setField(page(index), name, text); }
    void press(int index, const QString &name) { test::press(page(index), name); }
    void checkIn(const QStringList &form) { test::checkIn(page(0), form); }
    void checkOut(const QString &staffNo, const QString &room) { test::checkOut(page(0), staffNo, room); }
    void addRoom(const QStringList &form)
    {
        fillRoom(page(1), form);
        press(1, QStringLiteral("addRoomButton"));
    }
    // Lists the rooms, picks a row and presses modify or delete.
    void onRoomRow(int row, bool modify)
    {
        press(1, QStringLiteral("listRoomsButton"));
        auto *list = child<ReportList>(page(1), QStringLiteral("roomList"));
        if (row >= list->rowCount())
            return;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, list->rowViewportPosition(row) + 5));
        press(1, modify ? QStringLiteral("modifyRoomButton") : QStringLiteral("deleteRoomButton"));
    }
    void setStandard(const QString &water, const QString &power, const QString &rent)
    {
        test::setStandard(page(3), water, power, rent);
    }
    void settleUtility(QDate on, const QString &room, const QString &water, const QString &power)
    {
        test::settleUtility(page(3), on, room, water, power);
    }
    void settleRent(QDate on, const QString &staffNo) { test::settleRent(page(3), on, staffNo); }

private:
    CDormDlg &m_window;
};

// Every row of the eight tables, for comparing before and after.
inline QString allTables(TestDatabase &db)
{
    QStringList out;
    for (const char *table :
         {"floorinfo", "personinfo", "numinfo", "feiyong", "feiinfo", "listfei", "fangset", "fanglist"}) {
        for (const QStringList &row :
             db.rows(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QLatin1String(table))))
            out.append(QLatin1String(table) + QLatin1Char(':') + row.join(QLatin1Char('|')));
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace orv::test
