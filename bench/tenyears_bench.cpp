// The lists at ten years of records (see dormbuilder.h): for each, the time from the click to its
// first screen drawn and from End to the last screen drawn, beside the least SQLite work (the
// first screen's rows stepped; the whole statement stepped to its end); and, in a fresh process,
// the memory of showing the 2,400,000-row rent list and scrolling it from top to bottom.
//
//   bench_tenyears [--rounds K] [--db FILE]
//   bench_tenyears --memory FILE | --export FILE   (one figure alone, in a fresh process)
//
// The database is built in FILE when it does not exist yet (a few minutes), or in a temporary
// folder without --db. Run it on a Release build, offscreen: see the README.
#include "data/connection.h"
#include "data/statements.h"
#include "dormbuilder.h"
#include "kit/listexport.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"
#include "operations/arrears.h"
#include "operations/billshares.h"
#include "operations/history.h"
#include "operations/statistics.h"
#include "pages/fees/feespage.h"
#include "pages/queries/queriespage.h"
#include "pages/rooms/roomspage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <thread>
#include <vector>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::bench::median;
using orv::bench::millis;

namespace {

template <typename T> T *widget(QWidget *page, const char *name)
{
    T *found = page->findChild<T *>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "no widget %s\n", name);
        std::exit(2);
    }
    return found;
}

// Steps a statement through `limit` rows (all without one), reading every column as text.
void stepRows(sqlite3 *db, const QString &sql, int limit = -1)
{
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = (limit < 0 ? sql : sql + QStringLiteral(" limit %1").arg(limit)).toUtf8();
    sqlite3_prepare_v2(db, text.constData(), -1, &statement, nullptr);
    const int columns = sqlite3_column_count(statement);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c)
            sqlite3_column_text(statement, c);
    }
    sqlite3_finalize(statement);
}

