#pragma once

#include "roles.h"
#include "securekey.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <vector>

namespace orv {

// The refusals of the key slots' rules (a name used twice, the last 管理员, a wrong key) carry this
// code in their StoreError; a file that cannot be read or written carries the engine's.
constexpr std::uint32_t kKeySlotRefused = 0x80070005;

// What turning a password into a sealing key costs (Argon2id). Each slot keeps its own, so new
// passwords can be given a higher cost while older slots still open.
struct PasswordCost {
    std::uint64_t passes = 0;
    std::uint64_t memoryBytes = 0;
};
// The cost new passwords get: 3 passes over 128 MiB. Measured with bench/keyslot_bench.cpp on the
// office's shared 2-core machine: 0.46 to 0.49 s a sign-in at a light load, 0.6 to 0.7 s under a
// load of about 7, with a peak of 131 MiB. 256 MiB took 0.8 to 1.5 s; 64 MiB stayed near 0.2 s,
// cheaper for anyone guessing passwords against a copied key file.
PasswordCost defaultPasswordCost();

struct OperatorEntry {
    QString name;
    Role role = Role::Attendant;
};

// What opening a slot gives: the database key, or a refusal that does not say which part was wrong.
struct Unlocked {
    SecureKey key; // null when refused
    QString name;  // the operator who signed in; empty for the backup slot
    Role role = Role::Attendant;
    bool backupOnly = false; // opened with the backup key file: for taking copies, nothing else
    QString refusal;         // empty when opened
    bool opened() const noexcept { return !key.isNull(); }
};

// The key file beside a database: the database's key, sealed once for each operator under a key
// derived from the operator's password (with the name and role bound to it, so a role edited in the
// file no longer opens), and once for the unattended backup under a key file's 32 bytes. The key
// itself is never written anywhere. Every change takes the database key as the proof that its
// caller has signed in, writes the whole file anew in one step, and raises StoreError when it is
// refused or cannot be written; the slots in memory then stay as they were.
class KeySlots final {
public:
    // "NAME.keys" beside "NAME.mdb".
    static QString pathFor(const QString &databasePath);
    // Reads a key file; raises StoreError when it is missing, unreadable or not one of ours.
    static KeySlots load(const QString &path);
    // Writes a new key file whose first operator is the 管理员 `name`, holding `databaseKey`.
    // Refuses a file that exists already.
    static KeySlots create(const QString &path, const SecureKey &databaseKey, const QString &name,
                           const QString &password, PasswordCost cost = defaultPasswordCost());

    const QString &path() const noexcept { return m_path; }
    // The operators in the order they were added.
    QList<OperatorEntry> operators() const;
    bool hasBackupSlot() const noexcept;

    Unlocked open(const QString &name, const QString &password) const;
    // Opens the backup slot with the 32 bytes of the key file at `keyFilePath`.
    Unlocked openWithKeyFile(const QString &keyFilePath) const;

    void addOperator(const SecureKey &databaseKey, const QString &name, const QString &password, Role role,
                     PasswordCost cost = defaultPasswordCost());
    // Both rewrite only the operator's own slot; the database key stays the same.
    void changePassword(const SecureKey &databaseKey, const QString &name, const QString &newPassword,
                        PasswordCost cost = defaultPasswordCost());
    void changeRole(const SecureKey &databaseKey, const QString &name, Role role);
    // Refuses to remove the last 管理员.
    void removeOperator(const SecureKey &databaseKey, const QString &name);

    // Writes a new random key file at `keyFilePath` (mode 0600, replacing one there) and the backup
    // slot it opens, in place of an earlier one.
    void addBackupSlot(const SecureKey &databaseKey, const QString &keyFilePath);
    void removeBackupSlot(const SecureKey &databaseKey);

    // One slot as the file holds it; the sealed parts are ciphertext, never the key.
    struct Slot {
        bool backup = false;
        QString name;
        QString role; // as written, so that an edit shows when the slot is opened
        PasswordCost cost;
        QByteArray salt;
        QByteArray nonce;
        QByteArray sealed; // the database key, sealed under the password's key or the key file
        // The password's key, sealed under the database key: a 管理员 changes an operator's role
        // without knowing the operator's password.
        QByteArray escrowNonce;
        QByteArray escrow;
    };

private:
    explicit KeySlots(QString path);
    void requireKey(const SecureKey &databaseKey) const;
    std::vector<Slot>::const_iterator findOperator(const QString &name) const;
    // Refuses a name no operator has.
    std::vector<Slot>::const_iterator requireOperator(const QString &name) const;
    void save(std::vector<Slot> slots);

    QString m_path;
    QByteArray m_check; // keyed hash of the database key: tells a wrong key without holding it
    std::vector<Slot> m_slots;
};

// Makes a new database at `databasePath` keyed with a new random key, and its key file beside it
// whose first 管理员 is `name`; returns the key. Refuses when either file exists; on any failure
// neither is left.
SecureKey createKeyedDatabase(const QString &databasePath, const QString &name, const QString &password,
                              PasswordCost cost = defaultPasswordCost());

} // namespace orv
