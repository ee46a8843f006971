#include "listprint.h"

#include "fileplaces.h"
#include "listexport.h"

#include <QDate>
#include <QDir>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>

namespace orv {

namespace {

// Column widths in proportion to their widest text, each at least a few characters.
QList<int> columnWidths(const ListTable &table, const QFontMetrics &metrics, int available)
{
    const int columns = table.columnCount();
    QList<int> natural(columns, 0);
    const QStringList header = table.header();
    for (int column = 0; column < columns; ++column)
        natural[column] = metrics.horizontalAdvance(header.at(column));
    // Measuring every row of a large list would take longer than printing it; the first rows show
    // the kind of text each column holds.
    const int sample = std::min(table.rowCount(), 2000);
    for (int row = 0; row < sample; ++row) {
        for (int column = 0; column < columns; ++column)
            natural[column] = std::max(natural[column], metrics.horizontalAdvance(table.cell(row, column)));
    }
    int total = 0;
    for (int &width : natural) {
        width = std::max(width, metrics.horizontalAdvance(QStringLiteral("0000"))) + metrics.averageCharWidth() * 2;
        total += width;
    }
    if (total > available) {
        for (int &width : natural)
            width = width * available / total;
    }
    return natural;
}

} // namespace

QFont printFont(qreal pointSize)
{
    // Qt's PDF writer mangles the text layer of OpenType/CFF faces such as Noto Sans CJK (radical
    // look-alikes for 用 水 日, digits after Latin letters lost), though the pages look right. A
    // TrueType CJK face comes out as it reads, so search, copy and screen readers get the text.
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSizeF(pointSize);
    return font;
}

void paintListTable(QPagedPaintDevice *device, const QString &title, const ListTable &table)
{
    QPainter painter(device);
    const QRect page = painter.viewport();
    QFont font = printFont(9);
    painter.setFont(font);
    QFontMetrics metrics(font, device);
    QFont titleFont = font;
    titleFont.setPointSizeF(14);
    titleFont.setBold(true);
    const QFontMetrics titleMetrics(titleFont, device);

    const int rowHeight = metrics.height() * 3 / 2;
    const int padding = metrics.averageCharWidth() / 2 + 1;
    const QList<int> widths = columnWidths(table, metrics, page.width());
    const QString date = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    const int top = titleMetrics.height() + metrics.height() * 2;
    const int rowsPerPage = std::max(1, (page.height() - top - rowHeight - metrics.height() * 2) / rowHeight - 1);
    const int pages = std::max(1, (table.rowCount() + rowsPerPage - 1) / rowsPerPage);
    const QStringList header = table.header();

    auto paintRow = [&](int y, const QStringList &cells, bool bold) {
        QFont rowFont = font;
        rowFont.setBold(bold);
        painter.setFont(rowFont);
        int x = 0;
        for (int column = 0; column < widths.size(); ++column) {
            const QRect box(x, y, widths.at(column), rowHeight);
            painter.drawRect(box);
            const QString text =
                metrics.elidedText(QString(cells.value(column)).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                                   Qt::ElideRight, box.width() - 2 * padding);
            painter.drawText(box.adjusted(padding, 0, -padding, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
            x += widths.at(column);
        }
    };

    for (int pageIndex = 0; pageIndex < pages; ++pageIndex) {
        if (pageIndex > 0)
            device->newPage();
        painter.setFont(titleFont);
        painter.drawText(QRect(0, 0, page.width(), titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter, title);
        painter.setFont(font);
        painter.drawText(QRect(0, 0, page.width(), titleMetrics.height()), Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("打印日期：%1").arg(date));
        int y = top;
        paintRow(y, header, true);
        y += rowHeight;
        const int first = pageIndex * rowsPerPage;
        const int last = std::min(table.rowCount(), first + rowsPerPage);
        for (int row = first; row < last; ++row, y += rowHeight)
            paintRow(y, table.rowTexts(row), false);
        painter.setFont(font);
        painter.drawText(QRect(0, page.height() - metrics.height(), page.width(), metrics.height()), Qt::AlignCenter,
                         QStringLiteral("第 %1 页，共 %2 页").arg(pageIndex + 1).arg(pages));
    }
}

void printWithPreview(QWidget *parent, const QString &documentName, const PaintDocument &paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    // The print dialog offers this name should the user print to a PDF file; a real printer, where
    // there is one, stays the default.
    printer.setOutputFileName(
        QDir(proposedFolder(SavedFile::Pdf)).filePath(proposedExportName(documentName, QStringLiteral("pdf"))));
    printer.setOutputFormat(QPrinter::NativeFormat);
    // The preview's print button opens the print dialog, where a PDF file can be chosen as printer.
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(documentName);
    QString writtenPdf;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&paint, &writtenPdf](QPrinter *target) {
        // The preview paints into a picture; only a print to a PDF file writes one,
        // made owner-only before the writer opens it.
        const bool toPdf = target->paintEngine()->type() == QPaintEngine::Pdf && !target->outputFileName().isEmpty();
        if (toPdf)
            createOwnerOnly(target->outputFileName());
        paint(target);
        if (toPdf)
            writtenPdf = target->outputFileName();
    });
    preview.exec();
    if (writtenPdf.isEmpty())
        return;
    rememberFolder(SavedFile::Pdf, writtenPdf);
    announceSaved(parent, QStringLiteral("已存为 PDF 文件 %1").arg(QDir::toNativeSeparators(writtenPdf)), writtenPdf);
}

void writePdf(const QString &path, const QString &documentName, const PaintDocument &paint)
{
    createOwnerOnly(path);
    QPdfWriter writer(path);
    writer.setTitle(documentName);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(300);
    paint(&writer);
}

} // namespace orv
