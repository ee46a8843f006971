#include "data/columns.h"
#include "data/server/migration.h"
#include "data/server/serverconnection.h"
#include "data/server/serverroles.h"
#include "data/server/serverstore.h"
#include "deskfixture.h"
#include "kit/reportlist.h"
#include "mainwindow/operatorsdialog.h"
#include "mainwindow/rolegates.h"
#include "operations/logbook.h"
#include "pagedriver.h"
#include "support/testserver.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>

using namespace orv;
using namespace Qt::StringLiterals;
namespace ServerCode = orv::server::ServerCode;
using orv::server::ServerConnection;
using orv::server::ServerStore;
using orv::test::TestServer;
using orv::test::unique;

namespace {

QString encoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// A migrated database with a 管理员 and a 值班员 who sign in with their passwords, as a desk would.
struct Office {
    TestServer db;
    std::unique_ptr<ServerConnection> owner;
    const QString admin = unique(u"管理员 \"老王\" "_s);
    const QString attendant = unique(u"值班 '甲' "_s);

    Office()
    {
        {
            test::TestDatabase file;
            file.exec(test::kRoomsAndResident);
            ServerConnection target(db.uri());
            server::migrateToServer(file.connection(), target);
        }
        owner = std::make_unique<ServerConnection>(db.uri());
        // The test cluster asks members of this role for their password and trusts everyone else.
        owner->run(u"DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = "
                   "'orv_password_login') THEN CREATE ROLE orv_password_login NOLOGIN; END IF; END $$"_s);
        server::createOperator(*owner, admin, Role::Administrator, u"管理 pw"_s);
        server::createOperator(*owner, attendant, Role::Attendant, u"值班 pw"_s);
        asksForPassword(admin);
        asksForPassword(attendant);
    }
    void asksForPassword(const QString &name) const
    {
        owner->run(u"GRANT orv_password_login TO %1"_s.arg(owner->identifier(name)));
    }
    QString uriOf(const QString &name, const QString &password) const
    {
        return TestServer::uriFor(db.name(), u"user=%1&password=%2"_s.arg(encoded(name), encoded(password)));
    }
    // A desk's connection signed in by the server.
    std::unique_ptr<Connection> deskOf(const QString &name, const QString &password) const
    {
        auto desk = std::make_unique<Connection>();
        desk->openStore(ServerStore::open(uriOf(name, password)));
        return desk;
    }
    QList<oplog::Entry> log() const
    {
        Connection reader;
        reader.openStore(ServerStore::open(db.uri()));
        return ops::readLog(reader, {});
    }
};

// The main window as the program opens it on the server for one operator; every box answered.
struct OperatorWindow {
    std::unique_ptr<Connection> desk;
    test::Answers answers;
    std::unique_ptr<MainWindow> window;

    OperatorWindow(const Office &office, const QString &name, const QString &password)
        : desk(office.deskOf(name, password)), window(std::make_unique<MainWindow>(*desk))
    {
        window->setServerStore(u"服务器 localhost/%1"_s.arg(office.db.name()), name);
    }
    ServerConnection &server() const { return dynamic_cast<ServerStore &>(*desk->backend()).server(); }
};

// Every gated control's state: enabled, and what its tooltip says.
QStringList gateStates(MainWindow &window)
{
    QStringList states;
    const auto note = [&states](const QString &name, bool enabled, const QString &tip) {
        // It follows the key file, which a server has none of.
        if (name != "backupKeyAction"_L1 && gatedAction(name))
            states.append(u"%1 %2 %3"_s.arg(name, enabled ? u"on"_s : u"off"_s, tip));
    };
    for (QAbstractButton *button : window.findChildren<QAbstractButton *>())
        note(button->objectName(), button->isEnabled(), button->toolTip());
    // The entries that work on a file alone are hidden on a server.
    for (QAction *action : window.findChildren<QAction *>()) {
        if (action->isVisible())
            note(action->objectName(), action->isEnabled(), action->toolTip());
    }
    std::sort(states.begin(), states.end());
    return states;
}

// The dialog's field values and the button pressed, as a 管理员 would type them.
void fillIn(OperatorsDialog &dialog, const QString &name, const QString &role, const QString &password)
{
    test::child<QLineEdit>(&dialog, u"nameEdit"_s)->setText(name);
    test::child<QComboBox>(&dialog, u"roleCombo"_s)->setCurrentText(role);
    test::child<QLineEdit>(&dialog, u"passwordEdit"_s)->setText(password);
    test::child<QLineEdit>(&dialog, u"passwordAgainEdit"_s)->setText(password);
}

ReportList *listOf(OperatorsDialog &dialog)
{
    return test::child<ReportList>(&dialog, u"operatorList"_s);
}

QStringList listed(OperatorsDialog &dialog)
{
    QStringList rows;
    for (int row = 0; row < listOf(dialog)->rowCount(); ++row)
        rows.append(listOf(dialog)->rowTexts(row).join(u','));
    return rows;
}

void choose(OperatorsDialog &dialog, const QString &name)
{
    ReportList *list = listOf(dialog);
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->cellText(row, 0) == name) {
            list->selectRow(row);
            return;
        }
    }
    QFAIL(qPrintable(u"%1 is not listed"_s.arg(name)));
}

