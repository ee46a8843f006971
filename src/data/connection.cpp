#include "connection.h"

#include "backend.h"
#include "recordset.h"
#include "schema.h"
#include "securekey.h"
#include "statement.h"
#include "statementpool.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace orv {

namespace {

// The provider part is a leftover of the file's Windows origins and is not read; the data source
// and the password are.
const QString kConnectionString = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=OrvDb.mdb;Jet OLEDB:DataBase Password=甲乙丙丁戊己庚辛壬癸子");

// How long a file held by another program is waited for, at start-up and for every write.
constexpr int kBusyMilliseconds = 5000;

const QStringList kTables = {
    QStringLiteral("floorinfo"), QStringLiteral("personinfo"), QStringLiteral("numinfo"), QStringLiteral("feiyong"),
    QStringLiteral("feiinfo"),   QStringLiteral("listfei"),    QStringLiteral("fangset"), QStringLiteral("fanglist"),
};

QString dataSourceOf(const QString &connectionString)
{
    const QString key = QStringLiteral("Data Source=");
    const auto from = connectionString.indexOf(key, 0, Qt::CaseInsensitive);
    if (from < 0)
        return QString();
    const auto start = from + key.size();
    const auto end = connectionString.indexOf(QLatin1Char(';'), start);
    return connectionString.mid(start, end < 0 ? -1 : end - start).trimmed();
}

QString passwordOf(const QString &connectionString)
{
    const QString key = QStringLiteral("Password=");
    const auto from = connectionString.indexOf(key, 0, Qt::CaseInsensitive);
    // The password is the string's whole tail: it has no closing semicolon.
    return from < 0 ? QString() : connectionString.mid(from + key.size());
}

// Where the file lies decides how it is opened and journalled.
struct Medium {
    bool writable = false; // the file and its folder: a journal or log can be made beside it
    bool network = false;  // another machine may open the file too
};

Medium mediumOf(const QString &path)
{
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    Medium medium;
    // access() answers for the user the program runs as, and says no on a read-only mount even to root.
    medium.writable = ::access(folder.constData(), W_OK) == 0 && ::access(file.constData(), W_OK) == 0;
    struct statfs fs {};
    if (::statfs(folder.constData(), &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x6969UL:     // NFS
        case 0x517BUL:     // SMB
        case 0xFE534D42UL: // SMB2
        case 0xFF534D42UL: // CIFS
        case 0x01021997UL: // 9p
        case 0x5346414FUL: // AFS
        case 0x00C36400UL: // Ceph
            medium.network = true;
            break;
        default:
            break;
        }
    }
    return medium;
}

// Whether the folder of an open file has run out of space: a full disk shows in some calls as a
// plain I/O error, which would send the user looking for a broken disk.
bool folderIsFull(sqlite3 *db)
{
    const char *file = db ? sqlite3_db_filename(db, "main") : nullptr;
    if (!file || !*file)
        return false;
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(file)).absolutePath());
    struct statvfs fs {};
    if (::statvfs(folder.constData(), &fs) != 0)
        return false;
    // Root may still write into the reserved blocks; everyone else only into the available ones.
    const auto blocks = ::geteuid() == 0 ? fs.f_bfree : fs.f_bavail;
    return blocks * fs.f_frsize < 256UL * 1024UL;
}

// One desktop writer on a file of some tens of megabytes. Each setting is best-effort: a file on
// a full disk or busy in another program still opens, only without the setting.
void applyEngineSettings(sqlite3 *db, const Medium &medium)
{
    // What a hundred thousand residents' walks read stays decrypted in memory, so they do not
    // re-read it; no more, as a ten-year list scrolled through would fill any cache.
    sqlite3_exec(db, "PRAGMA cache_size = -10240", nullptr, nullptr, nullptr);
    if (!medium.writable)
        return; // nothing can be written: neither a log nor the indexes
    // While the program runs, a commit appends to a log beside the file instead of rewriting pages
    // twice, and lists read beside a write. The log's shared index is memory mapped between the
    // programs of one machine, so on a network file system the rollback journal stays; a file left
    // in log mode by an older version is switched back there.
    sqlite3_exec(db, medium.network ? "PRAGMA journal_mode = DELETE" : "PRAGMA journal_mode = WAL", nullptr, nullptr,
                 nullptr);
    // Every commit reaches the disk before the handler reports it: a check-in survives a power cut.
    sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    for (const QString &statement : schema::indexStatements())
        sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr);
}

