#pragma once

#include <QString>

namespace orv {

// What the program makes holds the dormitory's residents: folders and files it creates are for
// their owner alone, whatever the umask. What exists already keeps the mode it has.

// Makes the folder and any missing parents, each new one with mode 0700. Returns false when one
// could not be made or the path names something that is not a folder.
bool makePrivateFolders(const QString &path);

} // namespace orv
