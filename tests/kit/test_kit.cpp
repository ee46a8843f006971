#include "data/recordset.h"
#include "data/statements.h"
#include "kit/form.h"
#include "kit/messagebox.h"
#include "kit/page.h"
#include "kit/reportlist.h"
#include "kit/unit.h"
#include "support/testsupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <QToolTip>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::Answers;
using orv::test::TestDatabase;

namespace {
// A page whose handler writes a row, reports, runs a nested handler that reports, then raises
// what it is told to.
class HandlerPage final : public Page {
public:
    explicit HandlerPage(Connection &connection) : Page(connection, nullptr) {}
    bool run(const std::function<void()> &raise)
    {
        return runHandler([this, raise] {
            m_connection.execute(QStringLiteral("INSERT INTO floorinfo (房间号码) VALUES ('101')"));
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
    void messageBoxesNeverBreakANumberFromItsUnit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("whole");
        QTest::newRow("fee standard") << QStringLiteral(
                                             "你设置的水费为：1.50元/吨  电费为：0.60元/度  房租费为：120元/人吗？")
                                      << QStringList{QStringLiteral("1.50元/吨"), QStringLiteral("0.60元/度"),
                                                     QStringLiteral("120元/人")};
        QTest::newRow("limit") << QStringLiteral("请输入一个大于0小于10000的数！")
                               << QStringList{QStringLiteral("0小"), QStringLiteral("10000的")};
        QTest::newRow("no number") << QStringLiteral("请正确输入标准！") << QStringList{};
    }
    void messageBoxesNeverBreakANumberFromItsUnit()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, whole);
        const QString shown = keepNumbersWithUnits(text);
        QCOMPARE(QString(shown).remove(QChar(0x2060)), text); // reads the same
        QTextBoundaryFinder lines(QTextBoundaryFinder::Line, shown);
        QList<int> breaks;
        while (lines.toNextBoundary() != -1)
            breaks.append(lines.position());
        // Where each character of the text stands in the text shown.
        QList<int> shownAt;
        for (int i = 0; i < shown.size(); ++i) {
            if (shown.at(i) != QChar(0x2060))
                shownAt.append(i);
        }
        for (const QString &piece : whole) {
            const int start = text.indexOf(piece);
            QVERIFY2(start >= 0, qPrintable(piece));
            const int first = shownAt.at(start);
            const int last = shownAt.at(start + piece.size() - 1);
            for (int at : breaks)
                QVERIFY2(at <= first || at > last, qPrintable(piece));
        }
    }

    void handlerMessagesWaitForTheStoredUnit_data()
    {
        QTest::addColumn<Raise>("raise");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("stored");
        const QString lead = QStringLiteral("数据库操作失败!\n错误信息:");
        QTest::newRow("stored") << Raise([] {}) << QStringList{QStringLiteral("外层"), QStringLiteral("内层")} << true;
        QTest::newRow("store error") << Raise([] {
            throw StoreError(StoreCode::NoCurrentRecord, QStringLiteral("坏了"));
        }) << QStringList{lead + QStringLiteral("坏了")}
                                     << false;
        QTest::newRow("standard exception") << Raise([] { throw std::runtime_error("磁盘已满"); })
                                            << QStringList{lead + QStringLiteral("磁盘已满")} << false;
        QTest::newRow("out of memory") << Raise([] { throw std::bad_alloc(); })
                                       << QStringList{lead + QStringLiteral("std::bad_alloc")} << false;
        QTest::newRow("not an exception class")
            << Raise([] { throw 7; }) << QStringList{lead + QStringLiteral("未知错误。")} << false;
    }
    // Whatever a handler raises ends in the failure box with its writes undone, and nothing it or
    // a nested handler reported as done is shown.
    void handlerMessagesWaitForTheStoredUnit()
    {
        QFETCH(Raise, raise);
        QFETCH(QStringList, texts);
        QFETCH(bool, stored);
        TestDatabase db;
        Answers answers;
        HandlerPage page(db.connection());
        bool completed = false;
        try {
            completed = page.run(raise);
        } catch (...) {
            QFAIL("the exception left the handler");
        }
        QCOMPARE(completed, stored);
        QVERIFY(!db.connection().inUnit());
        QCOMPARE(db.count(QStringLiteral("floorinfo")), stored ? 1 : 0);
        QCOMPARE(answers->texts(), texts);
    }

