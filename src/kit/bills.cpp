#include "bills.h"

#include "data/billdata.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QDate>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

#include <optional>
#include <utility>
#include <vector>

namespace orv {

namespace {

// What a bill shows for a figure it has no record of.
const QString kUnknown = QStringLiteral("—");

QString cellOf(const QAbstractItemModel *model, int row, int column)
{
    return model->index(row, column).data(Qt::DisplayRole).toString();
}

QString yuan(double amount)
{
    return QStringLiteral("%1 元").arg(QString::number(amount, 'f', 2));
}

// A list cell holding an amount, in yuan with two decimals; a cell that is not a number as it is.
QString yuanFromText(const QString &text)
{
    bool ok = false;
    const double amount = text.trimmed().toDouble(&ok);
    return ok ? yuan(amount) : text;
}

// Stored dates come zero-padded or blank-padded ("2004- 6-15"); documents show them zero-padded.
QString shownDate(const QString &stored)
{
    if (stored.size() == 10) {
        bool y = false;
        bool m = false;
        bool d = false;
        const QDate date(stored.mid(0, 4).trimmed().toInt(&y), stored.mid(5, 2).trimmed().toInt(&m),
                         stored.mid(8, 2).trimmed().toInt(&d));
        if (y && m && d && date.isValid())
            return date.toString(QStringLiteral("yyyy-MM-dd"));
    }
    return stored;
}

// Lays a one-page document out top to bottom in the device's own units.
class DocumentPainter final {
public:
    explicit DocumentPainter(QPagedPaintDevice *device)
        : m_painter(device), m_page(m_painter.viewport()), m_font(QStringLiteral("Noto Sans CJK SC"))
    {
        m_font.setPointSizeF(11);
        m_painter.setFont(m_font);
        m_line = QFontMetrics(m_font, device).height() * 8 / 5;
    }

    void title(const QString &text)
    {
        QFont font = m_font;
        font.setPointSizeF(18);
        font.setBold(true);
        m_painter.setFont(font);
        const int height = QFontMetrics(font, m_painter.device()).height() * 2;
        m_painter.drawText(QRect(0, m_y, m_page.width(), height), Qt::AlignCenter, text);
        m_y += height + m_line / 2;
        m_painter.setFont(m_font);
    }

    void field(const QString &label, const QString &value)
    {
        const int labelWidth = m_page.width() / 4;
        m_painter.drawText(QRect(0, m_y, labelWidth, m_line), Qt::AlignLeft | Qt::AlignVCenter, label);
        m_painter.drawText(QRect(labelWidth, m_y, m_page.width() - labelWidth, m_line),
                           Qt::AlignLeft | Qt::AlignVCenter, value);
        m_y += m_line;
    }

    void table(const QStringList &header, const std::vector<QStringList> &rows)
    {
        m_y += m_line / 2;
        const int width = m_page.width() / static_cast<int>(header.size());
        auto paintRow = [&](const QStringList &cells, bool bold) {
            QFont font = m_font;
            font.setBold(bold);
            m_painter.setFont(font);
            for (int column = 0; column < header.size(); ++column) {
                const QRect box(column * width, m_y, width, m_line);
                m_painter.drawRect(box);
                m_painter.drawText(box, Qt::AlignCenter, cells.value(column));
            }
            m_y += m_line;
        };
        paintRow(header, true);
        for (const QStringList &row : rows)
            paintRow(row, false);
        m_painter.setFont(m_font);
        m_y += m_line / 2;
    }

    void total(const QString &label, const QString &value)
    {
        QFont font = m_font;
        font.setBold(true);
        m_painter.setFont(font);
        m_painter.drawLine(0, m_y, m_page.width(), m_y);
        m_y += m_line / 4;
        field(label, value);
        m_painter.setFont(m_font);
    }

