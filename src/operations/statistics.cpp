#include "statistics.h"

#include "data/columns.h"
#include "data/connection.h"
#include "data/storequery.h"
#include "data/texts.h"

#include <QHash>

namespace orv::ops {

YearAtAGlance yearAtAGlance(Connection &connection, const QDate &day, int monthCount)
{
    using namespace db;
    namespace rh = db::residence;
    const QString failure = QStringLiteral("无法读取统计数据");
    YearAtAGlance figures;

    // Month ends, oldest first; the month of `day` ends on `day`.
    const QDate firstMonth = QDate(day.year(), day.month(), 1).addMonths(-(monthCount - 1));
    QHash<QString, int> monthIndex;
    QList<QString> ends;
    for (int i = 0; i < monthCount; ++i) {
        const QDate start = firstMonth.addMonths(i);
        const QDate end = i == monthCount - 1 ? day : start.addMonths(1).addDays(-1);
        figures.months.append({start.toString(QStringLiteral("yyyy-MM")), 0, 0, 0});
        monthIndex.insert(figures.months.last().month, i);
        ends.append(dateText(end));
    }

    StoreQuery rooms(
        connection,
        QStringLiteral("SELECT %1, %2, %3 FROM %4 ORDER BY rowid")
            .arg(floorinfo::roomNo, floorinfo::capacity, floorinfo::occupants, connection.numbered(floorinfo::table)),
        failure, StoreQuery::Keep::Once);
    QHash<QString, int> buildingIndex;
    while (rooms.next()) {
        const QString number = rooms.text(0);
        const qsizetype dash = number.indexOf(QLatin1Char('-'));
        const QString building = dash < 0 ? QString() : number.left(dash);
        auto found = buildingIndex.constFind(building);
        if (found == buildingIndex.constEnd()) {
            found = buildingIndex.insert(building, static_cast<int>(figures.buildings.size()));
            figures.buildings.append({building, 0, 0, 0});
        }
        BuildingFigures &group = figures.buildings[*found];
        ++group.rooms;
        group.beds += static_cast<int>(rooms.integer(1));
        group.taken += static_cast<int>(rooms.integer(2));
        figures.beds += static_cast<int>(rooms.integer(1));
    }
    StoreQuery living(connection, QStringLiteral("SELECT count(*) FROM %1").arg(personinfo::table), failure,
                      StoreQuery::Keep::Once);
    if (living.next())
        figures.taken = static_cast<int>(living.integer(0));

    // Each stay counts at every month end it spans: in by that day and not out by it.
    StoreQuery stays(
        connection,
        QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 <= ?1").arg(rh::checkedIn, rh::checkedOut, rh::table), failure,
        StoreQuery::Keep::Once);
    stays.bind(1, ends.last());
    while (stays.next()) {
        const QString in = stays.text(0);
        const bool open = stays.isNull(1);
        const QString out = stays.text(1);
        for (int i = 0; i < monthCount; ++i) {
            if (in <= ends[i] && (open || out > ends[i]))
                ++figures.months[i].living;
        }
    }

    const QString from = dateText(firstMonth);
    const QString to = ends.last();
    // The file adds its singles as doubles; so does the server, told to.
    StoreQuery utility(
        connection,
        QStringLiteral("SELECT substr(%1, 1, 7), sum(%2) FROM %3 WHERE %1 >= ?1 AND %1 <= ?2 GROUP BY 1")
            .arg(listfei::date,
                 connection.isServer() ? listfei::total + QStringLiteral("::double precision") : listfei::total,
                 listfei::table),
        failure, StoreQuery::Keep::Once);
    utility.bind(1, from).bind(2, to);
    while (utility.next()) {
        if (const auto at = monthIndex.constFind(utility.text(0)); at != monthIndex.constEnd())
            figures.months[*at].utility = utility.real(1);
    }
    StoreQuery rent(connection,
                    QStringLiteral("SELECT substr(%1, 1, 7), sum(%2) FROM %3 WHERE %1 >= ?1 AND %1 <= ?2 GROUP BY 1")
                        .arg(fanglist::date, fanglist::rent, fanglist::table),
                    failure, StoreQuery::Keep::Once);
    rent.bind(1, from).bind(2, to);
    while (rent.next()) {
        if (const auto at = monthIndex.constFind(rent.text(0)); at != monthIndex.constEnd())
            figures.months[*at].rent = rent.integer(1);
    }
    return figures;
}

} // namespace orv::ops
