#include "pages/queries/cdialog3.h"
#include "support/testsupport.h"
#include "ui/reportlist.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace orv;
using namespace orv::test;

namespace {

void addRows(TestDatabase &db)
{
    db.exec(QStringLiteral("INSERT INTO personinfo (姓名, 性别, 部门, 工号, 手机, 日期, 房间) VALUES "
                           "('张伟', '男', '计算机系', '2004001', '138001', '2004-03-15', '101'),"
                           "('李娜', '女', '外语系', '2004002', '138002', '2004-04-01', '102'),"
                           "('王强', '男', '数学系', '2004003', '138003', '2004-05-10', '101'),"
                           "('O''Neil', 'M''', '外语系', '2004004', '138004', '2004-06-01', '1''01')"));
    db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('101', '男', '0571-1101', '206', '618', 6, 120, 35, 2, 4),"
                           "('10', '男', '0571-1010', '207', '619', 4, 88, 240, 0, 4),"
                           "('102', '女', '0571-1102', '208', '206', 4, 56, 130, 1, 3),"
                           "('1''01', '女', '0571''9', '209', '621', 2, 1, 2, 0, 2),"
                           "('103 ', '男', '0571-1103', '210', '622', 8, 15, 22, 0, 8)"));
}

struct Fixture {
    explicit Fixture(TestDatabase &db) : page(db.connection()) {}
    template <typename T> T *get(const char *name) { return child<T>(&page, QString::fromLatin1(name)); }
    QStringList column0(const char *list)
    {
        QStringList texts;
        for (int row = 0; row < get<ReportList>(list)->rowCount(); ++row)
            texts.append(get<ReportList>(list)->cellText(row, 0));
        return texts;
    }
    void press(const char *button) { click(get<QPushButton>(button)); }
    void type(const char *edit, const QString &text) { QVERIFY(typeText(get<QLineEdit>(edit), text)); }
    void choose(int row)
    {
        get<QListWidget>("queryFieldList")->setCurrentRow(row);
        press("chooseFieldButton");
    }
    CDialog3 page;
    Answers answers;
};

} // namespace

