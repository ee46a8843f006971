#include "accommodation.h"

#include "data/columns.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "data/residence.h"
#include "data/statements.h"
#include "data/texts.h"

#include <utility>

namespace orv::ops {
namespace {

namespace rooms = db::floorinfo;
namespace people = db::personinfo;
namespace counts = db::numinfo;

const QString kDuplicateStaffNo = QStringLiteral("你输入的工号已经存在，请不要重复输入！");
const QString kRoomFull = QStringLiteral("你选择的房间已经住满，请选择其他房间入住！");
const QString kNoSuchRoom = QStringLiteral("你输入的房间号码在数据库中不存在，请重新输入！");
const QString kNoOutStaffNo = QStringLiteral("请输入员工的工号！");
const QString kNoOutRoom = QStringLiteral("请输入员工的房间号码！");
const QString kMismatch = QStringLiteral("您输入的工号和房间号码不匹配，请重新输入！");
const QString kNotResident = QStringLiteral("您输入的工号还没有入住，请不要对此工号操作！");
const QString kCheckedOut = QStringLiteral("成功迁出！");

// The counters are Integer columns; they are written back as 32-bit values.
FieldValue counter(int value)
{
    return FieldValue::int32(value);
}

// The three sets a check-in or check-out works on, opened before the form is looked at, so a
// missing table stops the operation before any refusal, as it always has.
struct ResidentSets {
    explicit ResidentSets(Connection &connection) : roomSet(&connection), personSet(&connection), numSet(&connection)
    {
        roomSet.Open(sql::floorAll);
        personSet.Open(sql::personAll);
        numSet.Open(sql::numAll);
    }
    Recordset roomSet;
    Recordset personSet;
    Recordset numSet;
};

void listRooms(Connection &connection, bool freeRooms, const std::function<void(Recordset &)> &onRoom)
{
    Recordset roomSet(&connection);
    roomSet.Open(sql::floorAll);
    for (roomSet.rewind(); !roomSet.adoEOF(); roomSet.MoveNext()) {
        const int vacant = roomSet.GetCollect(rooms::vacant).asInt16();
        // Unused, but read as a number all the same: a bed count that is missing or of another
        // kind stops the list there, as it always has.
        static_cast<void>(roomSet.GetCollect(rooms::capacity).asInt16());
        // Only the free-bed counter decides, whatever the other two say.
        if ((vacant != 0) == freeRooms)
            onRoom(roomSet);
    }
}

// The first empty field of the form, in form order; empty when none is.
QString firstEmptyField(const CheckInForm &form)
{
    // A date that is no date is the importer's blank; the page's picker always holds one.
    const std::pair<bool, QString> required[] = {
        {form.name.isEmpty(), QStringLiteral("请输入入住人的姓名！")},
        {form.sex.isEmpty(), QStringLiteral("请输入性别！")},
        {form.department.isEmpty(), QStringLiteral("请输入部门！")},
        {form.staffNo.isEmpty(), QStringLiteral("请输入工号！")},
        {form.mobile.isEmpty(), QStringLiteral("请输入手机号码！")},
        {!form.date.isValid(), QStringLiteral("请输入入住日期！")},
        {form.room.isEmpty(), QStringLiteral("请输入房间号码！")},
    };
    for (const auto &[empty, message] : required) {
        if (empty)
            return message;
    }
    return QString();
}

// Raises every count row of the room, or starts one at 1 when the room has none.
void countInto(Recordset &numSet, const FieldValue &room)
{
    bool counted = false;
    for (bool found = numSet.Find(counts::roomNo, room); found; found = numSet.FindNext(counts::roomNo, room)) {
        numSet.PutCollect(counts::occupants, counter(numSet.GetCollect(counts::occupants).asInt16() + 1));
        numSet.Update();
        counted = true;
    }
    if (!counted) {
        numSet.AddNew();
        numSet.PutCollect(counts::roomNo, room);
        numSet.PutCollect(counts::occupants, counter(1));
        numSet.Update();
    }
}

// Lowers every count row of the room; a row that would reach 0 goes. Returns whether any row was
// touched.
bool countOutOf(Recordset &numSet, const FieldValue &room)
{
    bool counted = false;
    for (bool found = numSet.Find(counts::roomNo, room); found; found = numSet.FindNext(counts::roomNo, room)) {
        const int count = numSet.GetCollect(counts::occupants).asInt16();
        // Moving on stores the lowered count, so no Update of its own.
        if (count == 1)
            numSet.Delete(adAffectCurrent);
        else
            numSet.PutCollect(counts::occupants, counter(count - 1));
        counted = true;
    }
    return counted;
}

// Gives back a bed in every room row of that number. Returns whether any row was touched.
bool freeBed(Recordset &roomSet, const FieldValue &room)
{
    bool freed = false;
    for (bool found = roomSet.Find(rooms::roomNo, room); found; found = roomSet.FindNext(rooms::roomNo, room)) {
        const int occupants = roomSet.GetCollect(rooms::occupants).asInt16();
        const int vacant = roomSet.GetCollect(rooms::vacant).asInt16();
        roomSet.PutCollect(rooms::occupants, counter(occupants - 1));
        roomSet.PutCollect(rooms::vacant, counter(vacant + 1));
        roomSet.Update();
        freed = true;
    }
    return freed;
}

} // namespace

void freeRooms(Connection &connection, const std::function<void(Recordset &)> &onRoom)
{
    listRooms(connection, true, onRoom);
}

void fullRooms(Connection &connection, const std::function<void(Recordset &)> &onRoom)
{
    listRooms(connection, false, onRoom);
}

QString staffNoTooLong()
{
    return tooLongText(kStaffNoBytes);
}

Outcome checkIn(Connection &connection, const CheckInForm &form)
{
    ResidentSets sets(connection);
    Recordset &roomSet = sets.roomSet;
    Recordset &personSet = sets.personSet;

    if (const QString empty = firstEmptyField(form); !empty.isEmpty())
        return Outcome::refused(empty);
    if (cp936Length(form.staffNo) > kStaffNoBytes)
        return Outcome::refused(staffNoTooLong());
    const FieldValue staffNo(form.staffNo);
    if (personSet.Find(people::staffNo, staffNo))
        return Outcome::refused(kDuplicateStaffNo);

    const FieldValue room(form.room);
    if (!roomSet.Find(rooms::roomNo, room))
        return Outcome::refused(kNoSuchRoom);
    const int vacant = roomSet.GetCollect(rooms::vacant).asInt16();
    const int capacity = roomSet.GetCollect(rooms::capacity).asInt16();
    const int occupants = roomSet.GetCollect(rooms::occupants).asInt16();
    // Fullness is judged by residents against beds; the free-bed counter only follows along.
    if (occupants >= capacity)
        return Outcome::refused(kRoomFull);

    roomSet.PutCollect(rooms::roomNo, room);
    roomSet.PutCollect(rooms::occupants, counter(occupants + 1));
    roomSet.PutCollect(rooms::vacant, counter(vacant - 1));
    roomSet.Update();

    countInto(sets.numSet, room);

    personSet.AddNew();
    personSet.PutCollect(people::name, FieldValue(form.name));
    personSet.PutCollect(people::sex, FieldValue(form.sex));
    personSet.PutCollect(people::dept, FieldValue(form.department));
    personSet.PutCollect(people::staffNo, staffNo);
    personSet.PutCollect(people::mobile, FieldValue(form.mobile));
    personSet.PutCollect(people::date, FieldValue(dateText(form.date)));
    personSet.PutCollect(people::room, room);
    personSet.Update();
    residence::begin(connection, {0,
                                  form.staffNo,
                                  form.name,
                                  form.department,
                                  form.room,
                                  dateText(form.date),
                                  {},
                                  connection.operatorName(),
                                  {},
                                  {}});
    return Outcome::doneWith({rooms::table, counts::table, people::table, db::residence::table})
        .logged(Action::CheckIn, form.staffNo, QStringLiteral("%1，房间 %2").arg(form.name, form.room));
}

Outcome checkOut(Connection &connection, const CheckOutForm &form, const std::function<void(const QString &name)> &left)
{
    ResidentSets sets(connection);
    Recordset &personSet = sets.personSet;

    if (form.staffNo.isEmpty())
        return Outcome::refused(kNoOutStaffNo);
    if (form.room.isEmpty())
        return Outcome::refused(kNoOutRoom);
    const FieldValue room(form.room);
    if (!personSet.Find(people::staffNo, FieldValue(form.staffNo)))
        return Outcome::refused(kNotResident);
    if (personSet.GetCollect(people::room) != room)
        return Outcome::refused(kMismatch);

    const QString name = personSet.GetCollect(people::name).toDisplayText();
    if (left)
        left(name);
    const residence::Stay resident{0,
                                   form.staffNo,
                                   personSet.GetCollect(people::name).toText(),
                                   personSet.GetCollect(people::dept).toText(),
                                   form.room,
                                   personSet.GetCollect(people::date).toText(),
                                   {},
                                   {},
                                   {},
                                   {}};
    personSet.Delete(adAffectCurrent);
    residence::end(connection, resident, QDate::currentDate(), connection.operatorName());
    QStringList changed{people::table};
    if (countOutOf(sets.numSet, room))
        changed.append(counts::table);
    if (freeBed(sets.roomSet, room))
        changed.append(rooms::table);
    changed.append(db::residence::table);
    return Outcome::doneWith(changed, kCheckedOut)
        .logged(Action::CheckOut, form.staffNo, QStringLiteral("%1，房间 %2").arg(name, form.room));
}

} // namespace orv::ops
