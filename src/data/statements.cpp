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

QString floorByFieldQuery(const QString &column, const QString &value)
{
    return floorByField.arg(column, sqlQuote(value));
}

} // namespace orv::sql
