#pragma once

#include "kit/logrecorder.h"

#include <QDialog>

class QComboBox;
class QDateEdit;

namespace orv {

class Connection;
class ReportList;

// "操作日志…": the operation log, newest first, narrowed to one operator and a span of days, with
// the list actions every page list has.
class LogDialog final : public QDialog, public LogRecorder {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LogDialog)
public:
    // `operatorName` is who the log names for a list exported from here.
    explicit LogDialog(Connection &connection, QString operatorName = QString(), QWidget *parent = nullptr);
    ~LogDialog() override;

    void record(const oplog::Entry &entry) override;

    // Lists the rows the filter lets through now.
    void refresh();

private:
    Connection &m_connection;
    QString m_operatorName;
    QComboBox *m_operatorCombo;
    QDateEdit *m_fromDateEdit;
    QDateEdit *m_toDateEdit;
    ReportList *m_logList;
};

} // namespace orv
