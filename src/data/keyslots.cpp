#include "keyslots.h"

#include "connection.h"
#include "privatefiles.h"
#include "storeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <fcntl.h>
#include <sodium.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

namespace {

using Slot = KeySlots::Slot;

const QString kFormat = QStringLiteral("orvane-keys");
constexpr int kVersion = 1;
const QString kOperatorKind = QStringLiteral("operator");
const QString kBackupKind = QStringLiteral("backup");
const QString kDerivation = QStringLiteral("argon2id13");

constexpr std::size_t kSaltSize = crypto_pwhash_SALTBYTES;
constexpr std::size_t kNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kSealedSize = SecureKey::size + crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr std::size_t kCheckSize = 32;
constexpr qsizetype kLongestName = 32;
// A key file is a few hundred bytes an operator; anything far larger is not one of ours.
constexpr qint64 kLargestFile = qint64{1024} * 1024;
// Limits for costs read from a file, so an edited file cannot make a sign-in take hours or all memory.
constexpr std::uint64_t kMostPasses = 64;
constexpr std::uint64_t kMostMemory = 1024ULL * 1024 * 1024;

const QString kSignInRefused = QStringLiteral("操作员姓名或密码不正确。");

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void refuse(const QString &text)
{
    throw StoreError(kKeySlotRefused, text);
}

[[noreturn]] void damaged(const QString &path)
{
    throw StoreError(SQLITE_NOTADB,
                     QStringLiteral("密钥文件“%1”不是本程序的密钥文件，或者已经损坏。").arg(shown(path)));
}

bool costAllowed(PasswordCost cost)
{
    return cost.passes >= crypto_pwhash_OPSLIMIT_MIN && cost.passes <= kMostPasses &&
           cost.memoryBytes >= crypto_pwhash_MEMLIMIT_MIN && cost.memoryBytes <= kMostMemory;
}

QString checkedName(const QString &name)
{
    QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        refuse(QStringLiteral("操作员姓名不能为空。"));
    if (trimmed.size() > kLongestName)
        refuse(QStringLiteral("操作员姓名不能超过 %1 个字。").arg(kLongestName));
    return trimmed;
}

void checkNewPassword(const QString &password, PasswordCost cost)
{
    if (password.isEmpty())
        refuse(QStringLiteral("密码不能为空。"));
    if (!costAllowed(cost))
        refuse(QStringLiteral("密码计算的参数不在允许的范围内。"));
}

QByteArray randomBytes(std::size_t size)
{
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    randombytes_buf(bytes.data(), size);
    return bytes;
}

const unsigned char *bytesOf(const QByteArray &bytes)
{
    return reinterpret_cast<const unsigned char *>(bytes.constData());
}

// Each field behind its length, so that no two different lists of fields give the same bytes.
QByteArray framed(std::initializer_list<QByteArray> fields)
{
    QByteArray out;
    for (const QByteArray &field : fields) {
        const auto size = static_cast<std::uint32_t>(field.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(static_cast<char>((size >> shift) & 0xffU));
        out.append(field);
    }
    return out;
}

// What a slot's seal is bound to besides the key: its kind, its operator and the operator's role.
QByteArray sealedWith(const Slot &slot)
{
    return framed({QByteArrayLiteral("orvane-keyslot/1"), (slot.backup ? kBackupKind : kOperatorKind).toUtf8(),
                   slot.name.toUtf8(), slot.role.toUtf8()});
}

QByteArray escrowedWith(const Slot &slot)
{
    return framed({QByteArrayLiteral("orvane-escrow/1"), slot.name.toUtf8(), slot.salt});
}

QByteArray keyCheck(const SecureKey &key)
{
    static constexpr char label[] = "orvane-keycheck/1";
    QByteArray check(kCheckSize, '\0');
    crypto_generichash(reinterpret_cast<unsigned char *>(check.data()), kCheckSize,
                       reinterpret_cast<const unsigned char *>(label), sizeof label - 1, key.data(), SecureKey::size);
    return check;
}

void seal(const SecureKey &secret, const SecureKey &sealingKey, const QByteArray &boundTo, QByteArray &nonce,
          QByteArray &sealed)
{
    nonce = randomBytes(kNonceSize);
    sealed = QByteArray(kSealedSize, '\0');
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        reinterpret_cast<unsigned char *>(sealed.data()), &length, secret.data(), SecureKey::size, bytesOf(boundTo),
        static_cast<unsigned long long>(boundTo.size()), nullptr, bytesOf(nonce), sealingKey.data());
}

// The secret, or a null key when the sealing key, the sealed bytes or what they are bound to differ.
SecureKey unseal(const QByteArray &sealed, const QByteArray &nonce, const SecureKey &sealingKey,
                 const QByteArray &boundTo)
{
    SecureKey secret = SecureKey::zeroed();
    unsigned long long length = 0;
    const int rc = crypto_aead_xchacha20poly1305_ietf_decrypt(
        secret.data(), &length, nullptr, bytesOf(sealed), static_cast<unsigned long long>(sealed.size()),
        bytesOf(boundTo), static_cast<unsigned long long>(boundTo.size()), bytesOf(nonce), sealingKey.data());
    return rc == 0 && length == SecureKey::size ? std::move(secret) : SecureKey();
}

SecureKey derive(const QString &password, const QByteArray &salt, PasswordCost cost)
{
    SecureKey derived = SecureKey::zeroed();
    QByteArray text = password.toUtf8();
    const int rc = crypto_pwhash(derived.data(), SecureKey::size, text.constData(),
                                 static_cast<unsigned long long>(text.size()), bytesOf(salt), cost.passes,
                                 static_cast<std::size_t>(cost.memoryBytes), crypto_pwhash_ALG_ARGON2ID13);
    sodium_memzero(text.data(), static_cast<std::size_t>(text.size()));
    if (rc != 0)
        throw StoreError(SQLITE_NOMEM, QStringLiteral("内存不足，无法核对密码。请关闭其他程序后再试。"));
    return derived;
}

Slot operatorSlot(const SecureKey &databaseKey, const QString &name, const QString &role, const QString &password,
                  PasswordCost cost)
{
    Slot slot;
    slot.name = name;
    slot.role = role;
    slot.cost = cost;
    slot.salt = randomBytes(kSaltSize);
    const SecureKey sealingKey = derive(password, slot.salt, cost);
    seal(databaseKey, sealingKey, sealedWith(slot), slot.nonce, slot.sealed);
    seal(sealingKey, databaseKey, escrowedWith(slot), slot.escrowNonce, slot.escrow);
    return slot;
}

// The key file's 32 bytes; a null key when the file is missing or not exactly that long.
SecureKey readKeyFile(const QString &path)
{
    struct Descriptor {
        int fd = -1;
        ~Descriptor()
        {
            if (fd >= 0)
                ::close(fd);
        }
    };
    const Descriptor file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)};
    struct stat status {};
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size != static_cast<off_t>(SecureKey::size))
        return SecureKey();
    SecureKey secret = SecureKey::zeroed();
    std::size_t done = 0;
    while (done < SecureKey::size) {
        const ssize_t got = ::read(file.fd, secret.data() + done, SecureKey::size - done);
        if (got <= 0)
            return SecureKey();
        done += static_cast<std::size_t>(got);
    }
    return secret;
}

