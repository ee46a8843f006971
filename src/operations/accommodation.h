#pragma once

#include "outcome.h"

#include <QDate>
#include <QString>

#include <functional>

namespace orv {
class Connection;
class Recordset;
} // namespace orv

namespace orv::ops {

// The fee page takes staff numbers of up to this many code-page-936 bytes; a longer one could never
// be charged.
constexpr int kStaffNoBytes = 16;

// The rooms whose free-bed counter is not 0 (a negative one counts as free), or those whose counter
// is 0, each handed to `onRoom` while it is the current row, in table order.
void freeRooms(Connection &connection, const std::function<void(Recordset &)> &onRoom);
void fullRooms(Connection &connection, const std::function<void(Recordset &)> &onRoom);

struct CheckInForm {
    QString name;
    QString sex;
    QString department;
    QString staffNo;
    QString mobile;
    QDate date;
    QString room;
};

// Places a resident in a room with a free bed: raises the room's counters and its resident count
// and adds the resident. Says nothing when it succeeds.
Outcome checkIn(Connection &connection, const CheckInForm &form);

// The refusal of a staff number longer than kStaffNoBytes. The page lets its form helper say it, so
// that the cursor lands in the field as for any over-long field.
QString staffNoTooLong();

struct CheckOutForm {
    QString staffNo;
    QString room;
};

// Takes a resident out of their room: the resident's row goes and every counter of the room follows.
// `left` is told the resident's name, read before the row goes.
Outcome checkOut(Connection &connection, const CheckOutForm &form,
                 const std::function<void(const QString &name)> &left = {});

} // namespace orv::ops
