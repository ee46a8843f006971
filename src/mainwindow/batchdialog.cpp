#include "batchdialog.h"

#include "data/connection.h"
#include "data/storeerror.h"
#include "kit/messagebox.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <utility>

namespace orv {

namespace {

const QString kNothingWritten = QStringLiteral("没有导入任何一行。");
const QString kStoreFailed = QStringLiteral("数据库操作失败!\n错误信息:");

// Long files show how far the work is and can be stopped; short ones finish before it would show.
class ProgressBox final {
public:
    ProgressBox(QWidget *parent, const QString &label, int total)
        : m_dialog(label, QStringLiteral("取消"), 0, total, parent)
    {
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
    }
    ops::Progress callback()
    {
        return [this](int done, int) {
            m_dialog.setValue(done);
            return !m_dialog.wasCanceled();
        };
    }

private:
    QProgressDialog m_dialog;
};

} // namespace

// The rows of the batch as the table shows them: row number, the cells as read, the result.
class BatchModel final : public QAbstractTableModel {
public:
    BatchModel(const ops::Batch &batch, QObject *parent) : QAbstractTableModel(parent), m_batch(batch) {}

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_batch.rows.size());
    }
    int columnCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_batch.columns.size()) + 2;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const ops::BatchRow &row = m_batch.rows[static_cast<std::size_t>(index.row())];
        if (role == Qt::BackgroundRole)
            return row.outcome.done ? QVariant() : QVariant(QColor(255, 228, 225));
        if (role != Qt::DisplayRole)
            return QVariant();
        if (index.column() == 0)
            return row.line;
        if (index.column() <= row.values.size())
            return row.values.at(index.column() - 1);
        return ops::resultText(row);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        if (section == 0)
            return QStringLiteral("行号");
        if (section <= m_batch.columns.size())
            return m_batch.columns.at(section - 1);
        return QStringLiteral("结果");
    }
    void refresh()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const ops::Batch &m_batch;
};

BatchDialog::BatchDialog(Connection &connection, ops::Batch batch, const QString &title, QWidget *parent)
    : QDialog(parent), m_connection(connection), m_batch(std::move(batch))
{
    setObjectName(QStringLiteral("batchDialog"));
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("batchTable"));
    m_table->setAccessibleName(QStringLiteral("导入预览"));
    m_model = new BatchModel(m_batch, this);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    auto *tableLabel = new QLabel(QStringLiteral("导入预览(&P)："), this);
    tableLabel->setBuddy(m_table);
    layout->addWidget(tableLabel);
    layout->addWidget(m_table);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("batchSummary"));
    layout->addWidget(m_summary);

    auto *buttons = new QDialogButtonBox(this);
    m_importButton = buttons->addButton(QStringLiteral("导入(&I)"), QDialogButtonBox::AcceptRole);
    m_importButton->setObjectName(QStringLiteral("importButton"));
    QPushButton *reportButton = buttons->addButton(QStringLiteral("导出报告(&R)…"), QDialogButtonBox::ActionRole);
    reportButton->setObjectName(QStringLiteral("reportButton"));
    QPushButton *closeButton = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    layout->addWidget(buttons);
    // The buttons are wired one by one: the box's accepted signal would close the preview before
    // the import has been told.
    connect(m_importButton, &QPushButton::clicked, this, &BatchDialog::importRows);
    connect(reportButton, &QPushButton::clicked, this, &BatchDialog::exportReport);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    m_table->resizeColumnsToContents();
    resize(760, 480);
    showSummary();
}

BatchDialog::~BatchDialog() = default;

void BatchDialog::showSummary()
{
    m_summary->setText(ops::summaryText(m_batch));
    const bool imported = !m_batch.rows.empty() && m_batch.rows.front().imported;
    m_importButton->setEnabled(m_batch.accepted() > 0 && !imported);
}

void BatchDialog::importRows()
{
    ops::ImportResult result;
    {
        ProgressBox progress(this, QStringLiteral("正在导入…"), m_batch.accepted());
        result = ops::importBatch(m_connection, m_batch, progress.callback());
    }
    m_model->refresh();
    QString text;
    switch (result.status) {
    case ops::ImportResult::Status::Imported:
        // Nothing is left to import: the accepted rows are in.
        m_importButton->setEnabled(false);
        m_summary->setText(QStringLiteral("已导入 %1 行。").arg(result.imported));
        showSuccess(this, QStringLiteral("已导入 %1 行。").arg(result.imported));
        return;
    case ops::ImportResult::Status::Cancelled:
        text = QStringLiteral("导入已取消，") + kNothingWritten;
        break;
    case ops::ImportResult::Status::Refused:
        text = QStringLiteral("第%1行：%2\n").arg(result.line).arg(result.message) + kNothingWritten;
        break;
    case ops::ImportResult::Status::Failed:
        text = kStoreFailed + result.message + QLatin1Char('\n') + kNothingWritten;
        break;
    }
    showMessage(this, text);
}

void BatchDialog::exportReport()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出报告"),
                                                      QDir::home().filePath(QStringLiteral("导入报告.csv")),
                                                      QStringLiteral("CSV 文件 (*.csv)"));
    if (!path.isEmpty())
        writeReport(path);
}

bool BatchDialog::writeReport(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(ops::reportCsv(m_batch)) < 0 ||
        !file.flush()) {
        showMessage(this,
                    QStringLiteral("无法写入报告“%1”：\n%2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return true;
}

void importBatchInteractively(QWidget *parent, Connection &connection, ops::BatchKind kind,
                              const ops::BatchOperations &operations, const QString &operatorName)
{
    const QString title = kind == ops::BatchKind::CheckIns ? QStringLiteral("批量入住") : QStringLiteral("批量抄表");
    const QString file = QFileDialog::getOpenFileName(parent, title, QFileInfo(connection.filePath()).absolutePath(),
                                                      QStringLiteral("表格文件 (*.csv *.xlsx);;所有文件 (*)"));
    if (file.isEmpty())
        return;
    ops::Batch batch = ops::makeBatch(kind, ops::readSheet(file), operations);
    batch.operatorName = operatorName;
    batch.source = QFileInfo(file).fileName();
    if (!batch.problem.isEmpty()) {
        showMessage(parent, QStringLiteral("无法导入“%1”：\n%2").arg(QDir::toNativeSeparators(file), batch.problem));
        return;
    }
    try {
        ProgressBox progress(parent, QStringLiteral("正在检查每一行…"), static_cast<int>(batch.rows.size()));
        if (!ops::preview(connection, batch, progress.callback()))
            return;
    } catch (const StoreError &error) {
        showMessage(parent, kStoreFailed + error.message());
        return;
    }
    BatchDialog dialog(connection, std::move(batch), title, parent);
    dialog.exec();
}

} // namespace orv