// The names of the file's tables, read through the key: the first read shows a wrong key, a busy
// file or one that cannot be read. Returns the engine's code.
int listTables(sqlite3 *db, QStringList &found)
{
    found.clear();
    Statement check(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"));
    if (check.status() != SQLITE_OK)
        return check.status();
    int stepped = SQLITE_DONE;
    while ((stepped = check.step()) == SQLITE_ROW)
        found.append(check.text(0));
    const int finalized = check.finalize();
    return stepped != SQLITE_DONE ? stepped : finalized;
}

// A file descriptor closed when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

QString programConnectionString()
{
    return kConnectionString;
}
QString programPassword()
{
    return passwordOf(kConnectionString);
}
QString databaseFileName()
{
    return dataSourceOf(kConnectionString);
}
QStringList programTableNames()
{
    return kTables;
}

QString engineFaultCause(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库文件正被另一个程序（或本程序的另一个窗口）使用，等了几秒仍未空出。"
                              "请关闭那个程序或窗口，稍后再试。");
    case SQLITE_READONLY:
        return QStringLiteral("数据库文件或它所在的文件夹是只读的（例如在只读介质上），无法写入。"
                              "请把文件复制到可以写入的文件夹，或去掉只读属性后再试。");
    case SQLITE_CORRUPT:
        return QStringLiteral("数据库文件已损坏。请不要再往里写入，用备份的副本替换它。");
    case SQLITE_NOTADB:
        return QStringLiteral("数据库密码不匹配，或者文件不是本程序的数据库。");
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，数据库文件无法写入。请腾出磁盘空间后再试。");
    case SQLITE_IOERR:
        return QStringLiteral("读写数据库文件时磁盘出错。请检查磁盘或介质后再试。");
    case SQLITE_CANTOPEN:
        return QStringLiteral("数据库文件无法打开。请检查文件和它所在的文件夹是否可以访问。");
    default:
        return QString();
    }
}

void raiseEngineError(sqlite3 *db, int rc, const QString &what)
{
    const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const bool full = (rc & 0xff) == SQLITE_IOERR && folderIsFull(db);
    const QString cause = engineFaultCause(full ? SQLITE_FULL : rc);
    const QString said = cause.isEmpty() ? what : QStringLiteral("%1：%2").arg(what, cause);
    throw StoreError(static_cast<std::uint32_t>(rc), QStringLiteral("%1（数据库引擎：%2）").arg(said, detail));
}

void Connection::Closer::operator()(sqlite3 *db) const noexcept
{
    sqlite3_close_v2(db);
}

Connection::Connection() : m_statements(std::make_unique<store::StatementPool>()) {}

Connection::~Connection()
{
    // Recordsets normally end first; any left are closed and forget this connection, so they never
    // touch a closed handle or this object.
    for (Recordset *set : m_sets)
        set->forgetConnection(this);
    m_statements->clear();
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    putToRest();
}

void Connection::Open(const QString &connectionString)
{
    if (isOpen())
        throw StoreError(StoreCode::OpenObject, QStringLiteral("数据库连接已经打开。"));

    const QString source = dataSourceOf(connectionString);
    if (source.isEmpty())
        throw StoreError(SQLITE_CANTOPEN, QStringLiteral("连接字符串没有指明数据库文件。"));
    openFile(source, passwordOf(connectionString));
    m_connectionString = connectionString;
}

void Connection::openFile(const QString &path, const QString &password)
{
    const QByteArray key = password.toUtf8();
    openKeyed(path, key.constData(), static_cast<int>(key.size()));
}

