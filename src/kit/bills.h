#pragma once

#include "listactions.h"
#include "listprint.h"

#include <QList>
#include <QPair>
#include <QString>

class QAbstractItemModel;
class QAbstractItemView;

namespace orv {

class Connection;

// The utility bill of one fee-list row (room, date, water fee, electricity fee, total), with the
// meter readings and prices it was settled from, read from the database when the document is made.
// Amounts are whole 分 and the total is the sum of the printed parts.
PaintDocument utilityBillDocument(Connection &connection, const QAbstractItemModel *feeList, int row);

// The rent receipt of one rent-list row (name, staff number, room, rent, settlement date), with the
// period that settlement paid for where it was kept.
PaintDocument rentReceiptDocument(Connection &connection, const QAbstractItemModel *rentList, int row);

// A page addressed to one resident (a reminder, a share of a bill): a title, labelled values, a
// total and a closing sentence.
struct Slip {
    QString title;
    QList<QPair<QString, QString>> fields;
    QString totalLabel;
    QString total;
    QString note;
};

// The slips, one page each, in order.
PaintDocument slipsDocument(const QList<Slip> &slips);

// The fee list's "打印水电费账单…" and the rent list's "打印房租收据…": the document of the row,
// shown in the print preview.
RowAction utilityBillAction(Connection &connection, QAbstractItemView *feeList);
RowAction rentReceiptAction(Connection &connection, QAbstractItemView *rentList);

} // namespace orv
