#include "data/backup.h"
#include "data/dbcheck.h"
#include "data/schema.h"
#include "support/testdatabase.h"

#include <QDir>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;

namespace {

const QString kOwnTables = u"SELECT name FROM sqlite_master WHERE name IN ('settlement_readings', 'rent_periods') "
                           u"ORDER BY name"_s;
const QString kBoth = u"rent_periods|settlement_readings"_s;

// A file as an earlier build made it: the eight tables alone.
void dropOwnTables(TestDatabase &db)
{
    db.exec(u"DROP TABLE settlement_readings; DROP TABLE rent_periods"_s);
}

void reopen(TestDatabase &db)
{
    db.connection().Close();
    db.connection().Open(programConnectionString());
}

} // namespace

class TestSchema final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A file made before our tables gains them when it is opened; the check and the backup accept
    // it with them and without them.
    void anEarlierFileGainsThemAtOpen()
    {
        TestDatabase db;
        db.exec(u"INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,1,1,0,4)"_s);
        dropOwnTables(db);
        QCOMPARE(checkDatabase(db.connection()), QStringList());
        const QString without = QDir(db.directory()).filePath(u"without.mdb"_s);
        backup::backupTo(db.connection(), without);
        QCOMPARE(storeErrorOf([&] { backup::verify(without); }).message(), QString());

        reopen(db);
        QCOMPARE(db.text(kOwnTables), kBoth);
        QCOMPARE(db.text(u"SELECT 房间号码 FROM floorinfo"_s), u"A"_s);
        QCOMPARE(checkDatabase(db.connection()), QStringList());
        const QString with = QDir(db.directory()).filePath(u"with.mdb"_s);
        backup::backupTo(db.connection(), with);
        QCOMPARE(storeErrorOf([&] { backup::verify(with); }).message(), QString());
        // Opening again changes nothing more.
        reopen(db);
        QCOMPARE(db.text(kOwnTables), kBoth);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "test_schema.moc"
