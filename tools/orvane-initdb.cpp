// Creates a new, empty dormitory database (or one with sample data) keyed with the program's
// password. Never overwrites an existing file.
#include "data/connection.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    bool demo = false;
    QString file;
    const QStringList arguments = app.arguments().mid(1);
    for (const QString &argument : arguments) {
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
            connection.Open(QStringLiteral("Data Source=%1;Password=%2").arg(file, orv::programPassword()));
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
