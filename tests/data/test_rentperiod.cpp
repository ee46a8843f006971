#include "data/rentperiod.h"
#include "data/texts.h"

#include <QtTest>

using namespace orv;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(orv::RentPeriod::Outcome)

class TestRentPeriod : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void monthsAreCountedBetweenTheDates_data()
    {
        using Outcome = RentPeriod::Outcome;
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<qint64>("months");
        QTest::addColumn<QString>("paidUpTo");

        QTest::newRow("one month to the day")
            << u"2004-03-15"_s << u"2004-04-15"_s << Outcome::Due << qint64{1} << u"2004- 4-15"_s;
        QTest::newRow("a day short of a month")
            << u"2004-03-15"_s << u"2004-04-14"_s << Outcome::NotYetDue << qint64{0} << u""_s;
        QTest::newRow("a day short of two months")
            << u"2004-03-15"_s << u"2004-05-14"_s << Outcome::Due << qint64{1} << u"2004- 4-15"_s;
        QTest::newRow("same month") << u"2004-03-01"_s << u"2004-03-31"_s << Outcome::NotYetDue << qint64{0} << u""_s;
        QTest::newRow("same day") << u"2004-03-15"_s << u"2004-03-15"_s << Outcome::NotYetDue << qint64{0} << u""_s;
        QTest::newRow("earlier month") << u"2004-05-10"_s << u"2004-03-20"_s << Outcome::NotYetDue << qint64{0}
                                       << u""_s;
        QTest::newRow("earlier year") << u"2004-03-15"_s << u"2003-12-31"_s << Outcome::BeforeStart << qint64{0}
                                      << u""_s;
        QTest::newRow("over the year end")
            << u"2004-12-15"_s << u"2005-01-15"_s << Outcome::Due << qint64{1} << u"2005- 1-15"_s;
        QTest::newRow("short over the year end")
            << u"2004-12-20"_s << u"2005-01-19"_s << Outcome::NotYetDue << qint64{0} << u""_s;
        QTest::newRow("back into december")
            << u"2004-11-20"_s << u"2005-01-19"_s << Outcome::Due << qint64{1} << u"2004-12-20"_s;
        QTest::newRow("two years") << u"2004-03-15"_s << u"2006-03-15"_s << Outcome::Due << qint64{24}
                                   << u"2006- 3-15"_s;
        QTest::newRow("month end short") << u"2004-01-31"_s << u"2004-02-29"_s << Outcome::NotYetDue << qint64{0}
                                         << u""_s;
        QTest::newRow("31st kept in february")
            << u"2004-01-31"_s << u"2004-03-30"_s << Outcome::Due << qint64{1} << u"2004- 2-31"_s;
        QTest::newRow("31st kept in march")
            << u"2004-01-31"_s << u"2004-04-30"_s << Outcome::Due << qint64{2} << u"2004- 3-31"_s;
        QTest::newRow("one-digit days") << u"2004-03-05"_s << u"2004-05-09"_s << Outcome::Due << qint64{2}
                                        << u"2004- 5- 5"_s;
        QTest::newRow("from a paid-up-to text")
            << u"2004- 6- 5"_s << u"2004-08-04"_s << Outcome::Due << qint64{1} << u"2004- 7- 5"_s;
    }
    void monthsAreCountedBetweenTheDates()
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

QTEST_GUILESS_MAIN(TestRentPeriod)
#include "test_rentperiod.moc"
