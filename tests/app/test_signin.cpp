#include "app/cdormapp.h"
#include "data/keyslots.h"
#include "data/storeerror.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/signindialog.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <sys/prctl.h>
#include <sys/resource.h>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::InFolder;
using orv::test::modeOf;

namespace {

constexpr PasswordCost kCheap{1, 8192};
const QString kRefused = u"操作员姓名或密码不正确。"_s;

bool coreDumpsOff()
{
    rlimit core{};
    return ::prctl(PR_GET_DUMPABLE) == 0 && ::getrlimit(RLIMIT_CORE, &core) == 0 && core.rlim_cur == 0;
}

// The program started in a folder of its own: the dialogs before the main window are answered by
// `answer` (until it returns false), and the main window, once shown, has its title noted and is
// closed.
struct Started {
    int status = -1;
    QString title; // empty: no main window
};

Started start(CDormApp &app, const std::function<bool(QWidget *)> &answer)
{
    Started started;
    bool answering = true;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (QWidget *dialog = QApplication::activeModalWidget(); dialog && answering) {
            answering = answer(dialog);
        } else if (MainWindow *window = app.mainWindow(); window && window->isVisible()) {
            started.title = window->windowTitle();
            window->close();
        }
    });
    watcher.start(20);
    started.status = app.InitInstance();
    return started;
}

// A keyed database with two operators in the current folder.
void makeKeyedDatabase()
{
    const SecureKey key = createKeyedDatabase(u"OrvDb.mdb"_s, u"张三"_s, u"甲乙"_s, kCheap);
    KeySlots slots = KeySlots::load(u"OrvDb.keys"_s);
    slots.addOperator(key, u"李四"_s, u"丙丁"_s, Role::Attendant, kCheap);
    slots.addBackupSlot(key, u"backup.key"_s);
}

} // namespace

