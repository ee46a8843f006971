#include "chartsdialog.h"

#include "kit/fileplaces.h"
#include "kit/listactions.h"
#include "kit/listprint.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"
#include "kit/unit.h"
#include "operations/statistics.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineSeries>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPieSeries>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace orv {

namespace {

QChartView *chartView(QChart *chart, QWidget *parent)
{
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto *view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(640, 300);
    return view;
}

// The categories along the bottom, read upwards so that two years of months fit, and a value
// axis from 0 to a little above the largest value, in whole numbers.
void addAxes(QChart *chart, const QStringList &categories, QAbstractSeries *series, double largest)
{
    auto *x = new QBarCategoryAxis(chart);
    x->append(categories);
    x->setLabelsAngle(-90);
    QFont small = x->labelsFont();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    x->setLabelsFont(small);
    auto *y = new QValueAxis(chart);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    // After attaching: a series sets the range to its own values when it is attached.
    y->setRange(0, std::max(10.0, largest * 1.1));
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%.0f"));
}

QWidget *page(QWidget *parent, QChartView *view, ReportList *numbers, const QString &listName)
{
    installListActions(numbers, listName, QStringLiteral("统计图表"));
    auto *split = new QSplitter(Qt::Vertical, parent);
    split->addWidget(view);
    split->addWidget(numbers);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    return split;
}

QString money(double yuan)
{
    return QString::number(yuan, 'f', 2);
}

} // namespace

