// The pages by keyboard alone: Enter runs the button of the form it is pressed in, Tab walks each
// form to its button before the lists, a date is typed whole or chosen from the calendar, every
// button has a shortcut, and the focused control wears a ring.
#include "kit/colours.h"
#include "pagedriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>

#include <memory>

using namespace orv;
using namespace orv::test;

namespace {

// The control that has the focus, by its name: an inner edit answers for its combo or picker.
QString focusedName()
{
    for (QWidget *at = QApplication::focusWidget(); at; at = at->parentWidget()) {
        if (!at->objectName().isEmpty() && !at->objectName().startsWith(QLatin1String("qt_")))
            return at->objectName();
    }
    return QString();
}

struct Shown : Window {
    explicit Shown(int index) : Window(kRoomsAndResident, true) { window->tabSheet()->setCurrentIndex(index); }
    QWidget *page() const { return window->tabSheet()->currentWidget(); }
};

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China)); }

    void enterRunsTheButtonOfItsForm_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("button");
        // One plain field per form, and each kind of composite control (combo, date picker, list).
        const QList<std::tuple<int, const char *, const char *>> rows = {
            {0, "sexCombo", "checkInButton"},           {0, "outRoomEdit", "checkOutButton"},
            {1, "powerBaseEdit", "addRoomButton"},      {2, "roomEdit", "queryPersonsButton"},
            {2, "queryFieldList", "chooseFieldButton"}, {2, "queryValueEdit", "queryRoomsButton"},
            {3, "rentPriceEdit", "setStandardButton"},  {3, "feeDateEdit", "settleUtilityButton"},
            {3, "staffNoEdit", "settleRentButton"},
        };
        for (const auto &[page, field, button] : rows)
            QTest::addRow("%d %s", page, field) << page << QString::fromLatin1(field) << QString::fromLatin1(button);
    }

    void enterRunsTheButtonOfItsForm()
    {
        QFETCH(int, page);
        QFETCH(QString, field);
        QFETCH(QString, button);
        Shown shown(page);
        QStringList clicked;
        for (QPushButton *each : shown.page()->findChildren<QPushButton *>())
            connect(each, &QPushButton::clicked, this, [&clicked, each] { clicked.append(each->objectName()); });
        child<QWidget>(shown.page(), field)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(clicked, QStringList{button});
        QVERIFY(shown.window->isVisible());
    }

    void tabWalksEachFormToItsButtonBeforeTheLists_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("accommodation") << 0
                                       << u"nameEdit sexCombo deptEdit staffNoEdit mobileEdit checkInDate roomEdit "
                                          u"checkInButton outStaffNoEdit outRoomEdit checkOutButton roomList "
                                          u"roomListMenuButton freeRoomsButton"_s.split(u' ');
        QTest::newRow("rooms") << 1
                               << u"roomNoEdit sexEdit phoneEdit phonePortEdit netPortEdit capacityEdit waterBaseEdit "
                                  u"powerBaseEdit addRoomButton roomList roomListMenuButton listRoomsButton"_s.split(
                                      u' ');
        // The criteria stay one at a time: each disables the others while it has the focus.
        QTest::newRow("queries") << 2
                                 << u"nameEdit sexEdit roomEdit queryPersonsButton listAllButton queryFieldList "
                                    u"chooseFieldButton queryValueEdit queryRoomsButton personList"_s.split(u' ');
        QTest::newRow("fees") << 3
                              << u"waterPriceEdit powerPriceEdit rentPriceEdit setStandardButton feeDateEdit "
                                 u"feeRoomEdit waterReadingEdit powerReadingEdit settleUtilityButton staffNoEdit "
                                 u"staffNameEdit rentDateEdit settleRentButton clearFeeListButton listFeesButton "
                                 u"feeList feeListMenuButton listRentButton"_s.split(u' ');
    }

    void tabWalksEachFormToItsButtonBeforeTheLists()
    {
        QFETCH(int, page);
        QFETCH(QStringList, order);
        Shown shown(page);
        QStringList walked{focusedName()}; // the first field has the focus once the page is shown
        while (walked.size() < order.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked.append(focusedName());
        }
        QCOMPARE(walked, order);
    }

    void aDateIsTypedWholeOrChosenFromTheCalendar()
    {
        Shown shown(0);
        auto *picker = child<QDateEdit>(shown.page(), u"checkInDate"_s);
        child<QWidget>(shown.page(), u"mobileEdit"_s)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), u"2027-03-20"_s);
        QCOMPARE(picker->date(), QDate(2027, 3, 20));
        picker->findChild<QLineEdit *>()->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), u"2028-1-5"_s);
        QCOMPARE(picker->date(), QDate(2028, 1, 5));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down, Qt::AltModifier);
        auto *calendar = picker->findChild<QCalendarWidget *>();
        QVERIFY(calendar && calendar->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(picker->date(), QDate(2028, 1, 6));
    }

    // One shortcut per button, none shared on a page nor with the window's own (Alt+A, Alt+D),
    // named in the tooltip; pressing it clicks the button.
    void everyButtonHasItsShortcut()
    {
        Shown shown(0);
        const QKeySequence windowKeys[] = {QKeySequence(Qt::ALT | Qt::Key_A), QKeySequence(Qt::ALT | Qt::Key_D)};
        for (int i = 0; i < shown.window->tabSheet()->count(); ++i) {
            QSet<QString> seen;
            for (QPushButton *button : shown.window->tabSheet()->widget(i)->findChildren<QPushButton *>()) {
                const QKeySequence keys = button->shortcut();
                QVERIFY2(!keys.isEmpty(), qPrintable(button->objectName()));
                QVERIFY(!seen.contains(keys.toString()) && keys != windowKeys[0] && keys != windowKeys[1]);
                seen.insert(keys.toString());
                QVERIFY(button->toolTip().contains(keys.toString(QKeySequence::NativeText)));
            }
        }
        QSignalSpy free(child<QPushButton>(shown.page(), u"freeRoomsButton"_s), &QPushButton::clicked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(free.count(), 1); // a shortcut shows the button pressed a moment first
    }

    void theFocusedControlWearsTheRing()
    {
        std::unique_ptr<QStyle> style(createFocusRingStyle());
        QWidget window;
        auto *edit = new QLineEdit(&window);
        auto *other = new QLineEdit(&window);
        other->move(0, 40);
        for (QWidget *widget : {static_cast<QWidget *>(edit), static_cast<QWidget *>(other)})
            widget->setStyle(style.get());
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        auto ringPixels = [](QWidget *widget) {
            const QImage image = widget->grab().toImage();
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += image.pixelColor(x, y) == focusColour;
            return count;
        };
        QVERIFY(ringPixels(edit) > 2 * edit->width());
        QCOMPARE(ringPixels(other), 0);
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
