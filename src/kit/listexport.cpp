#include "listexport.h"

#include "reportlist.h"

#include "data/storeerror.h"

#include <QAbstractItemModel>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <xlsxwriter.h>

namespace orv {

namespace {

// Progress is reported once per this many rows: often enough for a smooth bar, rarely enough to
// cost nothing.
constexpr int kProgressStep = 500;
// The longest name a worksheet may have.
constexpr int kSheetNameLength = 31;
// The rows whose texts size the columns of a workbook.
constexpr int kWidthSample = 10000;

bool reportProgress(const ExportProgress &progress, int written)
{
    return !progress || progress(written);
}

// The characters a spreadsheet takes as the start of a formula.
bool formulaLike(QChar first)
{
    return first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-') ||
           first == QLatin1Char('@') || first == QLatin1Char('\t') || first == QLatin1Char('\r');
}

// A spreadsheet runs a cell that starts with one of these as a formula ("=HYPERLINK(…)" in a
// resident's name); an apostrophe in front makes it text. Plain numbers ("-3") stay numbers.
QString defused(const QString &text)
{
    static const QRegularExpression plainNumber(QStringLiteral(R"(^[-+]?[0-9]+(\.[0-9]+)?$)"));
    if (text.isEmpty())
        return text;
    return formulaLike(text.front()) && !plainNumber.match(text).hasMatch() ? QLatin1Char('\'') + text : text;
}

// Quoted where the separator, a quote or a line break would split or confuse the field.
QString quotedField(const QString &cell, QChar separator)
{
    QString text = defused(cell);
    if (!text.contains(separator) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvField(const QString &text)
{
    return quotedField(text, QLatin1Char(','));
}

QString tabField(const QString &text)
{
    return quotedField(text, QLatin1Char('\t'));
}

// The lines of a CSV file in UTF-8, gathered in large pieces for the file. A list of millions of
// rows has tens of millions of cells: the usual one is copied into the bytes straight away, and
// only a cell that must be quoted or defused, or holds a surrogate, takes the slower way.
class CsvLines final {
public:
    CsvLines()
    {
        m_bytes.reserve(2 * kPiece);
        m_bytes.append("\xEF\xBB\xBF");
    }

    void append(const QStringList &cells)
    {
        for (const QString &cell : cells) {
            if (!plain(cell)) {
                appendSlowly(cells);
                return;
            }
        }
        for (qsizetype column = 0; column < cells.size(); ++column) {
            if (column > 0)
                m_bytes.append(',');
            const QString &cell = cells.at(column);
            const qsizetype at = m_bytes.size();
            // A character takes at most three bytes.
            m_bytes.resize(at + cell.size() * 3);
            char *end = m_toUtf8.appendToBuffer(m_bytes.data() + at, cell);
            m_bytes.resize(end - m_bytes.constData());
        }
        m_bytes.append("\r\n");
    }

    // The same for cells in UTF-8 as the store holds them, `columns` of them (missing ones
    // empty). A cell whose bytes are not plain, or not valid UTF-8, takes the text's way, so the
    // file is byte for byte what the texts would give.
    void append(const std::vector<QByteArrayView> &cells, int columns)
    {
        const auto given = static_cast<int>(cells.size());
        for (int column = 0; column < std::min(given, columns); ++column) {
            if (!plain(cells[static_cast<size_t>(column)])) {
                QStringList texts;
                for (int at = 0; at < columns; ++at)
                    texts.append(at < given ? QString::fromUtf8(cells[static_cast<size_t>(at)]) : QString());
                append(texts);
                return;
            }
        }
        for (int column = 0; column < columns; ++column) {
            if (column > 0)
                m_bytes.append(',');
            if (column < given)
                m_bytes.append(cells[static_cast<size_t>(column)]);
        }
        m_bytes.append("\r\n");
    }

    bool full() const { return m_bytes.size() >= kPiece; }
    // Hands the lines gathered to the file, keeping the room for the next ones.
    void writeTo(QIODevice &file)
    {
        file.write(m_bytes);
        m_bytes.resize(0);
    }

private:
    static constexpr qsizetype kPiece = qsizetype{256} * 1024;

    // Whether a cell goes into the file as it is: nothing to quote, nothing a spreadsheet would
    // run, no surrogate (whose encoding the whole line decides).
    static bool plain(const QString &cell)
    {
        if (!cell.isEmpty() && formulaLike(cell.front()))
            return false;
        for (const QChar c : cell) {
            const char16_t u = c.unicode();
            if (u == u',' || u == u'"' || u == u'\n' || u == u'\r' || QChar::isSurrogate(u))
                return false;
        }
        return true;
    }

    static bool plain(QByteArrayView cell)
    {
        if (cell.isEmpty())
            return true;
        // A byte-order mark in front would not survive decoding as the texts are decoded.
        if (formulaLike(QLatin1Char(cell.front())) || cell.startsWith("\xEF\xBB\xBF"))
            return false;
        for (const char c : cell) {
            if (c == ',' || c == '"' || c == '\n' || c == '\r')
                return false;
        }
        return cell.isValidUtf8();
    }

    void appendSlowly(const QStringList &cells)
    {
        QString text;
        for (qsizetype column = 0; column < cells.size(); ++column) {
            if (column > 0)
                text += QLatin1Char(',');
            text += csvField(cells.at(column));
        }
        text += QStringLiteral("\r\n");
        m_bytes.append(text.toUtf8());
    }

    QByteArray m_bytes;
    QStringEncoder m_toUtf8{QStringEncoder::Utf8};
};

// Width in spreadsheet character cells: a Chinese character takes two.
int displayWidth(const QString &text)
{
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        int width = 0;
        for (const QChar c : line)
            width += c.unicode() >= 0x1100 ? 2 : 1;
        widest = std::max(widest, width);
    }
    return widest;
}

// Excel refuses these characters in a sheet name and more than 31 characters.
QString sheetNameFrom(const QString &name)
{
    QString clean = name;
    clean.replace(QRegularExpression(QStringLiteral(R"([\[\]:*?/\\])")), QStringLiteral("_"));
    while (clean.startsWith(QLatin1Char('\'')))
        clean.remove(0, 1);
    clean = clean.left(kSheetNameLength);
    while (clean.endsWith(QLatin1Char('\'')))
        clean.chop(1);
    return clean.isEmpty() ? QStringLiteral("列表") : clean;
}

struct WorkbookCloser {
    void operator()(lxw_workbook *workbook) const noexcept { workbook_close(workbook); }
};

// The workbook library writes the file itself; it writes a name of ours beside the target, which
// takes the target's name only when complete.
class PartName final {
public:
    explicit PartName(const QString &target)
    {
        const QFileInfo info(target);
        QTemporaryFile reserve(info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(info.fileName())));
        reserve.setAutoRemove(false);
        if (reserve.open())
            m_path = reserve.fileName();
        else
            m_error = reserve.errorString();
    }
    ~PartName()
    {
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }
    PartName(const PartName &) = delete;
    PartName &operator=(const PartName &) = delete;

    const QString &path() const { return m_path; }
    const QString &error() const { return m_error; }
    bool moveTo(const QString &target)
    {
        // The part file is owner-only; a file it replaces keeps the mode it had.
        if (QFileInfo::exists(target))
            QFile::setPermissions(m_path, QFile::permissions(target));
        if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(target).constData()) != 0)
            return false;
        m_path.clear();
        return true;
    }

private:
    QString m_path;
    QString m_error;
};

