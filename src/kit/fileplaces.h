#pragma once

#include <QString>

class QObject;

namespace orv {

// The kinds of file the program writes for the user, each remembered apart: a backup folder is
// seldom where the exports go.
enum class SavedFile { Export, Pdf, Backup };

// The folder a file dialog opens in: the last one used for that kind, else the user's documents
// folder (made if the desktop names one that is not there yet), never the program's data folder.
QString proposedFolder(SavedFile kind);

// The last folder used for that kind, or empty when none is remembered or it has gone.
QString rememberedFolder(SavedFile kind);

// Remembers the folder of a file just written.
void rememberFolder(SavedFile kind, const QString &filePath);

// Tells the page that holds `inside` (a list, a button) that a file was written, for the main
// window's status line. Nothing happens outside a page.
void announceSaved(QObject *inside, const QString &sentence, const QString &filePath);

// Logs a list written out of the page that holds `inside`, as "导出" of the file's name, in a unit
// of its own after the file is written. Nothing is logged outside a page.
void logExported(QObject *inside, const QString &filePath, int rows);

// True when the two paths live on the same file system, so one failing disk takes both.
bool onSameDisk(const QString &path, const QString &otherPath);

} // namespace orv
