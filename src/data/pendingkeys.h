#pragma once

#include <QString>

namespace orv {

// A key file that must take its place only together with a new database file renamed over the
// old one (protecting an old file, restoring a backup under another key). Written before the
// rename, it waits under a name that says which file it opens; once the new file is in place it is
// renamed to "NAME.keys". A program stopped between the two renames leaves either the old file with
// its old key file, or the new file with the key file waiting, which the next start puts in place:
// never a key file that does not open its database.
class PendingKeyFile final {
public:
    // For the file at `stagedDatabase`, complete and closed, that is to become `database`.
    PendingKeyFile(const QString &database, const QString &stagedDatabase);
    // Removes the waiting file unless it was put in place.
    ~PendingKeyFile();
    PendingKeyFile(const PendingKeyFile &) = delete;
    PendingKeyFile &operator=(const PendingKeyFile &) = delete;

    // Where the key file is to be written meanwhile.
    const QString &path() const noexcept { return m_path; }
    // Renames the waiting file over the database's key file, once the new database is in place.
    // Raises StoreError when it cannot, leaving the waiting file for the next start.
    void putInPlace();

private:
    QString m_path;
    QString m_keys;
};

// Puts in place a key file left waiting for `database` by a program stopped between the two
// renames. One waiting for a file that never took the database's place is left where it is: it
// opens nothing, and the program making it may still be at work.
void settlePendingKeyFiles(const QString &database);

} // namespace orv
