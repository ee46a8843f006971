#pragma once

#include "columns.h"

#include <QString>
#include <QStringList>

// Every statement the program runs. A "%1" is filled with a value already quoted by sqlQuote().
namespace orv::sql {

namespace detail {
inline QString from(const QString &table)
{
    return QStringLiteral("select * from ") + table;
}
inline QString equals(const QString &column, const QString &placeholder)
{
    return column + QStringLiteral("='") + placeholder + QStringLiteral("'");
}
inline QString where(const QString &table, const QString &column)
{
    return from(table) + QStringLiteral(" where ") + equals(column, QStringLiteral("%1"));
}
} // namespace detail

inline const QString floorAll = detail::from(db::floorinfo::table);
inline const QString floorByRoom = detail::where(db::floorinfo::table, db::floorinfo::roomNo);
// The room query: %1 is a column name taken from the page's own list, %2 the quoted value.
inline const QString floorByField = detail::from(db::floorinfo::table) + QStringLiteral(" where %1='%2'");

inline const QString personAll = detail::from(db::personinfo::table);
inline const QString personByName = detail::where(db::personinfo::table, db::personinfo::name);
inline const QString personBySex = detail::where(db::personinfo::table, db::personinfo::sex);
inline const QString personByRoom = detail::where(db::personinfo::table, db::personinfo::room);
inline const QString personByStaffNo = detail::where(db::personinfo::table, db::personinfo::staffNo);

inline const QString numAll = QStringLiteral("select *from ") + db::numinfo::table;

inline const QString feeStandard = detail::from(db::feiyong::table);
// %1 the date text, %2 the room.
inline const QString feeInfoByDateRoom = detail::where(db::feiinfo::table, db::feiinfo::date) + QStringLiteral("and ") +
                                         detail::equals(db::feiinfo::room, QStringLiteral("%2"));
inline const QString feeListAll = detail::from(db::listfei::table);
inline const QString rentDueByStaffNo = detail::where(db::fangset::table, db::fangset::staffNo);
inline const QString rentListAll = detail::from(db::fanglist::table);

// A list's statement in parts, so that it can also be read a block of rows at a time in the order
// it reads them whole.
struct ListQuery {
    QString columns;       // the select list
    QString from;          // the tables
    QString where;         // the condition; empty for none
    QStringList keyTables; // the tables whose rowids give the statement's order, outermost first
    // A statement giving the number of the statement's rows whose key tables' rowids are at most
    // ?1, ?2, ... in keyTables' order.
    QString counting;
    // The statement whole.
    QString text() const;
};

// Every resident.
ListQuery personList();
// The residents whose column equals the value (quoted here).
ListQuery personListWhere(const QString &column, const QString &value);
// Every utility bill.
ListQuery feeList();
// A resident's name and room beside each rent charge, with the paid-up-to date as its own column.
// The engine walks fanglist and finds the resident and then the paid-up-to row by staff number,
// so that is the order of its keys. Its rows are counted per staff number: a charge stands in as
// many rows as there are residents and paid-up rows with its number, and counting that way reads
// the three indexes once instead of looking up two rows for each charge.
ListQuery rentList();
inline const QString rentListJoin = rentList().text();

// Fills a statement's placeholders, quoting each value.
QString withValue(const QString &statement, const QString &value);
QString withValues(const QString &statement, const QString &first, const QString &second);
// The room query; the column name must come from the page's own list, never from typed text.
QString floorByFieldQuery(const QString &column, const QString &value);

} // namespace orv::sql