QString base64(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}

// A field's bytes, or an empty array when it is missing, not base64 or not `size` bytes long.
QByteArray bytesField(const QJsonObject &object, const QString &key, std::size_t size)
{
    const auto decoded = QByteArray::fromBase64Encoding(object.value(key).toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded && decoded.decoded.size() == static_cast<qsizetype>(size) ? decoded.decoded : QByteArray();
}

QJsonObject slotObject(const Slot &slot)
{
    QJsonObject object;
    if (slot.backup) {
        object.insert(QStringLiteral("kind"), kBackupKind);
    } else {
        object.insert(QStringLiteral("kind"), kOperatorKind);
        object.insert(QStringLiteral("name"), slot.name);
        object.insert(QStringLiteral("role"), slot.role);
        object.insert(QStringLiteral("derivation"), kDerivation);
        object.insert(QStringLiteral("passes"), static_cast<qint64>(slot.cost.passes));
        object.insert(QStringLiteral("memory"), static_cast<qint64>(slot.cost.memoryBytes));
        object.insert(QStringLiteral("salt"), base64(slot.salt));
        object.insert(QStringLiteral("escrowNonce"), base64(slot.escrowNonce));
        object.insert(QStringLiteral("escrow"), base64(slot.escrow));
    }
    object.insert(QStringLiteral("nonce"), base64(slot.nonce));
    object.insert(QStringLiteral("sealed"), base64(slot.sealed));
    return object;
}

// False when the object is not a whole slot of a kind this program knows.
bool readSlot(const QJsonObject &object, Slot &slot)
{
    const QString kind = object.value(QStringLiteral("kind")).toString();
    slot.backup = kind == kBackupKind;
    slot.nonce = bytesField(object, QStringLiteral("nonce"), kNonceSize);
    slot.sealed = bytesField(object, QStringLiteral("sealed"), kSealedSize);
    if (slot.nonce.isEmpty() || slot.sealed.isEmpty())
        return false;
    if (slot.backup)
        return true;
    slot.name = object.value(QStringLiteral("name")).toString();
    slot.role = object.value(QStringLiteral("role")).toString();
    slot.cost.passes = static_cast<std::uint64_t>(object.value(QStringLiteral("passes")).toInteger(-1));
    slot.cost.memoryBytes = static_cast<std::uint64_t>(object.value(QStringLiteral("memory")).toInteger(-1));
    slot.salt = bytesField(object, QStringLiteral("salt"), kSaltSize);
    slot.escrowNonce = bytesField(object, QStringLiteral("escrowNonce"), kNonceSize);
    slot.escrow = bytesField(object, QStringLiteral("escrow"), kSealedSize);
    return kind == kOperatorKind && object.value(QStringLiteral("derivation")).toString() == kDerivation &&
           !slot.name.isEmpty() && roleFromName(slot.role).has_value() && costAllowed(slot.cost) &&
           !slot.salt.isEmpty() && !slot.escrowNonce.isEmpty() && !slot.escrow.isEmpty();
}

int administrators(const std::vector<Slot> &slots)
{
    const QString administrator = roleName(Role::Administrator);
    return static_cast<int>(std::count_if(slots.begin(), slots.end(), [&administrator](const Slot &slot) {
        return !slot.backup && slot.role == administrator;
    }));
}

} // namespace

