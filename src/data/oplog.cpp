#include "oplog.h"

#include "connection.h"
#include "statement.h"

#include <algorithm>
#include <sodium.h>
#include <sqlite3.h>

namespace orv::oplog {

namespace {

const QString kWriteFailure = QStringLiteral("无法写入操作记录");
const QString kReadFailure = QStringLiteral("无法读取操作记录");
// The first row follows a hash of zeros.
const QString kFirstPrevious = QString(qsizetype{2} * crypto_generichash_BYTES, QLatin1Char('0'));

struct Row {
    qint64 id = 0;
    QString time;
    QString operatorName;
    QString action;
    QString target;
    QString detail;
};

void add(crypto_generichash_state &state, const QByteArray &field)
{
    // Each field behind its length, so that moving text from one field to the next changes the hash.
    const auto size = static_cast<std::uint64_t>(field.size());
    unsigned char length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = static_cast<unsigned char>((size >> (8 * (7 - i))) & 0xffU);
    crypto_generichash_update(&state, length, sizeof length);
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char *>(field.constData()),
                              static_cast<unsigned long long>(field.size()));
}

QString hashOf(const QString &previous, const Row &row)
{
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES);
    add(state, QByteArrayLiteral("orvane-oplog/1"));
    add(state, previous.toLatin1());
    add(state, QByteArray::number(row.id));
    for (const QString *field : {&row.time, &row.operatorName, &row.action, &row.target, &row.detail})
        add(state, field->toUtf8());
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash_final(&state, digest, sizeof digest);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex());
}

// A field as it reads back: the engine's text ends at a NUL, so one typed into a form would leave a
// row whose hash no longer matches what the check reads.
QString stored(QString field)
{
    return field.replace(QChar(0), QChar(0xFFFD));
}

bool hasLog(sqlite3 *db)
{
    Statement lookup = Statement::prepared(
        db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'oplog'"), kReadFailure);
    return lookup.next(kReadFailure);
}

// The highest id the log has ever given, kept by the engine beyond the rows themselves.
qint64 lastGiven(sqlite3 *db)
{
    Statement given =
        Statement::prepared(db, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'oplog'"), kReadFailure);
    return given.next(kReadFailure) ? given.integer(0) : 0;
}

Verdict fault(Verdict::Fault kind, qint64 row, const QString &finding)
{
    return Verdict{kind, row, finding.arg(row)};
}

} // namespace

QString creationStatement()
{
    // AUTOINCREMENT keeps the highest id given in sqlite_sequence, which shows rows cut off the end.
    return QStringLiteral("CREATE TABLE IF NOT EXISTS oplog (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, "
                          "operator TEXT NOT NULL, action TEXT NOT NULL, target TEXT NOT NULL, "
                          "detail TEXT NOT NULL, prevhash TEXT NOT NULL, hash TEXT NOT NULL)");
}

void append(Connection &connection, const Entry &entry)
{
    if (!connection.inUnit())
        throw StoreError(StoreCode::InvalidArgument, QStringLiteral("操作记录只能和它记下的修改一起写入。"));
    Statement last =
        connection.keptStatement(QStringLiteral("SELECT id, hash FROM oplog ORDER BY id DESC LIMIT 1"), kWriteFailure);
    const bool any = last.next(kWriteFailure);
    const QString previous = any ? last.text(1) : kFirstPrevious;
    Statement given =
        connection.keptStatement(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'oplog'"), kWriteFailure);
    const qint64 highest = given.next(kWriteFailure) ? given.integer(0) : 0;
    Row row;
    row.id = std::max<qint64>(any ? last.integer(0) : 0, highest) + 1;
    const QDateTime time = entry.time.isValid() ? entry.time : QDateTime::currentDateTime();
    row.time = time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    row.operatorName = stored(entry.operatorName);
    row.action = stored(entry.action);
    row.target = stored(entry.target);
    row.detail = stored(entry.detail);

    Statement insert =
        connection.keptStatement(QStringLiteral("INSERT INTO oplog (id, time, operator, action, target, "
                                                "detail, prevhash, hash) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"),
                                 kWriteFailure);
    insert.bind(1, static_cast<std::int64_t>(row.id))
        .bind(2, row.time)
        .bind(3, row.operatorName)
        .bind(4, row.action)
        .bind(5, row.target)
        .bind(6, row.detail)
        .bind(7, previous)
        .bind(8, hashOf(previous, row));
    insert.run(kWriteFailure);
}

Verdict verify(Connection &connection)
{
    sqlite3 *db = connection.handle();
    if (!db)
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
    if (!hasLog(db))
        return {};
    Statement rows = Statement::prepared(
        db, QStringLiteral("SELECT id, time, operator, action, target, detail, prevhash, hash FROM oplog ORDER BY id"),
        kReadFailure);
    qint64 expected = 1;
    QString previous = kFirstPrevious;
    while (rows.next(kReadFailure)) {
        Row row;
        row.id = rows.integer(0);
        row.time = rows.text(1);
        row.operatorName = rows.text(2);
        row.action = rows.text(3);
        row.target = rows.text(4);
        row.detail = rows.text(5);
        // Ids are given one after another and never again, so a gap is where rows were taken out.
        if (row.id > expected)
            return fault(Verdict::Fault::Deleted, expected, QStringLiteral("操作记录：第 %1 条记录被删除了。"));
        const QString hash = rows.text(7);
        if (row.id < expected || rows.text(6) != previous || hashOf(previous, row) != hash)
            return fault(Verdict::Fault::Edited, row.id, QStringLiteral("操作记录：第 %1 条记录在写入后被改动过。"));
        previous = hash;
        ++expected;
    }
    if (lastGiven(db) >= expected)
        return fault(Verdict::Fault::Cut, expected, QStringLiteral("操作记录：从第 %1 条起的记录被删除了。"));
    return {};
}

} // namespace orv::oplog
