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
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QToolTip>

using namespace orv;
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
        QCOMPARE(page.run(raise), stored); // an exception that left the handler would fail the test
        QVERIFY(!db.connection().inUnit());
        QCOMPARE(db.count(QStringLiteral("floorinfo")), stored ? 1 : 0);
        QCOMPARE(answers->texts(), texts);
    }

    void guardedActionsShowWhatEscaped_data()
    {
        QTest::addColumn<Raise>("raise");
        QTest::addColumn<QStringList>("texts");
        const QString lead = QStringLiteral("备份数据库失败！\n");
        QTest::newRow("completed") << Raise([] {}) << QStringList();
        QTest::newRow("store error") << Raise([] {
            throw StoreError(StoreCode::NoCurrentRecord, QStringLiteral("坏了"));
        }) << QStringList{lead + QStringLiteral("坏了")};
        QTest::newRow("standard exception")
            << Raise([] { throw std::runtime_error("磁盘已满"); }) << QStringList{lead + QStringLiteral("磁盘已满")};
        QTest::newRow("not an exception class")
            << Raise([] { throw 7; }) << QStringList{lead + QStringLiteral("未知错误。")};
    }
    // An action outside a unit shows its own lead before whatever escaped it, and nothing when
    // it completes.
    void guardedActionsShowWhatEscaped()
    {
        QFETCH(Raise, raise);
        QFETCH(QStringList, texts);
        Answers answers;
        QCOMPARE(runGuarded(nullptr, QStringLiteral("备份数据库失败！\n"), raise), texts.isEmpty());
        QCOMPARE(answers->texts(), texts);
    }

    void realBoxesShowExactlyTheMessage_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<MessageButtons>("buttons");
        QTest::newRow("line break, OK/Cancel") << u"第一行\n第二行"_s << MessageButtons::OkCancel;
        QTest::newRow("numbers and units") << u"请输入一个大于0小于100的数！"_s << MessageButtons::Ok;
        QTest::newRow("prices") << u"你设置的水费为：1.50元/吨  电费为：0.60元/度  房租费为：120元/人吗？"_s
                                << MessageButtons::OkCancel;
    }
    // What the box shows, what a screen reader reads from it and what a copy takes are the message
    // itself, under the program's name.
    void realBoxesShowExactlyTheMessage()
    {
        QFETCH(QString, message);
        QFETCH(MessageButtons, buttons);
        QString caption;
        QString shown;
        QString spoken;
        QTimer::singleShot(50, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            caption = box->windowTitle();
            auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label);
            shown = label->text();
            spoken = QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
            box->button(buttons == MessageButtons::OkCancel ? QMessageBox::Cancel : QMessageBox::Ok)->click();
        });
        const MessageAnswer answer = showMessage(nullptr, message, buttons);
        QCOMPARE(answer, buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel : MessageAnswer::Ok);
        QCOMPARE(caption, QStringLiteral("Orvane"));
        QCOMPARE(shown, message);
        QCOMPARE(spoken, message);
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
