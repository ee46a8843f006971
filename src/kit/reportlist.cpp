#include "reportlist.h"

#include "data/fieldvalue.h"
#include "data/listpages.h"
#include "data/recordset.h"
#include "data/storeerror.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

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

constexpr qsizetype kBlockBytes = qsizetype{64} * 1024; // below the allocator's mmap threshold

// Copies a cell's few bytes without a library call: most cells are a handful of characters.
void copyBytes(char *to, const char *from, qsizetype length)
{
    if (length >= 8 && length <= 16) {
        std::uint64_t head = 0;
        std::uint64_t tail = 0;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + length - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + length - 8, &tail, 8);
    } else if (length > 16) {
        std::memcpy(to, from, static_cast<size_t>(length));
    } else {
        for (qsizetype i = 0; i < length; ++i)
            to[i] = from[i];
    }
}

constexpr quint16 kLong = 0xFFFF;

// Whether a text comes back unchanged from UTF-8: no half of a surrogate pair on its own, and no
// leading byte order mark, which decoding drops.
bool survivesUtf8(QStringView text)
{
    if (text.startsWith(QChar(0xFEFF)))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    return true;
}

// Item views read an alignment as a plain integer.
QVariant alignmentOf(Qt::Alignment horizontal)
{
    return static_cast<int>(horizontal | Qt::AlignVCenter);
}

} // namespace

ReportModel::ReportModel(QObject *parent) : QAbstractTableModel(parent) {}

ReportModel::~ReportModel() = default;

void ReportModel::setColumns(const QStringList &headers, const QList<Qt::Alignment> &alignments)
{
    beginResetModel();
    m_pages.reset();
    m_cache.clear();
    m_headers = headers;
    m_alignments = alignments;
    m_blocks.clear();
    m_capacity = 0;
    m_used = 0;
    m_rows.clear();
    m_long.clear();
    m_published = 0;
    endResetModel();
}

qsizetype ReportModel::headerBytes() const
{
    return qsizetype{sizeof(qint64)} + m_headers.size() * qsizetype{sizeof(quint16)};
}

const char *ReportModel::record(int row) const
{
    const Row &at = m_rows[static_cast<size_t>(row)];
    return m_blocks[at.block].get() + at.offset;
}

quint16 ReportModel::length(int row, int column) const
{
    quint16 length = 0;
    std::memcpy(&length, record(row) + sizeof(qint64) + column * sizeof(quint16), sizeof length);
    return length;
}

char *ReportModel::reserve(qsizetype length)
{
    if (m_used + length <= m_capacity)
        return m_blocks.back().get() + m_used;
    // The row so far moves to a new block with room for the rest; what it leaves behind is not read.
    Row &row = m_rows.back();
    const qsizetype written = m_used - row.offset;
    const qsizetype capacity = std::max(kBlockBytes, written + length);
    auto block = std::unique_ptr<char[]>(new char[static_cast<size_t>(capacity)]); // written before read
    if (written > 0)
        std::copy_n(m_blocks.back().get() + row.offset, written, block.get());
    m_blocks.push_back(std::move(block));
    m_capacity = capacity;
    m_used = written;
    row.block = static_cast<quint32>(m_blocks.size() - 1);
    row.offset = 0;
    return m_blocks.back().get() + m_used;
}

void ReportModel::beginRow(qint64 key)
{
    m_rows.push_back({static_cast<quint32>(m_blocks.empty() ? 0 : m_blocks.size() - 1), static_cast<quint32>(m_used)});
    std::memcpy(reserve(headerBytes()), &key, sizeof key);
    m_used += headerBytes();
    m_cells = 0;
}

void ReportModel::endCell(qsizetype length)
{
    const auto bytes = static_cast<quint16>(length);
    const Row &row = m_rows.back();
    char *lengths = m_blocks[row.block].get() + row.offset + sizeof(qint64);
    std::memcpy(lengths + m_cells * sizeof(quint16), &bytes, sizeof bytes);
    ++m_cells;
    if (bytes != kLong)
        m_used += length;
}

void ReportModel::appendAside(QString text)
{
    m_long.emplace((m_rows.size() - 1) * static_cast<size_t>(m_headers.size()) + static_cast<size_t>(m_cells),
                   std::move(text));
    endCell(kLong);
}

void ReportModel::appendCell(QStringView text)
{
    // A character takes at most three bytes.
    if (text.size() * 3 >= kLong || !survivesUtf8(text)) {
        appendAside(text.toString());
        return;
    }
    char *out = reserve(text.size() * 3);
    char *end = m_toUtf8.appendToBuffer(out, text);
    m_toUtf8.resetState();
    endCell(end - out);
}

