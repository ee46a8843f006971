// Creates a new, empty dormitory database (or one with sample data) keyed with the program's
// password. Never overwrites an existing file.
#include "data/connection.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    bool demo = false;
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
        if (argument == QLatin1String("--demo")) {
            demo = true;
        } else if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            std::puts("usage: orvane-initdb [--demo] [FILE]   (FILE defaults to OrvDb.mdb)");
            return 0;
        } else if (file.isEmpty() && !argument.startsWith(QLatin1Char('-'))) {
            file = argument;
        } else {
            std::fprintf(stderr, "orvane-initdb: unexpected argument %s\n", qPrintable(argument));
            return 2;
        }
    }
    if (file.isEmpty())
        file = orv::databaseFileName();

    try {
        orv::Connection::Create(file, orv::programPassword());
        if (demo) {
            orv::Connection connection;
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
    return 0;
}
