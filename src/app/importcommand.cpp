#include "importcommand.h"

#include "data/connection.h"
#include "data/storeerror.h"

#include <QTextStream>

namespace orv {

namespace {

const QString kFailed = QStringLiteral("批量导入失败：");
const QString kNothingWritten = QStringLiteral("没有导入任何一行。");

QString rowLine(int line, const QString &message)
{
    return QStringLiteral("第%1行：%2").arg(line).arg(message);
}

} // namespace

int runImportCommand(ops::BatchKind kind, const QString &file, bool checkOnly, const ops::BatchOperations &operations,
                     QTextStream &out, QTextStream &err)
{
    const bool offered = kind == ops::BatchKind::CheckIns ? bool(operations.checkIn) : bool(operations.settleUtility);
    if (!offered) {
        err << kFailed << QStringLiteral("这个版本的程序还不能办理这种批量操作。") << Qt::endl;
        return 1;
    }
    ops::Batch batch = ops::makeBatch(kind, ops::readSheet(file), operations);
    if (!batch.problem.isEmpty()) {
        err << kFailed << batch.problem << Qt::endl;
        return 1;
    }
    try {
        Connection connection;
        connection.Open(programConnectionString());
        ops::preview(connection, batch);
        if (batch.refused() > 0) {
            for (const ops::BatchRow &row : batch.rows) {
                if (!row.outcome.done)
                    out << rowLine(row.line, row.outcome.message) << Qt::endl;
            }
            out << ops::summaryText(batch) << kNothingWritten << Qt::endl;
            return 1;
        }
        if (checkOnly) {
            out << QStringLiteral("检查了 %1 行，都可以导入。").arg(batch.rows.size()) << Qt::endl;
            return 0;
        }
        const ops::ImportResult result = ops::importBatch(connection, batch);
        switch (result.status) {
        case ops::ImportResult::Status::Imported:
            out << QStringLiteral("导入了 %1 行。").arg(result.imported) << Qt::endl;
            return 0;
        case ops::ImportResult::Status::Refused:
            out << rowLine(result.line, result.message) << Qt::endl << kNothingWritten << Qt::endl;
            return 1;
        case ops::ImportResult::Status::Failed:
        case ops::ImportResult::Status::Cancelled:
            err << kFailed << (result.line > 0 ? rowLine(result.line, result.message) : result.message)
                << kNothingWritten << Qt::endl;
            return 1;
        }
    } catch (const StoreError &error) {
        err << kFailed << error.message() << kNothingWritten << Qt::endl;
    }
    return 1;
}

} // namespace orv
