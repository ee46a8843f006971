#include "cursor.h"

#include "connection.h"
#include "querycursor.h"
#include "tablecursor.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace orv::store {

Statement prepare(sqlite3 *db, const QString &text)
{
    // The message is only formatted for a statement refused: sets prepare several each.
    Statement statement(db, text);
    if (statement.status() != SQLITE_OK)
        raiseEngineError(db, statement.status(), QStringLiteral("数据库不接受这条语句：%1").arg(text));
    return statement;
}

sqlite3_stmt *LazyStatement::get()
{
    if (!m_statement)
        m_statement = prepare(m_db, m_text);
    return m_statement.handle();
}

void LazyStatement::reset() noexcept
{
    m_statement.reset();
}

bool stepRow(sqlite3 *db, sqlite3_stmt *statement)
{
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW)
        return true;
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE)
        raiseEngineError(db, rc, QStringLiteral("读取记录失败"));
    return false;
}

bool hasNoRows(sqlite3 *db, sqlite3_stmt *statement)
{
    sqlite3_reset(statement);
    const bool none = !stepRow(db, statement);
    sqlite3_reset(statement);
    return none;
}

std::optional<QByteArrayView> textAt(sqlite3_stmt *statement, int index)
{
    // One look-up of the column instead of three; reading its value directly is safe because
    // the connection is only ever used from one thread.
    sqlite3_value *value = sqlite3_column_value(statement, index);
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return QByteArrayView();
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return QByteArrayView(text, sqlite3_value_bytes(value));
    }
    default:
        return std::nullopt;
    }
}

[[noreturn]] void noCurrentRecord(const QString &why)
{
    throw StoreError(StoreCode::NoCurrentRecord, why);
}

sqlite3 *Cursor::db() const
{
    return m_connection.handle();
}

namespace {

// What the shape pattern below calls blank: the ASCII spaces.
bool isPatternBlank(QChar c)
{
    return c == QLatin1Char(' ') || (c >= QLatin1Char('\t') && c <= QLatin1Char('\r'));
}

bool isPlainNameCharacter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_');
}

// The statements the program itself writes, read without the pattern: "select * from name" with
// single spaces, then optionally " where " and a condition ending in a quote or a letter. Anything
// else is left to the pattern, so both readings agree wherever this one answers.
bool plainShape(const QString &sql, SelectShape &shape)
{
    const QStringView text(sql);
    qsizetype i = 0;
    // ASCII letters only, in either case: any other letter is the pattern's to judge.
    const auto word = [&](QLatin1String expected) {
        if (text.size() - i < expected.size())
            return false;
        for (qsizetype j = 0; j < expected.size(); ++j) {
            const char16_t c = text[i + j].unicode();
            const char16_t lower = c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
            if (lower != char16_t(expected[j].unicode()))
                return false;
        }
        i += expected.size();
        return true;
    };
    const auto spaces = [&] {
        const qsizetype from = i;
        while (i < text.size() && text[i] == QLatin1Char(' '))
            ++i;
        return i - from;
    };
    if (!word(QLatin1String("select")))
        return false;
    spaces();
    if (!word(QLatin1String("*")))
        return false;
    spaces();
    if (!word(QLatin1String("from")) || spaces() == 0)
        return false;
    const qsizetype name = i;
    while (i < text.size() && isPlainNameCharacter(text[i]))
        ++i;
    if (i == name)
        return false;
    const qsizetype nameEnd = i;
    if (i == text.size()) {
        shape.oneTable = true;
        shape.table = text.mid(name, nameEnd - name);
        return true;
    }
    if (spaces() == 0 || !word(QLatin1String("where")) || spaces() == 0 || i == text.size() || isPatternBlank(text[i]))
        return false;
    const QChar last = text.back();
    if (last != QLatin1Char('\'') && !isPlainNameCharacter(last))
        return false;
    shape.oneTable = true;
    shape.table = text.mid(name, nameEnd - name);
    shape.condition = text.mid(i);
    return true;
}

} // namespace

SelectShape shapeOf(const QString &sql)
{
    SelectShape shape;
    if (!plainShape(sql, shape)) {
        static const QRegularExpression simpleSelect(
            QStringLiteral(R"(^\s*select\s*\*\s*from\s+([^\s;,()'"]+)(?:\s+where\s+(.+?))?\s*;?\s*$)"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = simpleSelect.match(sql);
        if (!match.hasMatch()) {
            shape.probe = sql;
            return shape;
        }
        shape.oneTable = true;
        shape.table = match.capturedView(1);
        shape.condition = match.capturedView(2);
    }
    describeCondition(shape, sql);
    return shape;
}

std::unique_ptr<Cursor> openCursor(Connection &connection, const Columns &columns, const QString &sql,
                                   SelectShape shape, std::shared_ptr<TableTexts> texts)
{
    if (shape.oneTable)
        return std::make_unique<TableCursor>(connection, columns, std::move(shape.values), std::move(texts));
    return std::make_unique<QueryCursor>(connection, columns, sql);
}

} // namespace orv::store
