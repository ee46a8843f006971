#include "deskfixture.h"
#include "kit/reportlist.h"
#include "mainwindow/rolegates.h"
#include "operations/permissions.h"
#include "pagedriver.h"

#include <QAbstractButton>
#include <QAction>
#include <QHash>
#include <QTabBar>

using namespace orv;
using namespace orv::test;

namespace {

struct State {
    bool enabled = false;
    QString toolTip;
    bool menuEntry = false; // its tooltip is its text until it is given one
};

// Every named button and action of the window: the pages' buttons, the lists' and the data menu's
// entries.
QHash<QString, State> controls(MainWindow &window)
{
    QHash<QString, State> states;
    for (QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
        // The tab bar's scroll arrows are Qt's own.
        if (button->objectName().endsWith(u"Button"_s) && !qobject_cast<QTabBar *>(button->parentWidget()))
            states.insert(button->objectName() + QString::number(states.size()),
                          {button->isEnabled(), button->toolTip()});
    }
    for (QAction *action : window.findChildren<QAction *>()) {
        if (action->objectName().endsWith(u"Action"_s))
            states.insert(action->objectName() + QString::number(states.size()),
                          {action->isEnabled(), action->toolTip(), true});
    }
    return states;
}

QString nameOf(const QString &key)
{
    QString name = key;
    while (!name.isEmpty() && name.back().isDigit())
        name.chop(1);
    return name;
}

// Entries that follow the desk itself (signed in, keyed or not), whatever the role.
bool followsTheDesk(const QString &key)
{
    static const QStringList names = {u"lockAction"_s,    u"switchOperatorAction"_s, u"backupKeyAction"_s,
                                      u"protectAction"_s, u"operatorsAction"_s,      u"changePasswordAction"_s};
    return names.contains(nameOf(key));
}

} // namespace

class TestRoles final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyControlIsGatedOrFreeOnPurpose()
    {
        TestDatabase db;
        MainWindow window(db.connection());
        const QHash<QString, State> states = controls(window);
        QVERIFY(states.size() > 30);
        for (const QString &key : states.keys()) {
            const QString name = nameOf(key);
            QVERIFY2(gatedAction(name) || ungatedControls().contains(name), qPrintable(name));
        }
    }

    void theRoleDecidesWhatIsOn_data()
    {
        QTest::addColumn<int>("role"); // -1: a file without operators
        QTest::newRow("管理员") << int(Role::Administrator);
        QTest::newRow("值班员") << int(Role::Attendant);
        QTest::newRow("no operators") << -1;
    }
    void theRoleDecidesWhatIsOn()
    {
        QFETCH(int, role);
        TestDatabase db;
        MainWindow window(db.connection());
        const QHash<QString, State> before = controls(window);
        QTemporaryDir keys;
        ops::Desk desk;
        if (role >= 0)
            signIn(desk, keys, u"某人"_s, Role(role));
        window.setDesk(&desk);
        const QHash<QString, State> after = controls(window);
        int refused = 0;
        for (const QString &key : before.keys()) {
            const std::optional<ops::Action> action = gatedAction(nameOf(key));
            const QString tip = action && role >= 0 ? ops::refusalTip(Role(role), *action) : QString();
            if (tip.isEmpty() && followsTheDesk(key))
                continue;
            if (tip.isEmpty()) {
                QCOMPARE(after[key].enabled, before[key].enabled);
                QCOMPARE(after[key].toolTip, before[key].toolTip);
                continue;
            }
            ++refused;
            QVERIFY2(!after[key].enabled, qPrintable(key));
            // A button's tooltip keeps the shortcut it named, with the reason after it.
            if (before[key].menuEntry)
                QCOMPARE(after[key].toolTip, tip);
            else
                QCOMPARE(after[key].toolTip, before[key].toolTip.isEmpty() ? tip : before[key].toolTip + u"\n"_s + tip);
        }
        QCOMPARE(refused > 0, role == int(Role::Attendant));

        // Signing out and in again as the other role gives back exactly what the controls had.
        desk.signOut();
        signIn(desk, keys, u"某人"_s, Role::Administrator);
        window.deskChanged();
        const QHash<QString, State> again = controls(window);
        for (const QString &key : before.keys()) {
            if (followsTheDesk(key))
                continue;
            QCOMPARE(again[key].enabled, before[key].enabled);
            QCOMPARE(again[key].toolTip, before[key].toolTip);
        }
    }

    void aRefusedButtonStaysOffWhenItsPageTurnsItOn()
    {
        TestDatabase db;
        db.addRoom(u"A"_s);
        MainWindow window(db.connection());
        QTemporaryDir keys;
        ops::Desk desk;
        signIn(desk, keys, u"李四"_s, Role::Attendant);
        window.setDesk(&desk);
        press(page(window, 1), u"listRoomsButton"_s);
        auto *list = child<ReportList>(page(window, 1), u"roomList"_s);
        QCOMPARE(list->rowCount(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        QVERIFY(!child<QAbstractButton>(page(window, 1), u"deleteRoomButton"_s)->isEnabled());
        QVERIFY(!window.findChild<QAction *>(u"operatorsAction"_s)->isVisible());
        QVERIFY(window.findChild<QAction *>(u"changePasswordAction"_s)->isVisible());

        // The page's own state comes back with the role that may use the button.
        desk.signOut();
        signIn(desk, keys, u"张三"_s, Role::Administrator);
        window.deskChanged();
        QVERIFY(child<QAbstractButton>(page(window, 1), u"deleteRoomButton"_s)->isEnabled());
        QVERIFY(window.findChild<QAction *>(u"operatorsAction"_s)->isVisible());
        QVERIFY(window.findChild<QAction *>(u"operatorsAction"_s)->isEnabled());
    }

    // As at start-up: the window comes up with nobody, then a 管理员 is signed in. The entries
    // hidden meanwhile come back usable, not only shown.
    void aManagerSignedInAtStartCanUseTheOperatorsEntries()
    {
        TestDatabase db;
        MainWindow window(db.connection());
        QTemporaryDir keys;
        ops::Desk desk;
        signIn(desk, keys, u"张三"_s, Role::Administrator);
        window.setDesk(&desk);
        for (const QString &name : {u"operatorsAction"_s, u"changePasswordAction"_s, u"backupKeyAction"_s}) {
            const QAction *action = window.findChild<QAction *>(name);
            QVERIFY2(action->isVisible() && action->isEnabled(), qPrintable(name));
        }
    }
};

QTEST_MAIN(TestRoles)
#include "test_roles.moc"