class TestSignIn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The first start asks for the 管理员 before any file is made; the files it makes are keyed for
    // that operator alone, for their owner alone, and the program's own password does not open them.
    void firstStartMakesKeyedFiles()
    {
        InFolder folder;
        test::Answers answers;
        CDormApp app(0);
        app.setFirstStart(QStringLiteral(ORV_RES_DIR "/bgl.jpg"));
        app.setNewPasswordCost(kCheap);
        bool noFilesWhileAsked = false;
        const Started started = start(app, [&](QWidget *dialog) {
            noFilesWhileAsked = QDir(folder.path()).isEmpty();
            test::typeText(test::child<QLineEdit>(dialog, u"adminNameEdit"_s), u"张三"_s);
            test::typeText(test::child<QLineEdit>(dialog, u"adminPasswordEdit"_s), u"甲乙"_s);
            test::typeText(test::child<QLineEdit>(dialog, u"adminRepeatEdit"_s), u"甲乙"_s);
            test::click(test::child<QPushButton>(dialog, u"okButton"_s));
            return false;
        });
        QVERIFY(noFilesWhileAsked);
        QCOMPARE(started.status, 0);
        QCOMPARE(answers->texts(), QStringList());
        QCOMPARE(started.title, u"Lumeo宿舍管理系统V2.8 — 张三（管理员）"_s);
        QCOMPARE(modeOf(u"OrvDb.mdb"_s), 0600);
        QCOMPARE(modeOf(u"OrvDb.keys"_s), 0600);
        QVERIFY(QFile::exists(u"bgl.jpg"_s));
        const StoreError byProgramPassword = test::storeErrorOf([] {
            Connection connection;
            connection.Open(programConnectionString());
        });
        QVERIFY(!byProgramPassword.message().isEmpty());
        const Unlocked unlocked = KeySlots::load(u"OrvDb.keys"_s).open(u"张三"_s, u"甲乙"_s);
        QVERIFY(unlocked.opened());
        QCOMPARE(unlocked.role, Role::Administrator);
        Connection connection;
        connection.openFile(u"OrvDb.mdb"_s, unlocked.key);
    }

    // A form that is not complete is refused with its reason; cancelling makes nothing and quits.
    void firstStartRefusesAndCancels_data()
    {
        QTest::addColumn<QStringList>("form"); // name, password, the password again
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << QStringList{u"  "_s, u"甲乙"_s, u"甲乙"_s} << u"请输入管理员的姓名。"_s;
        QTest::newRow("no password") << QStringList{u"张三"_s, QString(), QString()} << u"请输入密码。"_s;
        QTest::newRow("passwords differ")
            << QStringList{u"张三"_s, u"甲乙"_s, u"甲丙"_s} << u"两次输入的密码不一样，请重新输入。"_s;
        QTest::newRow("name too long") << QStringList{QString(33, u'张'), u"甲乙"_s, u"甲乙"_s}
                                       << u"操作员姓名不能超过 32 个字。"_s;
    }
    void firstStartRefusesAndCancels()
    {
        QFETCH(QStringList, form);
        QFETCH(QString, message);
        InFolder folder;
        test::Answers answers;
        CDormApp app(0);
        app.setFirstStart(QString());
        app.setNewPasswordCost(kCheap);
        const Started started = start(app, [&](QWidget *dialog) {
            const QStringList edits{u"adminNameEdit"_s, u"adminPasswordEdit"_s, u"adminRepeatEdit"_s};
            for (int i = 0; i < edits.size(); ++i)
                test::child<QLineEdit>(dialog, edits[i])->setText(form[i]);
            test::click(test::child<QPushButton>(dialog, u"okButton"_s));
            test::click(test::child<QPushButton>(dialog, u"cancelButton"_s));
            return false;
        });
        QCOMPARE(answers->texts(), QStringList{message});
        QCOMPARE(started.status, 0);
        QCOMPARE(started.title, QString());
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    // Only an operator's right pair opens the file; every wrong pair gets the one refusal, which
    // does not tell which part was wrong, and a backup slot never signs in. Cancel quits.
    void signInAtStart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("title"); // empty: refused, then cancelled
        QTest::newRow("管理员") << u"张三"_s << u"甲乙"_s << u"Lumeo宿舍管理系统V2.8 — 张三（管理员）"_s;
        QTest::newRow("值班员") << u" 李四"_s << u"丙丁"_s << u"Lumeo宿舍管理系统V2.8 — 李四（值班员）"_s;
        QTest::newRow("wrong password") << u"张三"_s << u"丙丁"_s << QString();
        QTest::newRow("unknown name") << u"王五"_s << u"甲乙"_s << QString();
        QTest::newRow("the backup slot's empty name") << QString() << QString() << QString();
    }
    void signInAtStart()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, title);
        InFolder folder;
        makeKeyedDatabase();
        test::Answers answers;
        CDormApp app(0);
        bool dumpsOffWhenAsked = false;
        QStringList offered;
        const Started started = start(app, [&](QWidget *dialog) {
            dumpsOffWhenAsked = coreDumpsOff();
            const auto *combo = test::child<QComboBox>(dialog, u"operatorCombo"_s);
            for (int i = 0; i < combo->count(); ++i)
                offered.append(combo->itemText(i));
            test::signInWith(dialog, name, password);
            if (dialog->isVisible())
                test::click(test::child<QPushButton>(dialog, u"cancelButton"_s));
            return false;
        });
        QVERIFY(dumpsOffWhenAsked);
        QCOMPARE(offered, (QStringList{u"张三"_s, u"李四"_s}));
        QCOMPARE(answers->texts(), title.isEmpty() ? QStringList{kRefused} : QStringList());
        QCOMPARE(started.status, 0);
        QCOMPARE(started.title, title);
        QCOMPARE(app.m_pConnection->isOpen(), !title.isEmpty());
    }

    // A file kept with the program's own password has no sign-in and keeps its title.
    void aFileWithoutOperatorsOpensAsBefore()
    {
        InFolder folder;
        Connection::Create(u"OrvDb.mdb"_s, programPassword());
        test::Answers answers;
        CDormApp app(0);
        bool asked = false;
        const Started started = start(app, [&](QWidget *) { return !(asked = true); });
        QVERIFY(!asked);
        QCOMPARE(started.title, u"Lumeo宿舍管理系统V2.8"_s);
    }

    // After five wrong pairs in a row the next try waits; the wait ends by itself.
    void fiveWrongThenWait()
    {
        InFolder folder;
        makeKeyedDatabase();
        const KeySlots slots = KeySlots::load(u"OrvDb.keys"_s);
        test::Answers answers;
        SignInTries tries;
        tries.wait = std::chrono::milliseconds(300);
        SignInDialog dialog(slots, tries);
        dialog.show();
        auto *button = test::child<QPushButton>(&dialog, u"signInButton"_s);
        for (int i = 0; i < SignInTries::kAllowed; ++i) {
            QVERIFY(button->isEnabled());
            test::signInWith(&dialog, u"张三"_s, u"错"_s);
        }
        QCOMPARE(answers->texts(), QStringList(SignInTries::kAllowed, kRefused));
        QVERIFY(!button->isEnabled());
        QVERIFY(test::child<QLabel>(&dialog, u"waitLabel"_s)->isVisible());
        QTRY_VERIFY(button->isEnabled());
        test::signInWith(&dialog, u"张三"_s, u"甲乙"_s);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.takeUnlocked().name, u"张三"_s);
        QCOMPARE(tries.failures, 0);
    }
};

QTEST_MAIN(TestSignIn)
#include "test_signin.moc"
