#include "schema.h"

#include "connection.h"
#include "recordset.h"
#include "statements.h"

#include <QHash>

namespace orv::schema {

QStringList creationStatements()
{
    // Declared types name the Access types the program reads: Integer is 16-bit, Long 32-bit,
    // Single a 32-bit real. Rows keep their insertion order through the implicit rowid.
    return QStringList{
               QStringLiteral("CREATE TABLE floorinfo (房间号码 Text, 入住性别 Text, 电话号码 Text, 电话端口 Text, "
                              "网线端口 Text, 可住人数 Integer, 水表底数 Long, 电表底数 Long, 入住人数 Integer, "
                              "空缺人数 Integer)"),
               QStringLiteral("CREATE TABLE personinfo (姓名 Text, 性别 Text, 部门 Text, 工号 Text, 手机 Text, "
                              "日期 Text, 房间 Text)"),
               QStringLiteral("CREATE TABLE numinfo (房间号码 Text, 入住人数 Integer)"),
               QStringLiteral("CREATE TABLE feiyong (水费 Single, 电费 Single, 房租 Long)"),
               QStringLiteral("CREATE TABLE feiinfo (房间号 Text, 日期 Text, 水表 Long, 电表 Long)"),
               QStringLiteral(
                   "CREATE TABLE listfei (房间号码 Text, 日期 Text, 水费 Single, 电费 Single, 总费用 Single)"),
               QStringLiteral("CREATE TABLE fangset (工号 Text, 日期 Text, 房租合计 Long)"),
               QStringLiteral("CREATE TABLE fanglist (工号 Text, 日期 Text, 房租 Long)"),
           } +
           indexStatements();
}

QStringList indexStatements()
{
    // Look-ups by a where clause or by a found value stay fast at a hundred thousand residents.
    return {
        QStringLiteral("CREATE INDEX IF NOT EXISTS floorinfo_room ON floorinfo (房间号码)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS personinfo_staff ON personinfo (工号)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS personinfo_name ON personinfo (姓名)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS personinfo_room ON personinfo (房间)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS numinfo_room ON numinfo (房间号码)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS feiinfo_room_date ON feiinfo (房间号, 日期)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS fangset_staff ON fangset (工号)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS fanglist_staff ON fanglist (工号)"),
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
        people.PutCollect(QStringLiteral("姓名"), r.name);
        people.PutCollect(QStringLiteral("性别"), r.sex);
        people.PutCollect(QStringLiteral("部门"), r.dept);
        people.PutCollect(QStringLiteral("工号"), r.staffNo);
        people.PutCollect(QStringLiteral("手机"), r.mobile);
        people.PutCollect(QStringLiteral("日期"), r.date);
        people.PutCollect(QStringLiteral("房间"), r.room);
        people.Update();
        ++counts[QString::fromUtf16(r.room)];
    }
    people.Close();

    Recordset floors(&connection);
    floors.Open(sql::floorAll);
    Recordset nums(&connection);
    nums.Open(sql::numAll);
    for (const DemoRoom &r : rooms) {
        const QString room = QString::fromUtf16(r.room);
        const std::int16_t living = counts.value(room, 0);
        floors.AddNew();
        floors.PutCollect(QStringLiteral("房间号码"), room);
        floors.PutCollect(QStringLiteral("入住性别"), r.sex);
        floors.PutCollect(QStringLiteral("电话号码"), r.phone);
        floors.PutCollect(QStringLiteral("电话端口"), r.phonePort);
        floors.PutCollect(QStringLiteral("网线端口"), r.netPort);
        floors.PutCollect(QStringLiteral("可住人数"), FieldValue::int16(r.capacity));
        floors.PutCollect(QStringLiteral("水表底数"), FieldValue::int32(r.water));
        floors.PutCollect(QStringLiteral("电表底数"), FieldValue::int32(r.power));
        floors.PutCollect(QStringLiteral("入住人数"), FieldValue::int16(living));
        floors.PutCollect(QStringLiteral("空缺人数"),
                          FieldValue::int16(static_cast<std::int16_t>(r.capacity - living)));
        floors.Update();
        if (living > 0) {
            nums.AddNew();
            nums.PutCollect(QStringLiteral("房间号码"), room);
            nums.PutCollect(QStringLiteral("入住人数"), FieldValue::int16(living));
            nums.Update();
        }
    }
    floors.Close();
    nums.Close();

    Recordset fees(&connection);
    fees.Open(sql::feeStandard);
    fees.AddNew();
    fees.PutCollect(QStringLiteral("水费"), 2.5F);
    fees.PutCollect(QStringLiteral("电费"), 0.6F);
    fees.PutCollect(QStringLiteral("房租"), FieldValue::int32(120));
    fees.Update();
    fees.Close();
}

} // namespace orv::schema
