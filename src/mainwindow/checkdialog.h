#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace orv {

// Shows what a database check found: a summary line and the findings, one per row.
class CheckDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CheckDialog)
public:
    CheckDialog(const QStringList &findings, QWidget *parent = nullptr);

    QString summary() const { return m_summary; }
    QStringList findings() const { return m_findings; }

private:
    QString m_summary;
    QStringList m_findings;
};

} // namespace orv
