#include "databackupdialogs.h"

#include "data/backup.h"
#include "data/connection.h"
#include "kit/fileplaces.h"
#include "kit/messagebox.h"
#include "kit/unit.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>

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

} // namespace

QString backupDatabaseInteractively(QWidget *parent, Connection &connection)
{
    const QString folder = proposedFolder(SavedFile::Backup);
    const QString proposed =
        QStringLiteral("OrvDb-%1.mdb").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString target =
        QFileDialog::getSaveFileName(parent, QStringLiteral("备份数据库"), QDir(folder).filePath(proposed), kFilter);
    if (target.isEmpty())
        return {};
    const bool written = runGuarded(parent, QStringLiteral("备份数据库失败！\n"), [&] {
        BusyCursor busy;
        backup::backupTo(connection, target);
    });
    if (!written)
        return {};
    rememberFolder(SavedFile::Backup, target);
    showSuccess(parent, QStringLiteral("数据库已备份到：\n%1").arg(QDir::toNativeSeparators(target)));
    // Kept, not refused: a copy on the same disk still undoes a mistake, only not a dead disk.
    if (onSameDisk(target, connection.filePath()))
        showMessage(parent, kSameDiskNote);
    return target;
}

bool restoreDatabaseInteractively(QWidget *parent, Connection &connection)
{
    // Where the backups went, else beside the database, where the copies made before a restore lie.
    QString folder = rememberedFolder(SavedFile::Backup);
    if (folder.isEmpty())
        folder = QFileInfo(connection.filePath()).absolutePath();
    const QString chosen = QFileDialog::getOpenFileName(parent, QStringLiteral("恢复数据库"), folder, kFilter);
    if (chosen.isEmpty())
        return false;
    const QString failed = QStringLiteral("恢复数据库失败，当前的数据库没有改变！\n");
    if (!runGuarded(parent, failed, [&] {
            BusyCursor busy;
            backup::verify(chosen);
        }))
        return false;
    const QFileInfo info(chosen);
    const QString question =
        QStringLiteral("要用备份“%1”（%2）替换当前的数据库吗？\n\n当前的数据会先保存为同一文件夹中的"
                       "“OrvDb-before-restore-…”文件。")
            .arg(QDir::toNativeSeparators(info.absoluteFilePath()),
                 info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    if (showMessage(parent, question, MessageButtons::OkCancel) != MessageAnswer::Ok)
        return false;
    QString kept;
    if (!runGuarded(parent, failed, [&] {
            BusyCursor busy;
            kept = backup::restoreFrom(connection, chosen, QDateTime::currentDateTime());
        }))
        return false;
    showSuccess(parent, QStringLiteral("数据库已恢复。原来的数据保存在：\n%1").arg(QDir::toNativeSeparators(kept)));
    return true;
}

} // namespace orv
