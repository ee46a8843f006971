#include "data/fieldvalue.h"
#include "data/rentperiod.h"
#include "data/texts.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>

using namespace orv;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(orv::RentPeriod::Outcome)

class TestTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesBecomeText_data()
    {
        QTest::addColumn<FieldValue>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("text unchanged") << FieldValue(u" 6-8-518 "_s) << u" 6-8-518 "_s;
        QTest::newRow("16-bit") << FieldValue::int16(-2) << u"-2"_s;
        QTest::newRow("double whole") << FieldValue(3.0) << u"3"_s;
        QTest::newRow("double 15 digits") << FieldValue(0.1 + 0.2) << u"0.3"_s;
        QTest::newRow("single 12.35") << FieldValue(12.35F) << u"12.35"_s;
        QTest::newRow("single whole") << FieldValue(40.0F) << u"40"_s;
        QTest::newRow("single 7 digits") << FieldValue(1234567.0F) << u"1234567"_s;
        QTest::newRow("single exponent") << FieldValue(10000000.0F) << u"1E+07"_s;
        QTest::newRow("empty") << FieldValue() << QString();
    }
    void valuesBecomeText()
    {
        QFETCH(FieldValue, value);
        QFETCH(QString, text);
        QCOMPARE(value.toText(), text);
    }

    void singlesReadAsTheGeneralFormWritesThem()
    {
        // Lists take a shorter road for singles; it must land on the very text the general form gives.
        QRandomGenerator random(11);
        QList<float> values{0.0F,       -0.0F, 0.6F,        2.5F,         37.8F, 1234567.5F, -1234567.5F, 9999999.0F,
                            9999999.5F, 1e-4F, 9.99999e-5F, 0.000123456F, 1e7F,  123456.75F, 100.0F,      -0.25F};
        for (int i = 0; i < 20000; ++i) {
            const auto bits = static_cast<quint32>(random.generate());
            float value = 0;
            std::memcpy(&value, &bits, sizeof value);
            if (std::isfinite(value))
                values.append(value);
            values.append(static_cast<float>(random.bounded(100000)) * 0.05F); // fees of whole and half units
            values.append(std::ldexp(static_cast<float>(random.generateDouble()), random.bounded(-16, 26)));
        }
        char written[FieldValue::kShortText];
        for (const float value : values) {
            QCOMPARE(FieldValue(value).toText(), realToText(static_cast<double>(value), 7));
            const int length = FieldValue(value).writeShortText(written);
            if (length >= 0)
                QCOMPARE(QString::fromLatin1(written, length), FieldValue(value).toText());
        }
        // Whole doubles and integers are written the same way; other values are left to toText.
        QList<FieldValue> others{FieldValue::int16(-32768), FieldValue::int32(-2147483647 - 1), FieldValue(u"7"_s),
                                 FieldValue::null()};
        for (const double value : {0.0, -0.0, 120.0, -3e14, 999999999999999.0, 1e15, 0.5, std::nan("")})
            others.append(FieldValue(value));
        for (const FieldValue &value : others) {
            const int length = value.writeShortText(written);
            if (length >= 0)
                QCOMPARE(QString::fromLatin1(written, length), value.toText());
        }
        QCOMPARE(FieldValue(1e15).writeShortText(written), -1);
        QCOMPARE(FieldValue(0.5).writeShortText(written), -1);
        QCOMPARE(FieldValue(u"7"_s).writeShortText(written), -1);
    }

    // Text against text is exact (blanks, case, width); the finds in the record store tests
    // cover those. Here: kinds never equal across, and the empty and null values.
    void equalityIsExactAndKindStrict()
    {
        QVERIFY(FieldValue::int16(1) != FieldValue::int32(1));
        QVERIFY(FieldValue(1.0F) != FieldValue(1.0));
        QVERIFY(FieldValue::null() == FieldValue::null());
        QVERIFY(FieldValue() == FieldValue());
        QVERIFY(FieldValue() != FieldValue::null());
        QVERIFY(FieldValue(std::nan("")) != FieldValue(std::nan("")));
    }

    void dateTextsReadBackByPosition()
    {
        QCOMPARE(dateText(QDate(2004, 1, 5)), u"2004-01-05"_s);
        for (const QString &text : {u"2004- 6- 5"_s, u"2004-06-05"_s}) {
            const DateParts parts = readDateText(text);
            QCOMPARE(parts.year, 2004);
            QCOMPARE(parts.month, 6);
            QCOMPARE(parts.day, 5);
        }
    }

    void quotesAreDoubledAndCodePageBytesCounted()
    {
        QCOMPARE(sqlQuote(u"O'Neil''s"_s), u"O''Neil''''s"_s);
        QCOMPARE(cp936Length(u"宿舍A"_s), 5);
        QCOMPARE(cp936Length(u"一二三四五六七八九十"_s), 20);
    }

    void rentMonthsAreCountedBetweenTheDates_data()
    {
        using Outcome = RentPeriod::Outcome;
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<qint64>("months");
        QTest::addColumn<QString>("paidUpTo");
        const auto due = [](const char *name, const QString &start, const QString &chosen, qint64 months,
                            const QString &paidUpTo) {
            QTest::newRow(name) << start << chosen << Outcome::Due << months << paidUpTo;
        };
        const auto notDue = [](const char *name, const QString &start, const QString &chosen, Outcome outcome) {
            QTest::newRow(name) << start << chosen << outcome << qint64{0} << QString();
        };
        due("one month to the day", u"2004-03-15"_s, u"2004-04-15"_s, 1, u"2004- 4-15"_s);
        notDue("a day short of a month", u"2004-03-15"_s, u"2004-04-14"_s, Outcome::NotYetDue);
        due("a day short of two months", u"2004-03-15"_s, u"2004-05-14"_s, 1, u"2004- 4-15"_s);
        notDue("same month", u"2004-03-01"_s, u"2004-03-31"_s, Outcome::NotYetDue);
        notDue("same day", u"2004-03-15"_s, u"2004-03-15"_s, Outcome::NotYetDue);
        notDue("earlier month", u"2004-05-10"_s, u"2004-03-20"_s, Outcome::NotYetDue);
        notDue("earlier year", u"2004-03-15"_s, u"2003-12-31"_s, Outcome::BeforeStart);
        due("over the year end", u"2004-12-15"_s, u"2005-01-15"_s, 1, u"2005- 1-15"_s);
        notDue("short over the year end", u"2004-12-20"_s, u"2005-01-19"_s, Outcome::NotYetDue);
        due("back into december", u"2004-11-20"_s, u"2005-01-19"_s, 1, u"2004-12-20"_s);
        due("two years", u"2004-03-15"_s, u"2006-03-15"_s, 24, u"2006- 3-15"_s);
        notDue("month end short", u"2004-01-31"_s, u"2004-02-29"_s, Outcome::NotYetDue);
        due("31st kept in february", u"2004-01-31"_s, u"2004-03-30"_s, 1, u"2004- 2-31"_s);
        due("31st kept in march", u"2004-01-31"_s, u"2004-04-30"_s, 2, u"2004- 3-31"_s);
        due("one-digit days", u"2004-03-05"_s, u"2004-05-09"_s, 2, u"2004- 5- 5"_s);
        due("from a paid-up-to text", u"2004- 6- 5"_s, u"2004-08-04"_s, 1, u"2004- 7- 5"_s);
    }
    void rentMonthsAreCountedBetweenTheDates()
    {
        QFETCH(QString, start);
        QFETCH(QString, chosen);
        QFETCH(RentPeriod::Outcome, outcome);
        QFETCH(qint64, months);
        QFETCH(QString, paidUpTo);
        const RentPeriod period = rentPeriod(readDateText(start), readDateText(chosen));
        QCOMPARE(period.outcome, outcome);
        if (outcome != RentPeriod::Outcome::Due)
            return;
        QCOMPARE(period.months, months);
        QCOMPARE(paidUpToText(period.paidUpTo.year, period.paidUpTo.month, period.paidUpTo.day), paidUpTo);
    }
};

QTEST_GUILESS_MAIN(TestTexts)
#include "test_texts.moc"