class TestQueries final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listAllAndEmptyTable()
    {
        TestDatabase db;
        addRows(db);
        Fixture f(db);
        f.press("listAllButton");
        QCOMPARE(f.column0("personList").size(), 4);
        // 工号 shows under "学号", 部门 under "班级".
        auto *list = f.get<ReportList>("personList");
        QCOMPARE(list->horizontalHeaderItem(3)->text() + list->horizontalHeaderItem(4)->text(),
                 QStringLiteral("学号班级"));
        QCOMPARE(list->rowTexts(1).join(QLatin1Char('|')), QStringLiteral("李娜|女|102|2004002|外语系|138002|2004-04-01"));
        db.exec(QStringLiteral("DELETE FROM personinfo"));
        f.press("listAllButton");
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(f.answers->texts(), QStringList{QStringLiteral("还没有人入住，数据库为空！")});
    }

    void queryPersons_data()
    {
        QTest::addColumn<QStringList>("criteria"); // name, sex, room
        QTest::addColumn<QString>("found");
        QTest::newRow("name") << QStringList{QStringLiteral("李娜"), {}, {}} << QStringLiteral("李娜");
        QTest::newRow("sex") << QStringList{{}, QStringLiteral("男"), {}} << QStringLiteral("张伟,王强");
        QTest::newRow("name+room") << QStringList{QStringLiteral("李娜"), {}, QStringLiteral("101")}
                                   << QStringLiteral("张伟,王强");
        QTest::newRow("all three") << QStringList{QStringLiteral("张伟"), QStringLiteral("男"), QStringLiteral("102")}
                                   << QStringLiteral("李娜");
        QTest::newRow("room 10 not 101") << QStringList{{}, {}, QStringLiteral("10")} << QString();
        QTest::newRow("' in name") << QStringList{QStringLiteral("O'Neil"), {}, {}} << QStringLiteral("O'Neil");
        QTest::newRow("' in sex") << QStringList{{}, QStringLiteral("M'"), {}} << QStringLiteral("O'Neil");
        QTest::newRow("' in room") << QStringList{{}, {}, QStringLiteral("1'01")} << QStringLiteral("O'Neil");
        QTest::newRow("no widening") << QStringList{QStringLiteral("x' or '1'='1"), {}, {}} << QString();
    }
    void queryPersons()
    {
        QFETCH(QStringList, criteria);
        QFETCH(QString, found);
        TestDatabase db;
        addRows(db);
        Fixture f(db);
        f.press("listAllButton");
        const char *edits[] = {"nameEdit", "sexEdit", "roomEdit"};
        for (int i = 0; i < 3; ++i)
            f.type(edits[i], criteria.at(i));
        f.press("queryPersonsButton");
        QCOMPARE(f.column0("personList").join(QLatin1Char(',')), found);
        QCOMPARE(f.answers->last(), found.isEmpty() ? QStringLiteral("没有满足你要查询的记录！") : QString());
        for (const char *edit : edits)
            QVERIFY(f.get<QLineEdit>(edit)->text().isEmpty());
        // Nothing typed: the list stays as it was.
        f.press("queryPersonsButton");
        QCOMPARE(f.answers->last(), QStringLiteral("请输入查询条件！"));
        QCOMPARE(f.column0("personList").join(QLatin1Char(',')), found);
    }

    void focusDisablesTheOtherCriteria()
    {
        TestDatabase db;
        Fixture f(db);
        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        QApplication::setActiveWindow(&f.page);
        QVERIFY(QTest::qWaitForWindowActive(&f.page));
        QLineEdit *edits[] = {f.get<QLineEdit>("nameEdit"), f.get<QLineEdit>("sexEdit"), f.get<QLineEdit>("roomEdit")};
        for (QLineEdit *focused : edits) {
            focused->setFocus(Qt::MouseFocusReason);
            QTRY_VERIFY(focused->hasFocus());
            for (QLineEdit *edit : edits)
                QCOMPARE(edit->isEnabled(), edit == focused);
            f.get<QLineEdit>("queryValueEdit")->setFocus(Qt::MouseFocusReason);
            QTRY_VERIFY(edits[0]->isEnabled() && edits[1]->isEnabled() && edits[2]->isEnabled());
        }
    }

    void roomQueryChecksInOrder()
    {
        TestDatabase db;
        addRows(db);
        Fixture f(db);
        auto *label = f.get<QLabel>("chosenFieldLabel");
        QCOMPARE(label->text(), QStringLiteral("请你选择："));
        f.type("queryValueEdit", QStringLiteral("101"));
        f.get<QListWidget>("queryFieldList")->setCurrentRow(0); // selected, not adopted
        f.press("queryRoomsButton");
        QCOMPARE(f.answers->last(), QStringLiteral("请您选择完查询方式后再操作！"));
        f.choose(0);
        QCOMPARE(label->text(), QStringLiteral("  房间号码："));
        f.press("queryRoomsButton");
        QCOMPARE(f.get<ReportList>("roomResultList")->rowTexts(0).join(QLatin1Char('|')),
                 QStringLiteral("101|0571-1101|206|618|6|120|35"));
        f.type("queryValueEdit", QString());
        f.press("queryRoomsButton");
        QCOMPARE(f.answers->last(), QStringLiteral("请您输入查询条件！"));
        f.type("queryValueEdit", QStringLiteral("101"));
        f.choose(3); // a spacer takes the field back
        QCOMPARE(label->text(), QStringLiteral("请您选择："));
        f.press("queryRoomsButton");
        QCOMPARE(f.answers->texts().size(), 3);
        QCOMPARE(f.answers->last(), QStringLiteral("请您选择完查询方式后再操作！"));
        QCOMPARE(f.column0("roomResultList"), QStringList{QStringLiteral("101")});
    }

    void queryRooms_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("found");
        QTest::newRow("no match") << 0 << QStringLiteral("999") << QString();
        QTest::newRow("trailing blank missing") << 0 << QStringLiteral("103") << QString();
        QTest::newRow("trailing blank given") << 0 << QStringLiteral("103 ") << QStringLiteral("103 ");
        QTest::newRow("' in room") << 0 << QStringLiteral("1'01") << QStringLiteral("1'01");
        QTest::newRow("' in telephone") << 2 << QStringLiteral("0571'9") << QStringLiteral("1'01");
        QTest::newRow("telephone port") << 4 << QStringLiteral("206") << QStringLiteral("101");
        QTest::newRow("network port") << 6 << QStringLiteral("206") << QStringLiteral("102");
    }
    void queryRooms()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, found);
        TestDatabase db;
        addRows(db);
        Fixture f(db);
        f.choose(0);
        f.type("queryValueEdit", QStringLiteral("10"));
        f.press("queryRoomsButton");
        f.choose(field);
        f.type("queryValueEdit", value);
        f.press("queryRoomsButton");
        QCOMPARE(f.column0("roomResultList").join(QLatin1Char(',')), found);
        QCOMPARE(f.answers->last(), found.isEmpty() ? QStringLiteral("数据库中没有你要查询的记录！") : QString());
    }

    // A store failure half-way through a walk ends the query with the failure box, writes
    // nothing, and the next query answers for its own criterion.
    void storeFailureMidWalk()
    {
        TestDatabase db;
        addRows(db);
        const auto before = db.rows(QStringLiteral("select * from personinfo, floorinfo"));
        Fixture f(db);
        for (const QString &table : {QStringLiteral("personinfo"), QStringLiteral("floorinfo")})
            db.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %1_kept; CREATE TABLE %1 (房间号码, 姓名);"
                                   "INSERT INTO %1 VALUES ('101', '张伟')").arg(table));
        f.type("nameEdit", QStringLiteral("张伟"));
        f.press("queryPersonsButton");
        f.choose(0);
        f.type("queryValueEdit", QStringLiteral("101"));
        f.press("queryRoomsButton");
        QCOMPARE(f.answers->texts().size(), 2);
        for (const QString &text : f.answers->texts())
            QVERIFY(text.startsWith(QStringLiteral("数据库操作失败!\n错误信息:")));
        for (const QString &table : {QStringLiteral("personinfo"), QStringLiteral("floorinfo")})
            db.exec(QStringLiteral("DROP TABLE %1; ALTER TABLE %1_kept RENAME TO %1").arg(table));
        QCOMPARE(db.rows(QStringLiteral("select * from personinfo, floorinfo")), before);
        f.type("roomEdit", QStringLiteral("102"));
        f.press("queryPersonsButton");
        QCOMPARE(f.column0("personList"), QStringList{QStringLiteral("李娜")});
        f.type("queryValueEdit", QStringLiteral("102"));
        f.press("queryRoomsButton");
        QCOMPARE(f.column0("roomResultList"), QStringList{QStringLiteral("102")});
    }
};

QTEST_MAIN(TestQueries)
#include "test_queries.moc"