ExportResult cannotWrite(const QString &path, const QString &why)
{
    return {ExportResult::Status::Failed,
            QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), why)};
}

} // namespace

ListTable::ListTable(QAbstractItemModel *model, QList<int> rows) : m_model(model), m_rows(std::move(rows))
{
    auto *report = qobject_cast<ReportModel *>(model);
    if (report && !report->counted()) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        report->publish();
        QGuiApplication::restoreOverrideCursor();
    }
    m_report = report;
}

int ListTable::rowCount() const
{
    return m_rows.isEmpty() ? m_model->rowCount() : static_cast<int>(m_rows.size());
}

int ListTable::columnCount() const
{
    return m_model->columnCount();
}

QStringList ListTable::header() const
{
    QStringList texts;
    for (int column = 0; column < columnCount(); ++column)
        texts.append(m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    return texts;
}

QString ListTable::cell(int row, int column) const
{
    const int at = m_rows.isEmpty() ? row : m_rows.at(row);
    // A list of millions of rows is exported cell by cell: straight from the report's model.
    if (m_report)
        return m_report->cell(at, column);
    return m_model->index(at, column).data(Qt::DisplayRole).toString();
}

QStringList ListTable::rowTexts(int row) const
{
    QStringList texts;
    for (int column = 0; column < columnCount(); ++column)
        texts.append(cell(row, column));
    return texts;
}

bool ListTable::readsAll() const
{
    return m_rows.isEmpty() && m_report && m_report->isPaged();
}

long ListTable::readAll(const std::function<bool(const std::vector<QByteArrayView> &cells)> &row) const
{
    return m_report ? m_report->readAll(row) : 0;
}

QString tableToTabText(const ListTable &table)
{
    QStringList lines;
    QStringList fields;
    for (const QString &text : table.header())
        fields.append(tabField(text));
    lines.append(fields.join(QLatin1Char('\t')));
    for (int row = 0; row < table.rowCount(); ++row) {
        fields.clear();
        for (int column = 0; column < table.columnCount(); ++column)
            fields.append(tabField(table.cell(row, column)));
        lines.append(fields.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool isExactNumber(const QString &text)
{
    // No leading zeros ("007"), no blanks ("2004- 6-15" is a date), no trailing zeros after the
    // point, no exponent; at most 15 digits so the double holds it and prints it the same.
    static const QRegularExpression plain(QStringLiteral(R"(^-?(0|[1-9][0-9]*)(\.[0-9]*[1-9])?$)"));
    if (!plain.match(text).hasMatch() || text == QLatin1String("-0"))
        return false;
    int digits = 0;
    for (const QChar c : text)
        digits += c.isDigit() ? 1 : 0;
    if (digits > 15)
        return false;
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && QString::number(value, 'g', 15) == text;
}

ExportResult writeCsv(const QString &path, const ListTable &table, const ExportProgress &progress)
{
    // QSaveFile writes beside the target and renames only on commit; a cancel discards it.
    QSaveFile file(path);
    const bool made = !QFileInfo::exists(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(path, file.errorString());
    // QSaveFile keeps an existing file's mode; a new one would be readable by everyone.
    if (made)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    CsvLines lines;
    lines.append(table.header());
    const int columns = table.columnCount();
    int written = 0;
    bool cancelled = false;
    // After each row: a full piece goes to the file, and the progress is told now and then.
    const auto rowDone = [&] {
        if (lines.full())
            lines.writeTo(file);
        cancelled = ++written % kProgressStep == 0 && !reportProgress(progress, written);
        return !cancelled;
    };
    if (table.readsAll()) {
        // A list read on demand goes from the store's statement straight into the file.
        try {
            table.readAll([&](const std::vector<QByteArrayView> &cells) {
                lines.append(cells, columns);
                return rowDone();
            });
        } catch (const StoreError &error) {
            file.cancelWriting();
            return {ExportResult::Status::Failed, error.message()};
        }
    } else {
        QStringList cells;
        for (int row = 0; row < table.rowCount() && !cancelled; ++row) {
            cells.resize(columns);
            for (int column = 0; column < columns; ++column)
                cells[column] = table.cell(row, column);
            lines.append(cells);
            rowDone();
        }
    }
    if (cancelled) {
        file.cancelWriting();
        return {ExportResult::Status::Cancelled, {}};
    }
    lines.writeTo(file);
    if (!file.commit())
        return cannotWrite(path, file.errorString());
    reportProgress(progress, written);
    return {};
}

ExportResult writeXlsx(const QString &path, const QString &sheetName, const ListTable &table,
                       const ExportProgress &progress, int rowsPerSheet)
{
    PartName part(path);
    if (part.path().isEmpty())
        return cannotWrite(path, part.error());

    // Columns are sized from the header and the first rows: a long list is read once, not twice,
    // and a width is capped anyway.
    const int columns = table.columnCount();
    QList<int> widths(columns, 0);
    const QStringList header = table.header();
    for (int column = 0; column < columns; ++column)
        widths[column] = displayWidth(header.at(column));
    for (int row = 0; row < std::min(table.rowCount(), kWidthSample); ++row) {
        for (int column = 0; column < columns; ++column)
            widths[column] = std::max(widths[column], displayWidth(table.cell(row, column)));
    }

    const QByteArray partName = QFile::encodeName(part.path());
    // Rows are written in order, so the library keeps one row in memory, not the whole sheet.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    std::unique_ptr<lxw_workbook, WorkbookCloser> book(workbook_new_opt(partName.constData(), &options));
    if (!book)
        return cannotWrite(path, QStringLiteral("无法创建工作簿"));
    lxw_format *bold = workbook_add_format(book.get());
    format_set_bold(bold);
    lxw_format *wrapped = workbook_add_format(book.get());
    format_set_text_wrap(wrapped);

    lxw_error failed = LXW_NO_ERROR;
    lxw_worksheet *sheet = nullptr;
    auto put = [&](int row, int column, const QString &text, lxw_format *format) {
        if (failed != LXW_NO_ERROR)
            return;
        const auto r = static_cast<lxw_row_t>(row);
        const auto c = static_cast<lxw_col_t>(column);
        if (text.isEmpty())
            return;
        if (format == nullptr && isExactNumber(text)) {
            failed = worksheet_write_number(sheet, r, c, text.toDouble(), nullptr);
            return;
        }
        if (format == nullptr && text.contains(QLatin1Char('\n')))
            format = wrapped;
        failed = worksheet_write_string(sheet, r, c, text.toUtf8().constData(), format);
    };
    // A list longer than a sheet holds goes on in the sheets after it, each with the header.
    const QString firstName = sheetNameFrom(sheetName);
    int sheets = 0;
    auto startSheet = [&]() -> bool {
        ++sheets;
        QString name = firstName;
        if (sheets > 1) {
            const QString number = QStringLiteral(" (%1)").arg(sheets);
            name = firstName.left(kSheetNameLength - number.size()) + number;
        }
        sheet = workbook_add_worksheet(book.get(), name.toUtf8().constData());
        if (!sheet)
            return false;
        for (int column = 0; column < columns; ++column)
            worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                                 std::min(std::max(widths[column], 4) + 2, 80), nullptr);
        worksheet_freeze_panes(sheet, 1, 0);
        for (int column = 0; column < columns; ++column)
            put(0, column, header.at(column), bold);
        return true;
    };
    if (!startSheet())
        return cannotWrite(path, QStringLiteral("无法创建工作表"));
    const int perSheet = std::max(1, rowsPerSheet);
    for (int row = 0; row < table.rowCount() && failed == LXW_NO_ERROR; ++row) {
        if (row > 0 && row % perSheet == 0 && !startSheet())
            return cannotWrite(path, QStringLiteral("无法创建工作表"));
        for (int column = 0; column < columns; ++column)
            put(row % perSheet + 1, column, table.cell(row, column), nullptr);
        if ((row + 1) % kProgressStep == 0 && !reportProgress(progress, row + 1))
            return {ExportResult::Status::Cancelled, {}}; // the closer finishes the part file, which is then removed
    }
    if (failed != LXW_NO_ERROR)
        return cannotWrite(path, QString::fromUtf8(lxw_strerror(failed)));
    failed = workbook_close(book.release());
    if (failed != LXW_NO_ERROR)
        return cannotWrite(path, QString::fromUtf8(lxw_strerror(failed)));
    if (!part.moveTo(path))
        return cannotWrite(path, QStringLiteral("无法替换原有的文件"));
    reportProgress(progress, table.rowCount());
    return {};
}

QString proposedExportName(const QString &listName, const QString &suffix)
{
    return QStringLiteral("%1-%2.%3")
        .arg(sheetNameFrom(listName), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")), suffix);
}

bool createOwnerOnly(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    return errno == EEXIST;
}

} // namespace orv