void ReportModel::appendCell(const FieldValue &value)
{
    // Numbers fill most cells that are not texts; their digits go in without a string.
    char *out = reserve(FieldValue::kShortText);
    const int length = value.writeShortText(out);
    if (length >= 0)
        endCell(length);
    else if (value.kind() == FieldValue::Kind::Text)
        appendCell(QStringView(value.asText()));
    else
        appendCell(QStringView(value.toDisplayText()));
}

void ReportModel::appendUtf8(QByteArrayView text)
{
    if (text.size() >= kLong) {
        appendAside(QString::fromUtf8(text));
        return;
    }
    copyBytes(reserve(text.size()), text.data(), text.size());
    endCell(text.size());
}

int ReportModel::appendRecord(const Recordset &set, std::initializer_list<QString> columns, qint64 key)
{
    dropPages();
    const size_t count = std::min(columns.size(), static_cast<size_t>(m_headers.size()));
    m_texts.resize(count);
    set.storedTexts(columns.begin(), count, m_texts.data());
    beginRow(key);
    try {
        for (size_t i = 0; i < count; ++i) {
            if (m_texts[i])
                appendUtf8(*m_texts[i]);
            else
                appendCell(set.GetCollect(columns.begin()[i]));
        }
    } catch (...) {
        abandonRow();
        throw;
    }
    return endRow();
}

void ReportModel::abandonRow()
{
    // A record that cannot be read whole leaves no part of a row behind.
    const size_t cells = (m_rows.size() - 1) * static_cast<size_t>(m_headers.size());
    m_used = m_rows.back().offset;
    m_rows.pop_back();
    for (auto it = m_long.begin(); it != m_long.end();)
        it = it->first >= cells ? m_long.erase(it) : std::next(it);
}

int ReportModel::endRow()
{
    while (m_cells < m_headers.size())
        endCell(0);
    schedulePublish();
    return static_cast<int>(m_rows.size()) - 1;
}

int ReportModel::appendRow(const QStringList &cells, qint64 key)
{
    dropPages();
    beginRow(key);
    for (const QString &text : cells) {
        if (m_cells == m_headers.size())
            break;
        appendCell(QStringView(text));
    }
    return endRow();
}

int ReportModel::appendValues(std::initializer_list<FieldValue> values, qint64 key)
{
    dropPages();
    beginRow(key);
    for (const FieldValue &value : values) {
        if (m_cells == m_headers.size())
            break;
        appendCell(value);
    }
    return endRow();
}

void ReportModel::schedulePublish()
{
    if (m_publishQueued)
        return;
    m_publishQueued = true;
    QMetaObject::invokeMethod(this, &ReportModel::publishAppended, Qt::QueuedConnection);
}

void ReportModel::publish()
{
    if (m_pages && !m_pages->counted())
        settleCount();
    publishAppended();
}

void ReportModel::publishAppended()
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
    // Rows read on demand are the statement's; they change only by reading it again.
    if (m_pages || row < 0 || row >= rows())
        return;
    // The row's record stays in its block until the list is emptied; only its place goes.
    const auto columns = static_cast<size_t>(m_headers.size());
    const size_t first = static_cast<size_t>(row) * columns;
    beginRemoveRows(QModelIndex(), row, row);
    std::unordered_map<size_t, QString> moved;
    for (auto &[cell, text] : m_long) {
        if (cell < first || cell >= first + columns)
            moved.emplace(cell < first ? cell : cell - columns, std::move(text));
    }
    m_long.swap(moved);
    m_rows.erase(m_rows.begin() + row);
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
    m_pages.reset();
    std::vector<CachedBlock>().swap(m_cache);
    std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
    m_capacity = 0;
    m_used = 0;
    std::vector<Row>().swap(m_rows);
    std::unordered_map<size_t, QString>().swap(m_long);
    m_published = 0;
    endResetModel();
}

void ReportModel::showPages(std::unique_ptr<store::ListPages> pages, const QStringList &columns)
{
    pages->showColumns(columns);
    clear();
    beginResetModel();
    m_pages = std::move(pages);
    m_published = static_cast<int>(m_pages->count());
    endResetModel();
    if (!m_pages->counted()) {
        // The first block is shown now; the rest of the rows join when they are counted.
        const quint64 shown = ++m_pagesShown;
        m_pages->countBeside([this, shown] {
            QMetaObject::invokeMethod(
                this,
                [this, shown] {
                    if (shown == m_pagesShown && m_pages && !m_pages->counted())
                        settleCount();
                },
                Qt::QueuedConnection);
        });
    }
}

bool ReportModel::counted() const
{
    return !m_pages || m_pages->counted();
}

