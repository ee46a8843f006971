#pragma once

#include "outcome.h"

#include <QString>

#include <functional>
#include <memory>

namespace orv {
class Connection;
class Recordset;
namespace store {
class ListPages;
}
} // namespace orv

namespace orv::ops {

// Where a list query hands its result. `restart` runs once the query has passed its checks and its
// statement is open, so the caller empties its list then and not before: a refused query leaves the
// list as it was. `record` then runs once per row, in the store's order, on the set positioned on
// that row. A list that reads its rows on demand gives `pages` instead, which takes the opened
// rows once `restart` has run; `record` then never runs.
struct Listing {
    std::function<void()> restart;
    std::function<void(const Recordset &)> record;
    std::function<void(std::unique_ptr<store::ListPages>)> pages = {};
};

// The resident search form: each criterion as typed, empty when not filled.
struct PersonCriteria {
    QString name;
    QString sex;
    QString room;
};

// The room search form: the adopted field exactly as the field list shows it (leading blanks
// kept; empty before any choice) and the typed value.
struct RoomCriteria {
    QString field;
    QString value;
};

// A query that finds no row is refused with its message after `restart`: the list ends empty.
// Nothing here writes; a done outcome changes no table and says nothing.

// Every resident.
Outcome listAllPersons(Connection &connection, const Listing &listing);
// The residents matching the last filled criterion in the order name, sex, room.
Outcome queryPersons(Connection &connection, const PersonCriteria &criteria, const Listing &listing);
// The rooms whose adopted field equals the value.
Outcome queryRooms(Connection &connection, const RoomCriteria &criteria, const Listing &listing);

} // namespace orv::ops
