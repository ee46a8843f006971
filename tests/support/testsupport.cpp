#include "testsupport.h"

#include "data/fieldvalue.h"
#include "data/schema.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QInputMethodEvent>
#include <QLineEdit>

#include <sqlite3.h>

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
}

QList<QStringList> TestDatabase::rows(const QString &sql)
{
    QList<QStringList> result;
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_connection->handle(), text.constData(), -1, &statement, nullptr) != SQLITE_OK)
        qFatal("bad test query: %s", sqlite3_errmsg(m_connection->handle()));
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            switch (sqlite3_column_type(statement, i)) {
            case SQLITE_NULL:
                row.append(QStringLiteral("NULL"));
                break;
            case SQLITE_INTEGER:
                row.append(QString::number(sqlite3_column_int64(statement, i)));
                break;
            case SQLITE_FLOAT:
                row.append(realToText(sqlite3_column_double(statement, i), 7));
                break;
            default:
                row.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, i))));
            }
        }
        result.append(row);
    }
    sqlite3_finalize(statement);
    return result;
}

int TestDatabase::count(const QString &table)
{
    return rows(QStringLiteral("SELECT count(*) FROM %1").arg(table)).value(0).value(0).toInt();
}

Answers::Answers() : m_answerer(new MessageAnswerer(QCoreApplication::instance())) {}

Answers::~Answers()
{
    delete m_answerer;
}

bool typeText(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    edit->del();
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(edit, &event);
    return edit->text() == text;
}

void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace orv::test