PasswordCost defaultPasswordCost()
{
    return PasswordCost{3, 128ULL * 1024 * 1024};
}

KeySlots::KeySlots(QString path) : m_path(std::move(path)) {}

QString KeySlots::pathFor(const QString &databasePath)
{
    const QFileInfo database(databasePath);
    return QDir(database.path()).filePath(database.completeBaseName() + QStringLiteral(".keys"));
}

KeySlots KeySlots::load(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        throw StoreError(SQLITE_CANTOPEN, QStringLiteral("没有密钥文件“%1”。").arg(shown(path)));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(SQLITE_CANTOPEN,
                         QStringLiteral("密钥文件“%1”无法读取：%2").arg(shown(path), file.errorString()));
    if (file.size() > kLargestFile)
        damaged(path);
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    const QJsonObject top = document.object();
    KeySlots slots(path);
    slots.m_check = bytesField(top, QStringLiteral("check"), kCheckSize);
    if (top.value(QStringLiteral("format")).toString() != kFormat ||
        top.value(QStringLiteral("version")).toInt() != kVersion || slots.m_check.isEmpty())
        damaged(path);
    const QJsonArray stored = top.value(QStringLiteral("slots")).toArray();
    for (const QJsonValue value : stored) {
        Slot slot;
        if (!readSlot(value.toObject(), slot))
            damaged(path);
        slots.m_slots.push_back(std::move(slot));
    }
    const auto backups =
        std::count_if(slots.m_slots.begin(), slots.m_slots.end(), [](const Slot &s) { return s.backup; });
    if (backups > 1)
        damaged(path);
    return slots;
}

KeySlots KeySlots::create(const QString &path, const SecureKey &databaseKey, const QString &name,
                          const QString &password, PasswordCost cost)
{
    if (QFileInfo::exists(path))
        throw StoreError(SQLITE_CANTOPEN, QStringLiteral("密钥文件“%1”已经存在，不会覆盖它。").arg(shown(path)));
    if (databaseKey.isNull())
        refuse(QStringLiteral("没有数据库密钥。"));
    const QString checked = checkedName(name);
    checkNewPassword(password, cost);
    KeySlots slots(path);
    slots.m_check = keyCheck(databaseKey);
    slots.save({operatorSlot(databaseKey, checked, roleName(Role::Administrator), password, cost)});
    return slots;
}

