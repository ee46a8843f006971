#include "data/backup.h"
#include "mainwindow/convertdialog.h"
#include "mainwindow/mainwindow.h"
#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

using namespace orv;
using orv::test::TestDatabase;

namespace {

constexpr PasswordCost kCheap{1, 8192};

// Fills the operator dialog that opens next and presses its OK button.
void answerOperatorDialog(QObject *context, const QString &name, const QString &password, const QString &repeated)
{
    QTimer::singleShot(50, context, [=] {
        auto *dialog = qobject_cast<OperatorDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        test::child<QLineEdit>(dialog, u"nameEdit"_s)->setText(name);
        test::child<QLineEdit>(dialog, u"passwordEdit"_s)->setText(password);
        if (auto *again = dialog->findChild<QLineEdit *>(u"repeatedEdit"_s))
            again->setText(repeated);
        test::click(test::child<QPushButton>(dialog, u"okButton"_s));
        // A refused entry keeps the dialog open: it is closed so the test goes on.
        if (dialog->isVisible())
            dialog->reject();
    });
}

} // namespace

class TestProtectBanner final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The banner and the data menu's entries follow the desk: a file without operators is told it
    // is unprotected and offered the conversion; one with them offers the backup key to a 管理员.
    void theBannerFollowsTheDesk()
    {
        TestDatabase db;
        MainWindow window(db.connection());
        auto *banner = test::child<QWidget>(&window, u"protectionBanner"_s);
        const auto *protect = test::child<QAction>(&window, u"protectAction"_s);
        const auto *backupKey = test::child<QAction>(&window, u"backupKeyAction"_s);
        QVERIFY(!banner->isVisibleTo(&window));
        const int plainHeight = window.height();

        ops::Desk desk;
        window.setDesk(&desk);
        QVERIFY(banner->isVisibleTo(&window));
        QCOMPARE(test::child<QLabel>(banner, u"protectionText"_s)->text(),
                 u"此数据库未设置操作员，任何拥有本程序的人都能读取其中的个人信息。"_s);
        QVERIFY(protect->isVisible() && !backupKey->isVisible());
        QVERIFY(window.height() > plainHeight);

        QTemporaryDir dir;
        SecureKey key = SecureKey::random();
        KeySlots slots = KeySlots::create(dir.filePath(u"OrvDb.keys"_s), key, u"张三"_s, u"甲乙"_s, kCheap);
        desk.signIn(std::move(slots), std::move(key), ops::SignedIn{u"张三"_s, Role::Attendant, false});
        window.deskChanged();
        QVERIFY(!banner->isVisibleTo(&window));
        QCOMPARE(window.height(), plainHeight);
        QVERIFY(!protect->isVisible() && backupKey->isVisible() && !backupKey->isEnabled());
    }

    // The first 管理员 is asked for with the password twice; a mismatch converts nothing.
    void settingOperatorsSignsTheFirstAdministratorIn_data()
    {
        QTest::addColumn<QString>("repeated");
        QTest::addColumn<bool>("converted");
        QTest::addColumn<QString>("said");
        QTest::newRow("passwords match") << u"甲乙"_s << true << u"已设置操作员"_s;
        QTest::newRow("passwords differ") << u"甲乙丙"_s << false << u"两次输入的密码不一样，请重新输入。"_s;
    }
    void settingOperatorsSignsTheFirstAdministratorIn()
    {
        QFETCH(QString, repeated);
        QFETCH(bool, converted);
        QFETCH(QString, said);
        TestDatabase db;
        db.addRoom(u"101"_s);
        test::Answers answers;
        ops::Desk desk;
        answerOperatorDialog(this, u"张三"_s, u"甲乙"_s, repeated);
        QCOMPARE(protectDatabaseInteractively(nullptr, db.connection(), desk, kCheap), converted);
        QVERIFY2(answers->texts().join(u'\n').contains(said), qPrintable(answers->texts().join(u'\n')));
        QCOMPARE(desk.hasOperators(), converted);
        QCOMPARE(db.text(u"SELECT 房间号码 FROM floorinfo"_s), u"101"_s);
        const QString live = db.connection().filePath();
        if (converted) {
            QCOMPARE(desk.who().name, u"张三"_s);
            QCOMPARE(int(desk.who().role), int(Role::Administrator));
            QVERIFY(!test::storeErrorOf([&] { backup::verify(live); }).message().isEmpty());
        } else {
            QCOMPARE(test::storeErrorOf([&] { backup::verify(live); }).message(), QString());
        }
    }
};

QTEST_MAIN(TestProtectBanner)
#include "test_protectbanner.moc"
