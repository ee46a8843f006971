#include "reportdialog.h"

#include "listactions.h"
#include "unit.h"

#include "data/connection.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QVBoxLayout>

#include <utility>

namespace orv {

ReportDialog::ReportDialog(Connection &connection, const QString &title, const QString &listName, QString operatorName,
                           std::initializer_list<ReportList::Column> columns, QWidget *parent,
                           const QList<RowAction> &rowActions)
    : QDialog(parent), m_connection(connection), m_operatorName(std::move(operatorName)), m_fields(new QGridLayout),
      m_summary(new QLabel(this))
{
    setWindowTitle(title);
    m_list = new ReportList(QStringLiteral("reportList"), this);
    m_list->setAccessibleName(listName);
    m_list->setColumns(columns);
    int width = 0;
    for (const ReportList::Column &column : columns)
        width += column.width;
    m_list->setMinimumSize(std::min(width + 40, 900), 320);
    installListActions(m_list, listName, title, rowActions);
    m_summary->setObjectName(QStringLiteral("summaryLabel"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    m_summary->hide();
    QPushButton *listMenu = addListMenuButton(m_list, QStringLiteral("reportListMenuButton"), QRect());

    auto *top = new QHBoxLayout;
    top->addLayout(m_fields);
    top->addStretch();
    top->addWidget(listMenu, 0, Qt::AlignBottom);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_summary);
    layout->addWidget(m_list);
    layout->addWidget(m_buttons);
}

ReportDialog::~ReportDialog() = default;

void ReportDialog::setSummary(const QString &text)
{
    m_summary->setText(text);
    m_summary->setVisible(!text.isEmpty());
}

void ReportDialog::addField(const QString &label, QWidget *field)
{
    field->setParent(this);
    auto *buddy = new QLabel(label, this);
    buddy->setBuddy(field);
    m_fields->addWidget(buddy, 0, 2 * m_fieldCount);
    m_fields->addWidget(field, 0, 2 * m_fieldCount + 1);
    // Typing goes to the first field at once.
    if (m_fieldCount == 0)
        field->setFocus();
    ++m_fieldCount;
}

QPushButton *ReportDialog::addFindButton(const QString &text, const QString &objectName,
                                         const std::function<void()> &find)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(objectName);
    button->setDefault(true);
    button->setAutoDefault(true);
    m_fields->addWidget(button, 0, 2 * m_fieldCount);
    connect(button, &QPushButton::clicked, this,
            [this, find] { runGuarded(this, QStringLiteral("无法读取！\n"), find); });
    return button;
}

QPushButton *ReportDialog::addAction(const QString &text, const QString &objectName, const std::function<void()> &run)
{
    QPushButton *button = m_buttons->addButton(text, QDialogButtonBox::ActionRole);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, run);
    return button;
}

void ReportDialog::record(const oplog::Entry &entry)
{
    logInOwnUnit(this, m_connection, m_operatorName, entry);
}

} // namespace orv