    void footer()
    {
        m_y += m_line;
        m_painter.drawText(QRect(0, m_y, m_page.width(), m_line), Qt::AlignRight | Qt::AlignVCenter,
                           QStringLiteral("Lumeo宿舍管理系统    打印日期：%1")
                               .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    }

private:
    QPainter m_painter;
    QRect m_page;
    QFont m_font;
    int m_line = 0;
    int m_y = 0;
};

} // namespace

PaintDocument utilityBillDocument(Connection &connection, const QAbstractItemModel *feeList, int row)
{
    const QString room = cellOf(feeList, row, 0);
    const QString date = cellOf(feeList, row, 1);
    const QString waterFee = cellOf(feeList, row, 2);
    const QString powerFee = cellOf(feeList, row, 3);
    const QString totalFee = cellOf(feeList, row, 4);
    const UtilityBillFacts facts = readUtilityBillFacts(connection, room, date);

    return [=](QPagedPaintDevice *device) {
        DocumentPainter doc(device);
        doc.title(QStringLiteral("水电费账单"));
        doc.field(QStringLiteral("房间号码："), room);
        doc.field(QStringLiteral("结算日期："), shownDate(date));
        doc.field(QStringLiteral("上次结算日期："),
                  facts.previous ? shownDate(facts.previous->date) : QStringLiteral("无记录"));

        auto reading = [&](const std::optional<MeterReadings> &at, bool water) {
            return at ? QString::number(water ? at->water : at->power) : kUnknown;
        };
        auto used = [&](bool water, const QString &unit) {
            if (!facts.current || !facts.previous)
                return kUnknown;
            const qint64 amount =
                water ? facts.current->water - facts.previous->water : facts.current->power - facts.previous->power;
            return QStringLiteral("%1 %2").arg(amount).arg(unit);
        };
        auto price = [&](const std::optional<double> &value, const QString &unit) {
            return value ? QStringLiteral("%1 %2").arg(QString::number(*value, 'f', 2), unit) : kUnknown;
        };
        doc.table({QStringLiteral("项目"), QStringLiteral("上次表数"), QStringLiteral("本次表数"),
                   QStringLiteral("用量"), QStringLiteral("单价"), QStringLiteral("金额")},
                  {{QStringLiteral("水费"), reading(facts.previous, true), reading(facts.current, true),
                    used(true, QStringLiteral("吨")), price(facts.waterPrice, QStringLiteral("元/吨")),
                    yuanFromText(waterFee)},
                   {QStringLiteral("电费"), reading(facts.previous, false), reading(facts.current, false),
                    used(false, QStringLiteral("度")), price(facts.powerPrice, QStringLiteral("元/度")),
                    yuanFromText(powerFee)}});
        doc.field(QStringLiteral("水费："), yuanFromText(waterFee));
        doc.field(QStringLiteral("电费："), yuanFromText(powerFee));
        doc.total(QStringLiteral("合计："), yuanFromText(totalFee));
        doc.footer();
    };
}

PaintDocument rentReceiptDocument(Connection &connection, const QAbstractItemModel *rentList, int row)
{
    const QString name = cellOf(rentList, row, 0);
    const QString staffNo = cellOf(rentList, row, 1);
    const QString room = cellOf(rentList, row, 2);
    const QString rent = cellOf(rentList, row, 3);
    const QString date = cellOf(rentList, row, 4);
    QString paidUpTo = readPaidUpTo(connection, staffNo);
    if (paidUpTo.isEmpty())
        paidUpTo = cellOf(rentList, row, 5);

    return [=](QPagedPaintDevice *device) {
        DocumentPainter doc(device);
        doc.title(QStringLiteral("房租收据"));
        doc.field(QStringLiteral("姓名："), name);
        doc.field(QStringLiteral("工号："), staffNo);
        doc.field(QStringLiteral("房间号码："), room);
        doc.field(QStringLiteral("结算日期："), shownDate(date));
        doc.total(QStringLiteral("本次房租："), yuanFromText(rent));
        doc.field(QStringLiteral("房租已交至："), shownDate(paidUpTo));
        doc.footer();
    };
}

RowAction utilityBillAction(Connection &connection, QAbstractItemView *feeList)
{
    return {QStringLiteral("打印水电费账单…"), QStringLiteral("printBillAction"), [&connection, feeList](int row) {
                printWithPreview(feeList, QStringLiteral("水电费账单"),
                                 utilityBillDocument(connection, feeList->model(), row));
            }};
}

RowAction rentReceiptAction(Connection &connection, QAbstractItemView *rentList)
{
    return {QStringLiteral("打印房租收据…"), QStringLiteral("printReceiptAction"), [&connection, rentList](int row) {
                printWithPreview(rentList, QStringLiteral("房租收据"),
                                 rentReceiptDocument(connection, rentList->model(), row));
            }};
}

} // namespace orv
