#include "rooms.h"

#include "data/columns.h"
#include "data/connection.h"
#include "data/fieldvalue.h"
#include "data/recordset.h"
#include "data/statements.h"

#include <array>
#include <utility>

namespace orv::ops {

namespace {

namespace room = db::floorinfo;

const QString kNoRooms = QStringLiteral("数据库中没有记录,请您添加了记录之后在操作");
const QString kNoRoomNumber = QStringLiteral("请输入用户名");
const QString kDuplicate = QStringLiteral("您输入的房间号码已经存在，请不要重复输入");
const QString kListOutOfDate =
    QStringLiteral("房间列表已经过时（房间已在别处被修改或删除），列表已重新显示，请重新选择房间！");
const QString kOccupied = QStringLiteral("此房间里有人入住，请不要删除，如果你要删除请先把入住的人迁出再删除！");

void openRooms(Recordset &rooms)
{
    rooms.Open(sql::floorAll);
}

// Each row keeps the bookmark of the room it shows, so finding it costs the same for every row. A
// room gone or renumbered since the list was filled (another window changed the table) is not
// acted on.
bool moveToRow(Recordset &rooms, const RoomRow &row)
{
    openRooms(rooms);
    return rooms.MoveToBookmark(row.bookmark) && rooms.GetCollect(room::roomNo).toDisplayText() == row.roomNo;
}

void deleteCurrent(Recordset &rooms, const RoomRow &row)
{
    rooms.Delete(adAffectCurrent);
    if (row.last)
        rooms.MovePrevious();
    else
        rooms.MoveNext();
}

} // namespace

Outcome listRooms(Connection &connection, const RoomVisitor &visit)
{
    Recordset rooms(&connection);
    openRooms(rooms);
    bool found = false;
    for (rooms.rewind(); !rooms.adoEOF(); rooms.MoveNext()) {
        found = true;
        visit(rooms);
    }
    return found ? Outcome::doneWith({}) : Outcome::refused(kNoRooms);
}

bool hasRooms(Connection &connection)
{
    Recordset rooms(&connection);
    openRooms(rooms);
    return !(rooms.BOF() && rooms.adoEOF());
}

Outcome addRoom(Connection &connection, const RoomForm &form, AddedRoom &added)
{
    // Not the form's order: the sex, second on the form, is asked for last.
    const std::array<std::pair<const QString *, QString>, 5> required = {{
        {&form.roomNo, kNoRoomNumber},
        {&form.phone, QStringLiteral("请输入电话号码")},
        {&form.phonePort, QStringLiteral("请输入电话端口号")},
        {&form.netPort, QStringLiteral("请输入网线端口号")},
        {&form.sex, QStringLiteral("请输入性别")},
    }};
    for (const auto &[value, message] : required) {
        if (value->isEmpty())
            return Outcome::refused(message);
    }

    Recordset rooms(&connection);
    openRooms(rooms);
    const FieldValue roomNo = form.roomNo;
    if (rooms.Find(room::roomNo, roomNo))
        return Outcome::refused(kDuplicate);
    added.roomsBefore = rooms.RecordCount();

    const FieldValue capacity = FieldValue::int32(form.capacity);
    const std::array<std::pair<QString, FieldValue>, 8> listed = {{
        {room::roomNo, roomNo},
        {room::sex, form.sex},
        {room::phone, form.phone},
        {room::phonePort, form.phonePort},
        {room::netPort, form.netPort},
        {room::capacity, capacity},
        {room::waterBase, form.waterBase},
        {room::powerBase, form.powerBase},
    }};
    rooms.AddNew();
    for (const auto &[column, value] : listed)
        rooms.PutCollect(column, value);
    rooms.PutCollect(room::occupants, FieldValue::int32(0));
    rooms.PutCollect(room::vacant, capacity);

    // A room taken out by modify keeps its residents in numinfo; the last matching row counts.
    Recordset counts(&connection);
    counts.Open(sql::numAll);
    for (bool found = counts.Find(db::numinfo::roomNo, roomNo); found;
         found = counts.FindNext(db::numinfo::roomNo, roomNo)) {
        const FieldValue residents = counts.GetCollect(db::numinfo::occupants);
        const auto beds = static_cast<std::int16_t>(form.capacity);
        rooms.PutCollect(room::vacant, FieldValue::int32(beds - residents.asInt16()));
        rooms.PutCollect(room::occupants, residents);
    }
    rooms.Update();

    added.bookmark = rooms.Bookmark();
    added.cells.clear();
    for (const auto &cell : listed)
        added.cells.append(cell.second.toDisplayText());
    return Outcome::doneWith({room::table})
        .logged(Action::AddRoom, form.roomNo, QStringLiteral("%1，%2 个床位").arg(form.sex).arg(form.capacity));
}

bool endsAdd(const Outcome &refusal)
{
    return refusal.message == kNoRoomNumber;
}

Outcome modifyRoom(Connection &connection, const RoomRow &row, RoomForm form,
                   const std::function<void(const RoomForm &)> &show)
{
    Recordset rooms(&connection);
    if (!moveToRow(rooms, row))
        return Outcome::refused(kListOutOfDate);
    const FieldValue roomNo = rooms.GetCollect(room::roomNo);
    const FieldValue phone = rooms.GetCollect(room::phone);
    const FieldValue phonePort = rooms.GetCollect(room::phonePort);
    const FieldValue netPort = rooms.GetCollect(room::netPort);
    const FieldValue capacity = rooms.GetCollect(room::capacity);
    const FieldValue waterBase = rooms.GetCollect(room::waterBase);
    const FieldValue powerBase = rooms.GetCollect(room::powerBase);
    form.roomNo = roomNo.toText();
    form.phone = phone.toText();
    form.phonePort = phonePort.toText();
    form.netPort = netPort.toText();
    form.capacity = capacity.asInt16();
    form.waterBase = waterBase.asInt32();
    form.powerBase = powerBase.asInt32();
    // Shown before the room goes, so that a delete that fails still leaves it in the form.
    show(form);
    deleteCurrent(rooms, row);
    // The room leaves the list until the form is added again, which the log then shows as an add.
    return Outcome::doneWith({room::table}).logged(Action::ModifyRoom, form.roomNo, QStringLiteral("取出修改"));
}

Outcome deleteRoom(Connection &connection, const RoomRow &row)
{
    Recordset rooms(&connection);
    if (!moveToRow(rooms, row))
        return Outcome::refused(kListOutOfDate);
    if (rooms.GetCollect(room::occupants).asInt16() != 0)
        return Outcome::refused(row.last ? kOccupied + QStringLiteral("!!") : kOccupied);
    const QString roomNo = rooms.GetCollect(room::roomNo).toText();
    deleteCurrent(rooms, row);
    return Outcome::doneWith({room::table}).logged(Action::DeleteRoom, roomNo);
}

bool rowOutOfDate(const Outcome &refusal)
{
    return refusal.message == kListOutOfDate;
}

} // namespace orv::ops
