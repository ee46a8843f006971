#pragma once

#include "operations/batch.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;
class QWidget;

namespace orv {

class Connection;
class BatchModel;

// The preview of a batch: every row with what it comes to, refused rows marked, and the import of
// the accepted rows as one unit.
class BatchDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BatchDialog)
public:
    BatchDialog(Connection &connection, ops::Batch batch, const QString &title, QWidget *parent = nullptr);
    ~BatchDialog() override;

    const ops::Batch &batch() const { return m_batch; }
    // Writes the report of every row to `path`; tells the user and returns false when it cannot.
    bool writeReport(const QString &path);

public Q_SLOTS:
    void importRows();
    void exportReport();

private:
    void showSummary();

    Connection &m_connection;
    ops::Batch m_batch;
    BatchModel *m_model;
    QTableView *m_table;
    QLabel *m_summary;
    QPushButton *m_importButton;
};

// "批量入住…" and "批量抄表…": asks for a file, checks every row, shows the preview and imports on
// request, logging the import under `operatorName`.
void importBatchInteractively(QWidget *parent, Connection &connection, ops::BatchKind kind,
                              const ops::BatchOperations &operations, const QString &operatorName = QString());

} // namespace orv
