#pragma once

#include "data/oplog.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace orv {
class Connection;
}

namespace orv::ops {

// Which rows of the operation log to show: one operator's or everyone's (empty), between two days
// taken whole (an invalid day leaves that end open).
struct LogFilter {
    QString operatorName;
    QDate from;
    QDate to;
};

// The log's rows the filter lets through, newest first, as they were written. A file without the
// log has none.
QList<oplog::Entry> readLog(Connection &connection, const LogFilter &filter);
// Every operator the log names, in name order; the rows of a file without operators name nobody.
QStringList loggedOperators(Connection &connection);

} // namespace orv::ops
