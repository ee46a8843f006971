#pragma once

#include <QDialog>

class QTabWidget;

namespace orv {

class Connection;

// "统计图表…": occupancy now and month by month, the utility and rent charged per month, and the
// rooms by building, each a chart over the list of its numbers. The chart in view prints and
// saves as PNG or PDF; the lists copy, export and print like every list.
class ChartsDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChartsDialog)
public:
    explicit ChartsDialog(Connection &connection, QWidget *parent = nullptr);
    ~ChartsDialog() override;

    // Writes the chart in view to `path`: a PDF when it ends in ".pdf", else an image.
    bool saveChart(const QString &path) const;

private:
    void saveChartAs();
    void printChart();

    QTabWidget *m_tabs;
};

} // namespace orv