    void messageBoxesCarryTheProgramNameAndLineBreaks()
    {
        QString caption;
        QString text;
        QTimer::singleShot(50, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            caption = box->windowTitle();
            text = box->text();
            box->button(QMessageBox::Cancel)->click();
        });
        const MessageAnswer answer = showMessage(nullptr, QStringLiteral("第一行\n第二行"), MessageButtons::OkCancel);
        QCOMPARE(answer, MessageAnswer::Cancel);
        QCOMPARE(caption, QStringLiteral("Orvane"));
        QCOMPARE(text, QStringLiteral("第一行\n第二行"));
    }

    void formReadsPromptFocusAndKeepLimits()
    {
        Answers answers;
        QWidget page;
        QLineEdit *count = addEdit(&page, QStringLiteral("count"), dialogUnits(0, 0, 50, 14));
        QLineEdit *room = addEdit(&page, QStringLiteral("room"), dialogUnits(0, 20, 50, 14));
        room->setValidator(new Cp936LimitValidator(20, false, room));
        page.show();
        QApplication::setActiveWindow(&page);

        int value = 0;
        count->setText(QStringLiteral("9"));
        QVERIFY(!exchange::readIntInRange(count, value, 1, 8));
        QCOMPARE(answers->last(), QStringLiteral("请输入一个介于 1 和 8 之间的整数。"));
        QCOMPARE(QApplication::focusWidget(), count);
        count->setText(QStringLiteral("x"));
        QVERIFY(!exchange::readInt(count, value));
        QCOMPARE(answers->last(), QStringLiteral("请输入一个整数。"));
        count->setText(QStringLiteral(" 8 "));
        QVERIFY(exchange::readIntInRange(count, value, 1, 8));
        QCOMPARE(value, 8);

        QVERIFY(orv::test::typeText(room, QStringLiteral("一二三四五六七八九十")));
        QVERIFY(!orv::test::typeText(room, QStringLiteral("一二三四五六七八九十A")));
        QCOMPARE(room->text(), QString());
        QString text;
        room->setText(QStringLiteral("一二三四五六七八九十A")); // set past the edit's own limit
        QVERIFY(!exchange::readText(room, text, 20));

        float price = 0;
        exchange::writeFloat(count, 2.5F);
        QCOMPARE(count->text(), QStringLiteral("2.5"));
        QVERIFY(exchange::readFloat(count, price));
        QCOMPARE(price, 2.5F);
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

    void fieldsRefuseControlCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("NUL") << QStringLiteral("甲") + QChar(0) + QStringLiteral("乙");
        QTest::newRow("line feed") << QStringLiteral("a\nb");
        QTest::newRow("escape") << QStringLiteral("x\x1b");
        QTest::newRow("unit separator") << QStringLiteral("\x1f");
    }
    void fieldsRefuseControlCharacters()
    {
        QFETCH(QString, text);
        QWidget page;
        QLineEdit *plain = addEdit(&page, QStringLiteral("plain"), dialogUnits(0, 0, 50, 14));
        QLineEdit *limited = addEdit(&page, QStringLiteral("limited"), dialogUnits(0, 20, 50, 14));
        limited->setValidator(new Cp936LimitValidator(20, false, limited));
        page.show();
        for (QLineEdit *edit : {plain, limited}) {
            edit->setText(QStringLiteral("前"));
            // Typed (an input method commit) and pasted, at the end of the text already there.
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
        QVERIFY(hasControlCharacter(text));
        QVERIFY(!hasControlCharacter(QStringLiteral("' or '1'='1 😀 \u00a0")));
    }
};

QTEST_MAIN(TestUiKit)
#include "test_kit.moc"
