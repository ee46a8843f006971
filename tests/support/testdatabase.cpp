#include "testdatabase.h"

#include "data/fieldvalue.h"
#include "data/residence.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace orv::test {

TestDatabase::TestDatabase() : m_previousDir(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    Connection::Create(databaseFileName(), programPassword());
    m_connection = std::make_unique<Connection>();
    m_connection->Open(programConnectionString());
}

TestDatabase::~TestDatabase()
{
    m_connection.reset();
    QDir::setCurrent(m_previousDir);
}

void TestDatabase::exec(const QString &sql)
{
    m_connection->execute(sql);
    // Residents set up by hand were living here before the history began, as in a file kept
    // before it: the history starts from them.
    if (sql.contains(u"personinfo"_s)) {
        // Not where the set-up took the table away or made the file read-only.
        try {
            m_connection->execute(residence::startStatement());
        } catch (const StoreError &) {
        }
    }
}

void TestDatabase::addRoom(const QString &room, int residents)
{
    exec(u"INSERT INTO floorinfo VALUES ('%1','男','1','2','3',9,100,200,%2,%3)"_s.arg(room).arg(residents).arg(
        9 - residents));
}

QList<QStringList> TestDatabase::rows(const QString &sql)
{
    return rowsOf(m_connection->handle(), sql);
}

QString TestDatabase::text(const QString &sql)
{
    QStringList out;
    for (const QStringList &row : rows(sql))
        out.append(row.join(QLatin1Char(',')));
    return out.join(QLatin1Char('|'));
}

int TestDatabase::count(const QString &table)
{
    return rows(u"SELECT count(*) FROM %1"_s.arg(table)).value(0).value(0).toInt();
}

QStringList planOf(sqlite3 *db, const QString &sql)
{
    QStringList tables;
    static const QRegularExpression walked(u"^(?:SCAN|SEARCH) TABLE (\\w+)"_s);
    for (const QStringList &step : rowsOf(db, u"EXPLAIN QUERY PLAN "_s + sql)) {
        const QString detail = step.value(3);
        if (detail.contains(u"TEMP B-TREE"_s))
            tables.append(u"sorted"_s);
        else if (const QRegularExpressionMatch match = walked.match(detail); match.hasMatch())
            tables.append(match.captured(1));
    }
    return tables;
}

QStringList columnOf(const QList<QStringList> &rows, int at)
{
    QStringList values;
    for (const QStringList &row : rows)
        values.append(row.at(at));
    return values;
}

QStringList walkColumn(Recordset &set, const QString &column)
{
    QStringList seen;
    set.rewind();
    while (!set.adoEOF()) {
        seen.append(set.GetCollect(column).toDisplayText());
        set.MoveNext();
    }
    return seen;
}

QList<QStringList> rowsOf(sqlite3 *db, const QString &sql)
{
    QList<QStringList> result;
    sqlite3_stmt *raw = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), -1, &raw, nullptr) != SQLITE_OK)
        fail(u"bad test query: "_s + QString::fromUtf8(sqlite3_errmsg(db)), __FILE__, __LINE__);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
    while (sqlite3_step(raw) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(raw); ++i) {
            const int type = sqlite3_column_type(raw, i);
            if (type == SQLITE_NULL)
                row.append(u"NULL"_s);
            else if (type == SQLITE_FLOAT)
                row.append(realToText(sqlite3_column_double(raw, i), 7));
            else // the engine writes whole numbers in decimal
                row.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, i))));
        }
        result.append(row);
    }
    return result;
}

StoreError storeErrorOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const StoreError &error) {
        return error;
    }
    return StoreError(0, QString());
}

void fail(const QString &message, const char *file, int line)
{
    QTest::qFail(qPrintable(message), file, line);
    throw std::runtime_error(message.toStdString());
}

RawDatabase openKeyed(const QString &file)
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    RawDatabase db(raw, sqlite3_close_v2);
    const QByteArray key = programPassword().toUtf8();
    sqlite3_key(raw, key.constData(), static_cast<int>(key.size()));
    return db;
}

} // namespace orv::test
