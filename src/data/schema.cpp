#include "schema.h"

#include "columns.h"
#include "connection.h"
#include "oplog.h"
#include "recordset.h"
#include "residence.h"
#include "statement.h"
#include "statements.h"

#include <QHash>

#include <sqlite3.h>

namespace orv::schema {

namespace {

struct Column {
    const QString &name;
    const char *type;
};

QString createTable(const QString &table, std::initializer_list<Column> columns, bool ifMissing = false)
{
    QStringList declared;
    for (const Column &column : columns)
        declared.append(column.name + QLatin1Char(' ') + QLatin1String(column.type));
    return QStringLiteral("CREATE TABLE ") + (ifMissing ? QStringLiteral("IF NOT EXISTS ") : QString()) + table +
           QStringLiteral(" (") + declared.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString createIndex(const char *name, const QString &table, const QStringList &columns)
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS ") + QLatin1String(name) + QStringLiteral(" ON ") + table +
           QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + QLatin1Char(')');
}

} // namespace

QStringList creationStatements()
{
    using namespace db;
    // Declared types name the Access types the program reads: Integer is 16-bit, Long 32-bit,
    // Single a 32-bit real. Rows keep their insertion order through the implicit rowid.
    return QStringList{
               createTable(floorinfo::table, {{floorinfo::roomNo, "Text"},
                                              {floorinfo::sex, "Text"},
                                              {floorinfo::phone, "Text"},
                                              {floorinfo::phonePort, "Text"},
                                              {floorinfo::netPort, "Text"},
                                              {floorinfo::capacity, "Integer"},
                                              {floorinfo::waterBase, "Long"},
                                              {floorinfo::powerBase, "Long"},
                                              {floorinfo::occupants, "Integer"},
                                              {floorinfo::vacant, "Integer"}}),
               createTable(personinfo::table, {{personinfo::name, "Text"},
                                               {personinfo::sex, "Text"},
                                               {personinfo::dept, "Text"},
                                               {personinfo::staffNo, "Text"},
                                               {personinfo::mobile, "Text"},
                                               {personinfo::date, "Text"},
                                               {personinfo::room, "Text"}}),
               createTable(numinfo::table, {{numinfo::roomNo, "Text"}, {numinfo::occupants, "Integer"}}),
               createTable(feiyong::table,
                           {{feiyong::water, "Single"}, {feiyong::power, "Single"}, {feiyong::rent, "Long"}}),
               createTable(feiinfo::table, {{feiinfo::room, "Text"},
                                            {feiinfo::date, "Text"},
                                            {feiinfo::water, "Long"},
                                            {feiinfo::power, "Long"}}),
               createTable(listfei::table, {{listfei::roomNo, "Text"},
                                            {listfei::date, "Text"},
                                            {listfei::water, "Single"},
                                            {listfei::power, "Single"},
                                            {listfei::total, "Single"}}),
               createTable(fangset::table,
                           {{fangset::staffNo, "Text"}, {fangset::date, "Text"}, {fangset::total, "Long"}}),
               createTable(fanglist::table,
                           {{fanglist::staffNo, "Text"}, {fanglist::date, "Text"}, {fanglist::rent, "Long"}}),
           } +
           indexStatements() + ownTableStatements();
}

QStringList ownTableStatements()
{
    using namespace db;
    namespace readings = settlementreadings;
    namespace periods = rentperiods;
    // Plain SQLite types: no Access program ever reads these tables.
    return QStringList{
               createTable(readings::table,
                           {{readings::readingsRow, "INTEGER"},
                            {readings::billRow, "INTEGER"},
                            {readings::room, "TEXT"},
                            {readings::date, "TEXT"},
                            {readings::previousDate, "TEXT"},
                            {readings::previousWater, "INTEGER"},
                            {readings::previousPower, "INTEGER"},
                            {readings::currentWater, "INTEGER"},
                            {readings::currentPower, "INTEGER"},
                            {readings::waterPrice, "REAL"},
                            {readings::powerPrice, "REAL"}},
                           true),
               createIndex("settlement_readings_room_date", readings::table, {readings::room, readings::date}),
               createTable(periods::table,
                           {{periods::chargeRow, "INTEGER"},
                            {periods::staffNo, "TEXT"},
                            {periods::date, "TEXT"},
                            {periods::paidFrom, "TEXT"},
                            {periods::paidTo, "TEXT"},
                            {periods::months, "INTEGER"},
                            {periods::amount, "INTEGER"}},
                           true),
               createIndex("rent_periods_staff_date", periods::table, {periods::staffNo, periods::date}),
               oplog::creationStatement(),
           } +
           orv::residence::creationStatements();
}

namespace {

bool hasTable(sqlite3 *db, const QString &table)
{
    Statement lookup(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    if (lookup.status() != SQLITE_OK)
        return false;
    return lookup.bind(1, table).step() == SQLITE_ROW;
}

} // namespace

void addOwnTables(sqlite3 *db) noexcept
{
    try {
        // Looked for first: a file another program holds would keep each statement waiting for
        // its lock, and a file that has the tables needs no lock at all.
        if (hasTable(db, db::settlementreadings::table) && hasTable(db, db::rentperiods::table) &&
            hasTable(db, QStringLiteral("oplog")) && hasTable(db, db::residence::table))
            return;
        if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            return;
        bool created = true;
        for (const QString &statement : ownTableStatements())
            created =
                created && sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_exec(db, created ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    } catch (...) {
        // Only memory can fail here; the file opens without the tables all the same.
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

QStringList indexStatements()
{
    using namespace db;
    // Look-ups by a where clause or by a found value stay fast at a hundred thousand residents.
    return {
        createIndex("floorinfo_room", floorinfo::table, {floorinfo::roomNo}),
        createIndex("personinfo_staff", personinfo::table, {personinfo::staffNo}),
        createIndex("personinfo_name", personinfo::table, {personinfo::name}),
        createIndex("personinfo_room", personinfo::table, {personinfo::room}),
        createIndex("numinfo_room", numinfo::table, {numinfo::roomNo}),
        createIndex("feiinfo_room_date", feiinfo::table, {feiinfo::room, feiinfo::date}),
        createIndex("fangset_staff", fangset::table, {fangset::staffNo}),
        createIndex("fanglist_staff", fanglist::table, {fanglist::staffNo}),
        // The year at a glance sums the charges of recent months from these alone.
        createIndex("listfei_date_total", listfei::table, {listfei::date, listfei::total}),
        createIndex("fanglist_date_rent", fanglist::table, {fanglist::date, fanglist::rent}),
        // The rent list sorted by a column finds each value's rows by these, in the order they
        // were added, so its first screen reads only those rows.
        createIndex("fanglist_rent", fanglist::table, {fanglist::rent}),
        createIndex("fanglist_date", fanglist::table, {fanglist::date}),
        createIndex("fangset_date", fangset::table, {fangset::date}),
        // The bill list sorted by room: a room's bills in the order settled, with no order of
        // every bill to write (a second of work at ten years).
        createIndex("listfei_room", listfei::table, {listfei::roomNo}),
    };
}

namespace {

struct DemoRoom {
    const char16_t *room;
    const char16_t *sex;
    const char16_t *phone;
    const char16_t *phonePort;
    const char16_t *netPort;
    std::int16_t capacity;
    std::int32_t water;
    std::int32_t power;
};

struct DemoResident {
    const char16_t *name;
    const char16_t *sex;
    const char16_t *dept;
    const char16_t *staffNo;
    const char16_t *mobile;
    const char16_t *date;
    const char16_t *room;
};

} // namespace

void fillDemo(Connection &connection)
{
    const DemoRoom rooms[] = {
        {u"6-8-518", u"男", u"0571-86001518", u"206", u"618", 6, 120, 35},
        {u"6-8-519", u"男", u"0571-86001519", u"207", u"619", 4, 88, 240},
        {u"6-8-520", u"女", u"0571-86001520", u"208", u"620", 4, 56, 130},
        {u"6-9-101", u"女", u"0571-86002101", u"301", u"701", 2, 300, 410},
        {u"6-9-102", u"男", u"0571-86002102", u"302", u"702", 8, 15, 22},
    };
    const DemoResident residents[] = {
        {u"张伟", u"男", u"计算机系", u"2004001", u"13800000001", u"2004-03-15", u"6-8-518"},
        {u"王强", u"男", u"计算机系", u"2004002", u"13800000002", u"2004-03-15", u"6-8-518"},
        {u"李娜", u"女", u"外语系", u"2004003", u"13800000003", u"2004-04-01", u"6-8-520"},
        {u"刘芳", u"女", u"数学系", u"2004004", u"13800000004", u"2004-04-01", u"6-9-101"},
        {u"陈静", u"女", u"数学系", u"2004005", u"13800000005", u"2004-05-10", u"6-9-101"},
    };

    Recordset people(&connection);
    people.Open(sql::personAll);
    QHash<QString, std::int16_t> counts;
    for (const DemoResident &r : residents) {
        people.AddNew();
        people.PutCollect(db::personinfo::name, r.name);
        people.PutCollect(db::personinfo::sex, r.sex);
        people.PutCollect(db::personinfo::dept, r.dept);
        people.PutCollect(db::personinfo::staffNo, r.staffNo);
        people.PutCollect(db::personinfo::mobile, r.mobile);
        people.PutCollect(db::personinfo::date, r.date);
        people.PutCollect(db::personinfo::room, r.room);
        people.Update();
        ++counts[QString::fromUtf16(r.room)];
    }
    people.Close();
    connection.execute(residence::startStatement());

    Recordset floors(&connection);
    floors.Open(sql::floorAll);
    Recordset nums(&connection);
    nums.Open(sql::numAll);
    for (const DemoRoom &r : rooms) {
        const QString room = QString::fromUtf16(r.room);
        const std::int16_t living = counts.value(room, 0);
        floors.AddNew();
        floors.PutCollect(db::floorinfo::roomNo, room);
        floors.PutCollect(db::floorinfo::sex, r.sex);
        floors.PutCollect(db::floorinfo::phone, r.phone);
        floors.PutCollect(db::floorinfo::phonePort, r.phonePort);
        floors.PutCollect(db::floorinfo::netPort, r.netPort);
        floors.PutCollect(db::floorinfo::capacity, FieldValue::int16(r.capacity));
        floors.PutCollect(db::floorinfo::waterBase, FieldValue::int32(r.water));
        floors.PutCollect(db::floorinfo::powerBase, FieldValue::int32(r.power));
        floors.PutCollect(db::floorinfo::occupants, FieldValue::int16(living));
        floors.PutCollect(db::floorinfo::vacant, FieldValue::int16(static_cast<std::int16_t>(r.capacity - living)));
        floors.Update();
        if (living > 0) {
            nums.AddNew();
            nums.PutCollect(db::numinfo::roomNo, room);
            nums.PutCollect(db::numinfo::occupants, FieldValue::int16(living));
            nums.Update();
        }
    }
    floors.Close();
    nums.Close();

    Recordset fees(&connection);
    fees.Open(sql::feeStandard);
    fees.AddNew();
    fees.PutCollect(db::feiyong::water, 2.5F);
    fees.PutCollect(db::feiyong::power, 0.6F);
    fees.PutCollect(db::feiyong::rent, FieldValue::int32(120));
    fees.Update();
    fees.Close();
}

} // namespace orv::schema
