#include "oplog.h"

#include "connection.h"
#include "storequery.h"

#include <algorithm>
#include <sodium.h>

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

// The highest id the log has ever given, kept by the engine beyond the rows themselves. A server
// keeps none: its ids are the last row's plus one (see append).
qint64 lastGiven(Connection &connection, const QString &what, StoreQuery::Keep keep)
{
    if (connection.isServer())
        return 0;
    StoreQuery given(connection, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'oplog'"), what, keep);
    return given.next() ? given.integer(0) : 0;
}

Verdict fault(Verdict::Fault kind, qint64 row, const QString &finding)
{
    return Verdict{kind, row, finding.arg(row)};
}

} // namespace

bool hasLog(Connection &connection)
{
    if (connection.isServer())
        return true;
    StoreQuery lookup(connection, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'oplog'"),
                      kReadFailure, StoreQuery::Keep::Once);
    return lookup.next();
}

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
    // On a server the id is the last row's plus one, read inside the unit: its isolation refuses a
    // second desk that read the same last row, and the unique index on id backs that up. A
    // sequence would leave gaps where units were rolled back, which the check reads as deleted rows.
    // The server's rows are read where the id's index finds the last at once (its view sorts them).
    StoreQuery last(connection,
                    QStringLiteral("SELECT id, hash FROM %1 ORDER BY id DESC LIMIT 1")
                        .arg(connection.numbered(QStringLiteral("oplog"))),
                    kWriteFailure);
    const bool any = last.next();
    const QString previous = any ? last.text(1) : kFirstPrevious;
    const qint64 highest = lastGiven(connection, kWriteFailure, StoreQuery::Keep::Kept);
    Row row;
    row.id = std::max<qint64>(any ? last.integer(0) : 0, highest) + 1;
    const QDateTime time = entry.time.isValid() ? entry.time : QDateTime::currentDateTime();
    row.time = time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    row.operatorName = stored(entry.operatorName);
    row.action = stored(entry.action);
    row.target = stored(entry.target);
    row.detail = stored(entry.detail);

    StoreQuery insert(connection,
                      QStringLiteral("INSERT INTO oplog (id, time, operator, action, target, "
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
    insert.run();
}

Verdict verify(Connection &connection)
{
    if (!connection.isOpen())
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
    if (!hasLog(connection))
        return {};
    StoreQuery rows(
        connection,
        QStringLiteral("SELECT id, time, operator, action, target, detail, prevhash, hash FROM oplog ORDER BY id"),
        kReadFailure, StoreQuery::Keep::Once);
    qint64 expected = 1;
    QString previous = kFirstPrevious;
    while (rows.next()) {
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
    if (lastGiven(connection, kReadFailure, StoreQuery::Keep::Once) >= expected)
        return fault(Verdict::Fault::Cut, expected, QStringLiteral("操作记录：从第 %1 条起的记录被删除了。"));
    return {};
}

} // namespace orv::oplog
