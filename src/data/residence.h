#pragma once

#include "statements.h"

#include <QDate>
#include <QList>
#include <QString>

namespace orv {

class Connection;

// The residence history: a row per stay of a resident in a room, written in the unit of the
// check-in that began it and closed in the unit of the check-out that ended it. The eight tables
// keep only who lives here now; this keeps who lived where, and when.
namespace residence {

// How a row came to be, when the program did not see the stay begin.
inline const QString kLivingAtStart = QStringLiteral("启用记录时在住"); // living here when the history began
inline const QString kNoCheckIn = QStringLiteral("迁出时补记");         // checked out without a recorded stay

struct Stay {
    qint64 id = 0;
    QString staffNo;
    QString name;
    QString department;
    QString room;
    QString checkedIn;  // yyyy-MM-dd, or for a starting row the check-in date as the resident's row had it
    QString checkedOut; // empty while living there
    QString checkedInBy;
    QString checkedOutBy;
    QString origin;
};

// The table, its indexes, and the starting rows: a file kept before the history began starts it
// from those living there then, their check-in dates as their rows give them (with the blanks of
// a padded date as zeros, so that dates compare as text).
QStringList creationStatements();
// The starting rows alone, for a file whose residents were written after its tables were made.
QString startStatement();

// A stay begins: the resident's row was just added. Inside the check-in's unit.
void begin(Connection &connection, const Stay &stay);
// The resident's open stay ends on `date`; a resident without one (added by another program) gets
// a closed row made from `resident`. Inside the check-out's unit.
void end(Connection &connection, const Stay &resident, const QDate &date, const QString &by);

// Stays in the order they were written, read from the indexes.
QList<Stay> ofStaffNo(Connection &connection, const QString &staffNo);
QList<Stay> ofName(Connection &connection, const QString &name);
QList<Stay> ofRoom(Connection &connection, const QString &room);
// Who lived in `room` (every room when empty) on `date`: in by that day, not out before it.
QList<Stay> onDate(Connection &connection, const QString &room, const QDate &date);

// The same lists as statements, for reading on demand: the stays whose `column` (one of the
// table's own, never typed text) equals `value`, and who lived in a room on a date.
sql::ListQuery staysWhere(const QString &column, const QString &value);
sql::ListQuery livingOnDate(const QString &room, const QDate &date);

} // namespace residence
} // namespace orv
