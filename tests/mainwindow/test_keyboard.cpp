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

struct Shown {
    TestDatabase db;
    Answers answers;
    MainWindow window{db.connection()};

    explicit Shown(int index)
    {
        addRoomsAndResident(db);
        window.show();
        QApplication::setActiveWindow(&window);
        window.tabSheet()->setCurrentIndex(index);
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("window not active");
    }
    QWidget *page() const { return window.tabSheet()->currentWidget(); }
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
        const QList<std::tuple<int, const char *, const char *>> rows = {
            {0, "nameEdit", "checkInButton"},           {0, "sexCombo", "checkInButton"},
            {0, "checkInDate", "checkInButton"},        {0, "roomEdit", "checkInButton"},
            {0, "outStaffNoEdit", "checkOutButton"},    {0, "outRoomEdit", "checkOutButton"},
            {1, "roomNoEdit", "addRoomButton"},         {1, "powerBaseEdit", "addRoomButton"},
            {2, "nameEdit", "queryPersonsButton"},      {2, "roomEdit", "queryPersonsButton"},
            {2, "queryFieldList", "chooseFieldButton"}, {2, "queryValueEdit", "queryRoomsButton"},
            {3, "waterPriceEdit", "setStandardButton"}, {3, "rentPriceEdit", "setStandardButton"},
            {3, "feeDateEdit", "settleUtilityButton"},  {3, "powerReadingEdit", "settleUtilityButton"},
            {3, "staffNoEdit", "settleRentButton"},     {3, "rentDateEdit", "settleRentButton"},
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
        QVERIFY(shown.window.isVisible());
    }

    void tabWalksEachFormToItsButtonBeforeTheLists_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("accommodation") << 0
                                       << QStringList{u"nameEdit"_s,           u"sexCombo"_s,       u"deptEdit"_s,
                                                      u"staffNoEdit"_s,        u"mobileEdit"_s,     u"checkInDate"_s,
                                                      u"roomEdit"_s,           u"checkInButton"_s,  u"outStaffNoEdit"_s,
                                                      u"outRoomEdit"_s,        u"checkOutButton"_s, u"roomList"_s,
                                                      u"roomListMenuButton"_s, u"freeRoomsButton"_s};
        QTest::newRow("rooms") << 1 << QStringList{u"roomNoEdit"_s,         u"sexEdit"_s,
                                                   u"phoneEdit"_s,          u"phonePortEdit"_s,
                                                   u"netPortEdit"_s,        u"capacityEdit"_s,
                                                   u"waterBaseEdit"_s,      u"powerBaseEdit"_s,
                                                   u"addRoomButton"_s,      u"roomList"_s,
                                                   u"roomListMenuButton"_s, u"listRoomsButton"_s};
        // The criteria stay one at a time: each disables the others while it has the focus.
        QTest::newRow("queries") << 2
                                 << QStringList{u"nameEdit"_s,           u"sexEdit"_s,        u"roomEdit"_s,
                                                u"queryPersonsButton"_s, u"listAllButton"_s,  u"queryFieldList"_s,
                                                u"chooseFieldButton"_s,  u"queryValueEdit"_s, u"queryRoomsButton"_s,
                                                u"personList"_s};
        QTest::newRow("fees") << 3
                              << QStringList{u"waterPriceEdit"_s,    u"powerPriceEdit"_s,     u"rentPriceEdit"_s,
                                             u"setStandardButton"_s, u"feeDateEdit"_s,        u"feeRoomEdit"_s,
                                             u"waterReadingEdit"_s,  u"powerReadingEdit"_s,   u"settleUtilityButton"_s,
                                             u"staffNoEdit"_s,       u"staffNameEdit"_s,      u"rentDateEdit"_s,
                                             u"settleRentButton"_s,  u"clearFeeListButton"_s, u"listFeesButton"_s,
                                             u"feeList"_s,           u"feeListMenuButton"_s,  u"listRentButton"_s};
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
        for (int i = 0; i < shown.window.tabSheet()->count(); ++i) {
            QSet<QString> seen;
            for (QPushButton *button : shown.window.tabSheet()->widget(i)->findChildren<QPushButton *>()) {
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
