#pragma once

#include "data/residence.h"

#include <QDate>
#include <QList>
#include <QString>

#include <memory>

namespace orv {
class Connection;
namespace store {
class ListPages;
}
} // namespace orv

namespace orv::ops {

// The residence history form: the first filled of staff number, name and room is looked for.
struct StayCriteria {
    QString staffNo;
    QString name;
    QString room;
};

// The stays found, in the order they were written; none when no criterion is filled.
QList<residence::Stay> findStays(Connection &connection, const StayCriteria &criteria);
// Who lived in `room` on `date` (everywhere when `room` is empty), a check-in or check-out day
// counting as a day lived there.
QList<residence::Stay> livingOn(Connection &connection, const QString &room, const QDate &date);

// The same two lists opened for reading on demand; none when no criterion is filled.
std::unique_ptr<store::ListPages> stayPages(Connection &connection, const StayCriteria &criteria);
std::unique_ptr<store::ListPages> livingOnPages(Connection &connection, const QString &room, const QDate &date);
// The history's columns in the order the lists show them (see stayCells).
QStringList stayColumns();

// A stay as the history lists show it: 工号, 姓名, 部门, 房间, 入住日期, 迁出日期 (empty while
// living there), 办理入住, 办理迁出, 备注.
QStringList stayCells(const residence::Stay &stay);

} // namespace orv::ops
