#pragma once

#include <QString>
#include <QTableWidget>

#include <initializer_list>

namespace orv {

class FieldValue;

// A list in report view: fixed columns with headers, grid lines, whole-row selection, fixed row
// height, read-only cells. Rows and cells are exposed to accessibility as a table.
class ReportList final : public QTableWidget {
    Q_OBJECT
public:
    struct Column {
        QString header;
        int width;
        Qt::Alignment alignment = Qt::AlignLeft;
    };

    ReportList(const QString &objectName, QWidget *parent = nullptr);

    void setColumns(std::initializer_list<Column> columns);
    void setRowHeight(int pixels);

    // Empties the list.
    void clearRows();
    // Appends a row whose cells hold the given texts; returns its index.
    int appendRow(const QStringList &cells);
    // Appends a row from field values (null shows as an empty cell); returns its index.
    int appendValues(std::initializer_list<FieldValue> values);
    QString cellText(int row, int column) const;
    // One row's texts, for tests and accessibility tools.
    QStringList rowTexts(int row) const;

private:
    QList<Qt::Alignment> m_alignments;
};

} // namespace orv
