#include "migration.h"

#include "data/columns.h"
#include "data/connection.h"
#include "data/statement.h"
#include "serverconnection.h"
#include "serverroles.h"
#include "serverschema.h"

#include <algorithm>

namespace orv::server {

namespace {

const QString kReadFile = QStringLiteral("读取数据库文件失败");
const QString kWriteFile = QStringLiteral("写入数据库文件失败");
const QString kCopyToServer = QStringLiteral("把数据写入服务器失败");
const QString kReadServer = QStringLiteral("从服务器读取数据失败");
const QString kOplog = QStringLiteral("oplog");

bool fileHasTable(Connection &file, const QString &table)
{
    Statement lookup = Statement::prepared(
        file.handle(), QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"), kReadFile);
    lookup.bind(1, table);
    return lookup.next(kReadFile);
}

qint64 fileCount(Connection &file, const QString &table)
{
    Statement count =
        Statement::prepared(file.handle(), QStringLiteral("SELECT count(*) FROM %1").arg(table), kReadFile);
    return count.next(kReadFile) ? count.integer(0) : 0;
}

// The highest log number ever given in the file, which is above its last row where rows were cut off.
qint64 fileLogSequence(Connection &file)
{
    if (!fileHasTable(file, QStringLiteral("sqlite_sequence")))
        return 0;
    Statement given = Statement::prepared(
        file.handle(), QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'oplog'"), kReadFile);
    return given.next(kReadFile) ? given.integer(0) : 0;
}

// A value of the file as the server's COPY reads it: numbers in full, a single with the nine
// digits that bring back the same single.
QByteArray fileField(const Statement &row, int column, Kind kind)
{
    if (row.isNull(column))
        return QByteArrayLiteral("\\N");
    switch (kind) {
    case Kind::Text:
        return copyField(row.text(column));
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64:
        return QByteArray::number(static_cast<qlonglong>(row.integer(column)));
    case Kind::Single:
        return QByteArray::number(static_cast<double>(static_cast<float>(row.real(column))), 'g', 9);
    case Kind::Double:
        return QByteArray::number(row.real(column), 'g', 17);
    }
    return QByteArrayLiteral("\\N");
}

qint64 serverCount(ServerConnection &server, const QString &table)
{
    return server.value(QStringLiteral("SELECT count(*) FROM %1").arg(rowsTable(table)), {}, kReadServer).toLongLong();
}

QString countsDiffer(const QString &table, qint64 file, qint64 server)
{
    return QStringLiteral("表 %1：数据库文件中有 %2 行，服务器上有 %3 行。").arg(table).arg(file).arg(server);
}

// Copies one table of the file; returns the rows copied.
qint64 copyTable(Connection &file, ServerConnection &server, const TableDef &table)
{
    QStringList columns;
    for (const QString &name : table.columnNames())
        columns.append(quoted(name));
    Statement rows = Statement::prepared(
        file.handle(),
        QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid").arg(columns.join(QStringLiteral(", ")), table.name),
        kReadFile);
    QByteArray data;
    qint64 copied = 0;
    qint64 highest = 0;
    while (rows.next(kReadFile)) {
        highest = std::max<qint64>(highest, rows.integer(0));
        data += QByteArray::number(static_cast<qlonglong>(rows.integer(0)));
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            data += '\t';
            data += fileField(rows, static_cast<int>(i) + 1, table.columns[i].kind);
        }
        data += '\n';
        ++copied;
    }
    const QString what = QStringLiteral("%1（表 %2）").arg(kCopyToServer, table.name);
    if (copied > 0)
        server.copyIn(QStringLiteral("%1 (%2, %3)")
                          .arg(rowsTable(table.name), quoted(kOrderColumn), columns.join(QStringLiteral(", "))),
                      data, what);
    // New rows on the server follow the last one copied, and the log goes on from the highest
    // number it ever gave, so a cut-off end still shows.
    if (table.name == kOplog)
        highest = std::max(highest, fileLogSequence(file));
    if (highest > 0)
        server.run(QStringLiteral("SELECT setval($1, $2)"), {orderSequence(table.name), QString::number(highest)},
                   what);
    return copied;
}

// The server's text of one value, bound to the file's statement as the column's kind.
void bindServerValue(Statement &insert, int index, const char *value, bool isNull, Kind kind)
{
    if (isNull) {
        insert.bindNull(index);
        return;
    }
    const QByteArray text(value);
    switch (kind) {
    case Kind::Text:
        insert.bind(index, QString::fromUtf8(text));
        break;
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64:
        insert.bind(index, static_cast<std::int64_t>(text.toLongLong()));
        break;
    case Kind::Single:
        // Through a double: the server writes the largest single as 3.4028235e+38, which lies a
        // little above it, and a conversion straight to a single takes that for an overflow.
        insert.bind(index, static_cast<float>(text.toDouble()));
        break;
    case Kind::Double:
        insert.bind(index, text.toDouble());
        break;
    }
}

qint64 copyTableBack(ServerConnection &server, Connection &file, const TableDef &table)
{
    QStringList columns;
    for (const QString &name : table.columnNames())
        columns.append(quoted(name));
    const QString listed = columns.join(QStringLiteral(", "));
    PgResultHandle rows = server.run(
        QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1").arg(quoted(kOrderColumn), listed, rowsTable(table.name)),
        {}, kReadServer);
    // A table whose row number is a column of its own takes it from that column.
    const bool ownNumber = !table.rowNumberColumn.isEmpty();
    QStringList places;
    for (std::size_t i = ownNumber ? 1 : 0; i <= table.columns.size(); ++i)
        places.append(QStringLiteral("?%1").arg(places.size() + 1));
    Statement insert =
        Statement::prepared(file.handle(),
                            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(table.name, (ownNumber ? QString() : QStringLiteral("rowid, ")) + listed,
                                     places.join(QStringLiteral(", "))),
                            kWriteFile);
    const int count = PQntuples(rows.get());
    for (int row = 0; row < count; ++row) {
        const int first = ownNumber ? 1 : 0;
        for (int field = first; field <= static_cast<int>(table.columns.size()); ++field) {
            const Kind kind = field == 0 ? Kind::Int64 : table.columns[static_cast<std::size_t>(field) - 1].kind;
            bindServerValue(insert, field - first + 1, PQgetvalue(rows.get(), row, field),
                            PQgetisnull(rows.get(), row, field) != 0, kind);
        }
        insert.run(kWriteFile);
        insert.reset();
    }
    return count;
}

} // namespace

qint64 Migrated::total() const
{
    qint64 sum = 0;
    for (const auto &table : rows)
        sum += table.second;
    return sum;
}

QString Migrated::summary() const
{
    QStringList parts;
    for (const auto &table : rows)
        parts.append(QStringLiteral("%1 %2 行").arg(table.first).arg(table.second));
    return parts.join(QStringLiteral("，"));
}

Migrated migrateToServer(Connection &file, ServerConnection &server)
{
    if (!file.handle())
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
    const QStringList present = server.userRelations();
    if (!present.isEmpty()) {
        QStringList named = present.mid(0, 3);
        if (present.size() > 3)
            named.append(QStringLiteral("等 %1 项").arg(present.size()));
        throw StoreError(ServerCode::NotEmpty,
                         QStringLiteral("服务器上的数据库“%1”不是空的（已有 %2），迁移只能写入一个新建的空数据库。")
                             .arg(server.databaseName(), named.join(QStringLiteral("、"))));
    }
    Migrated migrated;
    // One transaction: a copy that fails or does not check out leaves the database as empty as it was.
    server.runUnit(
        [&](ServerConnection &target) {
            migrated = {};
            for (const QString &statement : creationStatements())
                target.run(statement, {}, QStringLiteral("在服务器上建立数据表失败"));
            makeOperatorGroups(target);
            QStringList findings;
            for (const TableDef &table : tables()) {
                if (!fileHasTable(file, table.name))
                    continue;
                const qint64 copied = copyTable(file, target, table);
                migrated.rows.append({table.name, copied});
                const qint64 inFile = fileCount(file, table.name);
                const qint64 onServer = serverCount(target, table.name);
                if (inFile != copied || onServer != copied)
                    findings.append(countsDiffer(table.name, inFile, onServer));
            }
            findings += checkServerRules(target);
            if (!findings.isEmpty())
                throw StoreError(ServerCode::Failed,
                                 QStringLiteral("迁移后的检查没有通过，服务器上没有留下任何数据：") +
                                     findings.join(QLatin1Char(' ')));
        },
        1);
    // The server plans the first desks' statements from its statistics of the tables, which it
    // would otherwise gather only later, on its own; a failure here leaves the rows as they are.
    try {
        server.run(QStringLiteral("ANALYZE"));
    } catch (const StoreError &) {
    }
    return migrated;
}

Migrated migrateFromServer(ServerConnection &server, Connection &file)
{
    if (!file.handle())
        throw StoreError(StoreCode::InvalidPointer, QStringLiteral("没有打开的数据库连接。"));
    server.requireSchema();
    Migrated migrated;
    QStringList findings;
    // One snapshot of the server, so that desks working meanwhile cannot split a unit of theirs.
    server.runUnit([&](ServerConnection &source) {
        migrated = {};
        findings.clear();
        file.beginUnit();
        try {
            for (const TableDef &table : tables())
                migrated.rows.append({table.name, copyTableBack(source, file, table)});
            // The server gives each log row the last one's id plus one, so its last row holds the highest
            // id given. Its order sequence runs ahead of that wherever a desk's unit was rolled back,
            // which the file's check would read as rows cut off the end.
            const qint64 given =
                source.value(QStringLiteral("SELECT max(id) FROM %1").arg(rowsTable(kOplog)), {}, kReadServer)
                    .toLongLong();
            if (given > 0) {
                Statement::prepared(
                    file.handle(),
                    QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT 'oplog', 0 "
                                   "WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'oplog')"),
                    kWriteFile)
                    .run(kWriteFile);
                Statement sequence = Statement::prepared(
                    file.handle(), QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?1) WHERE name = 'oplog'"),
                    kWriteFile);
                sequence.bind(1, static_cast<std::int64_t>(given)).run(kWriteFile);
            }
            file.commitUnit();
        } catch (...) {
            file.rollbackUnit();
            throw;
        }
        for (const auto &table : migrated.rows) {
            const qint64 inFile = fileCount(file, table.first);
            const qint64 onServer = serverCount(source, table.first);
            if (inFile != onServer || inFile != table.second)
                findings.append(countsDiffer(table.first, inFile, onServer));
        }
    });
    if (!findings.isEmpty())
        throw StoreError(ServerCode::Failed,
                         QStringLiteral("迁移后的检查没有通过：") + findings.join(QLatin1Char(' ')));
    return migrated;
}

