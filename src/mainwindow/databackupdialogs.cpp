#include "databackupdialogs.h"

#include "convertdialog.h"
#include "data/backup.h"
#include "data/connection.h"
#include "data/filejob.h"
#include "data/privatefiles.h"
#include "fileprogress.h"
#include "kit/fileplaces.h"
#include "kit/messagebox.h"
#include "kit/unit.h"
#include "operations/desk.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>

#include <memory>
#include <optional>

namespace orv {

namespace {

const QString kFilter = QStringLiteral("数据库文件 (*.mdb);;所有文件 (*)");
const QString kSameDiskNote = QStringLiteral("这份备份和数据库在同一块磁盘上，磁盘坏了两份会一起丢失。\n"
                                             "请再备份一份到U盘、移动硬盘或另一台电脑上。");

// The wait cursor while the engine copies; restored however the copy ends.
class BusyCursor final {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// The key the open file is kept under: its own when it has operators, else none (the program's
// password).
const SecureKey &keyOf(const ops::Desk *desk)
{
    static const SecureKey none;
    return desk && desk->hasOperators() ? desk->key() : none;
}

QString quoted(const QString &path)
{
    QString inner = path;
    inner.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

} // namespace

QString backupDatabaseInteractively(QWidget *parent, Connection &connection, const ops::Desk *desk)
{
    const QString folder = proposedFolder(SavedFile::Backup);
    const QString proposed =
        QStringLiteral("OrvDb-%1.mdb").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString target =
        QFileDialog::getSaveFileName(parent, QStringLiteral("备份数据库"), QDir(folder).filePath(proposed), kFilter);
    if (target.isEmpty())
        return {};
    // Copied and checked beside the window; it takes the chosen name here, unless 取消 came first.
    auto staged = std::make_shared<std::optional<backup::StagedCopy>>();
    FileJob job(connection.filePath(), keyOf(desk),
                [staged, target](Connection &own, const SecureKey &key, const filecopy::Steps &steps) {
                    *staged = backup::stageBackup(own, target, key, &steps);
                });
    if (runWithProgress(parent, QStringLiteral("正在备份数据库…"), job, true) == FileJob::End::Stopped)
        return {};
    const bool written = runGuarded(parent, QStringLiteral("备份数据库失败！\n"), [&] {
        job.rethrow();
        (*staged)->commit();
    });
    staged->reset();
    if (!written)
        return {};
    rememberFolder(SavedFile::Backup, target);
    if (keyOf(desk).isNull())
        showSuccess(parent, QStringLiteral("数据库已备份到：\n%1").arg(QDir::toNativeSeparators(target)));
    else
        showSuccess(parent, QStringLiteral("数据库已备份到：\n%1\n它的密钥文件在它旁边：\n%2\n恢复时两个文件都要有。")
                                .arg(QDir::toNativeSeparators(target),
                                     QDir::toNativeSeparators(backup::keyFileBeside(target))));
    // Kept, not refused: a copy on the same disk still undoes a mistake, only not a dead disk.
    if (onSameDisk(target, connection.filePath()))
        showMessage(parent, kSameDiskNote);
    return target;
}

bool restoreDatabaseInteractively(QWidget *parent, Connection &connection, ops::Desk *desk,
                                  const std::function<void()> &beforeReplacing)
{
    // Where the backups went, else beside the database, where the copies made before a restore lie.
    QString folder = rememberedFolder(SavedFile::Backup);
    if (folder.isEmpty())
        folder = QFileInfo(connection.filePath()).absolutePath();
    const QString chosen = QFileDialog::getOpenFileName(parent, QStringLiteral("恢复数据库"), folder, kFilter);
    if (chosen.isEmpty())
        return false;
    const QString failed = QStringLiteral("恢复数据库失败，当前的数据库没有改变！\n");
    const QString keyFile = backup::keyFileBeside(chosen);
    SecureKey restoredKey;
    QString administrator;
    if (QFileInfo::exists(keyFile)) {
        // Only the backup's own 管理员 can open it: its key comes from its own key file.
        std::optional<KeySlots> slots;
        if (!runGuarded(parent, failed, [&] { slots.emplace(KeySlots::load(keyFile)); }))
            return false;
        OperatorDialog dialog(OperatorDialog::Kind::Administrator,
                              QStringLiteral("这份备份设置了操作员。请输入备份中一位管理员的姓名和密码："), parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        Unlocked unlocked;
        {
            BusyCursor busy;
            unlocked = slots->open(dialog.name(), dialog.password());
        }
        if (!unlocked.opened()) {
            showMessage(parent, failed + unlocked.refusal);
            return false;
        }
        if (unlocked.role != Role::Administrator) {
            showMessage(parent, failed + QStringLiteral("只有备份中的管理员才能用它恢复数据库。"));
            return false;
        }
        restoredKey = std::move(unlocked.key);
        administrator = unlocked.name;
    }
    FileJob check(QString(), restoredKey, [chosen](Connection &, const SecureKey &key, const filecopy::Steps &steps) {
        backup::verify(chosen, key, &steps);
    });
    const QString working = QStringLiteral("正在恢复数据库…");
    if (runWithProgress(parent, working, check, false) == FileJob::End::Stopped)
        return false;
    try {
        check.rethrow();
    } catch (const StoreError &error) {
        // A backup of a file with operators cannot be told from a foreign file without its key file.
        const QString hint = restoredKey.isNull()
                                 ? QStringLiteral("\n\n如果这是设置了操作员的数据库的备份，请把备份时一起保存的密钥文件"
                                                  "“%1”放在它旁边再试。")
                                       .arg(QDir::toNativeSeparators(keyFile))
                                 : QString();
        showMessage(parent, failed + error.message() + hint);
        return false;
    }
    const QFileInfo info(chosen);
    const QString question =
        QStringLiteral("要用备份“%1”（%2）替换当前的数据库吗？\n\n当前的数据会先保存为同一文件夹中的"
                       "“OrvDb-before-restore-…”文件。")
            .arg(QDir::toNativeSeparators(info.absoluteFilePath()),
                 info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    if (showMessage(parent, question, MessageButtons::OkCancel) != MessageAnswer::Ok)
        return false;
    if (beforeReplacing)
        beforeReplacing();
    // The copies and checks change nothing: they run beside the window and 取消 drops them. Only
    // putting the copy in place needs the program's connection, on the window's thread.
    auto prepared = std::make_shared<std::optional<backup::PreparedRestore>>();
    const QDateTime now = QDateTime::currentDateTime();
    FileJob job(
        connection.filePath(), keyOf(desk),
        [prepared, chosen, now, &restoredKey](Connection &own, const SecureKey &liveKey, const filecopy::Steps &steps) {
            *prepared = backup::prepareRestore(own, chosen, now, liveKey, restoredKey, &steps);
        });
    if (runWithProgress(parent, working, job, false) == FileJob::End::Stopped)
        return false;
    QString kept;
    if (!runGuarded(parent, failed, [&] {
            job.rethrow();
            BusyCursor busy;
            const PaintedWait wait(parent, working);
            kept = backup::completeRestore(connection, **prepared, keyOf(desk), restoredKey, wait.steps());
        }))
        return false;
    prepared->reset();
    if (desk && !restoredKey.isNull()) {
        const QString keys = KeySlots::pathFor(connection.filePath());
        runGuarded(parent, QStringLiteral("恢复后读取密钥文件失败！\n"), [&] {
            desk->signIn(KeySlots::load(keys), std::move(restoredKey),
                         ops::SignedIn{administrator, Role::Administrator, false});
        });
    }
    showSuccess(parent, QStringLiteral("数据库已恢复。原来的数据保存在：\n%1").arg(QDir::toNativeSeparators(kept)));
    return true;
}

void createBackupKeyInteractively(QWidget *parent, Connection &connection, ops::Desk &desk)
{
    if (!desk.slots() || desk.key().isNull())
        return;
    const QString keyFile = backup::scheduledKeyFile();
    const QString question =
        QStringLiteral(
            "要为定时备份写一个备份密钥文件吗？\n%1\n\n有了它，“orvane --backup”不用输入密码就能备份这个数据库，"
            "但不能做别的事。这个文件只有你自己能读，请不要把它和备份放在一起。已有的备份密钥文件会被替换。")
            .arg(QDir::toNativeSeparators(keyFile));
    if (showMessage(parent, question, MessageButtons::OkCancel) != MessageAnswer::Ok)
        return;
    const bool written = runGuarded(parent, QStringLiteral("写备份密钥文件失败！\n"), [&] {
        if (!makePrivateFolders(QFileInfo(keyFile).absolutePath()))
            throw StoreError(kKeySlotRefused, QStringLiteral("无法创建文件夹“%1”。")
                                                  .arg(QDir::toNativeSeparators(QFileInfo(keyFile).absolutePath())));
        desk.slots()->addBackupSlot(desk.key(), keyFile);
    });
    if (!written)
        return;
    const QString home = QFileInfo(connection.filePath()).absolutePath();
    const QString command =
        QStringLiteral("orvane --directory %1 --backup %2")
            .arg(quoted(home),
                 quoted(QDir(backup::backupsFolder(connection.filePath())).filePath(QStringLiteral("OrvDb-定时.mdb"))));
    showSuccess(
        parent,
        QStringLiteral("备份密钥文件已写好：\n%1\n\n定时备份的命令（例如每天两点，写进 crontab -e）：\n0 2 * * * %2")
            .arg(QDir::toNativeSeparators(keyFile), command));
}

} // namespace orv
