#include "testsupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

namespace orv::test {

Answers::Answers() : m_answerer(new MessageAnswerer(QCoreApplication::instance())) {}

Answers::~Answers()
{
    delete m_answerer;
}

bool typeText(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    edit->del();
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(edit, &event);
    return edit->text() == text;
}

void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

void setField(QWidget *page, const QString &name, const QString &text)
{
    if (auto *combo = page->findChild<QComboBox *>(name))
        combo->setEditText(text);
    else
        child<QLineEdit>(page, name)->setText(text);
}

void press(QWidget *page, const QString &button)
{
    click(child<QAbstractButton>(page, button));
}

namespace {
void fill(QWidget *page, const QStringList &names, const QStringList &values)
{
    for (int i = 0; i < names.size(); ++i)
        setField(page, names[i], values.value(i));
}
} // namespace

void checkIn(QWidget *page, const QStringList &form)
{
    fill(page,
         {QStringLiteral("nameEdit"), QStringLiteral("sexCombo"), QStringLiteral("deptEdit"),
          QStringLiteral("staffNoEdit"), QStringLiteral("mobileEdit"), QStringLiteral("roomEdit")},
         form);
    press(page, QStringLiteral("checkInButton"));
}

void checkOut(QWidget *page, const QString &staffNo, const QString &room)
{
    fill(page, {QStringLiteral("outStaffNoEdit"), QStringLiteral("outRoomEdit")}, {staffNo, room});
    press(page, QStringLiteral("checkOutButton"));
}

void fillRoom(QWidget *page, const QStringList &form)
{
    fill(page,
         {QStringLiteral("roomNoEdit"), QStringLiteral("phoneEdit"), QStringLiteral("phonePortEdit"),
          QStringLiteral("netPortEdit"), QStringLiteral("capacityEdit"), QStringLiteral("waterBaseEdit"),
          QStringLiteral("powerBaseEdit"), QStringLiteral("sexEdit")},
         form);
}

void setStandard(QWidget *page, const QString &water, const QString &power, const QString &rent)
{
    fill(page, {QStringLiteral("waterPriceEdit"), QStringLiteral("powerPriceEdit"), QStringLiteral("rentPriceEdit")},
         {water, power, rent});
    press(page, QStringLiteral("setStandardButton"));
}

void settleUtility(QWidget *page, QDate on, const QString &room, const QString &water, const QString &power)
{
    child<QDateEdit>(page, QStringLiteral("feeDateEdit"))->setDate(on);
    fill(page, {QStringLiteral("feeRoomEdit"), QStringLiteral("waterReadingEdit"), QStringLiteral("powerReadingEdit")},
         {room, water, power});
    press(page, QStringLiteral("settleUtilityButton"));
}

void settleRent(QWidget *page, QDate on, const QString &staffNo)
{
    child<QDateEdit>(page, QStringLiteral("rentDateEdit"))->setDate(on);
    setField(page, QStringLiteral("staffNoEdit"), staffNo);
    press(page, QStringLiteral("settleRentButton"));
}

} // namespace orv::test
