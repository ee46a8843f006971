#include "batch.h"

#include "data/texts.h"

#include "data/connection.h"
#include "data/oplog.h"
#include "data/storeerror.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <unzip.h>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace orv::ops {
namespace {

// ---- CSV ---------------------------------------------------------------------------------------

std::optional<QString> decodeText(const QByteArray &bytes)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    if (bytes.startsWith(bom))
        return QString::fromUtf8(bytes.mid(bom.size()));
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // What Chinese spreadsheet programs save as "CSV" on a Chinese desktop.
    QStringDecoder gb18030("GB18030");
    if (!gb18030.isValid())
        return std::nullopt;
    text = gb18030(bytes);
    if (gb18030.hasError())
        return std::nullopt;
    return text;
}

bool blank(const std::vector<SheetCell> &cells)
{
    for (const SheetCell &cell : cells) {
        if (!cell.text.isEmpty())
            return false;
    }
    return true;
}

void keepRow(Sheet &sheet, int line, std::vector<SheetCell> &cells)
{
    if (!blank(cells))
        sheet.rows.push_back(SheetRow{line, std::move(cells)});
    cells.clear();
}

// ---- XLSX --------------------------------------------------------------------------------------

const QString kRelationships = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

struct ArchiveCloser {
    void operator()(void *archive) const noexcept { unzClose(archive); }
};
using Archive = std::unique_ptr<void, ArchiveCloser>;

// One member of the archive, its name matched without regard to case as spreadsheet programs do.
std::optional<QByteArray> readMember(const Archive &zip, const QString &name)
{
    constexpr int kCaseInsensitive = 2;
    if (unzLocateFile(zip.get(), name.toUtf8().constData(), kCaseInsensitive) != UNZ_OK ||
        unzOpenCurrentFile(zip.get()) != UNZ_OK)
        return std::nullopt;
    QByteArray bytes;
    char buffer[65536];
    int read = 0;
    while ((read = unzReadCurrentFile(zip.get(), buffer, sizeof buffer)) > 0)
        bytes.append(buffer, read);
    // Closing checks the member's CRC, so a damaged member is not taken for a whole one.
    if (unzCloseCurrentFile(zip.get()) != UNZ_OK || read < 0)
        return std::nullopt;
    return bytes;
}

// The text of a string item or an inline string: its runs joined, phonetic guides left out.
QString stringItem(QXmlStreamReader &xml)
{
    QString text;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("t"))
            text += xml.readElementText();
        else if (xml.name() == QLatin1String("r"))
            text += stringItem(xml);
        else
            xml.skipCurrentElement();
    }
    return text;
}

QStringList sharedStrings(const QByteArray &bytes)
{
    QStringList strings;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si"))
            strings.append(stringItem(xml));
    }
    return strings;
}

// The zero-based column of a cell reference such as "AB12"; -1 when it names none.
int columnOf(QStringView reference)
{
    int column = 0;
    int letters = 0;
    for (QChar c : reference) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            break;
        column = column * 26 + (c.unicode() - 'A' + 1);
        if (++letters > 3)
            return -1;
    }
    return letters == 0 ? -1 : column - 1;
}

QString numberText(const QString &raw, bool &isNumber)
{
    bool ok = false;
    const double value = raw.trimmed().toDouble(&ok);
    isNumber = ok && std::isfinite(value);
    if (!isNumber)
        return raw;
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

SheetCell readCell(QXmlStreamReader &xml, const QStringList &strings)
{
    const QString type = xml.attributes().value(QLatin1String("t")).toString();
    QString value;
    QString inlineText;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("v"))
            value = xml.readElementText();
        else if (xml.name() == QLatin1String("is"))
            inlineText = stringItem(xml);
        else
            xml.skipCurrentElement();
    }
    SheetCell cell;
    if (type == QLatin1String("s")) {
        bool ok = false;
        const int index = value.toInt(&ok);
        cell.text = ok && index >= 0 && index < strings.size() ? strings.at(index) : QString();
    } else if (type == QLatin1String("inlineStr")) {
        cell.text = inlineText;
    } else if (type == QLatin1String("d")) {
        cell.text = value.left(10); // an ISO date and time; the day is what counts
    } else if (type == QLatin1String("str") || type == QLatin1String("e") || type == QLatin1String("b")) {
        cell.text = value;
    } else if (!value.isEmpty()) {
        cell.text = numberText(value, cell.number);
    }
    return cell;
}

