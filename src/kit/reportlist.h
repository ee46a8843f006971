#pragma once

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <QTableView>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace orv {

class FieldValue;
class Recordset;
namespace store {
class ListPages;
}

// The rows of a report list, held compactly: cells' texts back to back in large blocks as UTF-8,
// the engine's own form, so a hundred thousand rows cost a few hundred allocations instead of one
// object per cell, filling copies bytes, and only the cells shown are ever decoded. Rows appended in
// a burst reach the views in one insert notification, at the next turn of the event loop or as
// soon as anyone asks for the rows.
//
// A list that grows with the years is shown instead from its statement, read a block at a time as
// views, readers, exports or prints ask for its rows; the model then keeps only the few blocks
// read last.
class ReportModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportModel)
public:
    explicit ReportModel(QObject *parent = nullptr);
    ~ReportModel() override;

    static constexpr int kCachedBlocks = 8;
    // Rows of an order written between two turns of the event loop: a few milliseconds' work.
    static constexpr std::size_t kOrderSliceRows = 8192;

    void setColumns(const QStringList &headers, const QList<Qt::Alignment> &alignments);

    // Appends a row of cells; missing cells are empty, extra ones ignored. A key travels with the
    // row (a record's bookmark, say). Returns the row's index.
    int appendRow(const QStringList &cells, qint64 key = 0);
    int appendValues(std::initializer_list<FieldValue> values, qint64 key = 0);
    // Appends the current record's columns, each shown as GetCollect(column) would show it,
    // copied straight from the engine where it can be.
    int appendRecord(const Recordset &set, std::initializer_list<QString> columns, qint64 key = 0);
    void removeRow(int row);
    // Empties the model and gives its memory back.
    void clear();
    // Shows the rows of a statement read on demand, each of the columns named, in place of the
    // rows held; raises StoreError for a column the statement does not have. Appending a row
    // empties the model first.
    void showPages(std::unique_ptr<store::ListPages> pages, const QStringList &columns);
    // The blocks of rows held now, for a list shown on demand.
    int cachedBlocks() const { return static_cast<int>(m_cache.size()); }
    bool isPaged() const { return bool(m_pages); }
    // Every row of a list shown on demand, in its order, the store's statement stepped once (see
    // ListPages::readAll); a list filled whole hands none. Raises StoreError when the store cannot
    // be read.
    long readAll(const std::function<bool(const std::vector<QByteArrayView> &cells)> &row);
    // Orders a list shown on demand by a column, through the store, or with a column below 0 as
    // its rows were added; the rows read before give way, and the selection with them. Returns
    // whether the list now has that order: a list filled whole, a computed column or a store that
    // cannot be read keeps the order it had.
    bool sortPages(int column, Qt::SortOrder order);
    // Whether an order asked for is still being made beside the window; orderTaken follows.
    bool ordering() const;
    // The column a list shown on demand is ordered by, or -1, and which way.
    int sortColumn() const;
    Qt::SortOrder sortOrder() const;

    // Tells the views about rows appended since the last notification, and about the rest of a
    // list read on demand whose count is still being made beside the window (waiting for it).
    void publish();
    // The same for appended rows alone: a count still being made is not waited for.
    void publishAppended();
    // Whether every row is known: false while a long list read on demand is being counted.
    bool counted() const;

    int rows() const;
    QString cell(int row, int column) const;
    qint64 key(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    // An order made beside the window is now the list's (or could not be written).
    void orderTaken();
    // Every row of a list read on demand is known now, and the views were told of them.
    void countSettled();

private:
    // Writes the next slice of an order made beside, while the list and the order are still
    // those it was made for.
    void writeOrder(quint64 shown, quint64 sorting);
    // Where a row stands. Each row is one record in a block: its key, its cells' lengths in
    // bytes (kLong for a cell kept aside), then their texts back to back.
    struct Row {
        quint32 block;
        quint32 offset;
    };

    qsizetype headerBytes() const;
    const char *record(int row) const;
    quint16 length(int row, int column) const;
    void beginRow(qint64 key);
    int endRow();
    // Drops the row being appended, when a cell of it cannot be read.
    void abandonRow();
    void appendCell(QStringView text);
    void appendCell(const FieldValue &value);
    void appendUtf8(QByteArrayView text);
    void appendAside(QString text);
    // Room for this many more bytes of the row being appended, keeping its record together.
    char *reserve(qsizetype length);
    void endCell(qsizetype length);
    void schedulePublish();
    // Gives up the rows read on demand before rows are appended.
    void dropPages();
    // Takes the count made beside the window and tells the views of the rows it adds.
    void settleCount();
    // The cells of a row read on demand, reading its block when it is not held; none when the
    // store cannot be read now (the block is tried again at the next ask).
    const QString *pagedRow(int row) const;

    struct CachedBlock {
        long block;
        std::vector<QString> cells;
        quint64 used;
    };

    QStringList m_headers;
    QList<Qt::Alignment> m_alignments;
    std::vector<std::unique_ptr<char[]>> m_blocks; // the rows' records, in order
    qsizetype m_capacity = 0;                      // bytes the last block holds
    qsizetype m_used = 0;                          // bytes used in the last block
    std::vector<Row> m_rows;
    int m_cells = 0;                                    // cells written of the row being appended
    std::unordered_map<size_t, QString> m_long;         // cells kept aside: too long, or not UTF-8 safe
    std::vector<std::optional<QByteArrayView>> m_texts; // the record being appended, as stored
    QStringEncoder m_toUtf8{QStringEncoder::Utf8};
    int m_published = 0; // rows the views know of
    bool m_publishQueued = false;
    std::unique_ptr<store::ListPages> m_pages;
    quint64 m_pagesShown = 0;                 // lists shown on demand so far, so a late count finds its own
    quint64 m_sortings = 0;                   // orders asked for, so a late order finds its own
    mutable std::vector<CachedBlock> m_cache; // the blocks read last, at most kCachedBlocks
    mutable quint64 m_uses = 0;
};

