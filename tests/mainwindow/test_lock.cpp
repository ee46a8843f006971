#include "data/keyslots.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/pagetabs.h"
#include "mainwindow/signindialog.h"
#include "support/testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

using namespace orv;
using namespace Qt::StringLiterals;

namespace {

constexpr PasswordCost kCheap{1, 8192};
const QString kTitle = u"Lumeo宿舍管理系统V2.8"_s;

// A keyed database with a 管理员 and a 值班员, open in a main window with the 管理员 signed in.
class SignedInWindow final {
public:
    SignedInWindow()
    {
        const QString file = m_dir.filePath(u"OrvDb.mdb"_s);
        SecureKey key = createKeyedDatabase(file, u"张三"_s, u"甲乙"_s, kCheap);
        KeySlots slots = KeySlots::load(KeySlots::pathFor(file));
        slots.addOperator(key, u"李四"_s, u"丙丁"_s, Role::Attendant, kCheap);
        m_connection.openFile(file, key);
        m_desk.signIn(std::move(slots), std::move(key), ops::SignedIn{u"张三"_s, Role::Administrator, false});
        m_window = std::make_unique<MainWindow>(m_connection);
        m_window->setDesk(&m_desk);
        m_window->setIdleLock(std::chrono::milliseconds(0));
        m_window->show();
    }
    MainWindow *operator->() const { return m_window.get(); }
    MainWindow *window() const { return m_window.get(); }
    ops::Desk &desk() { return m_desk; }
    void trigger(const QString &action)
    {
        test::child<QMenu>(window(), u"dataMenu"_s)->findChild<QAction *>(action)->trigger();
    }
    SignInDialog *dialog() const { return window()->findChild<SignInDialog *>(); }

private:
    QTemporaryDir m_dir;
    Connection m_connection;
    ops::Desk m_desk;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace

class TestLock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The title names who is signed in; a file without operators keeps the title and has no lock.
    void titleShowsTheOperator()
    {
        SignedInWindow signedIn;
        QCOMPARE(signedIn->windowTitle(), kTitle + u" — 张三（管理员）"_s);

        Connection connection;
        ops::Desk none;
        MainWindow plain(connection);
        plain.setDesk(&none);
        QCOMPARE(plain.windowTitle(), kTitle);
        for (const QString &action : {u"lockAction"_s, u"switchOperatorAction"_s})
            QVERIFY(!plain.dataMenu()->findChild<QAction *>(action)->isEnabled());
        plain.lock();
        QVERIFY(!plain.isLocked());
    }

    // Locking, by the menu or after idle time, hides the data until the same operator's password
    // is given again; another operator's right pair does not unlock, and the key stays the same.
    void lockHidesDataUntilTheSamePassword_data()
    {
        QTest::addColumn<bool>("idle");
        QTest::newRow("menu") << false;
        QTest::newRow("idle") << true;
    }
    void lockHidesDataUntilTheSamePassword()
    {
        QFETCH(bool, idle);
        SignedInWindow window;
        test::Answers answers;
        if (idle) {
            window->setIdleLock(std::chrono::milliseconds(50));
            QTRY_VERIFY(window->isLocked());
        } else {
            window.trigger(u"lockAction"_s);
        }
        QVERIFY(window->isLocked());
        QVERIFY(!window->tabSheet()->isVisible());
        QVERIFY(test::child<QWidget>(window.window(), u"lockPanel"_s)->isVisible());
        auto *combo = test::child<QComboBox>(window.dialog(), u"operatorCombo"_s);
        QVERIFY(!combo->isEnabled());
        QCOMPARE(combo->currentText(), u"张三"_s);

        test::signInWith(window.dialog(), QString(), u"丙丁"_s);
        QCOMPARE(answers->texts(), QStringList{u"操作员姓名或密码不正确。"_s});
        QVERIFY(window->isLocked());
        test::signInWith(window.dialog(), QString(), u"甲乙"_s);
        QVERIFY(!window->isLocked());
        QVERIFY(window->tabSheet()->isVisible());
        QCOMPARE(window->windowTitle(), kTitle + u" — 张三（管理员）"_s);
        QVERIFY(!window.desk().key().isNull());
    }

    // A dialog left open over the window (the operator walked away from it) is covered too, and
    // comes back as it was, with what was typed, after the unlock.
    void lockCoversOpenDialogs()
    {
        SignedInWindow window;
        QDialog open(window.window());
        auto *typed = new QLineEdit(u"张三 13800000000"_s, &open);
        open.open();
        window->lock();
        QVERIFY(open.isVisible());
        QVERIFY(!typed->isVisible());
        test::signInWith(window.dialog(), QString(), u"甲乙"_s);
        QVERIFY(!window->isLocked());
        QVERIFY(typed->isVisible());
        QCOMPARE(typed->text(), u"张三 13800000000"_s);
    }

    // Switching signs the operator out at once; any operator then signs in on the same key.
    void switchToAnotherOperator()
    {
        SignedInWindow window;
        test::Answers answers;
        window.trigger(u"switchOperatorAction"_s);
        QVERIFY(window->isLocked());
        QVERIFY(window.desk().who().name.isEmpty());
        QVERIFY(window.desk().key().isNull());
        QCOMPARE(window->windowTitle(), kTitle);
        // Cancelled, the window stays covered until someone signs in from the panel.
        test::click(test::child<QPushButton>(window.dialog(), u"cancelButton"_s));
        QTRY_VERIFY(!window.dialog());
        QVERIFY(window->isLocked());
        test::click(test::child<QPushButton>(window.window(), u"unlockButton"_s));
        test::signInWith(window.dialog(), u"李四"_s, u"丙丁"_s);
        QVERIFY(!window->isLocked());
        QCOMPARE(answers->texts(), QStringList());
        QCOMPARE(window.desk().who().name, u"李四"_s);
        QCOMPARE(window.desk().who().role, Role::Attendant);
        const Unlocked again = window.desk().slots()->open(u"张三"_s, u"甲乙"_s);
        QVERIFY(again.key.equals(window.desk().key()));
        QCOMPARE(window->windowTitle(), kTitle + u" — 李四（值班员）"_s);
    }
};

QTEST_MAIN(TestLock)
#include "test_lock.moc"
