#include "migratecommand.h"

#include "data/connection.h"
#include "data/keyslots.h"
#include "data/pendingkeys.h"
#include "data/server/migration.h"
#include "data/server/serverconnection.h"
#include "data/storeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace orv {

namespace {

const QString kFailed = QStringLiteral("迁移数据库失败：");

// Opens the database of the current folder as the program does: with the program's password, or
// for a 管理员 of its operators. Returns the refusal, or an empty text.
QString openForMigration(Connection &connection, const CommandOperator &who)
{
    return openForCommand(connection, who, QStringLiteral("管理员"), [](const Unlocked &unlocked) {
        // The whole database leaves the file: only a 管理员 may move it.
        if (unlocked.role == Role::Administrator)
            return QString();
        return QStringLiteral("操作员“%1”（%2）不能迁移数据库，只有管理员可以。")
            .arg(unlocked.name, roleName(unlocked.role));
    });
}

bool occupied(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

int runMigrateToCommand(const QString &uri, QTextStream &out, QTextStream &err, const CommandOperator &who)
{
    try {
        Connection connection;
        if (const QString refusal = openForMigration(connection, who); !refusal.isEmpty()) {
            err << kFailed << refusal << Qt::endl;
            return 1;
        }
        server::ServerConnection target(uri);
        const server::Migrated migrated = server::migrateToServer(connection, target);
        out << QStringLiteral("已把数据库迁移到服务器上的数据库“%1”，共 %2 行，行数和表间规则都已核对无误：%3。")
                   .arg(target.databaseName())
                   .arg(migrated.total())
                   .arg(migrated.summary())
            << Qt::endl;
        return 0;
    } catch (const StoreError &error) {
        err << kFailed << error.message() << Qt::endl;
    }
    return 1;
}

int runMigrateFromCommand(const QString &uri, const QString &file, QTextStream &out, QTextStream &err,
                          const CommandOperator &who)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    const QString keysPath = KeySlots::pathFor(path);
    if (file.isEmpty()) {
        err << kFailed << QStringLiteral("--migrate-from 需要一个新文件的文件名。") << Qt::endl;
        return 1;
    }
    // A keyed file brings its key file; neither may replace anything.
    for (const QString &existing : who.name.isEmpty() ? QStringList{path} : QStringList{path, keysPath}) {
        if (occupied(existing)) {
            err << kFailed
                << QStringLiteral("文件“%1”已经存在，不会覆盖它；请给一个新文件名。")
                       .arg(QDir::toNativeSeparators(existing))
                << Qt::endl;
            return 1;
        }
    }
    // Whatever was made is taken away again unless the copy into it finished.
    struct Unfinished {
        QStringList made;
        ~Unfinished()
        {
            for (const QString &path : std::as_const(made))
                QFile::remove(path);
        }
    } unfinished;
    try {
        // The server is asked first, so that nothing is made when it cannot be read.
        server::ServerConnection source = server::ServerConnection::open(uri);
        Connection connection;
        if (who.name.isEmpty()) {
            Connection::Create(path, programPassword());
            unfinished.made = {path};
            connection.openFile(path, programPassword());
        } else {
            const SecureKey key = createKeyedDatabase(path, who.name, who.password ? who.password() : QString());
            unfinished.made = {path, keysPath};
            connection.openFile(path, key);
        }
        const server::Migrated migrated = server::migrateFromServer(source, connection);
        connection.Close();
        unfinished.made.clear();
        out << QStringLiteral("已把服务器上的数据库“%1”写入新文件“%2”，共 %3 行，行数已核对无误：%4。")
                   .arg(source.databaseName(), QDir::toNativeSeparators(path))
                   .arg(migrated.total())
                   .arg(migrated.summary())
            << Qt::endl;
        return 0;
    } catch (const StoreError &error) {
        err << kFailed << error.message() << Qt::endl;
    }
    return 1;
}

} // namespace orv
