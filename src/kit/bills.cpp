#include "bills.h"

#include "data/amounts.h"
#include "data/billdata.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QDate>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

#include <cstdint>
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
        : m_painter(device), m_page(m_painter.viewport()), m_font(printFont(11))
    {
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

    // A sentence across the page, for what the document cannot state.
    void note(const QString &text)
    {
        m_y += m_line / 2;
        const QRect box(0, m_y, m_page.width(), m_line * 2);
        m_painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        m_y += m_line * 2;
    }

    // Goes on at the top of a new page.
    void newPage()
    {
        static_cast<QPagedPaintDevice *>(m_painter.device())->newPage();
        m_y = 0;
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

namespace {

// One row of the bill's table with its amount in 分; no amount where neither the readings and
// price nor the stored fee give one.
struct BillPart {
    QString previous = kUnknown;
    QString current = kUnknown;
    QString used = kUnknown;
    QString price = kUnknown;
    std::optional<std::int64_t> cents;
};

BillPart billPart(const UtilityBillFacts &facts, bool water, const QString &listedFee)
{
    BillPart part;
    const auto reading = [water](const MeterReadings &at) { return water ? at.water : at.power; };
    const std::optional<float> &price = water ? facts.waterPrice : facts.powerPrice;
    const std::optional<float> &fee = water ? facts.waterFee : facts.powerFee;
    std::optional<std::int64_t> used;
    if (facts.previous)
        part.previous = QString::number(reading(*facts.previous));
    if (facts.current)
        part.current = QString::number(reading(*facts.current));
    if (facts.previous && facts.current) {
        used = reading(*facts.current) - reading(*facts.previous);
        part.used = QStringLiteral("%1 %2").arg(*used).arg(water ? QStringLiteral("吨") : QStringLiteral("度"));
    }
    // The fee as stored, rounded to the 分: what the settlement charged.
    std::optional<std::int64_t> charged;
    if (fee) {
        charged = centsOf(1, *fee);
    } else {
        bool ok = false;
        const float listed = listedFee.trimmed().toFloat(&ok);
        if (ok)
            charged = centsOf(1, listed);
    }
    if (used && price) {
        const std::optional<std::int64_t> atPrice = centsOf(*used, *price);
        // A settlement made before prices were kept was charged at the standard of its day; the
        // standard now stored stands for it only while it still gives the stored fee.
        const bool chargedAtPrice =
            facts.pricesKept || !charged ||
            (fee && static_cast<float>(static_cast<double>(*used) * static_cast<double>(*price)) == *fee) ||
            atPrice == charged;
        if (chargedAtPrice && atPrice) {
            part.price = QStringLiteral("%1 %2").arg(priceText(*price),
                                                     water ? QStringLiteral("元/吨") : QStringLiteral("元/度"));
            part.cents = atPrice;
            return part;
        }
    }
    part.cents = charged;
    return part;
}

QString amountText(const std::optional<std::int64_t> &cents, const QString &listed)
{
    return cents ? yuanText(*cents) : yuanFromText(listed);
}

} // namespace

PaintDocument utilityBillDocument(Connection &connection, const QAbstractItemModel *feeList, int row)
{
    const QString room = cellOf(feeList, row, 0);
    const QString date = cellOf(feeList, row, 1);
    const QString waterFee = cellOf(feeList, row, 2);
    const QString powerFee = cellOf(feeList, row, 3);
    const QString totalFee = cellOf(feeList, row, 4);
    const UtilityBillFacts facts = readUtilityBillFacts(connection, room, date);
    const BillPart water = billPart(facts, true, waterFee);
    const BillPart power = billPart(facts, false, powerFee);
    // The total is the sum of the amounts printed above it, so the bill adds up to the 分.
    const std::optional<std::int64_t> total =
        water.cents && power.cents ? std::optional<std::int64_t>(*water.cents + *power.cents) : std::nullopt;
    QString previousDate = QStringLiteral("无记录");
    if (facts.previous) {
        previousDate = facts.previous->date.isEmpty() ? QStringLiteral("无（首次结算，上次表数为房间底数）")
                                                      : shownDate(facts.previous->date);
    }

    return [=](QPagedPaintDevice *device) {
        DocumentPainter doc(device);
        doc.title(QStringLiteral("水电费账单"));
        doc.field(QStringLiteral("房间号码："), room);
        doc.field(QStringLiteral("结算日期："), shownDate(date));
        doc.field(QStringLiteral("上次结算日期："), previousDate);
        doc.table({QStringLiteral("项目"), QStringLiteral("上次表数"), QStringLiteral("本次表数"),
                   QStringLiteral("用量"), QStringLiteral("单价"), QStringLiteral("金额")},
                  {{QStringLiteral("水费"), water.previous, water.current, water.used, water.price,
                    amountText(water.cents, waterFee)},
                   {QStringLiteral("电费"), power.previous, power.current, power.used, power.price,
                    amountText(power.cents, powerFee)}});
        doc.field(QStringLiteral("水费："), amountText(water.cents, waterFee));
        doc.field(QStringLiteral("电费："), amountText(power.cents, powerFee));
        doc.total(QStringLiteral("合计："), amountText(total, totalFee));
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
    // The list shows each resident's paid-up-to date of now beside every one of their rows; a
    // receipt states what its own settlement paid for.
    const std::optional<RentPeriodRecord> period = readRentPeriod(connection, staffNo, date);

    return [=](QPagedPaintDevice *device) {
        DocumentPainter doc(device);
        doc.title(QStringLiteral("房租收据"));
        doc.field(QStringLiteral("姓名："), name);
        doc.field(QStringLiteral("工号："), staffNo);
        doc.field(QStringLiteral("房间号码："), room);
        doc.field(QStringLiteral("结算日期："), shownDate(date));
        if (period) {
            doc.field(QStringLiteral("房租期间："), QStringLiteral("%1 至 %2（%3 个月）")
                                                        .arg(shownDate(period->paidFrom), shownDate(period->paidTo))
                                                        .arg(period->months));
        }
        doc.total(QStringLiteral("本次房租："), yuanFromText(rent));
        if (period)
            doc.field(QStringLiteral("房租已交至："), shownDate(period->paidTo));
        else
            doc.note(QStringLiteral("这笔房租结算于本程序开始记录房租期间之前，收据无法注明它交至的日期。"));
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

PaintDocument slipsDocument(const QList<Slip> &slips)
{
    return [slips](QPagedPaintDevice *device) {
        DocumentPainter doc(device);
        for (qsizetype i = 0; i < slips.size(); ++i) {
            if (i > 0)
                doc.newPage();
            const Slip &slip = slips[i];
            doc.title(slip.title);
            for (const auto &[label, value] : slip.fields)
                doc.field(label, value);
            if (!slip.totalLabel.isEmpty())
                doc.total(slip.totalLabel, slip.total);
            if (!slip.note.isEmpty())
                doc.note(slip.note);
            doc.footer();
        }
    };
}

} // namespace orv
