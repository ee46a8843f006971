#include "testsupport.h"

#include "kit/reportlist.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>

#include <sys/stat.h>

namespace orv::test {

Answers::Answers() : m_answerer(std::make_unique<MessageAnswerer>(QCoreApplication::instance())) {}

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

void signInWith(QWidget *dialog, const QString &name, const QString &password)
{
    if (!dialog)
        fail(u"no sign-in dialog"_s, __FILE__, __LINE__);
    if (auto *combo = child<QComboBox>(dialog, u"operatorCombo"_s); combo->isEnabled())
        combo->setEditText(name);
    typeText(child<QLineEdit>(dialog, u"passwordEdit"_s), password);
    press(dialog, u"signInButton"_s);
}

QList<QStringList> shownRows(const ReportList *list)
{
    QList<QStringList> rows;
    for (int row = 0; row < list->rowCount(); ++row)
        rows.append(list->rowTexts(row));
    return rows;
}

QStringList shownColumn(const ReportList *list, int column)
{
    QStringList cells;
    for (int row = 0; row < list->rowCount(); ++row)
        cells.append(list->cellText(row, column));
    return cells;
}

int modeOf(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

InFolder::InFolder() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

InFolder::~InFolder()
{
    QDir::setCurrent(m_previous);
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
    fill(page, {u"nameEdit"_s, u"sexCombo"_s, u"deptEdit"_s, u"staffNoEdit"_s, u"mobileEdit"_s, u"roomEdit"_s}, form);
    press(page, u"checkInButton"_s);
}

void checkOut(QWidget *page, const QString &staffNo, const QString &room)
{
    fill(page, {u"outStaffNoEdit"_s, u"outRoomEdit"_s}, {staffNo, room});
    press(page, u"checkOutButton"_s);
}

void fillRoom(QWidget *page, const QStringList &form)
{
    fill(page,
         {u"roomNoEdit"_s, u"phoneEdit"_s, u"phonePortEdit"_s, u"netPortEdit"_s, u"capacityEdit"_s, u"waterBaseEdit"_s,
          u"powerBaseEdit"_s, u"sexEdit"_s},
         form);
}

void setStandard(QWidget *page, const QString &water, const QString &power, const QString &rent)
{
    fill(page, {u"waterPriceEdit"_s, u"powerPriceEdit"_s, u"rentPriceEdit"_s}, {water, power, rent});
    press(page, u"setStandardButton"_s);
}

void settleUtility(QWidget *page, QDate on, const QString &room, const QString &water, const QString &power)
{
    child<QDateEdit>(page, u"feeDateEdit"_s)->setDate(on);
    fill(page, {u"feeRoomEdit"_s, u"waterReadingEdit"_s, u"powerReadingEdit"_s}, {room, water, power});
    press(page, u"settleUtilityButton"_s);
}

void settleRent(QWidget *page, QDate on, const QString &staffNo)
{
    child<QDateEdit>(page, u"rentDateEdit"_s)->setDate(on);
    setField(page, u"staffNoEdit"_s, staffNo);
    press(page, u"settleRentButton"_s);
}

} // namespace orv::test
