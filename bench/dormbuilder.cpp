#include "dormbuilder.h"

#include "data/connection.h"
#include "data/recordset.h"
#include "data/residence.h"
#include "data/statements.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <ctime>

#include <initializer_list>
#include <utility>

namespace orv::bench {

namespace {

// The `month`th month of the ten years (0 = the first), on `day`; the last is November 2026.
QDate monthOf(int month, int day)
{
    return QDate(2026, 11, day).addMonths(month - (kTenYearMonths - 1));
}

} // namespace

void put(Recordset &set, std::initializer_list<std::pair<const char16_t *, FieldValue>> values)
{
    set.AddNew();
    for (const auto &[column, value] : values)
        set.PutCollect(QString::fromUtf16(column), value);
    set.Update();
}

QString roomName(int i)
{
    return QStringLiteral("%1-%2-%3").arg(6 + i / 10000).arg((i / 100) % 100).arg(i % 100, 2, 10, QLatin1Char('0'));
}

QString staffName(int i)
{
    return QString::number(2004000000 + i);
}

void buildTenYears(const QString &file)
{
    constexpr int kBeds = 6;
    constexpr int kPerRoom = 6;
    Connection::Create(file, programPassword());
    QDir::setCurrent(QFileInfo(file).absolutePath());
    Connection connection;
    connection.Open(programConnectionString());
    connection.beginUnit();
    Recordset rooms(&connection), nums(&connection), people(&connection), meters(&connection), bills(&connection),
        due(&connection), rents(&connection), standard(&connection);
    rooms.Open(sql::floorAll);
    nums.Open(sql::numAll);
    const int lived = (kTenYearResidents + kPerRoom - 1) / kPerRoom; // rooms with anyone in them
    for (int i = 0; i < kTenYearRooms; ++i) {
        const QString room = roomName(i);
        const int in = i < lived ? std::min(kPerRoom, kTenYearResidents - i * kPerRoom) : 0;
        put(rooms, {{u"房间号码", room},
                    {u"入住性别", i % 2 ? u"女" : u"男"},
                    {u"电话号码", QStringLiteral("0571-8%1").arg(i, 7, 10, QLatin1Char('0'))},
                    {u"电话端口", QString::number(i % 500)},
                    {u"网线端口", QString::number(i % 700)},
                    {u"可住人数", FieldValue::int16(static_cast<qint16>(kBeds))},
                    {u"水表底数", FieldValue::int32(100 + 10 * kTenYearMonths)},
                    {u"电表底数", FieldValue::int32(200 + 30 * kTenYearMonths)},
                    {u"入住人数", FieldValue::int16(static_cast<qint16>(in))},
                    {u"空缺人数", FieldValue::int16(static_cast<qint16>(kBeds - in))}});
        put(nums, {{u"房间号码", room}, {u"入住人数", FieldValue::int16(static_cast<qint16>(in))}});
    }
    // Month by month, as an office adds them: each room's bill, then each resident's rent.
    meters.Open(QStringLiteral("select * from feiinfo"));
    bills.Open(sql::feeListAll);
    rents.Open(sql::rentListAll);
    for (int month = 0; month < kTenYearMonths; ++month) {
        const QString billDay = monthOf(month, 5).toString(QStringLiteral("yyyy-MM-dd"));
        const QString rentDay = monthOf(month, 20).toString(QStringLiteral("yyyy-MM-dd"));
        for (int i = 0; i < kTenYearRooms; ++i) {
            const QString room = roomName(i);
            put(meters, {{u"房间号", room},
                         {u"日期", billDay},
                         {u"水表", FieldValue::int32(100 + 10 * (month + 1))},
                         {u"电表", FieldValue::int32(200 + 30 * (month + 1))}});
            put(bills,
                {{u"房间号码", room}, {u"日期", billDay}, {u"水费", 25.0F}, {u"电费", 18.0F}, {u"总费用", 43.0F}});
        }
        for (int i = 0; i < kTenYearResidents; ++i)
            put(rents, {{u"工号", staffName(i)}, {u"日期", rentDay}, {u"房租", FieldValue::int32(120)}});
    }
    people.Open(sql::personAll);
    due.Open(QStringLiteral("select * from fangset"));
    const QDate paidTo = monthOf(kTenYearMonths - 1, 15).addMonths(6);
    for (int i = 0; i < kTenYearResidents; ++i) {
        const QString staff = staffName(i);
        put(people, {{u"姓名", QStringLiteral("住户%1").arg(i)},
                     {u"性别", i % 2 ? u"女" : u"男"},
                     {u"部门", QStringLiteral("部门%1").arg(i % 40)},
                     {u"工号", staff},
                     {u"手机", QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0'))},
                     {u"日期", monthOf(0, 15).toString(QStringLiteral("yyyy-MM-dd"))},
                     {u"房间", roomName(i / kPerRoom)}});
        put(due, {{u"工号", staff},
                  {u"日期", QStringLiteral("%1-%2-%3")
                                .arg(paidTo.year())
                                .arg(paidTo.month(), 2, 10, QLatin1Char(' '))
                                .arg(paidTo.day(), 2, 10, QLatin1Char('0'))},
                  {u"房租合计", FieldValue::int32(120 * kTenYearMonths)}});
    }
    standard.Open(sql::feeStandard);
    put(standard, {{u"水费", 2.5F}, {u"电费", 0.6F}, {u"房租", FieldValue::int32(120)}});
    for (Recordset *set : {&rooms, &nums, &people, &meters, &bills, &due, &rents, &standard})
        set->Close();
    // The residents' stays, as a file kept before the history began starts it.
    connection.execute(residence::startStatement());
    connection.commitUnit();
}

double millis(const std::function<void()> &work, bool cpu)
{
    if (cpu) {
        timespec start{};
        timespec end{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
        work();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
        return static_cast<double>(end.tv_sec - start.tv_sec) * 1e3 +
               static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e6;
    }
    QElapsedTimer clock;
    clock.start();
    work();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
long residentKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<int>(qstrlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace orv::bench