ChartsDialog::ChartsDialog(Connection &connection, QWidget *parent) : QDialog(parent), m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("chartsDialog"));
    setWindowTitle(QStringLiteral("统计图表"));
    ops::YearAtAGlance figures;
    if (!runGuarded(this, QStringLiteral("无法读取统计数据！\n"),
                    [&] { figures = ops::yearAtAGlance(connection, QDate::currentDate()); }))
        return;
    QStringList months;
    for (const ops::MonthFigures &month : figures.months)
        months.append(month.month);

    // 住宿: beds taken and free now, and those living here at each month's end.
    {
        auto *chart = new QChart;
        chart->setTitle(QStringLiteral("住宿：现有床位 %1 张，已住 %2 人，空床 %3 张")
                            .arg(figures.beds)
                            .arg(figures.taken)
                            .arg(std::max(0, figures.beds - figures.taken)));
        auto *living = new QLineSeries(chart);
        living->setName(QStringLiteral("月末在住人数（人）"));
        for (int i = 0; i < figures.months.size(); ++i)
            living->append(i, figures.months[i].living);
        auto *bars = new QBarSeries(chart); // categories for the line to sit on
        chart->addSeries(bars);
        chart->addSeries(living);
        int most = figures.beds;
        for (const ops::MonthFigures &month : figures.months)
            most = std::max(most, month.living);
        addAxes(chart, months, living, most);
        auto *numbers = new ReportList(QStringLiteral("occupancyList"));
        numbers->setAccessibleName(QStringLiteral("在住人数"));
        numbers->setColumns({{QStringLiteral("月份"), 80}, {QStringLiteral("月末在住人数"), 110}});
        for (const ops::MonthFigures &month : figures.months)
            numbers->appendRow({month.month, QString::number(month.living)});
        numbers->appendRow({QStringLiteral("现有床位"), QString::number(figures.beds)});
        numbers->appendRow({QStringLiteral("空床"), QString::number(std::max(0, figures.beds - figures.taken))});
        m_tabs->addTab(page(this, chartView(chart, this), numbers, QStringLiteral("在住人数")),
                       QStringLiteral("住宿(&O)"));
    }
    // 收费: utility and rent charged per month.
    {
        auto *chart = new QChart;
        chart->setTitle(QStringLiteral("最近 %1 个月的收费").arg(figures.months.size()));
        auto *utility = new QBarSet(QStringLiteral("水电费（元）"));
        auto *rent = new QBarSet(QStringLiteral("房租（元）"));
        auto *numbers = new ReportList(QStringLiteral("chargesList"));
        numbers->setAccessibleName(QStringLiteral("每月收费"));
        numbers->setColumns(
            {{QStringLiteral("月份"), 80}, {QStringLiteral("水电费(元)"), 100}, {QStringLiteral("房租(元)"), 100}});
        for (const ops::MonthFigures &month : figures.months) {
            utility->append(month.utility);
            rent->append(static_cast<qreal>(month.rent));
            numbers->appendRow({month.month, money(month.utility), QString::number(month.rent)});
        }
        auto *series = new QBarSeries(chart);
        series->append(utility);
        series->append(rent);
        chart->addSeries(series);
        double most = 0;
        for (const ops::MonthFigures &month : figures.months)
            most = std::max({most, month.utility, static_cast<double>(month.rent)});
        addAxes(chart, months, series, most);
        m_tabs->addTab(page(this, chartView(chart, this), numbers, QStringLiteral("每月收费")),
                       QStringLiteral("收费(&C)"));
    }
    // 楼栋: beds and residents by the part of the room number before the first "-".
    {
        auto *chart = new QChart;
        chart->setTitle(QStringLiteral("各楼床位与在住"));
        auto *beds = new QBarSet(QStringLiteral("床位"));
        auto *taken = new QBarSet(QStringLiteral("在住"));
        QStringList buildings;
        auto *numbers = new ReportList(QStringLiteral("buildingsList"));
        numbers->setAccessibleName(QStringLiteral("各楼床位"));
        numbers->setColumns({{QStringLiteral("楼"), 80},
                             {QStringLiteral("房间数"), 70},
                             {QStringLiteral("床位"), 70},
                             {QStringLiteral("在住"), 70}});
        for (const ops::BuildingFigures &group : figures.buildings) {
            const QString name = group.building.isEmpty() ? QStringLiteral("其他") : group.building;
            buildings.append(name);
            beds->append(group.beds);
            taken->append(group.taken);
            numbers->appendRow(
                {name, QString::number(group.rooms), QString::number(group.beds), QString::number(group.taken)});
        }
        auto *series = new QBarSeries(chart);
        series->append(beds);
        series->append(taken);
        chart->addSeries(series);
        int most = 0;
        for (const ops::BuildingFigures &group : figures.buildings)
            most = std::max({most, group.beds, group.taken});
        addAxes(chart, buildings, series, most);
        m_tabs->addTab(page(this, chartView(chart, this), numbers, QStringLiteral("各楼床位")),
                       QStringLiteral("楼栋(&B)"));
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *save = buttons->addButton(QStringLiteral("保存图表(&S)…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("saveChartButton"));
    QPushButton *print = buttons->addButton(QStringLiteral("打印图表(&P)…"), QDialogButtonBox::ActionRole);
    print->setObjectName(QStringLiteral("printChartButton"));
    connect(save, &QPushButton::clicked, this, &ChartsDialog::saveChartAs);
    connect(print, &QPushButton::clicked, this, &ChartsDialog::printChart);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    resize(820, 640);
}

ChartsDialog::~ChartsDialog() = default;

bool ChartsDialog::saveChart(const QString &path) const
{
    auto *view = m_tabs->currentWidget() ? m_tabs->currentWidget()->findChild<QChartView *>() : nullptr;
    if (!view)
        return false;
    if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        writePdf(path, QStringLiteral("统计图表"), [view](QPagedPaintDevice *device) {
            QPainter painter(device);
            view->render(&painter);
        });
        return QFileInfo::exists(path);
    }
    return view->grab().save(path);
}

void ChartsDialog::saveChartAs()
{
    const QString folder = proposedFolder(SavedFile::Pdf);
    const QString name =
        QStringLiteral("统计图表-%1.png").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存图表"), QDir(folder).filePath(name),
                                                      QStringLiteral("PNG 图片 (*.png);;PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!saveChart(path)) {
        showMessage(this, QStringLiteral("无法保存图表到“%1”。").arg(QDir::toNativeSeparators(path)));
        return;
    }
    rememberFolder(SavedFile::Pdf, path);
}

void ChartsDialog::printChart()
{
    auto *view = m_tabs->currentWidget() ? m_tabs->currentWidget()->findChild<QChartView *>() : nullptr;
    if (!view)
        return;
    printWithPreview(this, QStringLiteral("统计图表"), [view](QPagedPaintDevice *device) {
        QPainter painter(device);
        view->render(&painter);
    });
}

} // namespace orv
