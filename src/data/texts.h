#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace orv {

// Doubles every single quote, so that a value put between single quotes in a statement is
// stored and found exactly and can never change the statement's meaning. A NUL, which no quoted
// text can hold, is joined in as char(0).
QString sqlQuote(const QString &value);

// "2004-05-07": four-digit year, zero-padded month and day.
QString dateText(const QDate &date);
// "%d-%2d-%2d": month and day padded with a blank ("2004- 6-15").
QString paidUpToText(int year, int month, int day);

struct DateParts {
    int year = 0;
    int month = 0;
    int day = 0;
};
// Reads either date text back by position: characters 0-3, 5-6 and 8-9, each as a decimal
// number after any leading blanks (digits stop at the first non-digit; none gives 0).
DateParts readDateText(const QString &text);

// The forms' integer rule: the trimmed text in decimal, within 32 bits. A page's form and a row of
// a spreadsheet read numbers alike and refuse them with the same texts.
std::optional<int> formInteger(const QString &text);
QString notAnIntegerText();
QString integerRangeText(int minimum, int maximum);
// The refusal of a text longer than `maxBytes` bytes of code page 936.
QString tooLongText(int maxBytes);

// Length of a text in code page 936: ASCII counts one byte, any other character two.
int cp936Length(const QString &text);

} // namespace orv