// Lets the window's events run until every row of the list is counted.
void untilCounted(ReportList *list)
{
    auto *model = qobject_cast<ReportModel *>(list->model());
    while (model && !model->counted())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

struct ListCase {
    const char *name;
    QWidget *page;
    const char *button;
    const char *list;
    QString statement; // what the list shows, for the least work
    std::function<void()> prepare;
};

// Orders a list by its header and waits for the first screen in the new order, made beside the
// window or at once. `longest` gets the longest stretch the window's thread was held meanwhile.
double sortAndShow(ReportList *list, int column, Qt::SortOrder order, double &longest)
{
    auto *model = qobject_cast<ReportModel *>(list->model());
    QElapsedTimer all;
    all.start();
    longest = millis([&] { list->horizontalHeader()->setSortIndicator(column, order); });
    while (model->ordering()) {
        longest = std::max(longest, millis([] { QCoreApplication::processEvents(QEventLoop::AllEvents); }));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    longest = std::max(longest, millis([&] { list->viewport()->repaint(); }));
    return static_cast<double>(all.nsecsElapsed()) / 1e6;
}

// The fee page on the ten-year file in the current directory, shown as a user opens it.
struct ShownFees {
    Connection connection;
    std::unique_ptr<FeesPage> page;

    explicit ShownFees(const QString &file)
    {
        QDir::setCurrent(QFileInfo(file).absolutePath());
        connection.Open(programConnectionString());
        page = std::make_unique<FeesPage>(connection);
        page->resize(800, 700);
        page->show();
        QCoreApplication::processEvents();
    }
};

// A fresh process that shows the rent list, scrolls it from top to bottom, and reports its memory
// beside the same process with the list empty.
int memoryRun(const QString &file)
{
    ShownFees shown(file);
    FeesPage &page = *shown.page;
    auto *list = widget<ReportList>(&page, "rentList");
    const long empty = bench::residentKb("VmRSS:");
    widget<QPushButton>(&page, "listRentButton")->click();
    list->viewport()->repaint();
    untilCounted(list);
    QScrollBar *bar = list->verticalScrollBar();
    constexpr int kSteps = 2000;
    for (int step = 0; step <= kSteps; ++step) {
        bar->setValue(static_cast<int>(static_cast<qint64>(bar->maximum()) * step / kSteps));
        list->viewport()->repaint();
    }
    QCoreApplication::processEvents();
    const long scrolled = bench::residentKb("VmRSS:");
    std::printf("memory: the rent list empty %ld MB; shown with its %d rows and scrolled from top to bottom in %d "
                "steps %ld MB (+%ld MB); peak %ld MB\n",
                empty / 1024, list->rowCount(), kSteps, scrolled / 1024, (scrolled - empty) / 1024,
                bench::residentKb("VmHWM:") / 1024);
    return 0;
}

// An export streams the whole rent list from the store, beside the join stepped to its end.
void exportRun(Connection &connection, QWidget &fees, const QString &file)
{
    // The processor time of this thread too: the wall clock also counts whatever else the machine runs.
    const auto cpu = [](const std::function<void()> &work) {
        timespec from{};
        timespec to{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &from);
        work();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &to);
        return static_cast<double>(to.tv_sec - from.tv_sec) * 1e3 +
               static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e6;
    };
    auto *list = widget<ReportList>(&fees, "rentList");
    widget<QPushButton>(&fees, "listRentButton")->click();
    const QString csv = QFileInfo(file).absolutePath() + u"/rent-export.csv"_s;
    double writtenCpu = 0;
    const double written = millis([&] { writtenCpu = cpu([&] { writeCsv(csv, ListTable(list->model())); }); });
    double leastCpu = 0;
    const double least = millis([&] { leastCpu = cpu([&] { stepRows(connection.handle(), sql::rentListJoin); }); });
    std::printf("\nCSV export of 房租列表 (%d rows): %.0f ms, the join stepped to its end %.0f ms (%.2fx); processor "
                "time %.0f ms and %.0f ms (%.2fx)\n",
                list->rowCount(), written, least, written / least, writtenCpu, leastCpu, writtenCpu / leastCpu);
    QFile::remove(csv);
}

// The export alone, in a fresh process.
int exportOnly(const QString &file)
{
    ShownFees shown(file);
    exportRun(shown.connection, *shown.page, file);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    new MessageAnswerer(&app); // every box is answered OK

    int rounds = 3;
    bool sortingOnly = false; // the sorted lists' table alone
    QString file;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = args[++i].toInt();
        else if (args[i] == QLatin1String("--db") && i + 1 < args.size())
            file = QFileInfo(args[++i]).absoluteFilePath();
        else if (args[i] == QLatin1String("--memory") && i + 1 < args.size())
            return memoryRun(QFileInfo(args[++i]).absoluteFilePath());
        else if (args[i] == QLatin1String("--sorting"))
            sortingOnly = true;
        else if (args[i] == QLatin1String("--export") && i + 1 < args.size())
            return exportOnly(QFileInfo(args[++i]).absoluteFilePath());
    }
    QTemporaryDir scratch;
    if (file.isEmpty())
        file = scratch.filePath(QStringLiteral("OrvDb.mdb"));
    if (!QFileInfo::exists(file)) {
        std::printf("building ten years: %d rooms, %d residents, %d months ... ", bench::kTenYearRooms,
                    bench::kTenYearResidents, bench::kTenYearMonths);
        std::fflush(stdout);
        std::printf("%.1f s\n", millis([&] { bench::buildTenYears(file); }) / 1000);
    }

    QDir::setCurrent(QFileInfo(file).absolutePath());
    Connection connection;
    connection.Open(programConnectionString());
    RoomsPage rooms(connection);
    QueriesPage queries(connection);
    FeesPage fees(connection);
    for (QWidget *page :
         {static_cast<QWidget *>(&rooms), static_cast<QWidget *>(&queries), static_cast<QWidget *>(&fees)}) {
        page->resize(800, 700);
        page->show();
    }
    QCoreApplication::processEvents();

    const std::vector<ListCase> cases = {
        {"房租列表 (rent, 2,400,000)", &fees, "listRentButton", "rentList", sql::rentListJoin, {}},
        {"费用列表 (bills, 408,000)", &fees, "listFeesButton", "feeList", sql::feeListAll, {}},
        {"整体查询 (residents, 20,000)", &queries, "listAllButton", "personList", sql::personAll, {}},
        {"查询 by 性别 (10,000)", &queries, "queryPersonsButton", "personList",
         sql::personAll + QStringLiteral(" where 性别='男'"),
         [&] { widget<QLineEdit>(&queries, "sexEdit")->setText(QStringLiteral("男")); }},
        {"房间信息列表 (rooms, 3,400)", &rooms, "listRoomsButton", "roomList", sql::floorAll, {}},
    };
    std::printf("\n%d rounds, wall-clock milliseconds (medians)\n\n", rounds);
    if (!sortingOnly) {
        std::printf("| %-32s | %12s | %10s | %10s | %12s | %12s |\n", "list", "first screen", "counted", "End",
                    "least first", "least all");
        std::printf("|%s|-------------:|-----------:|-----------:|-------------:|-------------:|\n",
                    std::string(34, '-').c_str());
        for (const ListCase &c : cases) {
            std::vector<double> first, counted, end, leastFirst, leastAll;
            auto *list = widget<ReportList>(c.page, c.list);
            const int onScreen =
                std::max(1, list->viewport()->height() / std::max(1, list->verticalHeader()->defaultSectionSize()));
            for (int k = 0; k < rounds; ++k) {
                if (c.prepare)
                    c.prepare();
                list->scrollToTop();
                first.push_back(millis([&] {
                    widget<QPushButton>(c.page, c.button)->click();
                    list->viewport()->repaint();
                }));
                // The rest of a long list is counted beside the window, which stays free meanwhile.
                counted.push_back(first.back() + millis([&] { untilCounted(list); }));
                end.push_back(millis([&] {
                    list->scrollToBottom();
                    list->viewport()->repaint();
                }));
                leastFirst.push_back(millis([&] { stepRows(connection.handle(), c.statement, onScreen); }));
                leastAll.push_back(millis([&] { stepRows(connection.handle(), c.statement); }));
            }
            const QByteArray label = QByteArray(c.name);
            const int pad = 32 + (label.size() - static_cast<int>(QString::fromUtf8(label).size())) / 2;
            std::printf("| %-*s | %12.1f | %10.1f | %10.1f | %12.2f | %12.1f |\n", pad, label.constData(),
                        median(first), median(counted), median(end), median(leastFirst), median(leastAll));
            std::fflush(stdout);
        }

        // End pressed at once after the click, before the rest of the rent list is counted: the time
        // to its real last row shown, and the row reached.
        {
            auto *list = widget<ReportList>(&fees, "rentList");
            std::vector<double> reached;
            int row = -1;
            for (int k = 0; k < rounds; ++k) {
                list->scrollToTop();
                widget<QPushButton>(&fees, "listRentButton")->click();
                list->viewport()->repaint();
                reached.push_back(millis([&] {
                    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
                    QApplication::sendEvent(list, &end);
                    list->viewport()->repaint();
                    untilCounted(list);
                    QCoreApplication::processEvents();
                    list->viewport()->repaint();
                }));
                row = list->currentIndex().row();
            }
            std::printf("\nEnd before 房租列表 is counted: row %d of %d reached %.1f ms after End (median)\n", row + 1,
                        list->rowCount(), median(reached));
        }

        exportRun(connection, fees, file);
    } // !sortingOnly

    // Each column of the long lists ordered through its header: the first screen upwards, then
    // downwards, then End of the downward list.
    std::printf("\n| %-32s | %-10s | %10s | %10s | %10s | %10s |\n", "sorted list", "column", "ascending", "descending",
                "End", "held");
    std::printf("|%s|------------|-----------:|-----------:|-----------:|-----------:|\n",
                std::string(34, '-').c_str());
    for (const ListCase &c : cases) {
        if (QByteArray(c.list) == "roomList")
            continue; // filled whole, not ordered
        auto *list = widget<ReportList>(c.page, c.list);
        for (int column = 0; column < list->columnCount(); ++column) {
            std::vector<double> up, down, end, held;
            for (int k = 0; k < rounds; ++k) {
                if (c.prepare)
                    c.prepare();
                widget<QPushButton>(c.page, c.button)->click();
                untilCounted(list);
                list->scrollToTop();
                list->viewport()->repaint();
                double longest = 0;
                up.push_back(sortAndShow(list, column, Qt::AscendingOrder, longest));
                held.push_back(longest);
                down.push_back(sortAndShow(list, column, Qt::DescendingOrder, longest));
                held.push_back(longest);
                end.push_back(millis([&] {
                    list->scrollToBottom();
                    list->viewport()->repaint();
                }));
            }
            const QByteArray label = QByteArray(c.name).left(QByteArray(c.name).indexOf(' '));
            const QByteArray title = list->model()->headerData(column, Qt::Horizontal).toString().toUtf8();
            const int pad = 32 + (label.size() - static_cast<int>(QString::fromUtf8(label).size())) / 2;
            const int titlePad = 10 + (title.size() - static_cast<int>(QString::fromUtf8(title).size())) / 2;
            std::printf("| %-*s | %-*s | %10.1f | %10.1f | %10.1f | %10.1f |\n", pad, label.constData(), titlePad,
                        title.constData(), median(up), median(down), median(end),
                        *std::max_element(held.begin(), held.end()));
            std::fflush(stdout);
        }
    }

    if (sortingOnly)
        return 0;

    // What the indexes kept for sorting the rent list cost: their size in the file and the time
    // to make them (an older file gets them at its first open), and a rent settlement's charge
    // written as the page writes it, one committed row at a time, with them and without. The
    // rows written are deleted and the indexes made again.
    {
        sqlite3 *engine = connection.handle();
        const auto exec = [engine](const QByteArray &sql) {
            sqlite3_exec(engine, sql.constData(), nullptr, nullptr, nullptr);
        };
        const auto number = [engine](const char *sql) {
            sqlite3_stmt *statement = nullptr;
            sqlite3_prepare_v2(engine, sql, -1, &statement, nullptr);
            const long long value = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
            sqlite3_finalize(statement);
            return value;
        };
        const char *indexes[][2] = {{"fanglist_rent", "fanglist (房租)"},
                                    {"fanglist_date", "fanglist (日期)"},
                                    {"fangset_date", "fangset (日期)"},
                                    {"listfei_room", "listfei (房间号码)"}};
        constexpr int kCharges = 200;
        const auto charges = [&] {
            const long long before = number("select max(rowid) from fanglist");
            const double spent = millis([&] {
                for (int i = 0; i < kCharges; ++i)
                    exec("insert into fanglist values ('2004000001', '2027-01-05', 300)");
            });
            exec("delete from fanglist where rowid > " + QByteArray::number(before));
            return spent / kCharges;
        };
        const double with = charges();
        const long long pageSize = number("pragma page_size");
        std::printf("\nfile: %lld MB\n", number("pragma page_count") * pageSize / (1024LL * 1024));
        std::vector<long long> pages;
        for (const auto &index : indexes) {
            const long long free = number("pragma freelist_count");
            exec(QByteArray("drop index ") + index[0]);
            pages.push_back(number("pragma freelist_count") - free);
        }
        const double without = charges();
        for (size_t i = 0; i < std::size(indexes); ++i) {
            const double made =
                millis([&] { exec(QByteArray("create index ") + indexes[i][0] + " on " + indexes[i][1]); });
            std::printf("index %s: %.1f MB, made in %.0f ms\n", indexes[i][0],
                        static_cast<double>(pages[i] * pageSize) / (1024 * 1024), made);
        }
        std::printf("a rent charge written and committed: %.2f ms with these indexes, %.2f ms without\n", with,
                    without);
    }

    // The office's memory: each answer beside the least SQLite work for it.
    struct Reckoning {
        const char *name;
        std::function<void()> work;
        std::function<void()> least;
    };
    sqlite3 *db = connection.handle();
    const QString room = bench::roomName(1234);
    const QString staff = bench::staffName(4321);
    const QDate today(2026, 12, 6);
    const std::vector<Reckoning> reckonings = {
        {"住宿记录 by room",
         [&] {
             ops::findStays(connection, {{}, {}, room});
         },
         [&] { stepRows(db, u"select * from residence_history where room = '%1'"_s.arg(room)); }},
        {"住宿记录 by staff number",
         [&] {
             ops::findStays(connection, {staff, {}, {}});
         },
         [&] { stepRows(db, u"select * from residence_history where staff_no = '%1'"_s.arg(staff)); }},
        {"某日住户, every room", [&] { ops::livingOn(connection, {}, QDate(2026, 6, 1)); },
         [&] {
             stepRows(db, u"select * from residence_history where checked_in <= '2026-06-01' and "
                          u"(checked_out is null or checked_out >= '2026-06-01')"_s);
         }},
        {"欠费名单", [&] { ops::arrears(connection, today); },
         [&] {
             stepRows(db, u"select 姓名, 工号, 房间, 部门, 日期, (select 日期 from fangset where fangset.工号 = "
                          u"personinfo.工号 limit 1) from personinfo"_s);
         }},
        {"分摊账单", [&] { ops::shareBill(connection, room, u"2026-11-05"_s); },
         [&] {
             stepRows(db, u"select 总费用 from listfei where 房间号码 = '%1' and 日期 = '2026-11-05'"_s.arg(room));
             stepRows(db, u"select * from residence_history where room = '%1'"_s.arg(room));
             stepRows(db, u"select 日期 from feiinfo where 房间号 = '%1' and 日期 < '2026-11-05' order by 日期 desc "
                          u"limit 1"_s.arg(room));
         }},
        {"统计图表 figures (24 months)", [&] { ops::yearAtAGlance(connection, today); },
         [&] {
             stepRows(db, u"select 房间号码, 可住人数, 入住人数 from floorinfo"_s);
             stepRows(db, u"select checked_in, checked_out from residence_history"_s);
             stepRows(db,
                      u"select substr(日期, 1, 7), sum(总费用) from listfei where 日期 >= '2024-12-01' group by 1"_s);
             stepRows(db,
                      u"select substr(日期, 1, 7), sum(房租) from fanglist where 日期 >= '2024-12-01' group by 1"_s);
         }},
    };
    std::printf("\n| %-32s | %10s | %10s |\n", "answer", "median", "least");
    std::printf("|%s|-----------:|-----------:|\n", std::string(34, '-').c_str());
    for (const Reckoning &r : reckonings) {
        std::vector<double> work, least;
        for (int k = 0; k < std::max(rounds, 5); ++k) {
            least.push_back(millis(r.least));
            work.push_back(millis(r.work));
        }
        const QByteArray label(r.name);
        const int pad = 32 + (label.size() - static_cast<int>(QString::fromUtf8(label).size())) / 2;
        std::printf("| %-*s | %10.2f | %10.2f |\n", pad, label.constData(), median(work), median(least));
        std::fflush(stdout);
    }

    QProcess memory;
    memory.setProcessChannelMode(QProcess::ForwardedChannels);
    memory.start(QApplication::applicationFilePath(), {QStringLiteral("--memory"), file});
    memory.waitForFinished(-1);
    return 0;
}
