#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QAbstractItemModel;

namespace orv {

class ReportModel;

// What a list shows, read through the generic model interface: the header texts and the display
// texts of the chosen rows. Exports and printing take their cells from here, so they hold exactly
// what the user sees.
class ListTable final {
public:
    // All rows when `rows` is empty: the model's rows as they stand, with no list of their numbers,
    // so a list read on demand is read block by block, in order.
    // A list still being counted beside the window is waited for: the table is every row.
    explicit ListTable(QAbstractItemModel *model, QList<int> rows = {});

    int columnCount() const;
    int rowCount() const;
    QStringList header() const;
    QString cell(int row, int column) const;
    QStringList rowTexts(int row) const;
    // Whether readAll hands every row: all rows of a list read on demand.
    bool readsAll() const;
    // Every row in order as UTF-8 cells straight from the store (see ReportModel::readAll).
    long readAll(const std::function<bool(const std::vector<QByteArrayView> &cells)> &row) const;

private:
    const QAbstractItemModel *m_model;
    ReportModel *m_report = nullptr; // the same model, read without the generic interface
    QList<int> m_rows;               // the rows chosen; empty for all
};

// Told the number of rows written so far; returning false cancels the export.
using ExportProgress = std::function<bool(int written)>;

// Tab-separated text with the header line, the way spreadsheets paste it: a cell holding a tab,
// a line break or a quote is quoted; one a spreadsheet would run as a formula gets an apostrophe.
QString tableToTabText(const ListTable &table);

// A cell stored as a number in a spreadsheet only when the number reads back as the same text.
bool isExactNumber(const QString &text);

// How an export ended; a failure says why in words the user is shown.
struct ExportResult {
    enum class Status { Written, Cancelled, Failed };
    Status status = Status::Written;
    QString failure;
};

// Writes the table as UTF-8 CSV with a byte-order mark, quoted by RFC 4180. The file appears only
// when complete: on a failure or a cancel nothing is left.
ExportResult writeCsv(const QString &path, const ListTable &table, const ExportProgress &progress = {});

// A worksheet holds 1,048,576 rows: the header and this many of the list's.
inline constexpr int kRowsPerSheet = 1048575;

// Writes the table as an Excel workbook with a sheet named `sheetName`: the header row bold and
// frozen, columns as wide as their text, exact numbers stored as numbers. Rows beyond
// `rowsPerSheet` go on in sheets "NAME (2)", "NAME (3)" and so on, each with the header, so that
// the whole list is in the file. Same guarantees as writeCsv.
ExportResult writeXlsx(const QString &path, const QString &sheetName, const ListTable &table,
                       const ExportProgress &progress = {}, int rowsPerSheet = kRowsPerSheet);

// The name the file dialog proposes: the list's name and the date.
QString proposedExportName(const QString &listName, const QString &suffix);

// Exports hold residents' names and numbers: a file made new is readable by its owner only. An
// existing file is left as it is (its mode stays). Returns false when a new file could not be made.
bool createOwnerOnly(const QString &path);

} // namespace orv
