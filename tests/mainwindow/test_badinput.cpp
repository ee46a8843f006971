#include "data/dbcheck.h"
#include "pagedriver.h"

#include <QListWidget>

using namespace orv;
using namespace orv::test;

namespace {

QStringList badValues()
{
    return {QStringLiteral("'"),
            QStringLiteral("' or '1'='1"),
            QStringLiteral("a''b'"),
            QString(10000, QChar(0x957F)),
            QString(10000, QLatin1Char('9')),
            QStringLiteral("😀"),
            QStringLiteral("한국어𠀀"),
            QStringLiteral("a") + QChar(0) + QStringLiteral("b"),
            QStringLiteral("x\ny\t\x1b"),
            QString(),
            QStringLiteral("   "),
            QStringLiteral("-1"),
            QStringLiteral("0"),
            QStringLiteral("99999999999999999999"),
            QStringLiteral("2147483648"),
            QStringLiteral("1.5"),
            QStringLiteral("-0.5"),
            QStringLiteral("1e308"),
            QStringLiteral("nan"),
            QStringLiteral("%1%s")};
}

// A field, the page it is on, and how to run its button with the other fields valid.
struct Field {
    int page;
    QString name;
    std::function<void(PageDriver &, const QString &)> run;
};

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every field of every page fed every bad value: a message of the form or a correct store,
    // never a database error, and no row lost.
    void everyFieldTakesEveryBadValue()
    {
        const QStringList checkIn = {QStringLiteral("nameEdit"),   QStringLiteral("sexCombo"),
                                     QStringLiteral("deptEdit"),   QStringLiteral("staffNoEdit"),
                                     QStringLiteral("mobileEdit"), QStringLiteral("roomEdit")};
        const QStringList addRoom = {QStringLiteral("roomNoEdit"),    QStringLiteral("phoneEdit"),
                                     QStringLiteral("phonePortEdit"), QStringLiteral("netPortEdit"),
                                     QStringLiteral("capacityEdit"),  QStringLiteral("waterBaseEdit"),
                                     QStringLiteral("powerBaseEdit"), QStringLiteral("sexEdit")};
        QList<Field> fields;
        for (int i = 0; i < checkIn.size(); ++i) {
            fields.append({0, checkIn[i], [i](PageDriver &d, const QString &v) {
                               static int serial = 0;
                               QStringList form = {QStringLiteral("王五"), QStringLiteral("男"),
                                                   QStringLiteral("系"),   QStringLiteral("N%1").arg(++serial),
                                                   QStringLiteral("139"),  QStringLiteral("B")};
                               form[i] = v;
                               d.checkIn(form);
                           }});
        }
        fields.append({0, QStringLiteral("outStaffNoEdit"),
                       [](PageDriver &d, const QString &v) { d.checkOut(v, QStringLiteral("A")); }});
        fields.append({0, QStringLiteral("outRoomEdit"),
                       [](PageDriver &d, const QString &v) { d.checkOut(QStringLiteral("P1"), v); }});
        for (int i = 0; i < addRoom.size(); ++i) {
            fields.append({1, addRoom[i], [i](PageDriver &d, const QString &v) {
                               static int serial = 0;
                               QStringList form = QString::fromUtf8("R|555|1|2|4|120|35|男").split(QLatin1Char('|'));
                               form[0] = QStringLiteral("R%1").arg(++serial);
                               form[i] = v;
                               d.addRoom(form);
                           }});
        }
        for (const char *name : {"nameEdit", "sexEdit", "roomEdit"}) {
            fields.append({2, QLatin1String(name), [name](PageDriver &d, const QString &v) {
                               d.set(2, QLatin1String(name), v);
                               d.press(2, QStringLiteral("queryPersonsButton"));
                           }});
        }
        fields.append({2, QStringLiteral("queryValueEdit"), [](PageDriver &d, const QString &v) {
                           auto *choices = child<QListWidget>(d.page(2), QStringLiteral("queryFieldList"));
                           choices->setCurrentRow(0);
                           d.press(2, QStringLiteral("chooseFieldButton"));
                           d.set(2, QStringLiteral("queryValueEdit"), v);
                           d.press(2, QStringLiteral("queryRoomsButton"));
                       }});
        for (int i = 0; i < 3; ++i) {
            fields.append({3, QStringLiteral("standard %1").arg(i), [i](PageDriver &d, const QString &v) {
                               QStringList form = {QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("100")};
                               form[i] = v;
                               d.setStandard(form[0], form[1], form[2]);
                           }});
        }
        for (int i = 0; i < 3; ++i) {
            fields.append({3, QStringLiteral("utility %1").arg(i), [i](PageDriver &d, const QString &v) {
                               static int day = 0;
                               QStringList form = {QStringLiteral("A"), QStringLiteral("200"), QStringLiteral("50")};
                               form[i] = v;
                               d.settleUtility(QDate(2004, 1, 1).addDays(++day), form[0], form[1], form[2]);
                           }});
        }
        fields.append({3, QStringLiteral("staffNoEdit"),
                       [](PageDriver &d, const QString &v) { d.settleRent(QDate(2004, 3, 1), v); }});

        int inputs = 0;
        int held = 0;
        for (const Field &field : fields) {
            TestDatabase db;
            db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,100,10,1,3),"
                                   "('B','女','1','2','3',8,100,10,0,8);"
                                   "INSERT INTO numinfo VALUES ('A',1);"
                                   "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','2004-01-01','A');"
                                   "INSERT INTO feiyong VALUES (2.5, 1, 100)"));
            Answers answers;
            CDormDlg window(db.connection());
            PageDriver drive(window);
            for (const QString &value : badValues()) {
                ++inputs;
                answers->clear();
                field.run(drive, value);
                const QString what = field.name + QStringLiteral(" <- ") + value.left(20);
                for (const QString &text : answers->texts())
                    QVERIFY2(!text.startsWith(QStringLiteral("数据库操作失败!")),
                             qPrintable(what + QLatin1Char('\n') + text));
                QCOMPARE(checkDatabase(db.connection()), QStringList());
                QVERIFY2(db.rows(QStringLiteral("SELECT 1 FROM floorinfo WHERE 房间号码 = 'A'")).size() == 1,
                         qPrintable(what));
                if (field.page != 0 || field.name.startsWith(QLatin1String("out")) == false)
                    QVERIFY2(db.rows(QStringLiteral("SELECT 1 FROM personinfo WHERE 工号 = 'P1'")).size() == 1,
                             qPrintable(what));
                ++held;
            }
        }
        qInfo("bad input: %d inputs tried, %d held", inputs, held);
    }
};

QTEST_MAIN(TestBadInput)
#include "test_badinput.moc"
