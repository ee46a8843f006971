#include "data/recordset.h"
#include "data/statements.h"
#include "support/testsupport.h"
#include "ui/form.h"
#include "ui/messagebox.h"
#include "ui/page.h"
#include "ui/reportlist.h"
#include "ui/unit.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBoundaryFinder>
#include <QTimer>

using namespace orv;
using orv::test::Answers;
using orv::test::TestDatabase;

namespace {
// A page whose one handler reports success and then, when told to, fails.
class SuccessPage final : public Page {
public:
    explicit SuccessPage(Connection &connection) : Page(connection, nullptr) {}
    bool run(bool fail)
    {
        return runHandler([this, fail] {
            reportSuccess(QStringLiteral("成功迁出！"));
            if (fail)
                throw StoreError(StoreCode::NoCurrentRecord, QStringLiteral("坏了"));
        });
    }
};
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

    void aFailedUnitUndoesItsWritesAndTellsTheUser()
    {
        TestDatabase db;
        Answers answers;
        QWidget parent;
        Recordset set(&db.connection());
        const bool completed = runUnit(&parent, db.connection(), [&] {
            set.openIfClosed(sql::floorAll);
            set.AddNew();
            set.PutCollect(QStringLiteral("房间号码"), QStringLiteral("101"));
            set.Update();
            set.PutCollect(QStringLiteral("可住人数"), FieldValue::int32(40000)); // raises
        });
        QVERIFY(!completed);
        QCOMPARE(db.count(QStringLiteral("floorinfo")), 0);
        QCOMPARE(answers->texts().size(), 1);
        QVERIFY(answers->last().startsWith(QStringLiteral("数据库操作失败!\n错误信息:")));
        QVERIFY(answers->last().contains(QStringLiteral("可住人数")));

        // The program goes on: the next unit works on the table as it truly is.
        QCOMPARE(set.State(), adStateClosed); // opened by the failed unit
        QVERIFY(runUnit(&parent, db.connection(), [&] {
            set.openIfClosed(sql::floorAll);
            set.rewind();
            QVERIFY(set.adoEOF());
            set.AddNew();
            set.PutCollect(QStringLiteral("房间号码"), QStringLiteral("102"));
            set.Update();
            set.closeIfOpen();
        }));
        QCOMPARE(db.rows(QStringLiteral("SELECT 房间号码 FROM floorinfo")),
                 QList<QStringList>{{QStringLiteral("102")}});
    }

    void successIsReportedOnlyOnceTheUnitIsStored()
    {
        TestDatabase db;
        Answers answers;
        SuccessPage page(db.connection());
        QVERIFY(!page.run(true));
        QCOMPARE(answers->texts(), QStringList{QStringLiteral("数据库操作失败!\n错误信息:坏了")});
        answers->clear();
        QVERIFY(page.run(false));
        QCOMPARE(answers->texts(), QStringList{QStringLiteral("成功迁出！")});
    }

    void messageBoxesCarryTheProgramNameAndLineBreaks()
    {
        QString caption;
        QString text;
        QStringList buttons;
        QTimer::singleShot(50, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            caption = box->windowTitle();
            text = box->text();
            for (auto *button : box->buttons())
                buttons.append(box->standardButton(button) == QMessageBox::Ok ? QStringLiteral("ok")
                                                                              : QStringLiteral("cancel"));
            box->button(QMessageBox::Cancel)->click();
        });
        const MessageAnswer answer = showMessage(nullptr, QStringLiteral("第一行\n第二行"), MessageButtons::OkCancel);
        QCOMPARE(answer, MessageAnswer::Cancel);
        QCOMPARE(caption, QStringLiteral("Orvane"));
        QCOMPARE(text, QStringLiteral("第一行\n第二行"));
        QCOMPARE(buttons.size(), 2);
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

    void listsShowValuesAndExposeCellsToAccessibility()
    {
        ReportList list(QStringLiteral("rooms"));
        list.setColumns({{QStringLiteral("房间号码"), 68, Qt::AlignRight}, {QStringLiteral("可住人数"), 68}});
        list.appendValues({FieldValue(QStringLiteral("101")), FieldValue::int16(6)});
        list.appendValues({FieldValue::null(), FieldValue(12.5)});
        QCOMPARE(list.rowTexts(0), (QStringList{QStringLiteral("101"), QStringLiteral("6")}));
        QCOMPARE(list.rowTexts(1), (QStringList{QString(), QStringLiteral("12.5")}));
        list.show();
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(&list);
        QVERIFY(table);
        QVERIFY(table->tableInterface());
        QCOMPARE(table->tableInterface()->rowCount(), 2);
        QAccessibleInterface *cell = table->tableInterface()->cellAt(0, 0);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("101"));
        list.clearRows();
        QCOMPARE(list.rowCount(), 0);
    }
};

QTEST_MAIN(TestUiKit)
#include "test_uikit.moc"
