#include "data/amounts.h"
#include "data/fieldvalue.h"
#include "data/rentperiod.h"
#include "data/texts.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

using namespace orv;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(orv::RentPeriod::Outcome)
Q_DECLARE_METATYPE(std::optional<std::int64_t>)

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
        notDue("same month", u"2004-03-01"_s, u"2004-03-31"_s, Outcome::NotYetDue);
        notDue("earlier month", u"2004-05-10"_s, u"2004-03-20"_s, Outcome::NotYetDue);
        notDue("earlier year", u"2004-03-15"_s, u"2003-12-31"_s, Outcome::BeforeStart);
        due("over the year end", u"2004-12-15"_s, u"2005-01-15"_s, 1, u"2005- 1-15"_s);
        due("back into december", u"2004-11-20"_s, u"2005-01-19"_s, 1, u"2004-12-20"_s);
        due("two years", u"2004-03-15"_s, u"2006-03-15"_s, 24, u"2006- 3-15"_s);
        due("31st kept in february", u"2004-01-31"_s, u"2004-03-30"_s, 1, u"2004- 2-31"_s);
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

    // A stored single prints as the shortest decimal that reads back to it, with the two places of
    // an amount at least.
    void priceText_data()
    {
        QTest::addColumn<float>("price");
        QTest::addColumn<QString>("text");
        QTest::newRow("four places kept") << 0.4883F << u"0.4883"_s;
        QTest::newRow("one place padded") << 0.6F << u"0.60"_s;
        QTest::newRow("whole padded") << 100.0F << u"100.00"_s;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << u"NaN"_s;
    }
    void priceText()
    {
        QFETCH(float, price);
        QFETCH(QString, text);
        QCOMPARE(orv::priceText(price), text);
        if (std::isfinite(price))
            QCOMPARE(text.toFloat(), price);
    }

    // The printed price times the use, rounded half away from zero to the 分.
    void centsOf_data()
    {
        QTest::addColumn<qint64>("quantity");
        QTest::addColumn<float>("price");
        QTest::addColumn<std::optional<std::int64_t>>("cents");
        using Cents = std::optional<std::int64_t>;
        // 24.415 exactly: the single 0.48829999566 would give 24.41.
        QTest::newRow("half up") << qint64{50} << 0.4883F << Cents(2442);
        QTest::newRow("half away from zero, negative") << qint64{-50} << 0.4883F << Cents(-2442);
        QTest::newRow("below half") << qint64{49} << 0.4883F << Cents(2393); // 23.9267
        QTest::newRow("whole price") << qint64{7} << 120.0F << Cents(84000);
        QTest::newRow("widest readings") << qint64{4294967295} << 99.99999F << Cents(42949668655033);
        QTest::newRow("tiny price") << qint64{1000} << 1e-30F << Cents(0);
        QTest::newRow("beyond 64 bits") << qint64{4294967295} << 3e38F << Cents();
        QTest::newRow("not a number") << qint64{1} << std::numeric_limits<float>::infinity() << Cents();
    }
    void centsOf()
    {
        QFETCH(qint64, quantity);
        QFETCH(float, price);
        QFETCH(std::optional<std::int64_t>, cents);
        QCOMPARE(orv::centsOf(quantity, price), cents);
    }

    void yuanText_data()
    {
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("text");
        QTest::newRow("one 分") << qint64{1} << u"0.01 元"_s;
        QTest::newRow("yuan") << qint64{2727} << u"27.27 元"_s;
        QTest::newRow("negative") << qint64{-105} << u"-1.05 元"_s;
        QTest::newRow("lowest") << std::numeric_limits<qint64>::min() << u"-92233720368547758.08 元"_s;
    }
    void yuanText()
    {
        QFETCH(qint64, cents);
        QFETCH(QString, text);
        QCOMPARE(orv::yuanText(cents), text);
    }
};

QTEST_GUILESS_MAIN(TestTexts)
#include "test_texts.moc"
