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
            QStringLiteral("1e308"),
            QStringLiteral("nan"),
            QStringLiteral("%1%s")};
}

QStringList split(const char *cells)
{
    return QString::fromUtf8(cells).split(QLatin1Char('|'));
}

// Sends a page's form with the values given, in the order of its fields.
using Send = std::function<void(CDormDlg &, const QStringList &)>;

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyFieldTakesEveryBadValue_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("valid"); // "#" stands for a number new with every try
        QTest::addColumn<Send>("send");
        QTest::newRow("check-in") << split("nameEdit|sexCombo|deptEdit|staffNoEdit|mobileEdit|roomEdit")
                                  << split("王五|男|系|N#|139|B")
                                  << Send([](CDormDlg &w, const QStringList &f) { checkIn(page(w, 0), f); });
        QTest::newRow("check-out") << split("outStaffNoEdit|outRoomEdit") << split("P1|A")
                                   << Send([](CDormDlg &w, const QStringList &f) { checkOut(page(w, 0), f[0], f[1]); });
        QTest::newRow("add room") << split("roomNoEdit|phoneEdit|phonePortEdit|netPortEdit|capacityEdit|"
                                           "waterBaseEdit|powerBaseEdit|sexEdit")
                                  << split("R#|555|1|2|4|120|35|男")
                                  << Send([](CDormDlg &w, const QStringList &f) { addRoom(w, f); });
        QTest::newRow("query persons") << split("nameEdit|sexEdit|roomEdit") << split("甲|男|A")
                                       << Send([](CDormDlg &w, const QStringList &f) {
                                              setField(page(w, 2), QStringLiteral("nameEdit"), f[0]);
                                              setField(page(w, 2), QStringLiteral("sexEdit"), f[1]);
                                              setField(page(w, 2), QStringLiteral("roomEdit"), f[2]);
                                              press(page(w, 2), QStringLiteral("queryPersonsButton"));
                                          });
        QTest::newRow("query rooms")
            << split("queryValueEdit") << split("A") << Send([](CDormDlg &w, const QStringList &f) {
                   child<QListWidget>(page(w, 2), QStringLiteral("queryFieldList"))->setCurrentRow(0);
                   press(page(w, 2), QStringLiteral("chooseFieldButton"));
                   setField(page(w, 2), QStringLiteral("queryValueEdit"), f[0]);
                   press(page(w, 2), QStringLiteral("queryRoomsButton"));
               });
        QTest::newRow("fee standard") << split("water|power|rent") << split("2|1|100")
                                      << Send([](CDormDlg &w, const QStringList &f) {
                                             setStandard(page(w, 3), f[0], f[1], f[2]);
                                         });
        // The fourth value, not a field, moves the settlement day on with every try.
        QTest::newRow("utility settlement")
            << split("room|water|power") << split("A|200|50|#") << Send([](CDormDlg &w, const QStringList &f) {
                   settleUtility(page(w, 3), QDate(2004, 1, 1).addDays(f[3].toInt()), f[0], f[1], f[2]);
               });
        QTest::newRow("rent settlement") << split("staffNoEdit") << split("P1")
                                         << Send([](CDormDlg &w, const QStringList &f) {
                                                settleRent(page(w, 3), QDate(2004, 3, 1), f[0]);
                                            });
    }
    // Every field of every page fed every bad value: a message of the form or a correct store,
    // never a database error, and no row lost.
    void everyFieldTakesEveryBadValue()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, valid);
        QFETCH(Send, send);
        int serial = 0;
        for (int i = 0; i < fields.size(); ++i) {
            TestDatabase db;
            db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,100,10,1,3),"
                                   "('B','女','1','2','3',8,100,10,0,8);"
                                   "INSERT INTO numinfo VALUES ('A',1);"
                                   "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','2004-01-01','A');"
                                   "INSERT INTO feiyong VALUES (2.5, 1, 100)"));
            Answers answers;
            CDormDlg window(db.connection());
            for (const QString &value : badValues()) {
                answers->clear();
                QStringList form = valid;
                form.replaceInStrings(QStringLiteral("#"), QString::number(++serial));
                form[i] = value;
                send(window, form);
                const QString what = fields[i] + QStringLiteral(" <- ") + value.left(20);
                for (const QString &text : answers->texts())
                    QVERIFY2(!text.startsWith(QStringLiteral("数据库操作失败!")),
                             qPrintable(what + QLatin1Char('\n') + text));
                QCOMPARE(checkDatabase(db.connection()), QStringList());
                QVERIFY2(db.rows(QStringLiteral("SELECT 1 FROM floorinfo WHERE 房间号码 = 'A'")).size() == 1,
                         qPrintable(what));
                QVERIFY2(db.rows(QStringLiteral("SELECT 1 FROM personinfo WHERE 工号 = 'P1'")).size() == 1,
                         qPrintable(what));
            }
        }
    }
};

QTEST_MAIN(TestBadInput)
#include "test_badinput.moc"
