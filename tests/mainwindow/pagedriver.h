#pragma once

#include "kit/reportlist.h"
#include "mainwindow/cdormdlg.h"
#include "mainwindow/ctabsheet.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

namespace orv::test {

// Drives the four pages of a main window as a user would: fields are filled, buttons clicked.
// Text is set straight into the fields, past their validators, so that a handler meets whatever
// a field could ever hold.
class PageDriver final {
public:
    explicit PageDriver(CDormDlg &window) : m_window(window) {}

    QWidget *page(int index) const { return m_window.tabSheet()->widget(index); }
    void set(int index, const QString &name, const QString &text)
    {
        QWidget *field = child<QWidget>(page(index), name);
        if (auto *combo = qobject_cast<QComboBox *>(field))
            combo->setEditText(text);
        else
            static_cast<QLineEdit *>(field)->setText(text);
    }
    void press(int index, const QString &name) { click(child<QPushButton>(page(index), name)); }
    void date(int index, const QString &name, QDate day) { child<QDateEdit>(page(index), name)->setDate(day); }

    // name|sex|department|staff number|mobile|room
    void checkIn(const QStringList &v)
    {
        const QStringList names = {QStringLiteral("nameEdit"),   QStringLiteral("sexCombo"),
                                   QStringLiteral("deptEdit"),   QStringLiteral("staffNoEdit"),
                                   QStringLiteral("mobileEdit"), QStringLiteral("roomEdit")};
        for (int i = 0; i < names.size(); ++i)
            set(0, names[i], v.value(i));
        press(0, QStringLiteral("checkInButton"));
    }
    void checkOut(const QString &staffNo, const QString &room)
    {
        set(0, QStringLiteral("outStaffNoEdit"), staffNo);
        set(0, QStringLiteral("outRoomEdit"), room);
        press(0, QStringLiteral("checkOutButton"));
    }
    // room|phone|phone port|net port|capacity|water|power|sex
    void addRoom(const QStringList &v)
    {
        const QStringList names = {QStringLiteral("roomNoEdit"),    QStringLiteral("phoneEdit"),
                                   QStringLiteral("phonePortEdit"), QStringLiteral("netPortEdit"),
                                   QStringLiteral("capacityEdit"),  QStringLiteral("waterBaseEdit"),
                                   QStringLiteral("powerBaseEdit"), QStringLiteral("sexEdit")};
        for (int i = 0; i < names.size(); ++i)
            set(1, names[i], v.value(i));
        press(1, QStringLiteral("addRoomButton"));
    }
    int listedRooms() { return child<ReportList>(page(1), QStringLiteral("roomList"))->rowCount(); }
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
        set(3, QStringLiteral("waterPriceEdit"), water);
        set(3, QStringLiteral("powerPriceEdit"), power);
        set(3, QStringLiteral("rentPriceEdit"), rent);
        press(3, QStringLiteral("setStandardButton"));
    }
    void settleUtility(QDate on, const QString &room, const QString &water, const QString &power)
    {
        date(3, QStringLiteral("feeDateEdit"), on);
        set(3, QStringLiteral("feeRoomEdit"), room);
        set(3, QStringLiteral("waterReadingEdit"), water);
        set(3, QStringLiteral("powerReadingEdit"), power);
        press(3, QStringLiteral("settleUtilityButton"));
    }
    void settleRent(QDate on, const QString &staffNo)
    {
        date(3, QStringLiteral("rentDateEdit"), on);
        set(3, QStringLiteral("staffNoEdit"), staffNo);
        press(3, QStringLiteral("settleRentButton"));
    }

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
