#include "fileplaces.h"

#include "logrecorder.h"
#include "page.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>

namespace orv {

namespace {

QString settingsKey(SavedFile kind)
{
    switch (kind) {
    case SavedFile::Export:
        return QStringLiteral("folders/export");
    case SavedFile::Pdf:
        return QStringLiteral("folders/pdf");
    case SavedFile::Backup:
        return QStringLiteral("folders/backup");
    }
    return {};
}

QString documentsFolder()
{
    // QStandardPaths reads the desktop's user-dirs.dirs, so a renamed or translated folder is found.
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QDir().mkpath(documents))
        return QDir::homePath();
    return documents;
}

} // namespace

QString rememberedFolder(SavedFile kind)
{
    const QString folder = QSettings().value(settingsKey(kind)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

QString proposedFolder(SavedFile kind)
{
    const QString remembered = rememberedFolder(kind);
    return remembered.isEmpty() ? documentsFolder() : remembered;
}

void rememberFolder(SavedFile kind, const QString &filePath)
{
    QSettings().setValue(settingsKey(kind), QFileInfo(filePath).absolutePath());
}

void announceSaved(QObject *inside, const QString &sentence, const QString &filePath)
{
    for (QObject *object = inside; object; object = object->parent()) {
        if (auto *page = qobject_cast<Page *>(object)) {
            page->announce(sentence, filePath);
            return;
        }
    }
}

void logExported(QObject *inside, const QString &filePath, int rows)
{
    for (QObject *object = inside; object; object = object->parent()) {
        if (auto *recorder = dynamic_cast<LogRecorder *>(object)) {
            // The permission table's name for exporting; the kit sits below the operations.
            recorder->record(
                {{}, {}, QStringLiteral("导出"), QFileInfo(filePath).fileName(), QStringLiteral("%1 行").arg(rows)});
            return;
        }
    }
}

bool onSameDisk(const QString &path, const QString &otherPath)
{
    const QStorageInfo one(QFileInfo(path).absolutePath());
    const QStorageInfo other(QFileInfo(otherPath).absolutePath());
    return one.isValid() && other.isValid() && one.device() == other.device();
}

} // namespace orv
