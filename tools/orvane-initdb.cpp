// Creates a new, empty dormitory database (or one with sample data) keyed with the program's
// password, or with --admin keyed with a random key of its own whose key file names the first
// 管理员. Never overwrites an existing file.
#include "data/connection.h"
#include "data/keyslots.h"
#include "data/passwordinput.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

// The first line of standard input, without its line end.
QString passwordFromInput(const QString &name)
{
    return orv::passwordFromStandardInput(QStringLiteral("管理员“%1”的密码：").arg(name).toLocal8Bit().constData());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    bool demo = false;
    bool admin = false;
    bool named = false;
    QString adminName;
    QString file;
    for (int i = 1; i < argc; ++i) {
        // The file is made under exactly the name given: one that is not valid text would be
        // changed on the way in and name another file.
        const QByteArray raw(argv[i]);
        const QString argument = QFile::decodeName(raw);
        if (QFile::encodeName(argument) != raw) {
            std::fprintf(stderr, "orvane-initdb: “%s”不是有效的 UTF-8 文本，不能原样作为文件名使用。\n", argv[i]);
            return 2;
        }
        if (admin && !named) {
            // The name comes right after the option; an option there means it was left out.
            if (argument.startsWith(QLatin1Char('-')))
                break;
            adminName = argument;
            named = true;
        } else if (argument == QLatin1String("--admin") && !admin) {
            admin = true;
        } else if (argument == QLatin1String("--demo")) {
            demo = true;
        } else if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            std::puts("usage: orvane-initdb [--demo] [--admin NAME] [FILE]   (FILE defaults to OrvDb.mdb)\n"
                      "  --admin NAME  key the file with a random key of its own, kept in FILE's .keys file\n"
                      "                for the first 管理员 NAME, whose password is read from standard input");
            return 0;
        } else if (file.isEmpty() && !argument.startsWith(QLatin1Char('-'))) {
            file = argument;
        } else {
            std::fprintf(stderr, "orvane-initdb: unexpected argument %s\n", qPrintable(argument));
            return 2;
        }
    }
    if (admin && !named) {
        std::fputs("orvane-initdb: --admin 后面要写第一个管理员的姓名。\n", stderr);
        return 2;
    }
    if (file.isEmpty())
        file = orv::databaseFileName();

    try {
        orv::SecureKey key;
        if (admin) {
            const QString password = passwordFromInput(adminName);
            if (password.isEmpty()) {
                std::fputs("orvane-initdb: 没有读到密码：标准输入的第一行是空的。\n", stderr);
                return 2;
            }
            key = orv::createKeyedDatabase(file, adminName, password);
        } else {
            orv::Connection::Create(file, orv::programPassword());
        }
        if (demo) {
            orv::Connection connection;
            if (admin)
                connection.openFile(file, key);
            else
                connection.openFile(file, orv::programPassword());
            connection.beginUnit();
            orv::schema::fillDemo(connection);
            connection.commitUnit();
        }
    } catch (const orv::StoreError &error) {
        std::fprintf(stderr, "orvane-initdb: %s\n", error.message().toLocal8Bit().constData());
        return 1;
    }
    std::printf("orvane-initdb: created %s%s\n", qPrintable(file), demo ? " with sample data" : "");
    if (admin)
        std::printf("orvane-initdb: its key file %s opens it for the 管理员 %s\n",
                    qPrintable(orv::KeySlots::pathFor(file)), adminName.toLocal8Bit().constData());
    return 0;
}
