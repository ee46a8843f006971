#pragma once

#include "outcome.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace orv {

class Connection;
class Recordset;

namespace ops {

// The room form's values, as the page's data exchange read them.
struct RoomForm {
    QString roomNo;
    QString phone;
    QString phonePort;
    QString netPort;
    int capacity = 6;
    double waterBase = 0;
    double powerBase = 0;
    QString sex;
};

// The list row a modify or delete acts on, as the page listed it.
struct RoomRow {
    std::int64_t bookmark = 0; // the bookmark the row was listed with
    QString roomNo;            // the room number the row shows
    bool last = false;         // whether it is the list's last row
};

// A room an add stored, for the page's list.
struct AddedRoom {
    // Room, sex, phone, phone port, net port, capacity, water and power readings, as the form gave them.
    QStringList cells;
    std::int64_t bookmark = 0;
    long roomsBefore = 0; // the rooms stored before it
};

using RoomVisitor = std::function<void(Recordset &)>;

// Hands every room of floorinfo to `visit`, in the table's order, positioned on its row. Refused
// when there is none.
Outcome listRooms(Connection &connection, const RoomVisitor &visit);

// Whether floorinfo holds any room at all.
bool hasRooms(Connection &connection);

// Stores the form as a new room, its residents taken from what numinfo still counts for its
// number. Refuses an empty field (the room number first, the sex last) and a number already there.
Outcome addRoom(Connection &connection, const RoomForm &form, AddedRoom &added);
// Whether an add's refusal ends the add as a stored room would; the others leave the page as it was.
bool endsAdd(const Outcome &refusal);

// Takes the row's room out of floorinfo for editing: hands `show` the room's values over `form`
// (whose sex stays as the form has it), then deletes the room.
Outcome modifyRoom(Connection &connection, const RoomRow &row, RoomForm form,
                   const std::function<void(const RoomForm &)> &show);

// Deletes the row's room unless somebody lives in it.
Outcome deleteRoom(Connection &connection, const RoomRow &row);

// Whether a modify's or delete's refusal found the row no longer showing its room at its place.
bool rowOutOfDate(const Outcome &refusal);

} // namespace ops
} // namespace orv