QList<OperatorEntry> KeySlots::operators() const
{
    QList<OperatorEntry> entries;
    for (const Slot &slot : m_slots) {
        if (!slot.backup)
            entries.append({slot.name, roleFromName(slot.role).value_or(Role::Attendant)});
    }
    return entries;
}

bool KeySlots::hasBackupSlot() const noexcept
{
    return std::any_of(m_slots.begin(), m_slots.end(), [](const Slot &slot) { return slot.backup; });
}

Unlocked KeySlots::open(const QString &name, const QString &password) const
{
    Unlocked result;
    result.refusal = kSignInRefused;
    const auto found = findOperator(name.trimmed());
    if (found == m_slots.end()) {
        // A derivation all the same, so the time a refusal takes does not tell that the name is unknown.
        const auto first = std::find_if(m_slots.begin(), m_slots.end(), [](const Slot &slot) { return !slot.backup; });
        derive(password, randomBytes(kSaltSize), first != m_slots.end() ? first->cost : defaultPasswordCost());
        return result;
    }
    const SecureKey sealingKey = derive(password, found->salt, found->cost);
    SecureKey key = unseal(found->sealed, found->nonce, sealingKey, sealedWith(*found));
    // A slot copied in from another database's key file opens, but to another key.
    if (key.isNull() || sodium_memcmp(keyCheck(key).constData(), m_check.constData(), kCheckSize) != 0)
        return result;
    result.key = std::move(key);
    result.name = found->name;
    result.role = roleFromName(found->role).value_or(Role::Attendant);
    result.refusal.clear();
    return result;
}

Unlocked KeySlots::openWithKeyFile(const QString &keyFilePath) const
{
    Unlocked result;
    result.refusal = QStringLiteral("备份密钥文件“%1”打不开这个数据库。").arg(shown(keyFilePath));
    const auto slot = std::find_if(m_slots.begin(), m_slots.end(), [](const Slot &s) { return s.backup; });
    const SecureKey secret = readKeyFile(keyFilePath);
    if (slot == m_slots.end() || secret.isNull())
        return result;
    SecureKey key = unseal(slot->sealed, slot->nonce, secret, sealedWith(*slot));
    if (key.isNull() || sodium_memcmp(keyCheck(key).constData(), m_check.constData(), kCheckSize) != 0)
        return result;
    result.key = std::move(key);
    result.backupOnly = true;
    result.refusal.clear();
    return result;
}

void KeySlots::addOperator(const SecureKey &databaseKey, const QString &name, const QString &password, Role role,
                           PasswordCost cost)
{
    requireKey(databaseKey);
    const QString checked = checkedName(name);
    if (findOperator(checked) != m_slots.end())
        refuse(QStringLiteral("已经有名为“%1”的操作员。").arg(checked));
    checkNewPassword(password, cost);
    std::vector<Slot> next = m_slots;
    next.push_back(operatorSlot(databaseKey, checked, roleName(role), password, cost));
    save(std::move(next));
}

void KeySlots::changePassword(const SecureKey &databaseKey, const QString &name, const QString &newPassword,
                              PasswordCost cost)
{
    requireKey(databaseKey);
    const auto found = requireOperator(name);
    checkNewPassword(newPassword, cost);
    std::vector<Slot> next = m_slots;
    Slot &slot = next[static_cast<std::size_t>(found - m_slots.begin())];
    slot = operatorSlot(databaseKey, slot.name, slot.role, newPassword, cost);
    save(std::move(next));
}

void KeySlots::changeRole(const SecureKey &databaseKey, const QString &name, Role role)
{
    requireKey(databaseKey);
    const auto found = requireOperator(name);
    if (found->role == roleName(role))
        return;
    if (found->role == roleName(Role::Administrator) && administrators(m_slots) == 1)
        refuse(
            QStringLiteral("“%1”是最后一个管理员，不能改为值班员：至少要留一个管理员来管理操作员。").arg(found->name));
    const SecureKey sealingKey = unseal(found->escrow, found->escrowNonce, databaseKey, escrowedWith(*found));
    if (sealingKey.isNull())
        refuse(QStringLiteral("操作员“%1”的密钥记录已经损坏，请删除后重新添加这个操作员。").arg(found->name));
    std::vector<Slot> next = m_slots;
    Slot &slot = next[static_cast<std::size_t>(found - m_slots.begin())];
    slot.role = roleName(role);
    seal(databaseKey, sealingKey, sealedWith(slot), slot.nonce, slot.sealed);
    save(std::move(next));
}

