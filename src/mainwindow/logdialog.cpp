#include "logdialog.h"

#include "kit/form.h"
#include "kit/listactions.h"
#include "kit/reportlist.h"
#include "kit/unit.h"
#include "operations/logbook.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace orv {

namespace {

const QString kEveryone = QStringLiteral("全部");

QLabel *buddyLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

} // namespace

LogDialog::LogDialog(Connection &connection, QString operatorName, QWidget *parent)
    : QDialog(parent), m_connection(connection), m_operatorName(std::move(operatorName))
{
    setObjectName(QStringLiteral("logDialog"));
    setWindowTitle(QStringLiteral("操作日志"));

    QList<oplog::Entry> all;
    QStringList operators;
    runGuarded(this, QStringLiteral("无法读取操作记录！\n"), [&] {
        all = ops::readLog(m_connection, {});
        operators = ops::loggedOperators(m_connection);
    });
    const QDate today = QDate::currentDate();
    // From the first day the log has, so that the whole log shows at first.
    const QDate first = all.isEmpty() ? today : std::min(all.last().time.date(), today);

    m_operatorCombo = new QComboBox(this);
    m_operatorCombo->setObjectName(QStringLiteral("operatorCombo"));
    m_operatorCombo->addItem(kEveryone);
    m_operatorCombo->addItems(operators);
    m_fromDateEdit = dateField(QStringLiteral("fromDateEdit"), first, this);
    m_toDateEdit = dateField(QStringLiteral("toDateEdit"), today, this);

    m_logList = new ReportList(QStringLiteral("logList"), this);
    m_logList->setAccessibleName(QStringLiteral("操作日志"));
    m_logList->setColumns({{QStringLiteral("时间"), 140},
                           {QStringLiteral("操作员"), 80},
                           {QStringLiteral("操作"), 90},
                           {QStringLiteral("对象"), 110},
                           {QStringLiteral("详情"), 300}});
    m_logList->setMinimumSize(740, 320);
    installListActions(m_logList, QStringLiteral("操作日志"), QStringLiteral("操作日志"));
    QPushButton *listMenu = addListMenuButton(m_logList, QStringLiteral("logListMenuButton"), QRect());

    auto *filters = new QGridLayout;
    filters->addWidget(buddyLabel(QStringLiteral("操作员(&O)："), m_operatorCombo), 0, 0);
    filters->addWidget(m_operatorCombo, 0, 1);
    filters->addWidget(buddyLabel(QStringLiteral("从(&F)："), m_fromDateEdit), 0, 2);
    filters->addWidget(m_fromDateEdit, 0, 3);
    filters->addWidget(buddyLabel(QStringLiteral("到(&T)："), m_toDateEdit), 0, 4);
    filters->addWidget(m_toDateEdit, 0, 5);
    filters->setColumnStretch(6, 1);
    filters->addWidget(listMenu, 0, 7);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_logList);
    layout->addWidget(buttons);

    connect(m_operatorCombo, &QComboBox::currentIndexChanged, this, &LogDialog::refresh);
    connect(m_fromDateEdit, &QDateEdit::dateChanged, this, &LogDialog::refresh);
    connect(m_toDateEdit, &QDateEdit::dateChanged, this, &LogDialog::refresh);
    refresh();
}

LogDialog::~LogDialog() = default;

void LogDialog::record(const oplog::Entry &entry)
{
    // The log is a list of personal data too: writing it out is logged, and shows at once.
    if (logInOwnUnit(this, m_connection, m_operatorName, entry))
        refresh();
}

void LogDialog::refresh()
{
    ops::LogFilter filter;
    if (m_operatorCombo->currentIndex() > 0)
        filter.operatorName = m_operatorCombo->currentText();
    filter.from = m_fromDateEdit->date();
    filter.to = m_toDateEdit->date();
    m_logList->clearRows();
    runGuarded(this, QStringLiteral("无法读取操作记录！\n"), [&] {
        for (const oplog::Entry &entry : ops::readLog(m_connection, filter))
            m_logList->appendRow({entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), entry.operatorName,
                                  entry.action, entry.target, entry.detail});
    });
    m_logList->publishRows();
}

} // namespace orv
