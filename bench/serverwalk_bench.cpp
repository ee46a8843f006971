// The record store on a PostgreSQL server beside the same work on a file: rooms added through a
// set in one unit, the table walked forwards and backwards, a room found by its number, and the
// set counted. Usage: bench_serverwalk <URI of an empty database> [rooms]. Prints milliseconds.
#include "data/columns.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "data/server/migration.h"
#include "data/server/serverstore.h"
#include "data/statements.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

namespace floor = orv::db::floorinfo;

double timed(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void run(const char *name, orv::Connection &connection, int rooms)
{
    const double added = timed([&] {
        connection.beginUnit();
        orv::Recordset set(&connection);
        set.Open(orv::sql::floorAll);
        for (int i = 0; i < rooms; ++i) {
            set.AddNew();
            set.PutCollect(floor::roomNo, QString::number(i));
            set.PutCollect(floor::capacity, orv::FieldValue::int16(4));
        }
        set.Update();
        set.Close();
        connection.commitUnit();
    });
    orv::Recordset set(&connection);
    set.Open(orv::sql::floorAll);
    long long checksum = 0;
    const double forwards = timed([&] {
        set.rewind();
        while (!set.adoEOF()) {
            checksum += set.GetCollect(floor::roomNo).asText().size();
            set.MoveNext();
        }
    });
    const double backwards = timed([&] {
        set.MovePrevious();
        while (!set.BOF()) {
            checksum += set.GetCollect(floor::capacity).asInt16();
            set.MovePrevious();
        }
    });
    const QString last = QString::number(rooms - 1);
    const double found = timed([&] { checksum += set.Find(floor::roomNo, last) ? 1 : 0; });
    long counted = 0;
    const double count = timed([&] { counted = set.RecordCount(); });
    std::printf("%-6s rooms %d: add in one unit %.1f ms, walk forwards %.1f ms, backwards %.1f ms, "
                "find the last %.2f ms, count %.2f ms (checksum %lld, counted %ld)\n",
                name, rooms, added, forwards, backwards, found, count, checksum, counted);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <URI of an empty PostgreSQL database> [rooms]\n", argv[0]);
        return 2;
    }
    const QString uri = QString::fromLocal8Bit(argv[1]);
    const int rooms = argc > 2 ? std::atoi(argv[2]) : 20000;

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("bench.mdb"));
    orv::Connection::Create(path, orv::programPassword());
    orv::Connection file;
    file.openFile(path, orv::programPassword());
    {
        orv::server::ServerConnection made(uri);
        orv::server::migrateToServer(file, made);
    }
    run("file", file, rooms);
    orv::Connection server;
    server.openStore(orv::server::ServerStore::open(uri));
    run("server", server, rooms);
    return 0;
}