void press(OperatorsDialog &dialog, const QString &button)
{
    test::click(test::child<QAbstractButton>(&dialog, button));
}

// Whether the server lets the connection delete a room, a 管理员's write; tried and rolled back.
bool mayDeleteARoom(ServerConnection &c)
{
    return test::permits(c, u"DELETE FROM floorinfo WHERE %1 = 'B'"_s.arg(c.identifier(db::floorinfo::roomNo)));
}

} // namespace

class TestServerOperators final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A 值班员 signed in by the server gets the controls a 值班员 of a keyed file gets, off with
    // the same tooltips; a 管理员 gets all of them. The operators entry is a 管理员's alone.
    void theServersRoleGatesTheWindow()
    {
        QStringList onFile;
        {
            test::Window file(test::kRoomsAndResident);
            QTemporaryDir keys;
            ops::Desk desk;
            test::signIn(desk, keys, u"李四"_s, Role::Attendant);
            file.window->setDesk(&desk);
            onFile = gateStates(*file.window);
        }
        Office office;
        OperatorWindow attendant(office, office.attendant, u"值班 pw"_s);
        const QStringList onServer = gateStates(*attendant.window);
        QVERIFY(onServer.size() > 30);
        for (const QString &state : onServer)
            QVERIFY2(onFile.contains(state), qPrintable(state));
        QCOMPARE(onServer.filter(u"Button "_s), onFile.filter(u"Button "_s));
        // Not vacuous: the room buttons and the fee standard's are off, saying why.
        QCOMPARE(onServer.filter(u"值班员不能"_s).size(), 4);
        QCOMPARE(attendant.window->operatorName(), office.attendant);
        QVERIFY(!attendant.window->findChild<QAction *>(u"operatorsAction"_s)->isVisible());
        QVERIFY(attendant.window->findChild<QAction *>(u"changePasswordAction"_s)->isVisible());

        OperatorWindow admin(office, office.admin, u"管理 pw"_s);
        QVERIFY(gateStates(*admin.window).filter(u"请由管理员操作"_s).isEmpty());
        QVERIFY(admin.window->findChild<QAction *>(u"operatorsAction"_s)->isVisible());
        QCOMPARE(attendant.answers->texts(), QStringList());
    }

    // A user the server signs in who is none of the database's operators could read nothing: the
    // store refuses to open, naming the user and the two groups. The database's owner is a
    // 管理员 without being in its group.
    void aStrangerIsRefusedByName()
    {
        Office office;
        const QString landlord = unique(u"房东"_s);
        office.owner->run(u"CREATE ROLE %1 LOGIN"_s.arg(office.owner->identifier(landlord)));
        office.owner->run(u"ALTER DATABASE %1 OWNER TO %2"_s.arg(office.db.name(), office.owner->identifier(landlord)));
        ServerConnection asOwner(TestServer::uriFor(office.db.name(), u"user="_s + encoded(landlord)));
        QVERIFY(server::signedInRole(asOwner) == Role::Administrator);

        const QString stranger = unique(u"路人"_s);
        office.owner->run(u"CREATE ROLE %1 LOGIN"_s.arg(office.owner->identifier(stranger)));
        const StoreError refused = test::storeErrorOf(
            [&] { ServerStore::open(TestServer::uriFor(office.db.name(), u"user="_s + encoded(stranger))); });
        QCOMPARE(refused.code(), ServerCode::NotPermitted);
        QCOMPARE(refused.message(),
                 u"登录服务器的“%1”不是数据库“%2”的操作员：它既不在用户组“%2_admin”中，也不在“%2_attendant”中。"
                 "请管理员用“操作员…”添加。"_s.arg(stranger, office.db.name()));
    }

    // A 管理员 adds a 值班员 through the dialog; the newcomer signs in with the password given and
    // the server refuses it a 管理员's write. Then its role, its password and the operator itself
    // go, each logged in the 管理员's name and never with a password.
    void aManagerManagesTheServersOperators()
    {
        Office office;
        OperatorWindow w(office, office.admin, u"管理 pw"_s);
        OperatorsDialog dialog(*w.desk, serverRoster(w.server()), w.window.get());
        QCOMPARE(listed(dialog), (QStringList{u"%1,值班员"_s.arg(office.attendant), u"%1,管理员"_s.arg(office.admin)}));

        const QString newcomer = unique(u"新来的 \"小李\" "_s);
        fillIn(dialog, newcomer, u"值班员"_s, u"第一个 'pw'"_s);
        press(dialog, u"addOperatorButton"_s);
        QCOMPARE(w.answers->texts(), QStringList());
        QVERIFY(listed(dialog).contains(u"%1,值班员"_s.arg(newcomer)));
        QVERIFY(test::child<QLineEdit>(&dialog, u"passwordEdit"_s)->text().isEmpty());
        office.asksForPassword(newcomer);
        {
            const std::unique_ptr<Connection> desk = office.deskOf(newcomer, u"第一个 'pw'"_s);
            auto &store = dynamic_cast<ServerStore &>(*desk->backend());
            QCOMPARE(store.role(), Role::Attendant);
            QVERIFY(!mayDeleteARoom(store.server()));
        }
        QCOMPARE(test::storeErrorOf([&] { office.deskOf(newcomer, u"wrong"_s); }).code(), ServerCode::SignInRefused);

        choose(dialog, newcomer);
        test::child<QComboBox>(&dialog, u"roleCombo"_s)->setCurrentText(u"管理员"_s);
        press(dialog, u"changeRoleButton"_s);
        QVERIFY(listed(dialog).contains(u"%1,管理员"_s.arg(newcomer)));

        choose(dialog, newcomer);
        fillIn(dialog, newcomer, u"管理员"_s, u"第二个"_s);
        press(dialog, u"resetPasswordButton"_s);
        QCOMPARE(test::storeErrorOf([&] { office.deskOf(newcomer, u"第一个 'pw'"_s); }).code(),
                 ServerCode::SignInRefused);
        {
            const std::unique_ptr<Connection> desk = office.deskOf(newcomer, u"第二个"_s);
            auto &store = dynamic_cast<ServerStore &>(*desk->backend());
            QCOMPARE(store.role(), Role::Administrator);
            QVERIFY(mayDeleteARoom(store.server()));
        }

        choose(dialog, newcomer);
        press(dialog, u"removeOperatorButton"_s);
        QCOMPARE(w.answers->texts(), QStringList{u"要删除操作员“%1”吗？"_s.arg(newcomer)});
        QVERIFY(!listed(dialog).join(u'\n').contains(newcomer));
        QVERIFY(office.owner->value(u"SELECT 1 FROM pg_roles WHERE rolname = $1"_s, {newcomer}).isNull());

        QStringList rows;
        for (const oplog::Entry &entry : office.log()) {
            QVERIFY(!entry.detail.contains(u"pw"_s) && !entry.detail.contains(u"第二个"_s));
            rows.append(QStringList{entry.operatorName, entry.action, entry.target, entry.detail}.join(u','));
        }
        // Newest first.
        QCOMPARE(rows, (QStringList{u"%1,操作员变更,%2,删除"_s.arg(office.admin, newcomer),
                                    u"%1,操作员变更,%2,重设密码"_s.arg(office.admin, newcomer),
                                    u"%1,操作员变更,%2,角色 值班员 → 管理员"_s.arg(office.admin, newcomer),
                                    u"%1,操作员变更,%2,添加，值班员"_s.arg(office.admin, newcomer)}));
    }

    // Refusals show as boxes that say why: a 值班员 reaching for the operators, the server refusing
    // a 管理员 whose role was taken meanwhile, the dialog's own checks; nothing is logged for them.
    void refusalsAreShownByName()
    {
        Office office;
        {
            OperatorWindow attendant(office, office.attendant, u"值班 pw"_s);
            attendant.window->manageOperators();
            QCOMPARE(attendant.answers->texts(), QStringList{u"值班员不能管理操作员，请由管理员操作。"_s});
        }

        OperatorWindow admin(office, office.admin, u"管理 pw"_s);
        OperatorsDialog dialog(*admin.desk, serverRoster(admin.server()), admin.window.get());
        choose(dialog, office.admin);
        press(dialog, u"changeRoleButton"_s);
        fillIn(dialog, office.attendant, u"值班员"_s, u"pw"_s);
        press(dialog, u"addOperatorButton"_s);
        QCOMPARE(admin.answers->texts(),
                 (QStringList{u"不能更改本人的角色，请由另一位管理员操作。"_s,
                              u"服务器上已有名为“%1”的用户，请换一个名称。"_s.arg(office.attendant)}));

        admin.answers->clear();
        server::changeOperatorRole(*office.owner, office.admin, Role::Attendant);
        fillIn(dialog, unique(u"晚来的"_s), u"值班员"_s, u"pw"_s);
        press(dialog, u"addOperatorButton"_s);
        QCOMPARE(admin.answers->texts().size(), 1);
        QVERIFY2(admin.answers->last().startsWith(
                     u"只有管理员可以管理操作员，登录服务器的“%1”不是管理员。"_s.arg(office.admin)),
                 qPrintable(admin.answers->last()));
        QCOMPARE(office.log().size(), 0);
    }

    // "修改密码…" on a server: the old password is the one the server asks for, and the new one is
    // the server's at once; the change is logged in the operator's own name.
    void anOperatorChangesTheirOwnPassword()
    {
        Office office;
        OperatorWindow w(office, office.attendant, u"值班 pw"_s);
        PasswordDialog dialog(*w.desk, serverRoster(w.server()), w.window.get());
        const auto type = [&dialog](const QString &old, const QString &fresh, const QString &again) {
            test::child<QLineEdit>(&dialog, u"oldPasswordEdit"_s)->setText(old);
            test::child<QLineEdit>(&dialog, u"newPasswordEdit"_s)->setText(fresh);
            test::child<QLineEdit>(&dialog, u"newPasswordAgainEdit"_s)->setText(again);
            dialog.changePassword();
        };
        type(u"错的"_s, u"新 'x'"_s, u"新 'x'"_s);
        type(u"值班 pw"_s, u"新 'x'"_s, u"新 'y'"_s);
        type(u"值班 pw"_s, u"新 'x'"_s, u"新 'x'"_s);
        QCOMPARE(w.answers->texts(),
                 (QStringList{u"原密码不对，请重新输入。"_s, u"两次输入的新密码不一样，请重新输入。"_s,
                              u"密码已修改，下次登录时请使用新密码。"_s}));
        QCOMPARE(test::storeErrorOf([&] { office.deskOf(office.attendant, u"值班 pw"_s); }).code(),
                 ServerCode::SignInRefused);
        office.deskOf(office.attendant, u"新 'x'"_s);
        const QList<oplog::Entry> log = office.log();
        QCOMPARE(log.size(), 1);
        QCOMPARE(QStringList({log[0].operatorName, log[0].action, log[0].target, log[0].detail}),
                 (QStringList{office.attendant, u"操作员变更"_s, office.attendant, u"修改本人密码"_s}));
    }

    // The data menu's entries open the server's dialogs, not the key file's.
    void theMenuOpensTheServersDialog()
    {
        Office office;
        OperatorWindow w(office, office.admin, u"管理 pw"_s);
        QStringList shown;
        QTimer::singleShot(0, w.window.get(), [&] {
            if (auto *dialog = qobject_cast<OperatorsDialog *>(QApplication::activeModalWidget()))
                shown = listed(*dialog);
            if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                modal->reject();
        });
        w.window->findChild<QAction *>(u"operatorsAction"_s)->trigger();
        QCOMPARE(shown, (QStringList{u"%1,值班员"_s.arg(office.attendant), u"%1,管理员"_s.arg(office.admin)}));
    }
};

QTEST_MAIN(TestServerOperators)
#include "test_serveroperators.moc"
