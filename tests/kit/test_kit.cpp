#include "data/recordset.h"
#include "data/statements.h"
#include "kit/form.h"
#include "kit/messagebox.h"
#include "kit/page.h"
#include "kit/reportlist.h"
#include "kit/unit.h"
#include "support/testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolTip>

using namespace orv;
using orv::test::Answers;
using orv::test::TestDatabase;

namespace {
// A page whose handler writes a row, announces and reports, runs a nested handler that reports,
// then raises what it is told to.
class HandlerPage final : public Page {
public:
    explicit HandlerPage(Connection &connection) : Page(connection, nullptr) {}
    bool run(const std::function<void()> &raise)
    {
        return runHandler([this, raise] {
            m_connection.execute(QStringLiteral("INSERT INTO floorinfo (房间号码) VALUES ('101')"));
            announce(QStringLiteral("已添加房间 101"));
            reportSuccess(QStringLiteral("外层"));
            runHandler([this] { reportSuccess(QStringLiteral("内层")); });
            raise();
        });
    }
};
using Raise = std::function<void()>;
} // namespace

class TestUiKit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void whateverEscapesIsShownInWords_data()
    {
        QTest::addColumn<bool>("guarded"); // runGuarded outside a unit, else a page's handler
        QTest::addColumn<Raise>("raise");
        QTest::addColumn<QString>("failure"); // empty: it completes
        const QList<std::pair<const char *, Raise>> raises = {
            {"completes", [] {}},
            {"store error", [] { throw StoreError(StoreCode::NoCurrentRecord, QStringLiteral("坏了")); }},
            {"standard exception", [] { throw std::runtime_error("磁盘已满"); }},
            {"not an exception class", [] { throw 7; }},
        };
        const QStringList failures{QString(), u"坏了"_s, u"磁盘已满"_s, u"未知错误。"_s};
        for (bool guarded : {false, true}) {
            for (int i = 0; i < raises.size(); ++i)
                QTest::addRow("%s, %s", guarded ? "guarded" : "handler", raises[i].first)
                    << guarded << raises[i].second << failures[i];
        }
    }
    // A handler's writes are undone whatever it raised, and nothing it or a nested handler
    // reported or announced is shown; a guarded action shows its own lead before what escaped.
    void whateverEscapesIsShownInWords()
    {
        QFETCH(bool, guarded);
        QFETCH(Raise, raise);
        QFETCH(QString, failure);
        Answers answers;
        const bool stored = failure.isEmpty();
        if (guarded) {
            QCOMPARE(runGuarded(nullptr, QStringLiteral("备份数据库失败！\n"), raise), stored);
            QCOMPARE(answers->texts(), stored ? QStringList() : QStringList{u"备份数据库失败！\n"_s + failure});
            return;
        }
        TestDatabase db;
        HandlerPage page(db.connection());
        QSignalSpy announced(&page, &Page::announced);
        QCOMPARE(page.run(raise), stored); // an exception that left the handler would fail the test
        QVERIFY(!db.connection().inUnit());
        QCOMPARE(db.count(QStringLiteral("floorinfo")), stored ? 1 : 0);
        QCOMPARE(announced.count(), stored ? 1 : 0);
        QCOMPARE(answers->texts(),
                 stored ? (QStringList{u"外层"_s, u"内层"_s}) : QStringList{u"数据库操作失败!\n错误信息:"_s + failure});
        QCOMPARE(answers->icons().constFirst(), stored ? MessageIcon::Information : MessageIcon::Warning);
    }

    void formReadsAndWritesNumbers()
    {
        Answers answers;
        QWidget page;
        QLineEdit *count = addEdit(&page, QStringLiteral("count"), dialogUnits(0, 0, 50, 14));
        int value = 0;
        count->setText(QStringLiteral("2147483648"));
        QVERIFY(!exchange::readInt(count, value));
        QCOMPARE(answers->last(), QStringLiteral("请输入一个整数。"));
        count->setText(QStringLiteral(" 8 "));
        QVERIFY(exchange::readIntInRange(count, value, 1, 8));
        QCOMPARE(value, 8);
        exchange::writeFloat(count, 2.5F);
        QCOMPARE(count->text(), QStringLiteral("2.5"));
        exchange::writeDouble(count, 120.0);
        QCOMPARE(count->text(), QStringLiteral("120"));
    }

    void listRowsKeepTheirOrderKeysAndSelectionAndAreAccessible()
    {
        ReportList list(QStringLiteral("rooms"));
        list.setColumns({{QStringLiteral("房间号码"), 68}, {QStringLiteral("电话号码"), 68}});
        for (int i = 0; i < 5; ++i)
            list.appendRow({QStringLiteral("r%1").arg(i), QStringLiteral("t%1").arg(i)}, 100 + i);
        list.appendRow({QStringLiteral("only one cell")});
        QCOMPARE(list.rowCount(), 6);
        QCOMPARE(list.rowTexts(5), (QStringList{QStringLiteral("only one cell"), QString()}));
        list.removeRow(1);
        QCOMPARE(list.rowTexts(1), (QStringList{QStringLiteral("r2"), QStringLiteral("t2")}));
        QCOMPARE(list.rowKey(1), 102);
        QCOMPARE(list.model()->rowCount(), 5);

        list.selectRow(3);
        QCOMPARE(list.selectedRow(), 3);
        list.clearRows();
        QCOMPARE(list.selectedRow(), -1);
        QCOMPARE(list.rowCount(), 0);
        const QString longText(70000, QLatin1Char('x')); // longer than a cell's length field
        list.appendRow({longText, QStringLiteral("后")});
        list.appendRow({QStringLiteral("a"), QStringLiteral("b")});
        QCOMPARE(list.selectedRow(), -1);
        list.selectRow(1);
        QCOMPARE(list.selectedRow(), 1);
        QCOMPARE(list.cellText(0, 0), longText);
        QCOMPARE(list.cellText(0, 1), QStringLiteral("后"));
        list.removeRow(0);
        QCOMPARE(list.rowTexts(0), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
        // Texts UTF-8 would change come back as given; a row larger than a storage block keeps its key.
        const QStringList awkward{QString(QChar(0xD800)) + u"x"_s, QChar(0xFEFF) + u"bom"_s};
        list.appendRow(awkward, 7);
        const QStringList wide{QString(20000, QChar(0x623F)), QString(20000, QChar(0x95F4))};
        list.appendRow(wide, 8);
        QCOMPARE(list.rowTexts(1), awkward);
        QCOMPARE(list.rowTexts(2), wide);
        QCOMPARE(list.rowKey(2), 8);
        list.removeRow(2);
        list.removeRow(1);

        list.show();
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(&list);
        QVERIFY(table);
        QVERIFY(table->tableInterface());
        QCOMPARE(table->tableInterface()->rowCount(), 1);
        QAccessibleInterface *cell = table->tableInterface()->cellAt(0, 1);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("b"));
    }

    void recordsAreListedAsTheirValuesShow()
    {
        TestDatabase db;
        db.exec(QStringLiteral("INSERT INTO listfei VALUES ('O''6 号', '2004-03-05', 37.5, 0.6, 38.1)"));
        db.exec(QStringLiteral("INSERT INTO listfei VALUES (NULL, '', 1e10, -2, NULL)"));
        db.exec(QStringLiteral("INSERT INTO listfei VALUES ('%1', 'é😀', 0, 1, 2)").arg(QString(300, QChar(0x623F))));
        // Bytes no writer of ours makes: a byte order mark and a broken sequence, as another program may leave them.
        db.exec(
            QStringLiteral("INSERT INTO listfei VALUES (CAST(x'EFBBBF41' AS TEXT), CAST(x'41FF42' AS TEXT), 1, 2, 3)"));
        Recordset set(&db.connection());
        set.Open(sql::feeListAll);
        ReportList list(QStringLiteral("fees"));
        list.setColumns({{u"a"_s, 9}, {u"b"_s, 9}, {u"c"_s, 9}, {u"d"_s, 9}, {u"e"_s, 9}});
        const QStringList columns{u"房间号码"_s, u"日期"_s, u"水费"_s, u"电费"_s, u"总费用"_s};
        QList<QStringList> read;
        while (!set.adoEOF()) {
            list.appendRecord(set, {columns[0], columns[1], columns[2], columns[3], columns[4]});
            QStringList texts;
            for (const QString &column : columns)
                texts.append(set.GetCollect(column).toDisplayText());
            read.append(texts);
            set.MoveNext();
        }
        QCOMPARE(list.rowCount(), 4);
        for (int row = 0; row < 4; ++row)
            QCOMPARE(list.rowTexts(row), read[row]);
        QCOMPARE(list.cellText(0, 0), QStringLiteral("O'6 号"));
    }

    void aCutCellShowsItsWholeTextAsTooltip()
    {
        ReportList list(QStringLiteral("phones"));
        list.setColumns({{QStringLiteral("电话号码"), 40}, {QStringLiteral("房间"), 200}});
        list.appendRow({QStringLiteral("0571-86001518"), QStringLiteral("6-8-518")});
        list.resize(300, 120);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        auto tipAt = [&](int column) {
            const QRect cell = list.visualRect(list.model()->index(0, column));
            QHelpEvent help(QEvent::ToolTip, cell.center(), list.viewport()->mapToGlobal(cell.center()));
            QApplication::sendEvent(list.viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(1), QString());
        QCOMPARE(tipAt(0), QStringLiteral("0571-86001518"));
        tipAt(1);
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    // A control character typed or pasted would end or break the statement it reaches. The last one
    // below the space stands for the range; handlers meet NUL in the bad input test.
    void fieldsRefuseControlCharacters()
    {
        const QString text = u"甲\x1f乙"_s;
        QWidget page;
        QLineEdit *edit = addEdit(&page, QStringLiteral("plain"), dialogUnits(0, 0, 50, 14));
        QVERIFY(!orv::test::typeText(edit, text));
        edit->setText(QStringLiteral("前"));
        edit->end(false);
        QApplication::clipboard()->setText(text);
        edit->paste();
        QCOMPARE(edit->text(), QStringLiteral("前"));
        QApplication::clipboard()->setText(QStringLiteral("后"));
        edit->paste();
        QCOMPARE(edit->text(), QStringLiteral("前后")); // pasting as such works
    }
};

QTEST_MAIN(TestUiKit)
#include "test_kit.moc"
