#include "data/dbcheck.h"
#include "pagedriver.h"

using namespace orv;
using namespace orv::test;

namespace {

// One of each kind: quote, code-page-936 length and range, control, empty, number ranges, format.
QStringList badValues()
{
    return {QStringLiteral("' or '1'='1"),
            QString(10000, QChar(0x957F)),
            QStringLiteral("😀"),
            QStringLiteral("a") + QChar(0) + QStringLiteral("b"),
            QString(),
            QStringLiteral("2147483648"),
            QStringLiteral("1e308"),
            QStringLiteral("nan"),
            QStringLiteral("%1%s")};
}

QStringList split(const char *cells)
{
    return QString::fromUtf8(cells).split(QLatin1Char('|'));
}

// Sends a page's form with the values given, in the order of its fields.
using Send = std::function<void(MainWindow &, const QStringList &)>;

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
                                  << Send([](MainWindow &w, const QStringList &f) { checkIn(page(w, 0), f); });
        QTest::newRow("add room") << split("roomNoEdit|phoneEdit|phonePortEdit|netPortEdit|capacityEdit|"
                                           "waterBaseEdit|powerBaseEdit|sexEdit")
                                  << split("R#|555|1|2|4|120|35|男")
                                  << Send([](MainWindow &w, const QStringList &f) { addRoom(w, f); });
        QTest::newRow("query persons") << split("nameEdit|sexEdit|roomEdit") << split("甲|男|A")
                                       << Send([](MainWindow &w, const QStringList &f) {
                                              setField(page(w, 2), QStringLiteral("nameEdit"), f[0]);
                                              setField(page(w, 2), QStringLiteral("sexEdit"), f[1]);
                                              setField(page(w, 2), QStringLiteral("roomEdit"), f[2]);
                                              press(page(w, 2), QStringLiteral("queryPersonsButton"));
                                          });
        QTest::newRow("fee standard") << split("water|power|rent") << split("2|1|100")
                                      << Send([](MainWindow &w, const QStringList &f) {
                                             setStandard(page(w, 3), f[0], f[1], f[2]);
                                         });
        // The fourth value, not a field, moves the settlement day on with every try.
        QTest::newRow("utility settlement")
            << split("room|water|power") << split("A|200|50|#") << Send([](MainWindow &w, const QStringList &f) {
                   settleUtility(page(w, 3), QDate(2004, 1, 1).addDays(f[3].toInt()), f[0], f[1], f[2]);
               });
    }
    // Each bad value in each field: a message of the form or a correct store, never a store error.
    void everyFieldTakesEveryBadValue()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, valid);
        QFETCH(Send, send);
        int serial = 0;
        for (int i = 0; i < fields.size(); ++i) {
            Window w(kRoomsAndResident);
            for (const QString &value : badValues()) {
                w.answers->clear();
                QStringList form = valid;
                form.replaceInStrings(QStringLiteral("#"), QString::number(++serial));
                form[i] = value;
                send(*w.window, form);
                QVERIFY2(w.answers->texts().filter(QStringLiteral("数据库操作失败!")).isEmpty(),
                         qPrintable(fields[i] + QStringLiteral(" <- ") + value.left(20)));
                QCOMPARE(checkDatabase(w.db.connection()), QStringList());
                QCOMPARE(w.db.text(QStringLiteral("SELECT 房间 FROM personinfo WHERE 工号 = 'P1'")),
                         QStringLiteral("A"));
            }
        }
    }
};

QTEST_MAIN(TestBadInput)
#include "test_badinput.moc"
