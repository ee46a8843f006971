#pragma once

#include "operations/batch.h"

#include <QString>
#include <QStringList>

namespace orv {

// Where the program works: the folder that holds OrvDb.mdb and bgl.jpg.
struct StartOptions {
    QString directory; // empty: the current directory, untouched
    bool create = false;
};

// What the command line asks for: run the program, or print a text and end with a status.
struct CommandLine {
    bool run = true;
    int exitStatus = 0;
    QString output; // for standard output when the status is 0, for standard error otherwise
    StartOptions options;
    QString backupFile; // --backup: copy the database there instead of opening a window
    // --import-checkins / --import-readings: a batch from a spreadsheet instead of a window.
    QString importFile;
    ops::BatchKind importKind = ops::BatchKind::CheckIns;
    bool checkOnly = false; // --check: the preview alone, nothing written
    // --migrate-to URI: the folder's database onto an empty server database. --migrate-from URI
    // FILE: a server's database into a new file.
    QString migrateTo;
    QString migrateFrom;
    QString migrateFile;
    // --operator: who runs an import on a database with operators; the password comes on standard input.
    QString operatorName;
    // --server URI: the window and the commands work on that PostgreSQL database instead of the
    // folder's file. --file: the folder's file even when a server was chosen in the data menu.
    QString serverUri;
    bool localFile = false;
};

// Reads the arguments (the program name first). Needs no application object, so --help and
// --version work without a display.
CommandLine parseCommandLine(const QStringList &arguments);

// The user's own data folder of the program: $XDG_DATA_HOME/orvane, or ~/.local/share/orvane.
QString userDataDirectory();

// The start-up picture installed with the program, found beside the installed executable; empty
// when there is none (a build tree).
QString installedStartPicture();

// Makes the options' folder the current directory; with create, a missing folder is made. The
// database itself is made by the window's first start, which asks for its first 管理员. Returns an
// empty text on success, otherwise what went wrong.
QString enterWorkingDirectory(const StartOptions &options);

// True when the current folder has nothing named OrvDb.mdb; a dangling link counts as something,
// so it is never replaced.
bool databaseMissing();
// Copies the start-up picture into the current folder unless something is there by its name; the
// picture is optional, so a copy that fails is no failure.
void copyStartPicture(const QString &pictureSource);

} // namespace orv
