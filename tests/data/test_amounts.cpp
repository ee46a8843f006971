#include "data/amounts.h"

#include <QtTest>

#include <cmath>
#include <cstdint>
#include <limits>

using namespace orv;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<std::int64_t>)

class TestAmounts final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A stored single prints as the shortest decimal that reads back to it, with the two places of
    // an amount at least.
    void priceText_data()
    {
        QTest::addColumn<float>("price");
        QTest::addColumn<QString>("text");
        QTest::newRow("four places kept") << 0.4883F << u"0.4883"_s;
        QTest::newRow("two places") << 2.85F << u"2.85"_s;
        QTest::newRow("one place padded") << 0.6F << u"0.60"_s;
        QTest::newRow("whole padded") << 100.0F << u"100.00"_s;
        QTest::newRow("below a 分") << 0.005F << u"0.005"_s;
        QTest::newRow("nine digits") << 12.345678F << u"12.345678"_s;
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
        QTest::newRow("one ton at 2.85") << qint64{1} << 2.85F << Cents(285);
        QTest::newRow("0.005 once") << qint64{1} << 0.005F << Cents(1);
        QTest::newRow("nothing used") << qint64{0} << 0.4883F << Cents(0);
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
        QTest::newRow("zero") << qint64{0} << u"0.00 元"_s;
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

QTEST_GUILESS_MAIN(TestAmounts)
#include "test_amounts.moc"
