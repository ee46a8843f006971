#include "roles.h"

#include "columns.h"

#include <algorithm>
#include <vector>

namespace orv {

namespace {

struct Rights {
    Action action;
    bool attendant; // a 管理员 may do everything
    QList<TableWrite> writes;
};

// One row per action: who may do it and what it writes. The operators' menus and a server's
// grants are both made from this, so they cannot disagree.
const std::vector<Rights> &rightsTable()
{
    static const std::vector<Rights> table = [] {
        using namespace db;
        namespace rh = residence;
        const QList<TableWrite> checkIn{
            {floorinfo::table, Write::Update, {floorinfo::roomNo, floorinfo::occupants, floorinfo::vacant}},
            {numinfo::table, Write::Insert, {}},
            {numinfo::table, Write::Update, {numinfo::occupants}},
            {personinfo::table, Write::Insert, {}},
            {rh::table, Write::Insert, {}},
        };
        const QList<TableWrite> readings{
            {feiinfo::table, Write::Insert, {}},
            {floorinfo::table, Write::Update, {floorinfo::waterBase, floorinfo::powerBase}},
            {listfei::table, Write::Insert, {}},
            {settlementreadings::table, Write::Insert, {}},
        };
        // A restore replaces the rows of every table but the log, which keeps its chain.
        QList<TableWrite> restore;
        for (const QString &name :
             {floorinfo::table, personinfo::table, numinfo::table, feiyong::table, feiinfo::table, listfei::table,
              fangset::table, fanglist::table, settlementreadings::table, rentperiods::table, rh::table}) {
            restore.append({name, Write::Delete, {}});
            restore.append({name, Write::Insert, {}});
        }
        return std::vector<Rights>{
            {Action::CheckIn, true, checkIn},
            {Action::CheckOut,
             true,
             {{personinfo::table, Write::Delete, {}},
              {numinfo::table, Write::Update, {numinfo::occupants}},
              {numinfo::table, Write::Delete, {}},
              {floorinfo::table, Write::Update, {floorinfo::occupants, floorinfo::vacant}},
              {rh::table, Write::Update, {rh::checkedOut, rh::checkedOutBy}}}},
            {Action::BatchCheckIn, true, checkIn},
            {Action::Query, true, {}},
            {Action::SettleUtilities, true, readings},
            {Action::BatchReadings, true, readings},
            {Action::SettleRent,
             true,
             {{fangset::table, Write::Insert, {}},
              {fangset::table, Write::Update, {fangset::date, fangset::total}},
              {fanglist::table, Write::Insert, {}},
              {rentperiods::table, Write::Insert, {}}}},
            {Action::Export, true, {}},
            {Action::Print, true, {}},
            {Action::Backup, true, {}},
            {Action::CheckDatabase, true, {}},
            {Action::ChangeOwnPassword, true, {}},
            // A new standard replaces the one row.
            {Action::SetFeeStandard, false, {{feiyong::table, Write::Delete, {}}, {feiyong::table, Write::Insert, {}}}},
            {Action::AddRoom, false, {{floorinfo::table, Write::Insert, {}}}},
            // The room is taken out into the form and comes back by an add.
            {Action::ModifyRoom, false, {{floorinfo::table, Write::Delete, {}}}},
            {Action::DeleteRoom, false, {{floorinfo::table, Write::Delete, {}}}},
            {Action::RestoreDatabase, false, restore},
            // The operators are the key slots of a file and the roles of a server, not rows.
            {Action::ManageOperators, false, {}},
        };
    }();
    return table;
}

const Rights &rightsOf(Action action)
{
    const std::vector<Rights> &table = rightsTable();
    return *std::find_if(table.begin(), table.end(), [action](const Rights &row) { return row.action == action; });
}

} // namespace

QString roleName(Role role)
{
    return role == Role::Administrator ? QStringLiteral("管理员") : QStringLiteral("值班员");
}

std::optional<Role> roleFromName(const QString &name)
{
    for (const Role role : {Role::Administrator, Role::Attendant}) {
        if (name == roleName(role))
            return role;
    }
    return std::nullopt;
}

QList<Action> everyAction()
{
    QList<Action> actions;
    for (const Rights &row : rightsTable())
        actions.append(row.action);
    return actions;
}

bool mayDo(Role role, Action action)
{
    return role == Role::Administrator || rightsOf(action).attendant;
}

QList<TableWrite> writesOf(Action action)
{
    return rightsOf(action).writes;
}

} // namespace orv