// A list in report view: fixed columns with headers, grid lines, whole-row selection, fixed row
// height, read-only cells. Rows and cells are exposed to accessibility as a table; a cell or
// header whose text does not fit shows it whole as a tooltip.
class ReportList final : public QTableView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportList)
public:
    struct Column {
        QString header;
        int width;
        Qt::Alignment alignment = Qt::AlignLeft;
    };

    explicit ReportList(const QString &objectName, QWidget *parent = nullptr);

    void setColumns(std::initializer_list<Column> columns);
    void setRowHeight(int pixels);

    // Empties the list.
    void clearRows();
    // Appends a row whose cells hold the given texts; returns its index.
    int appendRow(const QStringList &cells, qint64 key = 0);
    // Appends a row from field values (null shows as an empty cell); returns its index.
    int appendValues(std::initializer_list<FieldValue> values, qint64 key = 0);
    int appendRecord(const Recordset &set, std::initializer_list<QString> columns, qint64 key = 0);
    void removeRow(int row);
    // Shows a statement's rows read on demand (see ReportModel::showPages).
    void showPages(std::unique_ptr<store::ListPages> pages, const QStringList &columns);

    int rowCount() const;
    int columnCount() const;
    QString cellText(int row, int column) const;
    // One row's texts, for tests and accessibility tools.
    QStringList rowTexts(int row) const;
    // The key given with the row.
    qint64 rowKey(int row) const;
    // The selected row, or -1.
    int selectedRow() const;
    // The columns' widths in pixels, left to right; restoring takes them only when there is one
    // for each column, so widths kept from another version of the list are not misapplied.
    QList<int> columnWidths() const;
    void restoreColumnWidths(const QList<int> &widths);
    // Shows the rows appended so far at once, rather than at the next turn of the event loop.
    void publishRows();

protected:
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    // Where the user went while the list was still being counted: to its last row known (End), or
    // to the bottom of the view (the scroll bar taken there). Once the count lands the list goes on
    // to the real end, unless the user moved elsewhere meanwhile.
    enum class Bottom { None, LastRow, View };
    void scrolledByUser();
    void reachBottom();

    // A click on a header orders a list shown on demand by that column, a second click the other
    // way, a third as the rows were added; the header's indicator shows the order.
    void orderBy(int column, Qt::SortOrder order);
    // Shows the model's order on the header, after the model was filled or ordered anew.
    void showOrder();
    // Shows an order made beside the window from its first row.
    void takeOrder();

    ReportModel *m_model;
    Bottom m_bottomWanted = Bottom::None;
};

// A page's list at its place, with its columns and row height. `objectName` is how tests find it,
// `accessibleName` how assistive tools announce it.
ReportList *addList(QWidget *page, const QString &objectName, const QString &accessibleName, const QRect &place,
                    std::initializer_list<ReportList::Column> columns, int rowHeight);

} // namespace orv
