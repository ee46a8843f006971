#pragma once

#include <QString>

#include <cstddef>

namespace orv {

// What the program makes holds the dormitory's residents: folders and files it creates are for
// their owner alone, whatever the umask. What exists already keeps the mode it has.

// Makes the folder and any missing parents, each new one with mode 0700. Returns false when one
// could not be made or the path names something that is not a folder.
bool makePrivateFolders(const QString &path);

// Replaces the file at `path` by `size` bytes in one step: written beside it under a temporary name,
// flushed to the disk and renamed over it, so a crash leaves the old content or the new, never a
// part. The file has mode 0600 even where it replaces one that had another. Returns false, leaving
// what was there, when it cannot be written.
bool writePrivateFile(const QString &path, const void *data, std::size_t size);

} // namespace orv