void ReportModel::settleCount()
{
    try {
        m_pages->settleCount();
    } catch (const StoreError &) {
        return; // the rows known stay; the next fill counts again
    }
    const int all = static_cast<int>(m_pages->count());
    if (all > m_published) {
        beginInsertRows(QModelIndex(), m_published, all - 1);
        m_published = all;
        endInsertRows();
    }
    Q_EMIT countSettled();
}

bool ReportModel::sortPages(int column, Qt::SortOrder order)
{
    if (!m_pages)
        return false;
    using Order = store::ListPages::Order;
    const Order wanted = column < 0 ? Order::Added : order == Qt::AscendingOrder ? Order::Ascending : Order::Descending;
    bool ordered = false;
    try {
        if (wanted != Order::Added && !m_pages->ordersAtOnce(column)) {
            // Read beside the window; the rows keep their order until the new one is written.
            const quint64 shown = m_pagesShown;
            const quint64 sorting = ++m_sortings;
            ordered = m_pages->orderBeside(column, wanted, [this, shown, sorting] {
                QMetaObject::invokeMethod(
                    this, [this, shown, sorting] { writeOrder(shown, sorting); }, Qt::QueuedConnection);
            });
            return ordered;
        }
        ordered = m_pages->setOrder(column, wanted);
    } catch (const StoreError &) {
        ordered = false;
    }
    beginResetModel();
    m_cache.clear();
    endResetModel();
    return ordered;
}

bool ReportModel::ordering() const
{
    return m_pages && m_pages->ordering();
}

void ReportModel::writeOrder(quint64 shown, quint64 sorting)
{
    // A list shown or sorted again since has left this order behind.
    if (shown != m_pagesShown || sorting != m_sortings || !m_pages || !m_pages->ordering())
        return;
    using Progress = store::ListPages::Progress;
    Progress progress = Progress::Done;
    try {
        progress = m_pages->writeOrder(kOrderSliceRows);
    } catch (const StoreError &) {
        // The order there was stays; the header shows it again.
        Q_EMIT orderTaken();
        return;
    }
    if (progress != Progress::Done) {
        // A slice at a time, so the window answers between them; a unit open now is waited out.
        QTimer::singleShot(progress == Progress::Waiting ? 20 : 0, this,
                           [this, shown, sorting] { writeOrder(shown, sorting); });
        return;
    }
    beginResetModel();
    m_cache.clear();
    endResetModel();
    Q_EMIT orderTaken();
}

int ReportModel::sortColumn() const
{
    return m_pages ? m_pages->orderColumn() : -1;
}

Qt::SortOrder ReportModel::sortOrder() const
{
    return m_pages && m_pages->order() == store::ListPages::Order::Descending ? Qt::DescendingOrder
                                                                              : Qt::AscendingOrder;
}

void ReportModel::dropPages()
{
    if (m_pages)
        clear();
}

const QString *ReportModel::pagedRow(int row) const
{
    const long block = row / m_pages->blockRows();
    const auto offset = static_cast<size_t>(row % m_pages->blockRows()) * static_cast<size_t>(m_pages->columnCount());
    auto held =
        std::find_if(m_cache.begin(), m_cache.end(), [block](const CachedBlock &at) { return at.block == block; });
    if (held == m_cache.end()) {
        std::vector<QString> cells;
        try {
            cells = m_pages->readBlock(block);
        } catch (const StoreError &) {
            return nullptr;
        }
        if (m_cache.size() < kCachedBlocks) {
            held = m_cache.insert(m_cache.end(), CachedBlock{block, std::move(cells), 0});
        } else {
            // The block read longest ago gives way.
            held = std::min_element(m_cache.begin(), m_cache.end(),
                                    [](const CachedBlock &a, const CachedBlock &b) { return a.used < b.used; });
            *held = CachedBlock{block, std::move(cells), 0};
        }
    }
    held->used = ++m_uses;
    return offset < held->cells.size() ? held->cells.data() + offset : nullptr;
}

long ReportModel::readAll(const std::function<bool(const std::vector<QByteArrayView> &cells)> &row)
{
    return m_pages ? m_pages->readAll(row) : 0;
}

int ReportModel::rows() const
{
    return m_pages ? static_cast<int>(m_pages->count()) : static_cast<int>(m_rows.size());
}

QString ReportModel::cell(int row, int column) const
{
    if (row < 0 || row >= rows() || column < 0 || column >= m_headers.size())
        return QString();
    if (m_pages) {
        const QString *cells = column < m_pages->columnCount() ? pagedRow(row) : nullptr;
        return cells ? cells[column] : QString();
    }
    if (length(row, column) == kLong)
        return m_long.at(static_cast<size_t>(row) * static_cast<size_t>(m_headers.size()) +
                         static_cast<size_t>(column));
    qsizetype offset = headerBytes();
    for (int before = 0; before < column; ++before) {
        const quint16 bytes = length(row, before);
        offset += bytes == kLong ? 0 : bytes;
    }
    // Decoded as GetCollect decodes the engine's text, so a cell shows what a read would.
    return QString::fromUtf8(record(row) + offset, length(row, column));
}

