#include "form.h"

#include "data/fieldvalue.h"
#include "data/texts.h"
#include "messagebox.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orv {

QRect dialogUnits(int x, int y, int width, int height)
{
    // The 8-point dialog font's base units are about 6 x 13 pixels; one horizontal unit is a
    // quarter of the base width, one vertical unit an eighth of its height. The vertical scale is
    // a little larger so that Chinese glyphs are not clipped.
    auto px = [](int units) { return (units * 3 + 1) / 2; };
    auto py = [](int units) { return (units * 7 + 2) / 4; };
    return QRect(px(x), py(y), px(width), py(height));
}

QLabel *addLabel(QWidget *page, const QString &text, const QRect &place, QWidget *buddy)
{
    auto *label = new QLabel(text, page);
    label->setGeometry(place);
    label->setTextFormat(Qt::PlainText);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QLineEdit *addEdit(QWidget *page, const QString &objectName, const QRect &place)
{
    auto *edit = new QLineEdit(page);
    edit->setObjectName(objectName);
    edit->setGeometry(place);
    // Every field refuses control characters; a page that limits a field replaces this validator
    // with one of its own kind, which refuses them too.
    edit->setValidator(new Cp936LimitValidator(-1, false, edit));
    return edit;
}

QPushButton *addButton(QWidget *page, const QString &text, const QString &objectName, const QRect &place)
{
    auto *button = new QPushButton(text, page);
    button->setObjectName(objectName);
    button->setGeometry(place);
    button->setAutoDefault(false);
    return button;
}

QDateEdit *addDatePicker(QWidget *page, const QString &objectName, const QRect &place)
{
    auto *picker = new QDateEdit(QDate::currentDate(), page);
    picker->setObjectName(objectName);
    picker->setGeometry(place);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    return picker;
}

QGroupBox *addGroup(QWidget *page, const QString &title, const QRect &place)
{
    auto *group = new QGroupBox(title, page);
    group->setGeometry(place);
    group->lower();
    return group;
}

Cp936LimitValidator::Cp936LimitValidator(int maxBytes, bool digitsOnly, QObject *parent)
    : QValidator(parent), m_maxBytes(maxBytes), m_digitsOnly(digitsOnly)
{
}

bool hasControlCharacter(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20; });
}

QValidator::State Cp936LimitValidator::validate(QString &input, int &) const
{
    // A NUL or another C0 control pasted into a field would end or break the statement it reaches.
    if (hasControlCharacter(input))
        return Invalid;
    if (m_maxBytes >= 0 && cp936Length(input) > m_maxBytes)
        return Invalid;
    if (m_digitsOnly) {
        for (QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        }
    }
    return Acceptable;
}

namespace exchange {
namespace {

bool fail(QLineEdit *edit, const QString &prompt)
{
    showMessage(edit->window(), prompt);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    return false;
}

} // namespace

bool readInt(QLineEdit *edit, int &value)
{
    bool ok = false;
    const qlonglong parsed = edit->text().trimmed().toLongLong(&ok, 10);
    if (!ok || parsed < std::numeric_limits<int>::min() || parsed > std::numeric_limits<int>::max())
        return fail(edit, QStringLiteral("请输入一个整数。"));
    value = static_cast<int>(parsed);
    return true;
}

bool failIntRange(QLineEdit *edit, int minimum, int maximum)
{
    return fail(edit, QStringLiteral("请输入一个介于 %1 和 %2 之间的整数。").arg(minimum).arg(maximum));
}

bool readIntInRange(QLineEdit *edit, int &value, int minimum, int maximum)
{
    int parsed = 0;
    if (!readInt(edit, parsed))
        return false;
    value = parsed; // the value is taken before its range is checked
    if (parsed < minimum || parsed > maximum)
        return failIntRange(edit, minimum, maximum);
    return true;
}

bool readDouble(QLineEdit *edit, double &value)
{
    bool ok = false;
    const double parsed = edit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(parsed))
        return fail(edit, QStringLiteral("请输入一个数字。"));
    value = parsed;
    return true;
}

bool readFloat(QLineEdit *edit, float &value)
{
    double parsed = 0;
    if (!readDouble(edit, parsed))
        return false;
    if (std::fabs(parsed) > static_cast<double>(std::numeric_limits<float>::max()))
        return fail(edit, QStringLiteral("请输入一个数字。"));
    value = static_cast<float>(parsed);
    return true;
}

bool readText(QLineEdit *edit, QString &value, int maxBytes)
{
    const QString text = edit->text();
    if (maxBytes >= 0 && cp936Length(text) > maxBytes)
        return fail(edit, QStringLiteral("请输入不超过 %1 个字符（一个汉字算两个字符）。").arg(maxBytes));
    value = text;
    return true;
}

void writeInt(QLineEdit *edit, int value)
{
    edit->setText(QString::number(value));
}

void writeFloat(QLineEdit *edit, float value)
{
    edit->setText(realToText(static_cast<double>(value), 6));
}

void writeDouble(QLineEdit *edit, double value)
{
    edit->setText(realToText(value, 15));
}

} // namespace exchange
} // namespace orv
