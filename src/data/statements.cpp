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

ListQuery personList()
{
    return {QStringLiteral("*"), db::personinfo::table, QString(), {db::personinfo::table}};
}

ListQuery personListWhere(const QString &column, const QString &value)
{
    return {QStringLiteral("*"),
            db::personinfo::table,
            detail::equals(column, QStringLiteral("%1")).arg(sqlQuote(value)),
            {db::personinfo::table}};
}

ListQuery feeList()
{
    return {QStringLiteral("*"), db::listfei::table, QString(), {db::listfei::table}};
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
            {fanglist::table, personinfo::table, fangset::table}};
}

QString floorByFieldQuery(const QString &column, const QString &value)
{
    return floorByField.arg(column, sqlQuote(value));
}

} // namespace orv::sql
