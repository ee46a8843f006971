#include "importcommand.h"

#include "data/connection.h"
#include "data/keyslots.h"
#include "data/passwordinput.h"
#include "data/pendingkeys.h"
#include "data/server/serverstore.h"
#include "data/storeerror.h"
#include "operations/permissions.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace orv {

namespace {

const QString kFailed = QStringLiteral("批量导入失败：");
const QString kNothingWritten = QStringLiteral("没有导入任何一行。");

QString rowLine(int line, const QString &message)
{
    return QStringLiteral("第%1行：%2").arg(line).arg(message);
}

// Opens the database of the current folder for a batch: the operator named must be allowed it.
QString openForBatch(Connection &connection, ops::BatchKind kind, const CommandOperator &who)
{
    return openForCommand(connection, who, QStringLiteral("操作员"), [kind](const Unlocked &unlocked) {
        const ops::Action action =
            kind == ops::BatchKind::CheckIns ? ops::Action::BatchCheckIn : ops::Action::BatchReadings;
        if (ops::isAllowed(unlocked.role, action))
            return QString();
        return QStringLiteral("操作员“%1”（%2）不能%3。")
            .arg(unlocked.name, roleName(unlocked.role), ops::actionName(action));
    });
}

} // namespace

QString openForCommand(Connection &connection, const CommandOperator &who, const QString &whom,
                       const std::function<QString(const Unlocked &)> &refusalFor)
{
    settlePendingKeyFiles(databaseFileName());
    const QString keysPath = KeySlots::pathFor(databaseFileName());
    if (!QFileInfo::exists(keysPath)) {
        if (!who.name.isEmpty())
            return QStringLiteral("这个数据库没有设置操作员，不用 --operator。");
        connection.Open(programConnectionString());
        return QString();
    }
    if (who.name.isEmpty() || !who.password)
        return QStringLiteral("这个数据库设置了操作员：请用 --operator 姓名 指明%1，密码写在标准输入的第一行。")
            .arg(whom);
    const KeySlots slots = KeySlots::load(keysPath);
    const Unlocked unlocked = slots.open(who.name, who.password());
    if (!unlocked.opened())
        return unlocked.refusal;
    if (QString refusal = refusalFor(unlocked); !refusal.isEmpty())
        return refusal;
    connection.openFile(databaseFileName(), unlocked.key);
    connection.setOperatorName(unlocked.name);
    return QString();
}

QString passwordFromStandardInput(const QString &name)
{
    return orv::passwordFromStandardInput(QStringLiteral("操作员“%1”的密码：").arg(name).toLocal8Bit().constData());
}

int runImportCommand(ops::BatchKind kind, const QString &file, bool checkOnly, const ops::BatchOperations &operations,
                     QTextStream &out, QTextStream &err, const CommandOperator &who, const QString &serverUri)
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
        QString operatorName = who.name;
        if (!serverUri.isEmpty()) {
            // The server's grants decide what its user may write.
            std::unique_ptr<server::ServerStore> store = server::ServerStore::open(serverUri);
            operatorName = store->server().userName();
            connection.openStore(std::move(store));
            connection.setOperatorName(operatorName);
        } else if (const QString refusal = openForBatch(connection, kind, who); !refusal.isEmpty()) {
            err << kFailed << refusal << kNothingWritten << Qt::endl;
            return 1;
        }
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
        // The log names the operator who ran it (nobody on a file without operators; the server's
        // user on a server) and the file.
        batch.operatorName = operatorName;
        batch.source = QFileInfo(file).fileName();
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
