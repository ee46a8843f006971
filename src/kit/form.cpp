#include "form.h"

#include "data/fieldvalue.h"
#include "data/texts.h"
#include "messagebox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orv {

QFont dialogFont(int pointSize)
{
    QFont font = QApplication::font();
    QStringList families = font.families();
    if (families.isEmpty())
        families.append(font.family());
    families.prepend(QStringLiteral("Noto Sans CJK SC"));
    font.setFamilies(families);
    font.setPointSize(pointSize);
    return font;
}

QRect dialogUnits(const QFont &font, int x, int y, int width, int height)
{
    const QFontMetricsF metrics(font);
    // The average width of the 52 Latin letters, rounded the way the dialog system rounds it.
    const qreal letters =
        metrics.horizontalAdvance(QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    const qreal baseX = std::floor((letters / 26 + 1) / 2);
    const qreal baseY = std::ceil(metrics.height());
    auto px = [baseX](int units) { return qRound(units * baseX / 4); };
    auto py = [baseY](int units) { return qRound(units * baseY / 8); };
    return QRect(px(x), py(y), px(width), py(height));
}

QRect dialogUnits(int x, int y, int width, int height)
{
    return dialogUnits(pageFont(), x, y, width, height);
}

namespace {

// A label's text as a name: no mnemonic marks, no trailing colon or arrow, single spaces.
QString accessibleLabelText(QString text)
{
    text.remove(QLatin1Char('&'));
    static const QRegularExpression trailing(QStringLiteral("[\\s:：—>-]+$"));
    text.remove(trailing);
    return text.simplified();
}

} // namespace

QLabel *addLabel(QWidget *page, const QString &text, const QRect &place, QWidget *buddy)
{
    auto *label = new QLabel(text, page);
    label->setGeometry(place);
    label->setTextFormat(Qt::PlainText);
    if (buddy) {
        label->setBuddy(buddy);
        // Lists and a combo's own edit do not take their name from a label, so they are given it.
        if (auto *list = qobject_cast<QAbstractItemView *>(buddy); list && list->accessibleName().isEmpty())
            list->setAccessibleName(accessibleLabelText(text));
        if (auto *combo = qobject_cast<QComboBox *>(buddy); combo && combo->lineEdit())
            combo->lineEdit()->setAccessibleName(accessibleLabelText(text));
    }
    return label;
}

QLabel *addFieldLabel(QWidget *buddy, const QString &text, QPoint field, int width, const LabelLine &line)
{
    return addLabel(buddy->parentWidget(), text,
                    dialogUnits(field.x() - width - line.gap, field.y() + line.drop, width, line.height), buddy);
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

DatePicker::DatePicker(QWidget *parent) : QDateEdit(QDate::currentDate(), parent) {}

void DatePicker::openCalendar()
{
    if (!calendarPopup() || isReadOnly())
        return;
    // The picker opens its calendar only for a press on its arrow, so the key presses there.
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = true;
    option.frame = true;
    option.subControls = QStyle::SC_All;
    const QPoint arrow = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this).center();
    QMouseEvent press(QEvent::MouseButtonPress, arrow, mapToGlobal(arrow), Qt::LeftButton, Qt::LeftButton, {});
    mousePressEvent(&press);
}

bool DatePicker::focusNextPrevChild(bool next)
{
    // Tab leaves the field; the parts of the date are reached with the arrow keys or by typing. The
    // date edit's own handling, which walks the parts, is passed over on purpose.
    return QWidget::focusNextPrevChild(next); // NOLINT(bugprone-parent-virtual-call)
}

void DatePicker::focusInEvent(QFocusEvent *event)
{
    QDateEdit::focusInEvent(event);
    m_movedOn = false;
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason ||
        event->reason() == Qt::ShortcutFocusReason || event->reason() == Qt::OtherFocusReason)
        setSelectedSection(sectionAt(0));
}

void DatePicker::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F4 || (event->key() == Qt::Key_Down && event->modifiers() & Qt::AltModifier)) {
        openCalendar();
        event->accept();
        return;
    }
    const QString typed = event->text();
    const bool digit = typed.size() == 1 && typed.front().isDigit();
    if (digit) {
        // A date typed over the whole field starts with its first part.
        const QLineEdit *edit = lineEdit();
        if (edit->hasSelectedText() && edit->selectedText() == edit->text())
            setSelectedSection(sectionAt(0));
        const int part = currentSectionIndex();
        QDateEdit::keyPressEvent(event);
        m_movedOn = currentSectionIndex() != part;
        return;
    }
    if (typed == QLatin1String("-") || typed == QLatin1String("/") || typed == QLatin1String(".")) {
        if (!m_movedOn && currentSectionIndex() + 1 < sectionCount())
            setSelectedSection(sectionAt(currentSectionIndex() + 1));
        m_movedOn = false;
        event->accept();
        return;
    }
    m_movedOn = false;
    QDateEdit::keyPressEvent(event);
}

QDateEdit *dateField(const QString &objectName, const QDate &date, QWidget *parent)
{
    auto *edit = new QDateEdit(date, parent);
    edit->setObjectName(objectName);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return edit;
}

QDateEdit *addDatePicker(QWidget *page, const QString &objectName, const QRect &place)
{
    auto *picker = new DatePicker(page);
    picker->setObjectName(objectName);
    picker->setGeometry(place);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    // The place is kept, but never so narrow that the widest date of the format is cut: the
    // picker's text field is what the drop-down arrow and the frame leave of its width.
    const QFontMetrics metrics(picker->font());
    int widestDate = 0;
    for (int month = 1; month <= 12; ++month) {
        const QString text = picker->locale().toString(QDate(2026, month, 28), picker->displayFormat());
        widestDate = qMax(widestDate, metrics.horizontalAdvance(text));
    }
    QStyleOptionComboBox option;
    option.initFrom(picker);
    option.rect = QRect(QPoint(), place.size());
    option.editable = true;
    option.frame = true;
    option.subControls = QStyle::SC_ComboBoxEditField | QStyle::SC_ComboBoxArrow | QStyle::SC_ComboBoxFrame;
    const int field =
        picker->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, picker).width();
    const int needed = place.width() - field + widestDate + 6; // the text field's own margins and cursor
    if (picker->width() < needed)
        picker->resize(needed, picker->height());
    return picker;
}

void setTabChain(std::initializer_list<QWidget *> controls)
{
    QWidget *previous = nullptr;
    for (QWidget *control : controls) {
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

void setButtonShortcut(QAbstractButton *button, const QKeySequence &keys)
{
    button->setShortcut(keys);
    button->setToolTip(QStringLiteral("%1（%2）")
                           .arg(button->text().remove(QLatin1Char(' ')), keys.toString(QKeySequence::NativeText)));
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
    const std::optional<int> parsed = formInteger(edit->text());
    if (!parsed)
        return fail(edit, notAnIntegerText());
    value = *parsed;
    return true;
}

bool failIntRange(QLineEdit *edit, int minimum, int maximum)
{
    return fail(edit, integerRangeText(minimum, maximum));
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
        return fail(edit, tooLongText(maxBytes));
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
