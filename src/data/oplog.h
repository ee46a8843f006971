#pragma once

#include <QDateTime>
#include <QString>

namespace orv {

class Connection;

// The operation log: who did what to which room, resident or file, in a table of our own beside the
// eight. Each row carries a hash over the row before it and its own fields, so a row edited,
// deleted or cut off the end with a general database tool shows when the chain is walked.
namespace oplog {

struct Entry {
    QDateTime time; // when it was done; the moment of writing when left invalid
    QString operatorName;
    QString action; // as the permission table names it: 入住, 迁出, 设置费用标准, ...
    QString target; // a room, a staff number, an operator, a file
    QString detail;
};

// Creates the log's table where it is missing.
QString creationStatement();

// Whether the store has the log: a file made before it may not; a server's database always does.
// Raises StoreError when the file cannot be read.
bool hasLog(Connection &connection);

// Adds the entry at the end of the log, chained to the row before it. Runs only inside the unit of
// the writes it records, so that both stay or neither does; raises StoreError outside a unit and
// when the row cannot be written.
void append(Connection &connection, const Entry &entry);

struct Verdict {
    enum class Fault {
        None,
        Edited,  // `row` was changed after it was written
        Deleted, // `row` and perhaps more after it are missing between kept rows, or before the first
        Cut,     // `row` and every row after it are missing from the end
    };
    Fault fault = Fault::None;
    qint64 row = 0;
    QString finding; // the check's line for it; empty when the chain is whole
    bool intact() const noexcept { return fault == Fault::None; }
};

// Walks the chain from its first row and reports the first fault. A file without the log, or with
// an empty one, is whole. Reads only; raises StoreError when the file cannot be read.
Verdict verify(Connection &connection);

} // namespace oplog
} // namespace orv
