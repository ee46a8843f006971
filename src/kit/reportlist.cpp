#include "reportlist.h"

#include "data/fieldvalue.h"
#include "data/recordset.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <charconv>
#include <iterator>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace orv {

namespace {

// Freed list memory goes back to the system, so a full list emptied leaves the process as small
// as before and the next allocation does not page through a fragmented heap.
void returnFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// Whether a text fits the given width in the widget's font, with the margins a cell or header
// section draws around it.
bool fits(const QWidget *widget, const QString &text, int width)
{
    const int margins = 2 * (widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1);
    return widget->fontMetrics().horizontalAdvance(text) + margins <= width;
}

constexpr qsizetype kBlockChars = qsizetype{32} * 1024; // 64 KiB a block, below the allocator's mmap threshold
constexpr quint16 kLong = 0xFFFF;

// Item views read an alignment as a plain integer.
QVariant alignmentOf(Qt::Alignment horizontal)
{
    return static_cast<int>(horizontal | Qt::AlignVCenter);
}

} // namespace

ReportModel::ReportModel(QObject *parent) : QAbstractTableModel(parent) {}

void ReportModel::setColumns(const QStringList &headers, const QList<Qt::Alignment> &alignments)
{
    beginResetModel();
    m_headers = headers;
    m_alignments = alignments;
    m_blocks.clear();
    m_used = 0;
    m_starts.clear();
    m_lengths.clear();
    m_long.clear();
    m_keys.clear();
    m_published = 0;
    endResetModel();
}

char16_t *ReportModel::reserveCell(qsizetype length)
{
    if (m_blocks.empty() || m_used + length > kBlockChars) {
        m_blocks.emplace_back(new char16_t[static_cast<size_t>(kBlockChars)]); // not zeroed: written before read
        m_used = 0;
    }
    return m_blocks.back().get() + m_used;
}

void ReportModel::endCell(qsizetype length)
{
    m_starts.push_back(static_cast<quint32>((m_blocks.size() - 1) * kBlockChars + m_used));
    m_lengths.push_back(static_cast<quint16>(length));
    m_used += length;
}

void ReportModel::appendCell(const QString &text)
{
    const qsizetype length = text.size();
    if (length >= kLong) {
        m_long.emplace(m_lengths.size(), text);
        m_starts.push_back(0);
        m_lengths.push_back(kLong);
        return;
    }
    std::copy(text.utf16(), text.utf16() + length, reserveCell(length));
    endCell(length);
}

void ReportModel::appendCell(const FieldValue &value)
{
    switch (value.kind()) {
    case FieldValue::Kind::Text:
        appendCell(value.asText());
        break;
    case FieldValue::Kind::Int16:
    case FieldValue::Kind::Int32: {
        // Counters and readings fill most number cells; their digits go in without a string.
        char digits[16];
        const int number = value.kind() == FieldValue::Kind::Int16 ? value.asInt16() : value.asInt32();
        char *end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
        const auto length = static_cast<qsizetype>(end - digits);
        std::copy(std::begin(digits), end, reserveCell(length));
        endCell(length);
        break;
    }
    default:
        appendCell(value.toDisplayText());
        break;
    }
}

void ReportModel::appendUtf8(QByteArrayView text)
{
    // A UTF-8 text never has fewer bytes than its UTF-16 form has characters.
    if (text.size() >= kLong) {
        appendCell(QString::fromUtf8(text));
        return;
    }
    char16_t *out = reserveCell(text.size());
    // Dates, numbers and codes are plain ASCII: each byte is its character.
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    if (std::all_of(bytes, bytes + text.size(), [](unsigned char byte) { return byte < 0x80; })) {
        std::copy(bytes, bytes + text.size(), out);
        endCell(text.size());
        return;
    }
    auto *start = reinterpret_cast<QChar *>(out);
    const QChar *end = m_utf8.appendToBuffer(start, text);
    m_utf8.resetState();
    endCell(end - start);
}

