#include "data/keyslots.h"
#include "data/recordset.h"
#include "support/testdatabase.h"

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;

namespace {

// The least Argon2id allows: the slots keep their cost, so the tests need not pay the real one.
constexpr PasswordCost kCheap{1, 8192};
const QString kRefused = u"操作员姓名或密码不正确。"_s;

// A key file with the 管理员 张三 (password "甲乙") and the 值班员 李四 (password "丙丁").
struct Slots {
    QTemporaryDir dir;
    SecureKey key = SecureKey::random();
    QString path = dir.filePath(u"OrvDb.keys"_s);
    KeySlots slots = KeySlots::create(path, key, u"张三"_s, u"甲乙"_s, kCheap);

    Slots() { slots.addOperator(key, u"李四"_s, u"丙丁"_s, Role::Attendant, kCheap); }
    QString refusalOf(const std::function<void()> &change) { return storeErrorOf(change).message(); }
};

int modeOf(const QString &path)
{
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return static_cast<int>(status.st_mode & 0777);
}

} // namespace

class TestKeySlots final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void signingInDoesNotTellWhichPartWasWrong_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<int>("role");
        QTest::newRow("管理员") << u"张三"_s << u"甲乙"_s << true << int(Role::Administrator);
        QTest::newRow("值班员, spaces around the name") << u" 李四 "_s << u"丙丁"_s << true << int(Role::Attendant);
        QTest::newRow("wrong password") << u"张三"_s << u"甲乙 "_s << false << 0;
        QTest::newRow("another's password") << u"李四"_s << u"甲乙"_s << false << 0;
        QTest::newRow("unknown name") << u"王五"_s << u"甲乙"_s << false << 0;
        QTest::newRow("no name") << QString() << QString() << false << 0;
    }
    void signingInDoesNotTellWhichPartWasWrong()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(bool, opens);
        QFETCH(int, role);
        Slots s;
        const Unlocked unlocked = KeySlots::load(s.path).open(name, password);
        QCOMPARE(unlocked.opened(), opens);
        QCOMPARE(unlocked.refusal, opens ? QString() : kRefused);
        if (opens) {
            QVERIFY(unlocked.key.equals(s.key));
            QCOMPARE(unlocked.name, name.trimmed());
            QCOMPARE(int(unlocked.role), role);
            QVERIFY(!unlocked.backupOnly);
        }
    }

    // The role is bound to the sealed key: raised by hand in the file, the slot no longer opens.
    void aRoleEditedInTheFileRefusesThatSlot()
    {
        Slots s;
        QFile file(s.path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        file.close();
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(text).replace("值班员", "管理员"));
        file.close();
        const KeySlots edited = KeySlots::load(s.path);
        QCOMPARE(edited.open(u"李四"_s, u"丙丁"_s).refusal, kRefused);
        QVERIFY(edited.open(u"张三"_s, u"甲乙"_s).opened());
    }

    // Every change takes the database key and keeps it; the rules refuse with their own words and
    // leave the file as it was.
    void changesKeepTheKeyAndTheRules()
    {
        Slots s;
        const QString lastAdministrator = u"“张三”是最后一个管理员，不能删除：至少要留一个管理员来管理操作员。"_s;
        QCOMPARE(s.refusalOf([&s] { s.slots.removeOperator(s.key, u"张三"_s); }), lastAdministrator);
        QCOMPARE(s.refusalOf([&s] { s.slots.changeRole(s.key, u"张三"_s, Role::Attendant); }),
                 u"“张三”是最后一个管理员，不能改为值班员：至少要留一个管理员来管理操作员。"_s);
        QCOMPARE(s.refusalOf([&s] { s.slots.addOperator(s.key, u"李四"_s, u"x"_s, Role::Attendant, kCheap); }),
                 u"已经有名为“李四”的操作员。"_s);
        QCOMPARE(s.refusalOf([&s] { s.slots.addOperator(s.key, u"王五"_s, QString(), Role::Attendant, kCheap); }),
                 u"密码不能为空。"_s);
        const StoreError wrongKey = storeErrorOf(
            [&s] { s.slots.addOperator(SecureKey::random(), u"王五"_s, u"x"_s, Role::Attendant, kCheap); });
        QCOMPARE(wrongKey.code(), kKeySlotRefused);
        QVERIFY(wrongKey.message().startsWith(u"数据库密钥与密钥文件"_s));

        // With a second 管理员 the first may go; the 值班员 now a 管理员 opens with the same password.
        s.slots.changeRole(s.key, u"李四"_s, Role::Administrator);
        s.slots.removeOperator(s.key, u"张三"_s);
        const KeySlots reread = KeySlots::load(s.path);
        QCOMPARE(reread.operators().size(), 1);
        const Unlocked unlocked = reread.open(u"李四"_s, u"丙丁"_s);
        QCOMPARE(int(unlocked.role), int(Role::Administrator));
        QVERIFY(unlocked.key.equals(s.key));
        QCOMPARE(reread.open(u"张三"_s, u"甲乙"_s).refusal, kRefused);
        QCOMPARE(modeOf(s.path), 0600);
    }

    // The database's data stays readable after a password change, with the new password only.
    void aNewPasswordAloneOpensTheData()
    {
        QTemporaryDir dir;
        const QString database = dir.filePath(u"OrvDb.mdb"_s);
        createKeyedDatabase(database, u"张三"_s, u"旧密码"_s, kCheap);
        KeySlots slots = KeySlots::load(KeySlots::pathFor(database));
        {
            const Unlocked unlocked = slots.open(u"张三"_s, u"旧密码"_s);
            Connection connection;
            connection.openFile(database, unlocked.key);
            connection.execute(u"INSERT INTO numinfo VALUES ('6-101', 2)"_s);
            slots.changePassword(unlocked.key, u"张三"_s, u"新密码"_s, kCheap);
        }
        const KeySlots reread = KeySlots::load(KeySlots::pathFor(database));
        QCOMPARE(reread.open(u"张三"_s, u"旧密码"_s).refusal, kRefused);
        const Unlocked unlocked = reread.open(u"张三"_s, u"新密码"_s);
        Connection connection;
        connection.openFile(database, unlocked.key);
        Recordset counts(&connection);
        counts.Open(u"SELECT * FROM numinfo"_s);
        QCOMPARE(counts.RecordCount(), 1);
    }

    // A keyed database opens with its own key only; the refusal is a wrong password's, and neither
    // it nor the key file holds the key.
    void aKeyedDatabaseRefusesThePrograms()
    {
        QTemporaryDir dir;
        const QString database = dir.filePath(u"OrvDb.mdb"_s);
        createKeyedDatabase(database, u"张三"_s, u"甲乙"_s, kCheap);
        const QString keys = dir.filePath(u"OrvDb.keys"_s);
        QCOMPARE(KeySlots::pathFor(database), keys);
        QCOMPARE(modeOf(keys), 0600);
        const SecureKey key = KeySlots::load(keys).open(u"张三"_s, u"甲乙"_s).key;
        const QByteArray hex = QByteArray(reinterpret_cast<const char *>(key.data()), SecureKey::size).toHex();

        const QString wrong = u"数据库密码不匹配，或者文件“%1”不是本程序的数据库。"_s.arg(database);
        QCOMPARE(storeErrorOf([&] { Connection().openFile(database, programPassword()); }).message(), wrong);
        QCOMPARE(storeErrorOf([&] { Connection().openFile(database, SecureKey::random()); }).message(), wrong);
        QVERIFY(!wrong.contains(QString::fromLatin1(hex), Qt::CaseInsensitive));
        QFile file(keys);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        QVERIFY(!stored.toLower().contains(hex) && !stored.contains(QByteArray(hex).toBase64()));

        // Neither file is overwritten, nor made alone.
        QCOMPARE(storeErrorOf([&] { createKeyedDatabase(database, u"王五"_s, u"x"_s, kCheap); }).code(),
                 static_cast<std::uint32_t>(14)); // SQLITE_CANTOPEN
        QFile::remove(database);
        QVERIFY(storeErrorOf([&] { createKeyedDatabase(database, u"王五"_s, u"x"_s, kCheap); }).code() != 0);
        QVERIFY(!QFile::exists(database));
    }

    // The backup slot opens with its key file and with nothing else, and says it is the backup's.
    void theBackupSlotOpensWithItsKeyFileOnly()
    {
        Slots s;
        const QString keyFile = s.dir.filePath(u"backup.key"_s);
        s.slots.addBackupSlot(s.key, keyFile);
        QCOMPARE(modeOf(keyFile), 0600);
        const KeySlots reread = KeySlots::load(s.path);
        const Unlocked unlocked = reread.openWithKeyFile(keyFile);
        QVERIFY(unlocked.backupOnly);
        QVERIFY(unlocked.key.equals(s.key));
        QCOMPARE(reread.operators().size(), 2);

        const QString other = s.dir.filePath(u"other.key"_s);
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(SecureKey::size, 'k'));
        file.close();
        QVERIFY(!reread.openWithKeyFile(other).opened());
        QVERIFY(!reread.openWithKeyFile(s.path).opened());
        QCOMPARE(reread.open(QString(), QString()).refusal, kRefused);

        s.slots.removeBackupSlot(s.key);
        QVERIFY(!KeySlots::load(s.path).openWithKeyFile(keyFile).opened());
    }
};

QTEST_GUILESS_MAIN(TestKeySlots)
#include "test_keyslots.moc"
