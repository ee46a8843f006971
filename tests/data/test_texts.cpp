#include "data/fieldvalue.h"
#include "data/texts.h"
#include "support/testdatabase.h"

#include <QRandomGenerator>

#include <cmath>
#include <cstring>

using namespace orv;

class TestTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesBecomeText_data()
    {
        QTest::addColumn<FieldValue>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("text unchanged") << FieldValue(QStringLiteral(" 6-8-518 ")) << QStringLiteral(" 6-8-518 ");
        QTest::newRow("16-bit") << FieldValue::int16(-2) << QStringLiteral("-2");
        QTest::newRow("32-bit") << FieldValue::int32(9999999) << QStringLiteral("9999999");
        QTest::newRow("double half") << FieldValue(12.5) << QStringLiteral("12.5");
        QTest::newRow("double whole") << FieldValue(3.0) << QStringLiteral("3");
        QTest::newRow("double 15 digits") << FieldValue(0.1 + 0.2) << QStringLiteral("0.3");
        QTest::newRow("single fee") << FieldValue(37.5F) << QStringLiteral("37.5");
        QTest::newRow("single 12.35") << FieldValue(12.35F) << QStringLiteral("12.35");
        QTest::newRow("single whole") << FieldValue(40.0F) << QStringLiteral("40");
        QTest::newRow("single 7 digits") << FieldValue(1234567.0F) << QStringLiteral("1234567");
        QTest::newRow("single exponent") << FieldValue(10000000.0F) << QStringLiteral("1E+07");
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
        for (const float value : values)
            QCOMPARE(FieldValue(value).toText(), realToText(static_cast<double>(value), 7));
    }

    void equalityIsExactAndKindStrict()
    {
        QVERIFY(FieldValue(QStringLiteral("101")) == FieldValue(QStringLiteral("101")));
        QVERIFY(FieldValue(QStringLiteral("101")) != FieldValue(QStringLiteral("101 ")));
        QVERIFY(FieldValue(QStringLiteral("a")) != FieldValue(QStringLiteral("A")));
        QVERIFY(FieldValue(QStringLiteral("Ａ")) != FieldValue(QStringLiteral("A")));
        QVERIFY(FieldValue::int16(1) != FieldValue::int32(1));
        QVERIFY(FieldValue(1.0F) != FieldValue(1.0));
        QVERIFY(FieldValue::null() == FieldValue::null());
        QVERIFY(FieldValue() == FieldValue());
        QVERIFY(FieldValue() != FieldValue::null());
        QVERIFY(FieldValue(std::nan("")) != FieldValue(std::nan("")));
    }

    void dateTextsReadBackByPosition()
    {
        QCOMPARE(dateText(QDate(2004, 1, 5)), QStringLiteral("2004-01-05"));
        QCOMPARE(paidUpToText(2004, 6, 15), QStringLiteral("2004- 6-15"));
        QCOMPARE(paidUpToText(2004, 11, 5), QStringLiteral("2004-11- 5"));
        QCOMPARE(paidUpToText(2004, 6, 31), QStringLiteral("2004- 6-31"));
        for (const QString &text : {QStringLiteral("2004- 6- 5"), QStringLiteral("2004-06-05")}) {
            const DateParts parts = readDateText(text);
            QCOMPARE(parts.year, 2004);
            QCOMPARE(parts.month, 6);
            QCOMPARE(parts.day, 5);
        }
    }

    void quotesAreDoubledAndCodePageBytesCounted()
    {
        QCOMPARE(sqlQuote(QStringLiteral("O'Neil''s")), QStringLiteral("O''Neil''''s"));
        QCOMPARE(cp936Length(QStringLiteral("6-8-518")), 7);
        QCOMPARE(cp936Length(QStringLiteral("宿舍A")), 5);
        QCOMPARE(cp936Length(QStringLiteral("一二三四五六七八九十")), 20);
    }
};

QTEST_GUILESS_MAIN(TestTexts)
#include "test_texts.moc"
