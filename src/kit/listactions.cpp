#include "listactions.h"

#include "fileplaces.h"
#include "listexport.h"
#include "listprint.h"
#include "messagebox.h"
#include "unit.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLocale>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>

#include <algorithm>

namespace orv {

namespace {

enum class FileKind { Xlsx, Csv };

void copyRows(QAbstractItemView *list)
{
    QApplication::clipboard()->setText(tableToTabText(ListTable(list->model(), selectedListRows(list))));
}

void exportList(QAbstractItemView *list, const QString &listName, FileKind kind)
{
    const bool xlsx = kind == FileKind::Xlsx;
    const QString suffix = xlsx ? QStringLiteral("xlsx") : QStringLiteral("csv");
    const QString folder = proposedFolder(SavedFile::Export);
    QString path = QFileDialog::getSaveFileName(
        list, xlsx ? QStringLiteral("导出为 Excel") : QStringLiteral("导出为 CSV"),
        QDir(folder).filePath(proposedExportName(listName, suffix)),
        xlsx ? QStringLiteral("Excel 工作簿 (*.xlsx)") : QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        path += QLatin1Char('.') + suffix;

    const ListTable table(list->model());
    QProgressDialog progress(QStringLiteral("正在导出 %1 行……").arg(table.rowCount()), QStringLiteral("取消"), 0,
                             std::max(1, table.rowCount()), list);
    progress.setWindowTitle(QStringLiteral("Orvane"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    const ExportProgress report = [&progress](int written) {
        progress.setValue(written);
        return !progress.wasCanceled();
    };
    const ExportResult result = xlsx ? writeXlsx(path, listName, table, report) : writeCsv(path, table, report);
    progress.reset();
    if (result.status == ExportResult::Status::Failed) {
        showMessage(list, QStringLiteral("导出失败！\n") + result.failure);
        return;
    }
    if (result.status != ExportResult::Status::Written)
        return;
    rememberFolder(SavedFile::Export, path);
    logExported(list, path, table.rowCount());
    // Grouped the Chinese way whatever the desktop's locale, as the rest of the program reads.
    const QString rows = QLocale(QLocale::Chinese, QLocale::China).toString(table.rowCount());
    announceSaved(list, QStringLiteral("已导出 %1 行到 %2").arg(rows, QDir::toNativeSeparators(path)), path);
}

void printList(QAbstractItemView *list, const QString &listName, const QString &pageTitle)
{
    const ListTable table(list->model());
    const QString title = QStringLiteral("%1 — %2").arg(pageTitle, listName);
    printWithPreview(list, title, [&](QPagedPaintDevice *device) { paintListTable(device, title, table); });
}

// The row a row action works on: the one under the mouse, else the selected or current one.
int actionRow(const QAbstractItemView *list, const QPoint &position)
{
    const QModelIndex under = list->indexAt(position);
    if (under.isValid())
        return under.row();
    const QList<int> selected = selectedListRows(list);
    if (!selected.isEmpty())
        return selected.first();
    return list->currentIndex().isValid() ? list->currentIndex().row() : -1;
}

QAction *addListAction(QAbstractItemView *list, const QString &text, const QString &objectName)
{
    auto *action = new QAction(text, list);
    action->setObjectName(objectName);
    list->addAction(action);
    return action;
}

// Marks the list's actions that need a row.
const char *const kRowActionProperty = "orvRowAction";

void runRowAction(QAbstractItemView *list, const RowAction &rowAction, int row)
{
    runGuarded(list, QStringLiteral("无法读取打印所需的数据！\n"), [&] { rowAction.run(row); });
}

} // namespace

QList<int> selectedListRows(const QAbstractItemView *list)
{
    QList<int> rows;
    if (!list->selectionModel())
        return rows;
    for (const QModelIndex &index : list->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void installListActions(QAbstractItemView *list, const QString &listName, const QString &pageTitle,
                        const QList<RowAction> &rowActions)
{
    QAction *copy = addListAction(list, QStringLiteral("复制"), QStringLiteral("copyAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, list, [list] { copyRows(list); });

    QAction *xlsx = addListAction(list, QStringLiteral("导出为 Excel…"), QStringLiteral("exportXlsxAction"));
    QObject::connect(xlsx, &QAction::triggered, list, [list, listName] { exportList(list, listName, FileKind::Xlsx); });
    QAction *csv = addListAction(list, QStringLiteral("导出为 CSV…"), QStringLiteral("exportCsvAction"));
    QObject::connect(csv, &QAction::triggered, list, [list, listName] { exportList(list, listName, FileKind::Csv); });
    QAction *print = addListAction(list, QStringLiteral("打印…"), QStringLiteral("printAction"));
    QObject::connect(print, &QAction::triggered, list,
                     [list, listName, pageTitle] { printList(list, listName, pageTitle); });

    for (const RowAction &rowAction : rowActions) {
        QAction *action = addListAction(list, rowAction.text, rowAction.objectName);
        action->setProperty(kRowActionProperty, true);
        QObject::connect(action, &QAction::triggered, list, [list, rowAction] {
            const QList<int> selected = selectedListRows(list);
            if (!selected.isEmpty())
                runRowAction(list, rowAction, selected.first());
        });
    }

    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list, &QWidget::customContextMenuRequested, list, [=](const QPoint &position) {
        QMenu menu(list);
        menu.setToolTipsVisible(true);
        // Each menu gets items of its own: the accessibility layer keeps one interface per action,
        // bound to the first menu that showed it, so an action shown again in a later menu would
        // read as a nameless item to a screen reader.
        for (QAction *shared : {copy, xlsx, csv, print}) {
            QAction *entry = menu.addAction(shared->text());
            entry->setObjectName(shared->objectName());
            // An action the operator's role refuses shows off here too, saying why.
            entry->setEnabled(shared->isEnabled());
            if (!shared->isEnabled())
                entry->setToolTip(shared->toolTip());
            entry->setShortcut(shared->shortcut());
            entry->setShortcutContext(Qt::WidgetShortcut);
            QObject::connect(entry, &QAction::triggered, shared, &QAction::trigger);
        }
        const int row = actionRow(list, position);
        if (!rowActions.isEmpty())
            menu.addSeparator();
        for (const RowAction &rowAction : rowActions) {
            QAction *entry = menu.addAction(rowAction.text);
            entry->setObjectName(rowAction.objectName);
            const QAction *shared = list->findChild<QAction *>(rowAction.objectName, Qt::FindDirectChildrenOnly);
            entry->setEnabled(row >= 0 && (!shared || shared->isEnabled()));
            if (shared && !shared->isEnabled())
                entry->setToolTip(shared->toolTip());
            QObject::connect(entry, &QAction::triggered, list,
                             [list, row, rowAction] { runRowAction(list, rowAction, row); });
        }
        menu.exec(list->viewport()->mapToGlobal(position));
    });
}

QPushButton *addListMenuButton(QAbstractItemView *list, const QString &objectName, const QRect &place)
{
    auto *button = new QPushButton(QStringLiteral("列表"), list->parentWidget());
    button->setObjectName(objectName);
    button->setAccessibleName(list->accessibleName() + QStringLiteral("：列表操作"));
    button->setGeometry(place);
    button->setAutoDefault(false);
    auto *menu = new QMenu(button);
    menu->setObjectName(objectName + QStringLiteral("Menu"));
    menu->setToolTipsVisible(true);
    // Filled afresh each time, for the reason the context menu is (see installListActions).
    QObject::connect(menu, &QMenu::aboutToShow, menu, [list, menu] {
        menu->clear();
        const bool rowChosen = !selectedListRows(list).isEmpty();
        bool rowActionsBegun = false;
        for (QAction *shared : list->actions()) {
            const bool needsRow = shared->property(kRowActionProperty).toBool();
            if (needsRow && !rowActionsBegun) {
                menu->addSeparator();
                rowActionsBegun = true;
            }
            QAction *entry = menu->addAction(shared->text());
            entry->setObjectName(shared->objectName());
            entry->setEnabled(shared->isEnabled() && (!needsRow || rowChosen));
            if (!shared->isEnabled())
                entry->setToolTip(shared->toolTip());
            QObject::connect(entry, &QAction::triggered, shared, &QAction::trigger);
        }
    });
    button->setMenu(menu);
    return button;
}

} // namespace orv
