#include "serverschema.h"

#include "data/columns.h"

namespace orv::server {

QStringList TableDef::columnNames() const
{
    QStringList names;
    for (const ColumnDef &column : columns)
        names.append(column.name);
    return names;
}

namespace {

std::vector<TableDef> makeTables()
{
    using namespace db;
    namespace readings = settlementreadings;
    namespace periods = rentperiods;
    namespace rh = residence;
    const Kind text = Kind::Text;
    const Kind i16 = Kind::Int16;
    const Kind i32 = Kind::Int32;
    const Kind single = Kind::Single;
    const Kind i64 = Kind::Int64;
    const Kind real = Kind::Double;
    const auto own = [](const QString &name) { return ColumnDef{name, Kind::Text, true}; };
    return {
        {floorinfo::table,
         {{floorinfo::roomNo, text},
          {floorinfo::sex, text},
          {floorinfo::phone, text},
          {floorinfo::phonePort, text},
          {floorinfo::netPort, text},
          {floorinfo::capacity, i16},
          {floorinfo::waterBase, i32},
          {floorinfo::powerBase, i32},
          {floorinfo::occupants, i16},
          {floorinfo::vacant, i16}},
         {}},
        {personinfo::table,
         {{personinfo::name, text},
          {personinfo::sex, text},
          {personinfo::dept, text},
          {personinfo::staffNo, text},
          {personinfo::mobile, text},
          {personinfo::date, text},
          {personinfo::room, text}},
         {}},
        {numinfo::table, {{numinfo::roomNo, text}, {numinfo::occupants, i16}}, {}},
        {feiyong::table, {{feiyong::water, single}, {feiyong::power, single}, {feiyong::rent, i32}}, {}},
        {feiinfo::table,
         {{feiinfo::room, text}, {feiinfo::date, text}, {feiinfo::water, i32}, {feiinfo::power, i32}},
         {}},
        {listfei::table,
         {{listfei::roomNo, text},
          {listfei::date, text},
          {listfei::water, single},
          {listfei::power, single},
          {listfei::total, single}},
         {}},
        {fangset::table, {{fangset::staffNo, text}, {fangset::date, text}, {fangset::total, i32}}, {}},
        {fanglist::table, {{fanglist::staffNo, text}, {fanglist::date, text}, {fanglist::rent, i32}}, {}},
        {readings::table,
         {{readings::readingsRow, i64},
          {readings::billRow, i64},
          {readings::room, text},
          {readings::date, text},
          {readings::previousDate, text},
          {readings::previousWater, i64},
          {readings::previousPower, i64},
          {readings::currentWater, i64},
          {readings::currentPower, i64},
          {readings::waterPrice, real},
          {readings::powerPrice, real}},
         {}},
        {periods::table,
         {{periods::chargeRow, i64},
          {periods::staffNo, text},
          {periods::date, text},
          {periods::paidFrom, text},
          {periods::paidTo, text},
          {periods::months, i64},
          {periods::amount, i64}},
         {}},
        {QStringLiteral("oplog"),
         {{QStringLiteral("id"), i64, true},
          own(QStringLiteral("time")),
          own(QStringLiteral("operator")),
          own(QStringLiteral("action")),
          own(QStringLiteral("target")),
          own(QStringLiteral("detail")),
          own(QStringLiteral("prevhash")),
          own(QStringLiteral("hash"))},
         QStringLiteral("id")},
        {rh::table,
         {{QStringLiteral("id"), i64, true},
          own(rh::staffNo),
          own(rh::name),
          own(rh::dept),
          own(rh::room),
          own(rh::checkedIn),
          {rh::checkedOut, text},
          own(rh::checkedInBy),
          own(rh::checkedOutBy),
          own(rh::origin)},
         QStringLiteral("id")},
    };
}

QString index(const QString &name, const QString &table, const QStringList &columns)
{
    QStringList names;
    for (const QString &column : columns)
        names.append(quoted(column));
    return QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
        .arg(quoted(name), rowsTable(table), names.join(QStringLiteral(", ")));
}

} // namespace

const std::vector<TableDef> &tables()
{
    static const std::vector<TableDef> all = makeTables();
    return all;
}

QString typeName(Kind kind)
{
    switch (kind) {
    case Kind::Text:
        return QStringLiteral("text");
    case Kind::Int16:
        return QStringLiteral("smallint");
    case Kind::Int32:
        return QStringLiteral("integer");
    case Kind::Single:
        return QStringLiteral("real");
    case Kind::Int64:
        return QStringLiteral("bigint");
    case Kind::Double:
        return QStringLiteral("double precision");
    }
    return QString();
}

QString quoted(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString rowsTable(const QString &table)
{
    return quoted(kRowsSchema) + QLatin1Char('.') + quoted(table);
}

QString orderedView(const QString &table)
{
    return quoted(kRowsSchema) + QLatin1Char('.') + quoted(table + QStringLiteral("$ordered"));
}

QString orderSequence(const QString &table)
{
    return quoted(kRowsSchema) + QLatin1Char('.') + quoted(table + QStringLiteral("_order"));
}

QStringList creationStatements()
{
    QStringList statements{QStringLiteral("CREATE SCHEMA %1").arg(quoted(kRowsSchema))};
    for (const TableDef &table : tables()) {
        QStringList declared{QStringLiteral("%1 bigint GENERATED ALWAYS AS IDENTITY (SEQUENCE NAME %2) PRIMARY KEY")
                                 .arg(quoted(kOrderColumn), orderSequence(table.name))};
        QStringList shown;
        for (const ColumnDef &column : table.columns) {
            declared.append(quoted(column.name) + QLatin1Char(' ') + typeName(column.kind) +
                            (column.notNull ? QStringLiteral(" NOT NULL") : QString()));
            shown.append(quoted(column.name));
        }
        statements.append(
            QStringLiteral("CREATE TABLE %1 (%2)").arg(rowsTable(table.name), declared.join(QStringLiteral(", "))));
        // A simple view over one table takes inserts, updates and deletes as the table would, and
        // `select *` on it shows the program's columns alone.
        statements.append(QStringLiteral("CREATE VIEW public.%1 AS SELECT %2 FROM %3 ORDER BY %4")
                              .arg(quoted(table.name), shown.join(QStringLiteral(", ")), rowsTable(table.name),
                                   quoted(kOrderColumn)));
        statements.append(QStringLiteral("CREATE VIEW %1 AS SELECT %2, %3 FROM %4")
                              .arg(orderedView(table.name), quoted(kOrderColumn), shown.join(QStringLiteral(", ")),
                                   rowsTable(table.name)));
    }
    using namespace db;
    namespace readings = settlementreadings;
    namespace periods = rentperiods;
    namespace rh = residence;
    // The same look-ups the file has indexes for.
    statements += QStringList{
        index(QStringLiteral("floorinfo_room"), floorinfo::table, {floorinfo::roomNo}),
        index(QStringLiteral("personinfo_staff"), personinfo::table, {personinfo::staffNo}),
        index(QStringLiteral("personinfo_name"), personinfo::table, {personinfo::name}),
        index(QStringLiteral("personinfo_room"), personinfo::table, {personinfo::room}),
        index(QStringLiteral("numinfo_room"), numinfo::table, {numinfo::roomNo}),
        index(QStringLiteral("feiinfo_room_date"), feiinfo::table, {feiinfo::room, feiinfo::date}),
        index(QStringLiteral("fangset_staff"), fangset::table, {fangset::staffNo}),
        index(QStringLiteral("fanglist_staff"), fanglist::table, {fanglist::staffNo}),
        index(QStringLiteral("listfei_date_total"), listfei::table, {listfei::date, listfei::total}),
        index(QStringLiteral("fanglist_date_rent"), fanglist::table, {fanglist::date, fanglist::rent}),
        index(QStringLiteral("settlement_readings_room_date"), readings::table, {readings::room, readings::date}),
        index(QStringLiteral("rent_periods_staff_date"), periods::table, {periods::staffNo, periods::date}),
        index(QStringLiteral("residence_staff"), rh::table, {rh::staffNo, rh::checkedIn}),
        index(QStringLiteral("residence_name"), rh::table, {rh::name, rh::checkedIn}),
        index(QStringLiteral("residence_room"), rh::table, {rh::room, rh::checkedIn}),
        index(QStringLiteral("residence_in"), rh::table, {rh::checkedIn}),
        QStringLiteral("CREATE UNIQUE INDEX oplog_id ON %1 (id)").arg(rowsTable(QStringLiteral("oplog"))),
        QStringLiteral("CREATE UNIQUE INDEX residence_id ON %1 (id)").arg(rowsTable(rh::table)),
        QStringLiteral("CREATE TABLE %1 (version integer NOT NULL)").arg(rowsTable(QStringLiteral("schema_version"))),
        QStringLiteral("INSERT INTO %1 VALUES (%2)")
            .arg(rowsTable(QStringLiteral("schema_version")))
            .arg(kSchemaVersion),
    };
    return statements;
}

} // namespace orv::server
