#pragma once

#include <QString>

class QWidget;

namespace orv {

class Connection;

// "住宿记录…": the stays of a staff number, a name or a room. "某日住户…": who lived in a room, or
// anywhere, on a day. Both open as windows over the page and list like the page's own lists.
void showStays(QWidget *page, Connection &connection, const QString &operatorName);
void showLivingOn(QWidget *page, Connection &connection, const QString &operatorName);

} // namespace orv