void KeySlots::removeOperator(const SecureKey &databaseKey, const QString &name)
{
    requireKey(databaseKey);
    const auto found = requireOperator(name);
    if (found->role == roleName(Role::Administrator) && administrators(m_slots) == 1)
        refuse(QStringLiteral("“%1”是最后一个管理员，不能删除：至少要留一个管理员来管理操作员。").arg(found->name));
    std::vector<Slot> next = m_slots;
    next.erase(next.begin() + (found - m_slots.begin()));
    save(std::move(next));
}

void KeySlots::addBackupSlot(const SecureKey &databaseKey, const QString &keyFilePath)
{
    requireKey(databaseKey);
    const SecureKey secret = SecureKey::random();
    if (!writePrivateFile(keyFilePath, secret.data(), SecureKey::size))
        throw StoreError(SQLITE_CANTOPEN, QStringLiteral("无法写入备份密钥文件“%1”。").arg(shown(keyFilePath)));
    Slot slot;
    slot.backup = true;
    seal(databaseKey, secret, sealedWith(slot), slot.nonce, slot.sealed);
    std::vector<Slot> next;
    std::copy_if(m_slots.begin(), m_slots.end(), std::back_inserter(next), [](const Slot &s) { return !s.backup; });
    next.push_back(std::move(slot));
    save(std::move(next));
}

void KeySlots::removeBackupSlot(const SecureKey &databaseKey)
{
    requireKey(databaseKey);
    std::vector<Slot> next;
    std::copy_if(m_slots.begin(), m_slots.end(), std::back_inserter(next), [](const Slot &s) { return !s.backup; });
    save(std::move(next));
}

void KeySlots::requireKey(const SecureKey &databaseKey) const
{
    if (databaseKey.isNull() || sodium_memcmp(keyCheck(databaseKey).constData(), m_check.constData(), kCheckSize) != 0)
        refuse(QStringLiteral("数据库密钥与密钥文件“%1”不符。").arg(shown(m_path)));
}

std::vector<KeySlots::Slot>::const_iterator KeySlots::findOperator(const QString &name) const
{
    return std::find_if(m_slots.begin(), m_slots.end(),
                        [&name](const Slot &slot) { return !slot.backup && slot.name == name; });
}

std::vector<KeySlots::Slot>::const_iterator KeySlots::requireOperator(const QString &name) const
{
    const auto found = findOperator(name.trimmed());
    if (found == m_slots.end())
        refuse(QStringLiteral("没有名为“%1”的操作员。").arg(name.trimmed()));
    return found;
}

void KeySlots::save(std::vector<Slot> slots)
{
    QJsonArray written;
    for (const Slot &slot : slots)
        written.append(slotObject(slot));
    const QJsonObject top{{QStringLiteral("format"), kFormat},
                          {QStringLiteral("version"), kVersion},
                          {QStringLiteral("check"), base64(m_check)},
                          {QStringLiteral("slots"), written}};
    const QByteArray text = QJsonDocument(top).toJson(QJsonDocument::Indented);
    if (!writePrivateFile(m_path, text.constData(), static_cast<std::size_t>(text.size())))
        throw StoreError(SQLITE_CANTOPEN, QStringLiteral("无法写入密钥文件“%1”。").arg(shown(m_path)));
    m_slots = std::move(slots);
}

SecureKey createKeyedDatabase(const QString &databasePath, const QString &name, const QString &password,
                              PasswordCost cost)
{
    const QString keysPath = KeySlots::pathFor(databasePath);
    if (QFileInfo::exists(keysPath))
        throw StoreError(SQLITE_CANTOPEN, QStringLiteral("密钥文件“%1”已经存在，不会覆盖它。").arg(shown(keysPath)));
    checkedName(name);
    checkNewPassword(password, cost);
    SecureKey key = SecureKey::random();
    Connection::Create(databasePath, key);
    try {
        KeySlots::create(keysPath, key, name, password, cost);
    } catch (...) {
        QFile::remove(databasePath);
        throw;
    }
    return key;
}

} // namespace orv