int ReportModel::appendRecord(const Recordset &set, std::initializer_list<QString> columns, qint64 key)
{
    const size_t cells = m_lengths.size();
    int given = 0;
    try {
        for (const QString &column : columns) {
            if (given == m_headers.size())
                break;
            if (const std::optional<QByteArrayView> text = set.storedText(column))
                appendUtf8(*text);
            else
                appendCell(set.GetCollect(column));
            ++given;
        }
    } catch (...) {
        // A record that cannot be read whole leaves no part of a row behind.
        m_starts.resize(cells);
        m_lengths.resize(cells);
        for (auto it = m_long.begin(); it != m_long.end();)
            it = it->first >= cells ? m_long.erase(it) : std::next(it);
        throw;
    }
    return finishRow(given, key);
}

int ReportModel::finishRow(int given, qint64 key)
{
    for (int column = given; column < m_headers.size(); ++column)
        appendCell(QString());
    m_keys.push_back(key);
    schedulePublish();
    return static_cast<int>(m_keys.size()) - 1;
}

int ReportModel::appendRow(const QStringList &cells, qint64 key)
{
    const int given = std::min(static_cast<int>(cells.size()), static_cast<int>(m_headers.size()));
    for (int column = 0; column < given; ++column)
        appendCell(cells.at(column));
    return finishRow(given, key);
}

int ReportModel::appendValues(std::initializer_list<FieldValue> values, qint64 key)
{
    int given = 0;
    for (const FieldValue &value : values) {
        if (given == m_headers.size())
            break;
        appendCell(value);
        ++given;
    }
    return finishRow(given, key);
}

void ReportModel::schedulePublish()
{
    if (m_publishQueued)
        return;
    m_publishQueued = true;
    QMetaObject::invokeMethod(this, &ReportModel::publish, Qt::QueuedConnection);
}

void ReportModel::publish()
{
    m_publishQueued = false;
    const int stored = rows();
    if (stored <= m_published)
        return;
    beginInsertRows(QModelIndex(), m_published, stored - 1);
    m_published = stored;
    endInsertRows();
}

void ReportModel::removeRow(int row)
{
    publish();
    if (row < 0 || row >= rows())
        return;
    // The row's texts stay in their block until the list is emptied; only its cells go.
    const auto columns = static_cast<size_t>(m_headers.size());
    const size_t first = static_cast<size_t>(row) * columns;
    beginRemoveRows(QModelIndex(), row, row);
    std::unordered_map<size_t, QString> moved;
    for (auto &[cell, text] : m_long) {
        if (cell < first || cell >= first + columns)
            moved.emplace(cell < first ? cell : cell - columns, std::move(text));
    }
    m_long.swap(moved);
    const auto from = static_cast<std::ptrdiff_t>(first);
    const auto to = static_cast<std::ptrdiff_t>(first + columns);
    m_starts.erase(m_starts.begin() + from, m_starts.begin() + to);
    m_lengths.erase(m_lengths.begin() + from, m_lengths.begin() + to);
    m_keys.erase(m_keys.begin() + row);
    --m_published;
    endRemoveRows();
}

void ReportModel::clear()
{
    // Trimming the heap takes a few milliseconds after a large list; it is done once the
    // handler that emptied the list has returned.
    if (m_blocks.size() > 16)
        QTimer::singleShot(0, this, &returnFreedMemory);
    beginResetModel();
    std::vector<std::unique_ptr<char16_t[]>>().swap(m_blocks);
    m_used = 0;
    std::vector<quint32>().swap(m_starts);
    std::vector<quint16>().swap(m_lengths);
    std::unordered_map<size_t, QString>().swap(m_long);
    std::vector<qint64>().swap(m_keys);
    m_published = 0;
    endResetModel();
}

int ReportModel::rows() const
{
    return static_cast<int>(m_keys.size());
}

