#include "statements.h"

#include "texts.h"

namespace orv::sql {

QString withValue(const QString &statement, const QString &value)
{
    return statement.arg(sqlQuote(value));
}

QString withValues(const QString &statement, const QString &first, const QString &second)
{
    // One pass, so that a "%" inside the first value is never read as a placeholder.
    return statement.arg(sqlQuote(first), sqlQuote(second));
}

QString ListQuery::text() const
{
    QString text = QStringLiteral("select ") + columns + QStringLiteral(" from ") + from;
    if (!where.isEmpty())
        text += QStringLiteral(" where ") + where;
    return text;
}

namespace {

// A list of one table in rowid order, counted as it is read.
ListQuery oneTable(const QString &table, const QString &where)
{
    QString counting = QStringLiteral("select count(*) from %1 where ").arg(table);
    if (!where.isEmpty())
        counting += QLatin1Char('(') + where + QStringLiteral(") and ");
    return {QStringLiteral("*"), table, where, {table}, counting + table + QStringLiteral(".rowid <= ?1")};
}

} // namespace

ListQuery personList()
{
    return oneTable(db::personinfo::table, QString());
}

ListQuery personListWhere(const QString &column, const QString &value)
{
    return oneTable(db::personinfo::table, detail::equals(column, QStringLiteral("%1")).arg(sqlQuote(value)));
}

ListQuery feeList()
{
    return oneTable(db::listfei::table, QString());
}

ListQuery rentList()
{
    using namespace db;
    const auto in = [](const QString &table, const QString &column) { return table + QLatin1Char('.') + column; };
    const QString shown = QStringList{in(personinfo::table, personinfo::name), in(fanglist::table, fanglist::staffNo),
                                      in(personinfo::table, personinfo::room), in(fanglist::table, fanglist::rent),
                                      in(fanglist::table, fanglist::date)}
                              .join(QLatin1Char(','));
    return {shown + QStringLiteral(",  ") + in(fangset::table, fangset::date) + QStringLiteral(" As ") +
                fangset::paidUpTo,
            QStringList{fanglist::table, personinfo::table, fangset::table}.join(QLatin1Char(',')),
            in(fanglist::table, fanglist::staffNo) + QLatin1Char('=') + in(personinfo::table, personinfo::staffNo) +
                QStringLiteral(" and ") + in(fanglist::table, fanglist::staffNo) + QLatin1Char('=') +
                in(fangset::table, fangset::staffNo),
            {fanglist::table, personinfo::table, fangset::table},
            QStringLiteral(
                "select sum(f.n * p.n * s.n) from (select %1 k, count(*) n from %2 where rowid <= ?1 group by %1) f, "
                "(select %3 k, count(*) n from %4 where rowid <= ?2 group by %3) p, "
                "(select %5 k, count(*) n from %6 where rowid <= ?3 group by %5) s where f.k = p.k and f.k = s.k")
                .arg(fanglist::staffNo, fanglist::table, personinfo::staffNo, personinfo::table, fangset::staffNo,
                     fangset::table)};
}

QString floorByFieldQuery(const QString &column, const QString &value)
{
    return floorByField.arg(column, sqlQuote(value));
}

} // namespace orv::sql
