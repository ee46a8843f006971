#include "kit/reportlist.h"
#include "pages/accommodation/accommodationpage.h"
#include "support/teststore.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

using namespace orv;
using namespace orv::test;
using namespace Qt::StringLiterals;

namespace {

const QString kDone = u"成功迁出！"_s;

// F is full though its counter says 1 free; O has a free bed, a counter of 0 and no count row; G has no room row.
struct Fixture {
    TestStore db;
    Answers answers;
    AccommodationPage page{db.connection()};

    Fixture()
    {
        db.exec(u"INSERT INTO floorinfo VALUES ('A','男','tel-A','1','2',4,0,0,1,3),"
                "('B','男','tel-B','1','2',4,0,0,3,1),"
                "('F','女','tel-F','1','2',2,0,0,2,1), ('O','女','tel-O','1','2',4,0,0,1,0);"
                "INSERT INTO numinfo VALUES ('A',1), ('B',3), ('B',0), ('G',1);"
                "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','2004-01-01','A'),"
                "('乙','男','系','P2','139','2004-01-01','B'), ('丙','男','系','P3','139','2004-01-01','B'),"
                "('丁','男','系','P4','139','2004-01-01','G')"_s);
    }
    void press(const QString &button) { test::press(&page, button + u"Button"_s); }
    // Each room's residents and free beds, the counts, the residents' staff numbers.
    QString tables()
    {
        return db.text(u"SELECT 房间号码, 入住人数, 空缺人数 FROM floorinfo ORDER BY rowid"_s) + u'/' +
               db.text(u"SELECT * FROM numinfo ORDER BY rowid"_s) + u'/' +
               db.text(u"SELECT 工号 FROM personinfo ORDER BY rowid"_s);
    }
    QString everything() { return tables() + db.text(u"SELECT * FROM personinfo"_s); }
    QString listed()
    {
        auto *list = child<ReportList>(&page, u"roomList"_s);
        QStringList rooms;
        for (int row = 0; row < list->rowCount(); ++row)
            rooms.append(list->cellText(row, 0));
        return rooms.join(u' ');
    }
};

} // namespace

class TestAccommodation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lists()
    {
        Fixture f;
        f.press(u"fullRooms"_s);
        QCOMPARE(f.listed(), u"O"_s);
        // The second walk refills the list rather than adding to it.
        f.press(u"freeRooms"_s);
        f.press(u"freeRooms"_s);
        QCOMPARE(f.listed(), u"A B F"_s);
        f.press(u"clearList"_s);
        QCOMPARE(f.listed(), QString());
        QCOMPARE(f.answers->texts(), QStringList());
    }

    // The sex comes from the combo and the date from the picker; a refusal is boxed, an over-long
    // staff number by the form helper, which selects it; success refills the free list.
    void checkIn()
    {
        Fixture f;
        const QString before = f.everything();
        child<QDateEdit>(&f.page, u"checkInDate"_s)->setDate(QDate(2004, 1, 5));
        test::checkIn(&f.page, {u"李四"_s, QString(), u"数学系"_s, u"12345678901234567"_s, u"13900000000"_s, u"A"_s});
        QCOMPARE(f.answers->texts(), QStringList{u"请输入性别！"_s});
        child<QComboBox>(&f.page, u"sexCombo"_s)->setCurrentIndex(1);
        f.press(u"checkIn"_s);
        QCOMPARE(f.answers->last(), u"请输入不超过 16 个字符（一个汉字算两个字符）。"_s);
        QCOMPARE(child<QLineEdit>(&f.page, u"staffNoEdit"_s)->selectedText(), u"12345678901234567"_s);
        QCOMPARE(f.everything(), before);
        QCOMPARE(f.listed(), QString());

        setField(&f.page, u"staffNoEdit"_s, u"s1"_s);
        f.press(u"checkIn"_s);
        QCOMPARE(f.answers->texts().size(), 2);
        QCOMPARE(f.db.text(u"SELECT * FROM personinfo WHERE rowid > 4"_s),
                 u"李四,女,数学系,s1,13900000000,2004-01-05,A"_s);
        QCOMPARE(child<ReportList>(&f.page, u"roomList"_s)->rowTexts(0).join(u' '), u"A 男 tel-A 4 2 2"_s);
        QCOMPARE(f.listed(), u"A B F"_s);
    }

    void checkOut_data()
    {
        QTest::addColumn<QString>("staffNo");
        QTest::addColumn<QString>("room");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("after"); // see tables(); empty: nothing written
        QTest::newRow("only resident") << u"P1"_s << u"A"_s << kDone
                                       << u"A,0,4|B,3,1|F,2,1|O,1,0/B,3|B,0|G,1/P2|P3|P4"_s;
        QTest::newRow("wrong room") << u"P1"_s << u"B"_s << u"您输入的工号和房间号码不匹配，请重新输入！"_s
                                    << QString();
    }
    void checkOut()
    {
        QFETCH(QString, staffNo);
        QFETCH(QString, room);
        QFETCH(QString, message);
        QFETCH(QString, after);
        Fixture f;
        const QString before = f.everything();
        test::checkOut(&f.page, staffNo, room);
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(after.isEmpty() ? f.everything() : f.tables(), after.isEmpty() ? before : after);
        QCOMPARE(f.listed(), after.isEmpty() ? QString() : u"A B F"_s);
    }
};

QTEST_MAIN(TestAccommodation)
#include "test_accommodation.moc"
