#pragma once

#include "data/roles.h"
#include "operations/permissions.h"

#include <QStringList>

#include <optional>

class QWidget;

namespace orv {

// What each button and menu entry does, in the permission table's terms, by object name.
struct RoleGate {
    const char *objectName;
    ops::Action action;
};

// Every control that does something a role may be refused, page buttons and list and data menu
// entries alike.
const QList<RoleGate> &roleGates();
// The controls left to every role on purpose: clearing or choosing on a form, opening a list's own
// menu, copying rows, the about and data buttons.
const QStringList &ungatedControls();
// The action of the control named so; none for a control that is not gated.
std::optional<ops::Action> gatedAction(const QString &objectName);

// Turns off, under `root`, every gated button and action the role may not do, each with a tooltip
// that says why; the others get back the state and tooltip their own code gives them. No role (a
// file without operators) allows everything. A control whose own code enables it while its role
// refuses it stays off.
void applyRoleGates(QWidget *root, std::optional<Role> role);

} // namespace orv
