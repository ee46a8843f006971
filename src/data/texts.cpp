#include "texts.h"

#include <iterator>
#include <limits>

namespace orv {

QString sqlQuote(const QString &value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    // A NUL would end the statement text inside the quotes; it is spliced in by the engine instead.
    quoted.replace(QChar(0), QStringLiteral("'||char(0)||'"));
    return quoted;
}

QString dateText(const QDate &date)
{
    // Every row of a batch writes a date: a year of four digits is written without the general
    // formatting, to the same text.
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (date.isValid() && year >= 1000 && year <= 9999) {
        const auto digit = [](int value) { return QChar(u'0' + value % 10); };
        const QChar text[] = {digit(year / 1000), digit(year / 100), digit(year / 10), digit(year),     QChar(u'-'),
                              digit(month / 10),  digit(month),      QChar(u'-'),      digit(day / 10), digit(day)};
        return QString(text, static_cast<qsizetype>(std::size(text)));
    }
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QString paidUpToText(int year, int month, int day)
{
    return QStringLiteral("%1-%2-%3").arg(year).arg(month, 2).arg(day, 2);
}

namespace {

// Decimal value of the characters [from, from + count): leading blanks skipped, digits up to
// the first non-digit.
int numberAt(const QString &text, int from, int count)
{
    int i = from;
    const int end = qMin(from + count, static_cast<int>(text.size()));
    while (i < end && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < end && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int value = 0;
    while (i < end && text.at(i).isDigit() && text.at(i).unicode() < 128) {
        value = value * 10 + (text.at(i).unicode() - '0');
        ++i;
    }
    return negative ? -value : value;
}

} // namespace

DateParts readDateText(const QString &text)
{
    return {numberAt(text, 0, 4), numberAt(text, 5, 2), numberAt(text, 8, 2)};
}

int cp936Length(const QString &text)
{
    int bytes = 0;
    for (QChar c : text) {
        if (c.isLowSurrogate())
            continue; // a character outside the code page counts once, with its high half
        bytes += c.unicode() < 0x80 ? 1 : 2;
    }
    return bytes;
}

std::optional<int> formInteger(const QString &text)
{
    bool ok = false;
    const qlonglong parsed = text.trimmed().toLongLong(&ok, 10);
    if (!ok || parsed < std::numeric_limits<int>::min() || parsed > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(parsed);
}

QString notAnIntegerText()
{
    return QStringLiteral("请输入一个整数。");
}

QString integerRangeText(int minimum, int maximum)
{
    return QStringLiteral("请输入一个介于 %1 和 %2 之间的整数。").arg(minimum).arg(maximum);
}

QString tooLongText(int maxBytes)
{
    return QStringLiteral("请输入不超过 %1 个字符（一个汉字算两个字符）。").arg(maxBytes);
}

} // namespace orv