qint64 ReportModel::key(int row) const
{
    qint64 key = 0;
    if (!m_pages && row >= 0 && row < rows())
        std::memcpy(&key, record(row), sizeof key);
    return key;
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
    case Qt::InitialSortOrderRole:
        // The first click orders upwards, as a second reverses.
        return static_cast<int>(Qt::AscendingOrder);
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
    horizontalHeader()->setSortIndicatorClearable(true);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &ReportList::orderBy);
    connect(m_model, &QAbstractItemModel::modelReset, this, &ReportList::showOrder);
    connect(m_model, &ReportModel::orderTaken, this, &ReportList::takeOrder);
    // A list filled or ordered anew starts at its top: a wish for the old list's end is void.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_bottomWanted = Bottom::None; });
    connect(m_model, &ReportModel::countSettled, this, &ReportList::reachBottom);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &ReportList::scrolledByUser);
    setRowHeight(19);
}

QModelIndex ReportList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (action != MoveHome && action != MoveEnd) {
        m_bottomWanted = Bottom::None;
        return QTableView::moveCursor(action, modifiers);
    }
    // Whole rows are chosen, so Home and End go to the first and last row, as in a report list,
    // keeping the column.
    const int row = action == MoveHome ? 0 : m_model->rowCount() - 1;
    const bool toEnd = action == MoveEnd && row >= 0;
    m_bottomWanted = toEnd && !m_model->counted() ? Bottom::LastRow : Bottom::None;
    return row < 0 ? QModelIndex() : m_model->index(row, std::max(0, currentIndex().column()));
}

void ReportList::mousePressEvent(QMouseEvent *event)
{
    m_bottomWanted = Bottom::None;
    QTableView::mousePressEvent(event);
}

void ReportList::scrolledByUser()
{
    // Called before the slider's new place takes effect, with that place already known.
    const QScrollBar *bar = verticalScrollBar();
    if (!m_model->counted() && bar->sliderPosition() == bar->maximum()) {
        if (m_bottomWanted == Bottom::None)
            m_bottomWanted = Bottom::View;
    } else {
        m_bottomWanted = Bottom::None;
    }
}

void ReportList::reachBottom()
{
    const Bottom wanted = std::exchange(m_bottomWanted, Bottom::None);
    if (wanted == Bottom::None || m_model->rowCount() == 0)
        return;
    if (wanted == Bottom::LastRow) {
        // As End would have gone, had every row been known: the same column, the row chosen.
        const QModelIndex last = m_model->index(m_model->rowCount() - 1, std::max(0, currentIndex().column()));
        selectionModel()->setCurrentIndex(last, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // The scroll bar takes the rows just added now rather than at the next layout.
    updateGeometries();
    scrollToBottom();
}

void ReportList::orderBy(int column, Qt::SortOrder order)
{
    if (!m_model->isPaged()) {
        showOrder();
        return;
    }
    // A short list is ordered at once; a long one beside the window, which answers meanwhile.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_model->sortPages(column, order);
    QGuiApplication::restoreOverrideCursor();
    if (m_model->ordering()) {
        viewport()->setCursor(Qt::BusyCursor);
        return;
    }
    scrollToTop();
}

void ReportList::takeOrder()
{
    showOrder();
    scrollToTop();
}

void ReportList::showOrder()
{
    // The arrow the user clicked stays while the order is made beside.
    if (m_model->ordering())
        return;
    viewport()->unsetCursor();
    QHeaderView *header = horizontalHeader();
    const QSignalBlocker quiet(header);
    header->setSortIndicatorShown(m_model->isPaged());
    header->setSortIndicator(m_model->sortColumn(), m_model->sortOrder());
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

void ReportList::showPages(std::unique_ptr<store::ListPages> pages, const QStringList &columns)
{
    m_model->showPages(std::move(pages), columns);
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

QList<int> ReportList::columnWidths() const
{
    QList<int> widths;
    for (int column = 0; column < columnCount(); ++column)
        widths.append(columnWidth(column));
    return widths;
}

void ReportList::restoreColumnWidths(const QList<int> &widths)
{
    if (widths.size() != columnCount())
        return;
    for (int column = 0; column < columnCount(); ++column) {
        if (widths.at(column) > 0)
            setColumnWidth(column, widths.at(column));
    }
}

void ReportList::publishRows()
{
    m_model->publishAppended();
}

int ReportList::selectedRow() const
{
    // A row selected is one shown: a count still being made is not waited for.
    m_model->publishAppended();
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