void Connection::openFile(const QString &path, const SecureKey &key)
{
    if (key.isNull())
        throw StoreError(StoreCode::InvalidArgument, QStringLiteral("没有数据库密钥。"));
    const SecureBytes text = key.engineText();
    openKeyed(path, text.data(), static_cast<int>(text.size()));
}

Connection::Beside Connection::beside() const
{
    if (!m_db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("数据库连接没有打开。"));
    Beside source{filePath(), SecureBytes(m_key.size())};
    std::memcpy(source.key.data(), m_key.data(), m_key.size());
    return source;
}

void Connection::openBeside(const Beside &source)
{
    openKeyed(source.path, source.key.data(), static_cast<int>(source.key.size()), true);
}

void Connection::openKeyed(const QString &path, const void *key, int keySize, bool beside)
{
    if (isOpen())
        throw StoreError(StoreCode::OpenObject, QStringLiteral("数据库连接已经打开。"));
    if (path.isEmpty())
        throw StoreError(SQLITE_CANTOPEN, QStringLiteral("没有指明数据库文件。"));

    const Medium medium = mediumOf(path);
    sqlite3 *raw = nullptr;
    const QByteArray name = QFile::encodeName(path);
    // The connection is used from one thread only, so the engine's per-call locking is left out. A
    // file that cannot be written is opened read-only: a read-write open would find that out
    // only when it came to write, or report a hot journal it cannot roll back as "cannot open".
    const int access = medium.writable && !beside ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    int rc = sqlite3_open_v2(name.constData(), &raw, access | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<sqlite3, Closer> owner(raw);
    if (rc != SQLITE_OK) {
        if (!QFileInfo::exists(path))
            throw StoreError(static_cast<std::uint32_t>(rc),
                             QStringLiteral("当前目录中没有数据库文件“%1”。").arg(path));
        raiseEngineError(raw, rc, QStringLiteral("数据库文件“%1”无法打开").arg(path));
    }
    // Another program holding the file is waited for before anything is read, so a busy file is
    // told apart from a foreign one.
    sqlite3_busy_timeout(raw, kBusyMilliseconds);

    rc = sqlite3_key(raw, key, keySize);
    if (rc != SQLITE_OK)
        raiseEngineError(raw, rc, QStringLiteral("无法设置数据库密码"));

    // A wrong key only shows at the first read; a file without our tables is not ours either.
    QStringList found;
    rc = listTables(raw, found);
    if ((rc & 0xff) == SQLITE_CANTOPEN && !medium.writable) {
        // A file an older version left in log mode needs the log's shared index beside it, which a
        // read-only medium cannot hold. As the last resort the file is read as immutable: without
        // locks or log. Only here, since a program writing the file meanwhile would go unseen;
        // on a medium nothing can write, nothing does.
        owner.reset();
        raw = nullptr;
        const QByteArray uri =
            "file://" + QFile::encodeName(QFileInfo(path).absoluteFilePath()).toPercentEncoding("/") + "?immutable=1";
        const int reopened = sqlite3_open_v2(uri.constData(), &raw,
                                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
        owner.reset(raw);
        if (reopened == SQLITE_OK && sqlite3_key(raw, key, keySize) == SQLITE_OK)
            rc = listTables(raw, found);
        else
            rc = reopened != SQLITE_OK ? reopened : SQLITE_CANTOPEN;
    }
    const QString notOurs = QStringLiteral("数据库密码不匹配，或者文件“%1”不是本程序的数据库。").arg(path);
    // Only the engine's own verdict is reported as a wrong password; a busy, damaged or
    // unreadable file is named as such.
    if ((rc & 0xff) == SQLITE_NOTADB)
        throw StoreError(static_cast<std::uint32_t>(rc), notOurs);
    // What cannot be opened on a medium that cannot be written is named by that cause.
    if ((rc & 0xff) == SQLITE_CANTOPEN && !medium.writable)
        rc = SQLITE_READONLY;
    if (rc != SQLITE_OK)
        raiseEngineError(raw, rc, QStringLiteral("数据库文件“%1”无法读取").arg(path));
    for (const QString &table : kTables) {
        if (!found.contains(table))
            throw StoreError(SQLITE_NOTADB, notOurs);
    }

    SecureBytes kept(static_cast<std::size_t>(keySize));
    std::memcpy(kept.data(), key, kept.size());
    // A reader beside the program's connection keeps the engine's small default cache.
    if (!beside) {
        applyEngineSettings(raw, medium);
        if (medium.writable)
            schema::addOwnTables(raw);
    }
    m_key = std::move(kept);
    m_owner = std::move(owner);
    m_db = raw;
    m_connectionString.clear();
}

void Connection::openStore(std::unique_ptr<store::Backend> backend)
{
    if (isOpen())
        throw StoreError(StoreCode::OpenObject, QStringLiteral("数据库连接已经打开。"));
    m_backend = std::move(backend);
    m_connectionString.clear();
}

QString Connection::numbered(const QString &table) const
{
    return m_backend ? m_backend->numbered(table) : table;
}

void Connection::Close() noexcept
{
    if (m_backend) {
        closeRecordsets();
        m_backend.reset();
        ++m_epoch;
        return;
    }
    if (!m_db)
        return;
    closeRecordsets();
    // Finalized here, or the engine would keep the file open behind the close.
    m_statements->clear();
    putToRest();
    m_db = nullptr;
    m_owner.reset();
    m_key = SecureBytes();
    ++m_epoch;
}

void Connection::closeRecordsets() noexcept
{
    if (!isOpen())
        return;
    rollbackUnit();
    // A set left open would go on reading through statements of the closed file. Walked from the
    // end: a set closing may detach itself, which moves only the sets after it.
    for (auto i = m_sets.size(); i-- > 0;)
        m_sets[i]->closeWithConnection();
}

void Connection::contentReplaced() noexcept
{
    if (!m_db)
        return;
    ++m_epoch;
    m_statements->clear();
    if (sqlite3_db_readonly(m_db, "main") == 0) {
        for (const QString &statement : schema::indexStatements())
            sqlite3_exec(m_db, statement.toUtf8().constData(), nullptr, nullptr, nullptr);
        // A copy from before the kept settlement records gets their tables again.
        schema::addOwnTables(m_db);
    }
}

void Connection::putToRest() noexcept
{
    // At rest the file is one file in rollback-journal mode: a copy of it alone is whole, and it
    // opens on a read-only medium or a full disk, where a log's shared index cannot be made.
    // Leaving log mode needs the file to itself; while another program still has it open the
    // switch is refused at once (not waited for), and that program's close makes it.
    if (!m_db || sqlite3_db_readonly(m_db, "main") != 0)
        return;
    sqlite3_busy_timeout(m_db, 0);
    sqlite3_exec(m_db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
}

QString Connection::filePath() const
{
    const char *name = m_db ? sqlite3_db_filename(m_db, "main") : nullptr;
    return name ? QFile::decodeName(name) : QString();
}

void Connection::Create(const QString &path, const QString &password)
{
    const QByteArray key = password.toUtf8();
    createKeyed(path, key.constData(), static_cast<int>(key.size()));
}

void Connection::Create(const QString &path, const SecureKey &key)
{
    if (key.isNull())
        throw StoreError(StoreCode::InvalidArgument, QStringLiteral("没有数据库密钥。"));
    const SecureBytes text = key.engineText();
    createKeyed(path, text.data(), static_cast<int>(text.size()));
}

void Connection::createKeyed(const QString &path, const void *key, int keySize)
{
    if (QFileInfo::exists(path))
        throw StoreError(SQLITE_CANTOPEN, QStringLiteral("文件“%1”已经存在，不会覆盖它。").arg(path));
    const QByteArray name = QFile::encodeName(path);
    {
        // The file is made here, readable by its owner only whatever the umask; the engine then opens
        // it as an empty database, and gives its journal and log the same mode. O_EXCL keeps a file
        // or link that appeared meanwhile.
        Descriptor made{::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
        if (made.fd < 0 && errno == EEXIST)
            throw StoreError(SQLITE_CANTOPEN, QStringLiteral("文件“%1”已经存在，不会覆盖它。").arg(path));
        if (made.fd < 0 || ::fchmod(made.fd, 0600) != 0) {
            if (made.fd >= 0)
                QFile::remove(path);
            raiseEngineError(nullptr, SQLITE_CANTOPEN, QStringLiteral("无法创建数据库文件“%1”").arg(path));
        }
    }
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, Closer> owner(raw);
    if (rc != SQLITE_OK) {
        owner.reset();
        QFile::remove(path);
        raiseEngineError(nullptr, rc, QStringLiteral("无法创建数据库文件“%1”").arg(path));
    }
    sqlite3_key(raw, key, keySize);

    Connection creating;
    creating.m_db = raw;
    try {
        creating.execute(QStringLiteral("BEGIN"));
        for (const QString &statement : schema::creationStatements())
            creating.execute(statement);
        creating.execute(QStringLiteral("COMMIT"));
    } catch (...) {
        creating.m_db = nullptr;
        owner.reset();
        QFile::remove(path);
        throw;
    }
    creating.m_db = nullptr;
}

void Connection::execute(const QString &sql)
{
    if (m_backend) {
        m_backend->execute(sql);
        return;
    }
    if (!m_db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_exec(m_db, text.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raiseEngineError(m_db, rc, QStringLiteral("数据库语句执行失败"));
}

void Connection::beginUnit()
{
    if (m_backend) {
        m_backend->begin();
        ++m_unit;
        return;
    }
    if (!m_db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
    // The write lock is taken at the start, while the unit has read nothing: two windows on one
    // file then wait for each other up to the busy timeout. A lock asked for after a read would
    // be refused at once, since waiting could deadlock.
    int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    // A file that cannot be written still serves reading units; their writes fail by name.
    if ((rc & 0xff) == SQLITE_READONLY)
        rc = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raiseEngineError(m_db, rc, QStringLiteral("无法开始数据库操作"));
    ++m_unit;
}

std::uint64_t Connection::currentUnit() const noexcept
{
    return inUnit() ? m_unit : 0;
}

void Connection::commitUnit()
{
    settleCursors(false);
    if (m_backend)
        m_backend->commit();
    else
        execute(QStringLiteral("COMMIT"));
}

void Connection::rollbackUnit() noexcept
{
    if (!isOpen())
        return;
    // Walked from the end: settling may close a set, which detaches it and moves only the sets
    // after it.
    for (auto i = m_sets.size(); i-- > 0;)
        m_sets[i]->settle(true);
    if (m_backend)
        m_backend->rollback();
    else if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_statements->forgetTables();
    ++m_epoch;
}

bool Connection::inUnit() const noexcept
{
    if (m_backend)
        return m_backend->inUnit();
    return m_db && !sqlite3_get_autocommit(m_db);
}

void Connection::prepareWrite() noexcept
{
    // Outside a unit each write commits by itself, but SQLite defers that commit while any read
    // statement is still running; settling the cursors first makes the write durable at once.
    if (m_db && sqlite3_get_autocommit(m_db))
        settleCursors(false);
}

std::uint64_t Connection::version() const noexcept
{
    const auto changes = m_backend ? static_cast<std::uint32_t>(m_backend->changes())
                         : m_db    ? static_cast<std::uint32_t>(sqlite3_total_changes(m_db))
                                   : 0U;
    return (m_epoch << 32) | changes;
}

void Connection::attach(Recordset *set)
{
    m_sets.push_back(set);
}

void Connection::detach(Recordset *set) noexcept
{
    m_sets.erase(std::remove(m_sets.begin(), m_sets.end(), set), m_sets.end());
}

void Connection::settleCursors(bool rolledBack) noexcept
{
    for (Recordset *set : m_sets)
        set->settle(rolledBack);
}

Statement Connection::keptStatement(const QString &text, const QString &what)
{
    if (!m_db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
    Statement statement = m_statements->lend(m_db, text);
    if (!statement)
        raiseEngineError(m_db, statement.status(), what);
    return statement;
}

} // namespace orv
