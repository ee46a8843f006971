#include "checkdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace orv {

CheckDialog::CheckDialog(const QStringList &findings, QWidget *parent)
    : QDialog(parent), m_summary(findings.isEmpty() ? QStringLiteral("数据库文件完好，各表之间的计数都一致。")
                                                    : QStringLiteral("检查发现 %1 处问题：").arg(findings.size())),
      m_findings(findings)
{
    setObjectName(QStringLiteral("checkDialog"));
    setWindowTitle(QStringLiteral("检查数据库"));
    auto *layout = new QVBoxLayout(this);
    auto *summary = new QLabel(m_summary, this);
    summary->setObjectName(QStringLiteral("checkSummary"));
    summary->setTextFormat(Qt::PlainText);
    layout->addWidget(summary);
    if (!findings.isEmpty()) {
        auto *list = new QListWidget(this);
        list->setObjectName(QStringLiteral("checkFindings"));
        list->setAccessibleName(QStringLiteral("检查结果"));
        list->addItems(findings);
        list->setMinimumWidth(480);
        summary->setBuddy(list);
        layout->addWidget(list);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace orv
