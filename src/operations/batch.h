#pragma once

#include "accommodation.h"
#include "fees.h"
#include "outcome.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace orv {
class Connection;
}

namespace orv::ops {

// ---- reading a spreadsheet ---------------------------------------------------------------------

// One cell as the file holds it. A number cell of a workbook keeps its shortest text ("123", not
// "123.0"), and is marked so that a date column can read it as a day serial.
struct SheetCell {
    QString text;
    bool number = false;
};

// One row that holds something, with its number as the spreadsheet program shows it.
struct SheetRow {
    int line = 0;
    std::vector<SheetCell> cells;
};

// A CSV file, or the first sheet of a workbook: its rows in order, the header first.
struct Sheet {
    QString problem; // why the file could not be read; empty when it was
    std::vector<SheetRow> rows;
    bool date1904 = false; // the workbook counts its day serials from 1904
};

// A workbook is told by its content (a zip archive), anything else is read as CSV.
Sheet readSheet(const QString &path);
// UTF-8 with or without a byte-order mark, else GB18030; quoting as RFC 4180 has it.
Sheet readCsv(const QByteArray &bytes);
Sheet readXlsx(const QString &path);

// ---- the rows of a batch as forms --------------------------------------------------------------

// A row carries exactly what the form gives the operation.
using CheckInRow = CheckInForm;
using ReadingRow = ReadingForm;

using CheckInOperation = std::function<Outcome(Connection &, const CheckInRow &)>;
using ReadingOperation = std::function<Outcome(Connection &, const ReadingRow &)>;

// Plugs in an operation (an overloaded name picks the one that takes the form alone).
template <class Form> CheckInOperation checkInOperation(Outcome (*operation)(Connection &, const Form &))
{
    return [operation](Connection &connection, const CheckInRow &row) {
        return operation(connection,
                         Form{row.name, row.sex, row.department, row.staffNo, row.mobile, row.date, row.room});
    };
}

template <class Form> ReadingOperation readingOperation(Outcome (*operation)(Connection &, const Form &))
{
    return [operation](Connection &connection, const ReadingRow &row) {
        return operation(connection, Form{row.date, row.room, row.water, row.power});
    };
}

// The operations a batch runs per row; an empty one means that kind of batch is not offered.
struct BatchOperations {
    CheckInOperation checkIn;
    ReadingOperation settleUtility;
};

enum class BatchKind { CheckIns, Readings };

// ---- the batch ---------------------------------------------------------------------------------

struct BatchRow {
    int line = 0;
    QString key;        // what the report names the row by
    QStringList values; // the row's cells in the batch's column order, as read
    // The row's operation on its form; empty when the cells could not become a form.
    std::function<Outcome(Connection &)> run;
    // Refused when the cells could not become a form; otherwise what the preview, and then the
    // import, gave.
    Outcome outcome;
    bool imported = false;
};

struct Batch {
    BatchKind kind = BatchKind::CheckIns;
    // For the import's one log row: who imports it, and the file it was read from.
    QString operatorName;
    QString source;
    QString problem; // the whole file is refused for this; empty when it was not
    QStringList columns;
    std::vector<BatchRow> rows;

    int accepted() const;
    int refused() const;
};

// Maps the header's columns by name and turns each row below into a form, with the same rules and
// messages the page's form applies to typed values.
Batch makeBatch(BatchKind kind, const Sheet &sheet, const BatchOperations &operations);

// Told after each row with the rows done and the rows in all; returning false stops the run.
using Progress = std::function<bool(int done, int total)>;

// Runs every row that became a form against the store and the rows above it, and records each
// outcome; nothing stays written. Returns false when stopped (the outcomes are then incomplete).
bool preview(Connection &connection, Batch &batch, const Progress &progress = {});

struct ImportResult {
    enum class Status { Imported, Cancelled, Refused, Failed };
    Status status = Status::Imported;
    int imported = 0;
    int line = 0;    // the row that refused or failed; 0 when none did
    QString message; // its refusal or the store's error
};

// Writes the rows the preview accepted as one unit: all of them, or none when one refuses now,
// the store fails or the progress stops it. The unit logs one row for the whole import.
ImportResult importBatch(Connection &connection, Batch &batch, const Progress &progress = {});

// What a row came to, for the preview and the report.
QString resultText(const BatchRow &row);
// One line over the whole preview.
QString summaryText(const Batch &batch);
// Row number, key and result of every row, as UTF-8 CSV with a byte-order mark so spreadsheet
// programs read the Chinese right.
QByteArray reportCsv(const Batch &batch);

} // namespace orv::ops
