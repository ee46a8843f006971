#pragma once

#include <QString>

class QWidget;

namespace orv {

class Connection;

// "欠费名单": who owes whole months of rent on a day, most months first, at the standard's rent.
void showArrears(QWidget *page, Connection &connection, const QString &operatorName);
// "分摊账单…": a settled bill of the fee list divided among those who lived in its room meanwhile.
void showBillShares(QWidget *page, Connection &connection, const QString &room, const QString &date,
                    const QString &operatorName);

} // namespace orv