void readWorksheet(const QByteArray &bytes, const QStringList &strings, Sheet &sheet)
{
    QXmlStreamReader xml(bytes);
    int line = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("row"))
            continue;
        bool numbered = false;
        const int given = xml.attributes().value(QLatin1String("r")).toInt(&numbered);
        line = numbered ? given : line + 1;
        std::vector<SheetCell> cells;
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("c")) {
                xml.skipCurrentElement();
                continue;
            }
            const int referenced = columnOf(xml.attributes().value(QLatin1String("r")));
            const int column = referenced >= 0 ? referenced : static_cast<int>(cells.size());
            SheetCell cell = readCell(xml, strings);
            if (static_cast<int>(cells.size()) <= column)
                cells.resize(column + 1);
            cells[column] = std::move(cell);
        }
        keepRow(sheet, line, cells);
    }
    if (xml.hasError())
        sheet.problem = QStringLiteral("工作表已损坏：%1").arg(xml.errorString());
}

// A relationship's target as a member name: relative to xl/, or from the archive's root.
QString memberName(const QString &target)
{
    return target.startsWith(QLatin1Char('/')) ? target.mid(1) : QDir::cleanPath(QStringLiteral("xl/") + target);
}

// ---- converting cells into forms ---------------------------------------------------------------

std::optional<QDate> dateOf(const SheetCell &cell, bool date1904)
{
    const QString text = cell.text.trimmed();
    if (cell.number) {
        bool ok = false;
        const double serial = text.toDouble(&ok);
        // Day 60 of the 1900 system is a day that never was; counting from 30 December 1899 puts
        // every later serial on its right day.
        const QDate epoch = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
        if (ok && serial >= 1 && serial < 2958466)
            return epoch.addDays(static_cast<qint64>(std::floor(serial)));
        return std::nullopt;
    }
    for (const QString &format : {QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d")}) {
        const QDate date = QDate::fromString(text, format);
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

struct Column {
    QString name;
    QStringList headers; // what the header may call it
};

// Where each of the kind's columns sits in the file; empty with `problem` set when one is missing.
std::vector<int> mapColumns(const std::vector<Column> &columns, const SheetRow &header, QString &problem)
{
    std::vector<int> places;
    for (const Column &column : columns) {
        int place = -1;
        for (int i = 0; i < static_cast<int>(header.cells.size()) && place < 0; ++i) {
            if (column.headers.contains(header.cells[i].text.trimmed()))
                place = i;
        }
        if (place < 0) {
            problem = QStringLiteral("文件的第一行没有“%1”一栏，整个文件没有导入。").arg(column.name);
            return {};
        }
        places.push_back(place);
    }
    return places;
}

const std::vector<Column> &columnsOf(BatchKind kind)
{
    static const QString room = QStringLiteral("房间");
    static const QString roomNo = QStringLiteral("房间号码");
    static const std::vector<Column> checkIns{
        {QStringLiteral("姓名"), {QStringLiteral("姓名")}},
        {QStringLiteral("性别"), {QStringLiteral("性别")}},
        {QStringLiteral("部门"), {QStringLiteral("部门")}},
        {QStringLiteral("工号"), {QStringLiteral("工号")}},
        {QStringLiteral("手机"), {QStringLiteral("手机")}},
        {QStringLiteral("日期"), {QStringLiteral("日期")}},
        {room, {room, roomNo}},
    };
    static const std::vector<Column> readings{
        {room, {room, roomNo}},
        {QStringLiteral("日期"), {QStringLiteral("日期")}},
        {QStringLiteral("水表数"), {QStringLiteral("水表数")}},
        {QStringLiteral("电表数"), {QStringLiteral("电表数")}},
    };
    return kind == BatchKind::CheckIns ? checkIns : readings;
}

// The cells a row holds in the kind's columns; a short row reads as empty cells.
std::vector<SheetCell> pick(const SheetRow &row, const std::vector<int> &places)
{
    std::vector<SheetCell> picked;
    picked.reserve(places.size());
    for (int place : places)
        picked.push_back(place < static_cast<int>(row.cells.size()) ? row.cells[place] : SheetCell{});
    return picked;
}

// A typed field never holds a line break or another control character; a cell might.
QString controlCharacterMessage(const std::vector<SheetCell> &cells, const std::vector<Column> &columns)
{
    for (std::size_t i = 0; i < cells.size(); ++i) {
        for (QChar c : cells[i].text) {
            if (c.unicode() < 0x20)
                return QStringLiteral("“%1”一栏含有换行符或其他控制字符。").arg(columns[i].name);
        }
    }
    return QString();
}

QString dateMessage(const SheetCell &cell)
{
    return QStringLiteral("“日期”一栏的“%1”不是日期，请写成 2024-09-01 或 2024/9/1。").arg(cell.text);
}

// Fills the row's run, or refuses it with the reason its cells cannot become a form.
void checkInForm(BatchRow &row, const std::vector<SheetCell> &cells, bool date1904, const CheckInOperation &operation)
{
    CheckInRow form{cells[0].text, cells[1].text, cells[2].text, cells[3].text, cells[4].text, {}, cells[6].text};
    // An empty date is the form's own empty date; anything else must read as a day.
    if (cells[5].text.trimmed().isEmpty()) {
        row.outcome = Outcome::refused(QStringLiteral("请输入入住日期！"));
        return;
    }
    const std::optional<QDate> date = dateOf(cells[5], date1904);
    if (!date) {
        row.outcome = Outcome::refused(dateMessage(cells[5]));
        return;
    }
    form.date = *date;
    row.run = [operation, form](Connection &connection) { return operation(connection, form); };
}

void readingForm(BatchRow &row, const std::vector<SheetCell> &cells, bool date1904, const ReadingOperation &operation)
{
    const std::optional<QDate> date = dateOf(cells[1], date1904);
    if (!date) {
        row.outcome = Outcome::refused(dateMessage(cells[1]));
        return;
    }
    // In the order the fee page reads them: both numbers, then both ranges.
    const std::optional<int> water = formInteger(cells[2].text);
    const std::optional<int> power = water ? formInteger(cells[3].text) : std::nullopt;
    if (!water || !power) {
        row.outcome = Outcome::refused(notAnIntegerText());
        return;
    }
    if (*water < 0 || *water > kReadingMax || *power < 0 || *power > kReadingMax) {
        row.outcome = Outcome::refused(integerRangeText(0, kReadingMax));
        return;
    }
    const ReadingRow form{*date, cells[0].text, *water, *power};
    row.run = [operation, form](Connection &connection) { return operation(connection, form); };
}

// Holds a unit open and rolls it back unless it was committed.
class UnitScope final {
public:
    explicit UnitScope(Connection &connection) : m_connection(connection) { m_connection.beginUnit(); }
    ~UnitScope()
    {
        if (m_open)
            m_connection.rollbackUnit();
    }
    UnitScope(const UnitScope &) = delete;
    UnitScope &operator=(const UnitScope &) = delete;

    void commit()
    {
        m_connection.commitUnit();
        m_open = false;
    }

private:
    Connection &m_connection;
    bool m_open = true;
};

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

Sheet readSheet(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Sheet sheet;
        sheet.problem = QStringLiteral("无法打开文件：%1").arg(file.errorString());
        return sheet;
    }
    if (file.peek(4) == QByteArray("PK\x03\x04", 4)) {
        file.close();
        return readXlsx(path);
    }
    return readCsv(file.readAll());
}

Sheet readCsv(const QByteArray &bytes)
{
    Sheet sheet;
    const std::optional<QString> decoded = decodeText(bytes);
    if (!decoded) {
        sheet.problem = QStringLiteral("文件既不是 UTF-8 也不是 GB18030 编码的文本。");
        return sheet;
    }
    const QString &text = *decoded;
    std::vector<SheetCell> cells;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    int line = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else
                quoted = false;
        } else if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == QLatin1Char(',')) {
            cells.push_back(SheetCell{std::exchange(field, QString()), false});
            wasQuoted = false;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            cells.push_back(SheetCell{std::exchange(field, QString()), false});
            wasQuoted = false;
            keepRow(sheet, line++, cells);
        } else {
            field += c;
        }
    }
    if (quoted) {
        sheet.problem = QStringLiteral("第%1行的引号没有结束。").arg(line);
        sheet.rows.clear();
        return sheet;
    }
    cells.push_back(SheetCell{field, false});
    keepRow(sheet, line, cells);
    return sheet;
}