QStringList checkServerRules(ServerConnection &server)
{
    using namespace db;
    namespace rh = residence;
    const QString order = quoted(kOrderColumn);
    const auto t = [](const QString &table) { return rowsTable(table); };
    const auto q = [](const QString &name) { return quoted(name); };
    struct Rule {
        QString sql;
        QString finding;
    };
    const QString open = QStringLiteral("h.%1 IS NULL").arg(q(rh::checkedOut));
    const Rule rules[] = {
        {QStringLiteral("SELECT %1, %2, %3, %4 FROM %5 WHERE %2 + %3 IS DISTINCT FROM %4 ORDER BY %6")
             .arg(q(floorinfo::roomNo), q(floorinfo::occupants), q(floorinfo::vacant), q(floorinfo::capacity),
                  t(floorinfo::table), order),
         QStringLiteral("房间“%1”：入住人数 %2 加空缺人数 %3 不等于可住人数 %4。")},
        {QStringLiteral(
             "SELECT r, o, n FROM (SELECT f.%1 AS r, f.%2 AS o, (SELECT count(*) FROM %3 p WHERE p.%4 = f.%1) "
             "AS n, f.%5 AS k FROM %6 f) x WHERE o IS DISTINCT FROM n ORDER BY k")
             .arg(q(floorinfo::roomNo), q(floorinfo::occupants), t(personinfo::table), q(personinfo::room), order,
                  t(floorinfo::table)),
         QStringLiteral("房间“%1”：入住人数为 %2，住在这个房间的人员却有 %3 人。")},
        {QStringLiteral("SELECT r, o, n FROM (SELECT f.%1 AS r, f.%2 AS o, (SELECT coalesce(sum(c.%3), 0) FROM %4 c "
                        "WHERE c.%5 = f.%1) AS n, f.%6 AS k FROM %7 f) x WHERE o IS DISTINCT FROM n ORDER BY k")
             .arg(q(floorinfo::roomNo), q(floorinfo::occupants), q(numinfo::occupants), t(numinfo::table),
                  q(numinfo::roomNo), order, t(floorinfo::table)),
         QStringLiteral("房间“%1”：入住人数为 %2，入住人数统计却记为 %3。")},
        {QStringLiteral("SELECT %1, count(*) FROM %2 GROUP BY %1 HAVING count(*) > 1 ORDER BY min(%3)")
             .arg(q(floorinfo::roomNo), t(floorinfo::table), order),
         QStringLiteral("房间号码“%1”有 %2 个房间共用。")},
        {QStringLiteral("SELECT %1, count(*) FROM %2 GROUP BY %1 HAVING count(*) > 1 ORDER BY min(%3)")
             .arg(q(personinfo::staffNo), t(personinfo::table), order),
         QStringLiteral("工号“%1”有 %2 个人员共用。")},
        {QStringLiteral(
             "SELECT p.%1, p.%2 FROM %3 p WHERE NOT EXISTS (SELECT 1 FROM %4 f WHERE f.%5 = p.%2) ORDER BY p.%6")
             .arg(q(personinfo::staffNo), q(personinfo::room), t(personinfo::table), t(floorinfo::table),
                  q(floorinfo::roomNo), order),
         QStringLiteral("工号“%1”住在房间“%2”，这个房间却不存在。")},
        {QStringLiteral("SELECT p.%1, p.%2 FROM %3 p WHERE NOT EXISTS (SELECT 1 FROM %4 h WHERE h.%5 = p.%1 AND "
                        "h.%6 = p.%2 AND %7) ORDER BY p.%8")
             .arg(q(personinfo::staffNo), q(personinfo::room), t(personinfo::table), t(rh::table), q(rh::staffNo),
                  q(rh::room), open, order),
         QStringLiteral("住宿记录：工号“%1”住在房间“%2”，却没有在这个房间尚未迁出的住宿记录。")},
        {QStringLiteral("SELECT h.%1, h.%2 FROM %3 h WHERE %4 AND NOT EXISTS (SELECT 1 FROM %5 p WHERE p.%6 = h.%1 "
                        "AND p.%7 = h.%2) ORDER BY h.id")
             .arg(q(rh::staffNo), q(rh::room), t(rh::table), open, t(personinfo::table), q(personinfo::staffNo),
                  q(personinfo::room)),
         QStringLiteral("住宿记录：工号“%1”并不住在房间“%2”，却有在这个房间尚未迁出的住宿记录。")},
        {QStringLiteral("SELECT s, n, living FROM (SELECT h.%1 AS s, count(*) AS n, (SELECT count(*) FROM %2 p "
                        "WHERE p.%3 = h.%1) AS living, min(h.id) AS k FROM %4 h WHERE %5 GROUP BY h.%1) x "
                        "WHERE n > living AND living > 0 ORDER BY k")
             .arg(q(rh::staffNo), t(personinfo::table), q(personinfo::staffNo), t(rh::table), open),
         QStringLiteral("住宿记录：工号“%1”有 %2 条尚未迁出的住宿记录，住着的却只有 %3 人。")},
    };
    QStringList findings;
    for (const Rule &rule : rules) {
        PgResultHandle rows = server.run(rule.sql, {}, QStringLiteral("在服务器上检查数据失败"));
        for (int row = 0; row < PQntuples(rows.get()); ++row) {
            QStringList values;
            for (int field = 0; field < PQnfields(rows.get()); ++field)
                values.append(PQgetisnull(rows.get(), row, field)
                                  ? QStringLiteral("NULL")
                                  : QString::fromUtf8(PQgetvalue(rows.get(), row, field)));
            // One pass, so a "%" inside a stored value is never taken for a placeholder.
            const QString &f = rule.finding;
            findings.append(values.size() == 2   ? f.arg(values[0], values[1])
                            : values.size() == 3 ? f.arg(values[0], values[1], values[2])
                                                 : f.arg(values[0], values[1], values[2], values.value(3)));
        }
    }
    return findings;
}

} // namespace orv::server
