#pragma once

#include <QList>
#include <QString>

#include <functional>

class QAbstractItemView;

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
// found by object name: copyAction, exportXlsxAction, exportCsvAction, printAction.
void installListActions(QAbstractItemView *list, const QString &listName, const QString &pageTitle,
                        const QList<RowAction> &rowActions = {});

// The rows a list's actions work on: the selected rows in order, or none.
QList<int> selectedListRows(const QAbstractItemView *list);

} // namespace orv
