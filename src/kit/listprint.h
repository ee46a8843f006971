#pragma once

#include <QString>

#include <functional>

class QFont;
class QPagedPaintDevice;
class QWidget;

namespace orv {

class ListTable;

// The face everything printed is set in, at the given size.
QFont printFont(qreal pointSize);

// Paints the table on as many pages as it needs: the page's title and the date on top of each,
// the header row repeated, page numbers below.
void paintListTable(QPagedPaintDevice *device, const QString &title, const ListTable &table);

// A document of one or more pages, painted on whatever device the user prints to.
using PaintDocument = std::function<void(QPagedPaintDevice *device)>;

// The print dialog with a preview: the user prints, or chooses a PDF file as the printer.
void printWithPreview(QWidget *parent, const QString &documentName, const PaintDocument &paint);

// Writes the document to a PDF file (for tests and for files handed on).
void writePdf(const QString &path, const QString &documentName, const PaintDocument &paint);

} // namespace orv
