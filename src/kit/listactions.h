#pragma once

#include <QList>
#include <QString>

#include <functional>

class QAbstractItemView;
class QPushButton;
class QRect;

namespace orv {

// An entry of a list's context menu that works on one row (the row under the mouse or the
// selected one); it is greyed out while the list has no such row.
struct RowAction {
    QString text;
    QString objectName;
    std::function<void(int row)> run;
};

// Gives a list its context menu (right mouse button and the menu key): "复制" (also Ctrl+C),
// "导出为 Excel…", "导出为 CSV…", "打印…", then the row actions. `listName` names the exported
// files and the sheet; `pageTitle` heads the printed list. The actions are children of the list,
// found by object name: copyAction, exportXlsxAction, exportCsvAction, printAction, and one per
// row action under its own name, which works on the selected row.
void installListActions(QAbstractItemView *list, const QString &listName, const QString &pageTitle,
                        const QList<RowAction> &rowActions = {});

// A "列表" button at `place` on the list's page whose menu holds the list's actions, the row
// actions working on the selected row: the very actions of the context menu, for those who do
// not think of the right mouse button. Call after installListActions.
QPushButton *addListMenuButton(QAbstractItemView *list, const QString &objectName, const QRect &place);

// The rows a list's actions work on: the selected rows in order, or none.
QList<int> selectedListRows(const QAbstractItemView *list);

} // namespace orv
