#include "data/oplog.h"
#include "deskfixture.h"
#include "kit/fileplaces.h"
#include "kit/reportlist.h"
#include "mainwindow/logdialog.h"
#include "mainwindow/operatorsdialog.h"
#include "pagedriver.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

#include <functional>

using namespace orv;
using namespace orv::test;

namespace {

using Send = std::function<void(MainWindow &)>;

const QString kLogRows = u"SELECT operator, action, target, detail FROM oplog ORDER BY id"_s;

void logged(TestDatabase &db, const QString &time, const QString &name, const QString &action, const QString &target)
{
    db.connection().beginUnit();
    oplog::append(db.connection(), {QDateTime::fromString(time, u"yyyy-MM-dd HH:mm"_s), name, action, target, {}});
    db.connection().commitUnit();
}

} // namespace

Q_DECLARE_METATYPE(Send)

class TestOplogUi final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachWriteLogsOneRowNamingItsOperator_data()
    {
        QTest::addColumn<Send>("send");
        QTest::addColumn<QString>("row"); // operator, action, target and detail as TestDatabase::text gives them
        QTest::newRow("check-in") << Send([](MainWindow &w) {
            checkIn(page(w, 0), {u"王五"_s, u"男"_s, u"系"_s, u"N1"_s, u"139"_s, u"B"_s});
        }) << u"张三,入住,N1,王五，房间 B"_s;
        QTest::newRow("check-out") << Send([](MainWindow &w) { checkOut(page(w, 0), u"P1"_s, u"A"_s); })
                                   << u"张三,迁出,P1,甲，房间 A"_s;
        QTest::newRow("add room") << Send([](MainWindow &w) {
            addRoom(w, {u"R1"_s, u"555"_s, u"1"_s, u"2"_s, u"4"_s, u"120"_s, u"35"_s, u"男"_s});
        }) << u"张三,添加房间,R1,男，4 个床位"_s;
        QTest::newRow("fee standard, old to new")
            << Send([](MainWindow &w) { setStandard(page(w, 3), u"3"_s, u"1.5"_s, u"120"_s); })
            << u"张三,设置费用标准,费用标准,水费 2.5 → 3，电费 1 → 1.5，房租 100 → 120"_s;
        QTest::newRow("utility settlement")
            << Send([](MainWindow &w) { settleUtility(page(w, 3), QDate(2004, 2, 1), u"A"_s, u"200"_s, u"50"_s); })
            << u"张三,水电费结算,A,2004-02-01，水表 100 → 200，电表 10 → 50，合计 290 元"_s;
        QTest::newRow("rent settlement") << Send([](MainWindow &w) {
            settleRent(page(w, 3), QDate(2004, 3, 1), u"P1"_s);
        }) << u"张三,房租结算,P1,200 元，交至 2004- 3- 1"_s;
    }
    void eachWriteLogsOneRowNamingItsOperator()
    {
        QFETCH(Send, send);
        QFETCH(QString, row);
        QTemporaryDir keys;
        ops::Desk desk;
        signIn(desk, keys, u"张三"_s, Role::Administrator);
        Window w(kRoomsAndResident);
        w.window->setDesk(&desk);
        send(*w.window);
        QCOMPARE(w.answers->texts().filter(u"数据库操作失败"_s), QStringList());
        QCOMPARE(w.db.text(kLogRows), row);
        QVERIFY(oplog::verify(w.db.connection()).intact());
    }

    void fileWithoutOperatorsLogsNamingNobody()
    {
        Window w(kRoomsAndResident);
        checkOut(w.page(0), u"P1"_s, u"A"_s);
        QCOMPARE(w.db.text(kLogRows), u",迁出,P1,甲，房间 A"_s);
    }

    void anExportIsLoggedInAUnitOfItsOwn()
    {
        TestDatabase db;
        Answers answers;
        QTemporaryDir keys;
        ops::Desk desk;
        signIn(desk, keys, u"李四"_s, Role::Attendant);
        MainWindow window(db.connection());
        window.setDesk(&desk);
        logExported(child<ReportList>(page(window, 3), u"rentList"_s), u"/tmp/出/房租列表.csv"_s, 12);
        QCOMPARE(db.text(kLogRows), u"李四,导出,房租列表.csv,12 行"_s);

        // The log itself names who took it out, and the dialog shows that row at once.
        LogDialog dialog(db.connection(), u"李四"_s, &window);
        auto *list = child<ReportList>(&dialog, u"logList"_s);
        logExported(list, u"/tmp/出/操作日志.csv"_s, 1);
        QCOMPARE(db.text(u"SELECT operator, action, target FROM oplog ORDER BY id DESC LIMIT 1"_s),
                 u"李四,导出,操作日志.csv"_s);
        QCOMPARE(list->rowCount(), 2);
    }

    void refusedOrUndoneWritesLogNothing()
    {
        Window w(kRoomsAndResident);
        checkIn(w.page(0), {u"乙"_s, u"男"_s, u"系"_s, u"P1"_s, u"139"_s, u"B"_s});
        QCOMPARE(w.answers->texts(), QStringList{u"你输入的工号已经存在，请不要重复输入！"_s});
        QCOMPARE(w.db.count(u"oplog"_s), 0);

        // The log row fails at the very end: the check-in it records goes with it.
        w.db.exec(u"CREATE TRIGGER nolog BEFORE INSERT ON oplog BEGIN SELECT RAISE(ABORT, 'full'); END"_s);
        const QString before = allTables(w.db);
        w.answers->clear();
        checkIn(w.page(0), {u"乙"_s, u"男"_s, u"系"_s, u"N2"_s, u"139"_s, u"B"_s});
        QCOMPARE(w.answers->texts().filter(u"数据库操作失败"_s).size(), 1);
        QCOMPARE(allTables(w.db), before);
        QCOMPARE(w.db.count(u"oplog"_s), 0);
    }

    void logDialogFiltersByOperatorAndDays_data()
    {
        QTest::addColumn<int>("operatorIndex"); // in the combo: 全部, 张三, 李四
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("targets");
        QTest::newRow("everything, newest first")
            << 0 << QDate(2026, 1, 1) << QDate(2026, 1, 3) << QStringList{u"R1"_s, u"P2"_s, u"P1"_s};
        QTest::newRow("one operator") << 1 << QDate(2026, 1, 1) << QDate(2026, 1, 3) << QStringList{u"R1"_s, u"P1"_s};
        QTest::newRow("one day, taken whole") << 0 << QDate(2026, 1, 2) << QDate(2026, 1, 2) << QStringList{u"P2"_s};
        QTest::newRow("operator and days") << 2 << QDate(2026, 1, 3) << QDate(2026, 1, 3) << QStringList();
    }
    void logDialogFiltersByOperatorAndDays()
    {
        QFETCH(int, operatorIndex);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, targets);
        TestDatabase db;
        logged(db, u"2026-01-01 09:00"_s, u"张三"_s, u"入住"_s, u"P1"_s);
        logged(db, u"2026-01-02 23:59"_s, u"李四"_s, u"入住"_s, u"P2"_s);
        logged(db, u"2026-01-03 00:00"_s, u"张三"_s, u"添加房间"_s, u"R1"_s);
        LogDialog dialog(db.connection());
        auto *combo = child<QComboBox>(&dialog, u"operatorCombo"_s);
        QCOMPARE(combo->count(), 3);
        QCOMPARE(child<QDateEdit>(&dialog, u"fromDateEdit"_s)->date(), QDate(2026, 1, 1));
        combo->setCurrentIndex(operatorIndex);
        child<QDateEdit>(&dialog, u"fromDateEdit"_s)->setDate(from);
        child<QDateEdit>(&dialog, u"toDateEdit"_s)->setDate(to);
        QCOMPARE(shownColumn(child<ReportList>(&dialog, u"logList"_s), 3), targets);
    }

    void operatorsAreAddedAndTheLastAdministratorStays()
    {
        TestDatabase db;
        Answers answers;
        QTemporaryDir keys;
        ops::Desk desk;
        signIn(desk, keys, u"张三"_s, Role::Administrator);
        OperatorsDialog dialog(db.connection(), desk, kCheapCost);
        auto *list = child<ReportList>(&dialog, u"operatorList"_s);
        QCOMPARE(shownColumn(list, 1), (QStringList{u"管理员"_s, u"值班员"_s}));

        child<QLineEdit>(&dialog, u"nameEdit"_s)->setText(u"王五"_s);
        child<QComboBox>(&dialog, u"roleCombo"_s)->setCurrentText(u"值班员"_s);
        child<QLineEdit>(&dialog, u"passwordEdit"_s)->setText(u"戊己庚"_s);
        child<QLineEdit>(&dialog, u"passwordAgainEdit"_s)->setText(u"戊己庚"_s);
        click(child<QAbstractButton>(&dialog, u"addOperatorButton"_s));
        QCOMPARE(answers->texts(), QStringList());
        QCOMPARE(shownColumn(list, 0), (QStringList{u"张三"_s, u"李四"_s, u"王五"_s}));
        QVERIFY(desk.slots()->open(u"王五"_s, u"戊己庚"_s).opened());
        QCOMPARE(db.text(kLogRows), u"张三,操作员变更,王五,添加，值班员"_s);

        list->selectRow(0);
        click(child<QAbstractButton>(&dialog, u"removeOperatorButton"_s));
        QCOMPARE(answers->texts().last(), u"“张三”是最后一个管理员，不能删除：至少要留一个管理员来管理操作员。"_s);
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(db.count(u"oplog"_s), 1);
        QVERIFY(!db.text(u"SELECT * FROM oplog"_s).contains(u"戊己庚"_s));
    }

    void anyoneChangesTheirOwnPassword()
    {
        TestDatabase db;
        Answers answers;
        QTemporaryDir keys;
        ops::Desk desk;
        signIn(desk, keys, u"李四"_s, Role::Attendant);
        PasswordDialog dialog(db.connection(), desk, kCheapCost);
        auto type = [&dialog](const QString &old, const QString &fresh, const QString &again) {
            child<QLineEdit>(&dialog, u"oldPasswordEdit"_s)->setText(old);
            child<QLineEdit>(&dialog, u"newPasswordEdit"_s)->setText(fresh);
            child<QLineEdit>(&dialog, u"newPasswordAgainEdit"_s)->setText(again);
            dialog.changePassword();
        };
        type(u"错的"_s, u"新密码"_s, u"新密码"_s);
        type(u"丙丁"_s, u"新密码"_s, u"新密吗"_s);
        QCOMPARE(answers->texts(),
                 (QStringList{u"原密码不对，请重新输入。"_s, u"两次输入的新密码不一样，请重新输入。"_s}));
        QCOMPARE(db.count(u"oplog"_s), 0);
        type(u"丙丁"_s, u"新密码"_s, u"新密码"_s);
        QVERIFY(desk.slots()->open(u"李四"_s, u"新密码"_s).opened());
        QVERIFY(!desk.slots()->open(u"李四"_s, u"丙丁"_s).opened());
        QCOMPARE(db.text(kLogRows), u"李四,操作员变更,李四,修改本人密码"_s);
    }
};

QTEST_MAIN(TestOplogUi)
#include "test_oplog_ui.moc"
