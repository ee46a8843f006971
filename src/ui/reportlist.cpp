#include "reportlist.h"

#include "data/fieldvalue.h"

#include <QHeaderView>

namespace orv {

ReportList::ReportList(const QString &objectName, QWidget *parent) : QTableWidget(parent)
{
    setObjectName(objectName);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    setRowHeight(19);
}

void ReportList::setColumns(std::initializer_list<Column> columns)
{
    setColumnCount(static_cast<int>(columns.size()));
    m_alignments.clear();
    int index = 0;
    for (const Column &column : columns) {
        auto *header = new QTableWidgetItem(column.header);
        header->setTextAlignment(column.alignment | Qt::AlignVCenter);
        setHorizontalHeaderItem(index, header);
        setColumnWidth(index, column.width);
        m_alignments.append(column.alignment);
        ++index;
    }
}

void ReportList::setRowHeight(int pixels)
{
    verticalHeader()->setMinimumSectionSize(pixels);
    verticalHeader()->setDefaultSectionSize(pixels);
}

void ReportList::clearRows()
{
    clearContents();
    setRowCount(0);
}

int ReportList::appendRow(const QStringList &cells)
{
    const int row = rowCount();
    insertRow(row);
    for (int column = 0; column < columnCount(); ++column) {
        auto *item = new QTableWidgetItem(column < cells.size() ? cells.at(column) : QString());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setTextAlignment(m_alignments.value(column, Qt::AlignLeft) | Qt::AlignVCenter);
        setItem(row, column, item);
    }
    return row;
}

int ReportList::appendValues(std::initializer_list<FieldValue> values)
{
    QStringList cells;
    for (const FieldValue &value : values)
        cells.append(value.toDisplayText());
    return appendRow(cells);
}

QString ReportList::cellText(int row, int column) const
{
    const QTableWidgetItem *cell = item(row, column);
    return cell ? cell->text() : QString();
}

QStringList ReportList::rowTexts(int row) const
{
    QStringList texts;
    for (int column = 0; column < columnCount(); ++column)
        texts.append(cellText(row, column));
    return texts;
}

} // namespace orv