Sheet readXlsx(const QString &path)
{
    Sheet sheet;
    const Archive zip(unzOpen64(QFile::encodeName(path).constData()));
    if (!zip) {
        sheet.problem = QStringLiteral("无法打开工作簿（不是有效的 XLSX 文件）。");
        return sheet;
    }
    const std::optional<QByteArray> workbook = readMember(zip, QStringLiteral("xl/workbook.xml"));
    const std::optional<QByteArray> relations = readMember(zip, QStringLiteral("xl/_rels/workbook.xml.rels"));
    if (!workbook || !relations) {
        sheet.problem = QStringLiteral("工作簿中没有工作表目录（xl/workbook.xml）。");
        return sheet;
    }

    QString firstSheetId;
    QXmlStreamReader book(*workbook);
    while (!book.atEnd() && firstSheetId.isEmpty()) {
        if (book.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (book.name() == QLatin1String("workbookPr")) {
            const auto flag = book.attributes().value(QLatin1String("date1904"));
            sheet.date1904 = flag == QLatin1String("1") || flag == QLatin1String("true");
        } else if (book.name() == QLatin1String("sheet")) {
            firstSheetId = book.attributes().value(kRelationships, QLatin1String("id")).toString();
        }
    }

    QString sheetMember;
    QString stringsMember = QStringLiteral("xl/sharedStrings.xml");
    QXmlStreamReader rels(*relations);
    while (!rels.atEnd()) {
        if (rels.readNext() != QXmlStreamReader::StartElement || rels.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes attributes = rels.attributes();
        const QString target = memberName(attributes.value(QLatin1String("Target")).toString());
        if (attributes.value(QLatin1String("Id")) == firstSheetId)
            sheetMember = target;
        else if (attributes.value(QLatin1String("Type")).endsWith(QLatin1String("/sharedStrings")))
            stringsMember = target;
    }
    const std::optional<QByteArray> worksheet = sheetMember.isEmpty() ? std::nullopt : readMember(zip, sheetMember);
    if (!worksheet) {
        sheet.problem = QStringLiteral("工作簿中找不到第一张工作表。");
        return sheet;
    }
    // A workbook whose cells are all numbers or inline strings has no shared strings.
    const std::optional<QByteArray> strings = readMember(zip, stringsMember);
    readWorksheet(*worksheet, strings ? sharedStrings(*strings) : QStringList(), sheet);
    return sheet;
}

int Batch::accepted() const
{
    int count = 0;
    for (const BatchRow &row : rows)
        count += row.run && row.outcome.done ? 1 : 0;
    return count;
}

int Batch::refused() const
{
    int count = 0;
    for (const BatchRow &row : rows)
        count += row.outcome.done ? 0 : 1;
    return count;
}

Batch makeBatch(BatchKind kind, const Sheet &sheet, const BatchOperations &operations)
{
    Batch batch;
    batch.kind = kind;
    const std::vector<Column> &columns = columnsOf(kind);
    for (const Column &column : columns)
        batch.columns.append(column.name);
    if (!sheet.problem.isEmpty()) {
        batch.problem = sheet.problem;
        return batch;
    }
    if (sheet.rows.empty()) {
        batch.problem = QStringLiteral("文件是空的，没有标题行。");
        return batch;
    }
    const std::vector<int> places = mapColumns(columns, sheet.rows.front(), batch.problem);
    if (places.empty())
        return batch;

    for (auto it = sheet.rows.begin() + 1; it != sheet.rows.end(); ++it) {
        std::vector<SheetCell> cells = pick(*it, places);
        // A workbook's day serial is shown and reported as the day it stands for.
        SheetCell &date = cells[kind == BatchKind::CheckIns ? 5 : 1];
        if (const std::optional<QDate> day = date.number ? dateOf(date, sheet.date1904) : std::nullopt) {
            date.text = day->toString(QStringLiteral("yyyy-MM-dd"));
            date.number = false;
        }
        BatchRow row;
        row.line = it->line;
        for (const SheetCell &cell : cells)
            row.values.append(cell.text);
        row.key = kind == BatchKind::CheckIns ? row.values[3] + QLatin1Char(' ') + row.values[0]
                                              : row.values[0] + QLatin1Char(' ') + row.values[1];
        if (const QString message = controlCharacterMessage(cells, columns); !message.isEmpty())
            row.outcome = Outcome::refused(message);
        else if (kind == BatchKind::CheckIns)
            checkInForm(row, cells, sheet.date1904, operations.checkIn);
        else
            readingForm(row, cells, sheet.date1904, operations.settleUtility);
        batch.rows.push_back(std::move(row));
    }
    return batch;
}

bool preview(Connection &connection, Batch &batch, const Progress &progress)
{
    UnitScope unit(connection);
    const int total = static_cast<int>(batch.rows.size());
    int done = 0;
    for (BatchRow &row : batch.rows) {
        if (row.run) {
            row.outcome = row.run(connection);
            row.imported = false;
        }
        if (progress && !progress(++done, total))
            return false;
    }
    return true;
}

ImportResult importBatch(Connection &connection, Batch &batch, const Progress &progress)
{
    std::vector<BatchRow *> chosen;
    for (BatchRow &row : batch.rows) {
        if (row.run && row.outcome.done)
            chosen.push_back(&row);
    }
    ImportResult result;
    const int total = static_cast<int>(chosen.size());
    int done = 0;
    try {
        UnitScope unit(connection);
        for (BatchRow *row : chosen) {
            result.line = row->line;
            Outcome now = row->run(connection);
            if (!now.done) {
                result.status = ImportResult::Status::Refused;
                result.message = now.message;
                row->outcome = std::move(now);
                return result;
            }
            row->outcome = std::move(now);
            if (progress && !progress(++done, total)) {
                result.status = ImportResult::Status::Cancelled;
                result.line = 0;
                return result;
            }
        }
        result.line = 0;
        // One row for the whole file: the rows' own log lines would bury the desk's other work.
        oplog::append(connection,
                      {{},
                       batch.operatorName,
                       actionName(batch.kind == BatchKind::CheckIns ? Action::BatchCheckIn : Action::BatchReadings),
                       batch.source,
                       QStringLiteral("%1 行").arg(total)});
        unit.commit();
    } catch (const StoreError &error) {
        result.status = ImportResult::Status::Failed;
        result.message = error.message();
        return result;
    }
    for (BatchRow *row : chosen)
        row->imported = true;
    result.imported = total;
    return result;
}

QString resultText(const BatchRow &row)
{
    if (!row.outcome.done)
        return row.outcome.message;
    const QString status = row.imported ? QStringLiteral("已导入") : QStringLiteral("可以导入");
    return row.outcome.message.isEmpty() ? status : status + QStringLiteral("：") + row.outcome.message;
}

QString summaryText(const Batch &batch)
{
    return QStringLiteral("共 %1 行：%2 行可以导入，%3 行不能导入。")
        .arg(batch.rows.size())
        .arg(batch.accepted())
        .arg(batch.refused());
}

QByteArray reportCsv(const Batch &batch)
{
    QString text = QStringLiteral("行号,关键字,结果\r\n");
    for (const BatchRow &row : batch.rows) {
        text += QString::number(row.line) + QLatin1Char(',') + csvField(row.key) + QLatin1Char(',') +
                csvField(resultText(row)) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace orv::ops
