#pragma once

#include "logrecorder.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <initializer_list>

#include "listactions.h"
#include "reportlist.h"

class QDialogButtonBox;
class QGridLayout;
class QLabel;
class QPushButton;

namespace orv {

class Connection;

// A window that finds rows and lists them: the fields that say what to find above a list with
// the list actions every page list has (copy, export, print), and 关闭. Exports from it are logged
// under the operator given.
class ReportDialog : public QDialog, public LogRecorder {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportDialog)
public:
    // `listName` names exported files and printouts; `rowActions` follow the list actions.
    ReportDialog(Connection &connection, const QString &title, const QString &listName, QString operatorName,
                 std::initializer_list<ReportList::Column> columns, QWidget *parent = nullptr,
                 const QList<RowAction> &rowActions = {});
    // A line of plain text above the list, saying what it shows.
    void setSummary(const QString &text);
    ~ReportDialog() override;

    // Adds a field with its buddy label ("姓名(&N)：") to the row above the list.
    void addField(const QString &label, QWidget *field);
    // Adds the button that fills the list; Enter in any field presses it.
    QPushButton *addFindButton(const QString &text, const QString &objectName, const std::function<void()> &find);
    // Adds a button beside 关闭.
    QPushButton *addAction(const QString &text, const QString &objectName, const std::function<void()> &run);
    ReportList *list() const { return m_list; }
    Connection &connection() const { return m_connection; }

    void record(const oplog::Entry &entry) override;

private:
    Connection &m_connection;
    QString m_operatorName;
    QGridLayout *m_fields;
    QLabel *m_summary;
    QDialogButtonBox *m_buttons;
    ReportList *m_list;
    int m_fieldCount = 0;
};

} // namespace orv