QString ReportModel::cell(int row, int column) const
{
    if (row < 0 || row >= rows() || column < 0 || column >= m_headers.size())
        return QString();
    const size_t at = static_cast<size_t>(row) * static_cast<size_t>(m_headers.size()) + static_cast<size_t>(column);
    if (m_lengths[at] == kLong)
        return m_long.at(at);
    const quint32 start = m_starts[at];
    const char16_t *text = m_blocks[start / kBlockChars].get() + start % kBlockChars;
    return QString(reinterpret_cast<const QChar *>(text), m_lengths[at]);
}

qint64 ReportModel::key(int row) const
{
    return row >= 0 && row < rows() ? m_keys[static_cast<size_t>(row)] : 0;
}

int ReportModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_published;
}

int ReportModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant ReportModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_published)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return alignmentOf(m_alignments.value(index.column(), Qt::AlignLeft));
    default:
        return QVariant();
    }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headers.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return m_headers.at(section);
    case Qt::TextAlignmentRole:
        return alignmentOf(m_alignments.value(section, Qt::AlignLeft));
    default:
        return QVariant();
    }
}

Qt::ItemFlags ReportModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

ReportList::ReportList(const QString &objectName, QWidget *parent) : QTableView(parent), m_model(new ReportModel(this))
{
    setObjectName(objectName);
    setModel(m_model);
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
    horizontalHeader()->viewport()->installEventFilter(this);
    setRowHeight(19);
}

void ReportList::setColumns(std::initializer_list<Column> columns)
{
    QStringList headers;
    QList<Qt::Alignment> alignments;
    for (const Column &column : columns) {
        headers.append(column.header);
        alignments.append(column.alignment);
    }
    m_model->setColumns(headers, alignments);
    int index = 0;
    for (const Column &column : columns)
        setColumnWidth(index++, column.width);
}

void ReportList::setRowHeight(int pixels)
{
    verticalHeader()->setMinimumSectionSize(pixels);
    verticalHeader()->setDefaultSectionSize(pixels);
}

void ReportList::clearRows()
{
    m_model->clear();
}

int ReportList::appendRow(const QStringList &cells, qint64 key)
{
    return m_model->appendRow(cells, key);
}

int ReportList::appendValues(std::initializer_list<FieldValue> values, qint64 key)
{
    return m_model->appendValues(values, key);
}

int ReportList::appendRecord(const Recordset &set, std::initializer_list<QString> columns, qint64 key)
{
    return m_model->appendRecord(set, columns, key);
}

void ReportList::removeRow(int row)
{
    m_model->removeRow(row);
}

int ReportList::rowCount() const
{
    m_model->publish();
    return m_model->rows();
}

int ReportList::columnCount() const
{
    return m_model->columnCount();
}

QString ReportList::cellText(int row, int column) const
{
    m_model->publish();
    return m_model->cell(row, column);
}

QStringList ReportList::rowTexts(int row) const
{
    QStringList texts;
    for (int column = 0; column < columnCount(); ++column)
        texts.append(cellText(row, column));
    return texts;
}

qint64 ReportList::rowKey(int row) const
{
    return m_model->key(row);
}

void ReportList::publishRows()
{
    m_model->publish();
}

int ReportList::selectedRow() const
{
    m_model->publish();
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

bool ReportList::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text = index.data().toString();
        if (index.isValid() && !text.isEmpty() && !fits(this, text, visualRect(index).width()))
            QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QTableView::viewportEvent(event);
}

bool ReportList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int section = horizontalHeader()->logicalIndexAt(help->pos());
        const QString text = m_model->headerData(section, Qt::Horizontal).toString();
        if (section >= 0 && !text.isEmpty() &&
            !fits(horizontalHeader(), text, horizontalHeader()->sectionSize(section)))
            QToolTip::showText(help->globalPos(), text, horizontalHeader()->viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

ReportList *addList(QWidget *page, const QString &objectName, const QString &accessibleName, const QRect &place,
                    std::initializer_list<ReportList::Column> columns, int rowHeight)
{
    auto *list = new ReportList(objectName, page);
    list->setAccessibleName(accessibleName);
    list->setGeometry(place);
    list->setColumns(columns);
    list->setRowHeight(rowHeight);
    return list;
}

} // namespace orv
