#include "reckondialogs.h"

#include "data/texts.h"
#include "kit/reportdialog.h"
#include "operations/arrears.h"
#include "operations/billshares.h"

#include <QDateEdit>
#include <QLocale>
#include <QPushButton>

namespace orv {

namespace {

// 分 as yuan with two decimals: 1234 → "12.34", -5 → "-0.05".
QString yuan(std::int64_t fen)
{
    const std::int64_t size = fen < 0 ? -fen : fen;
    return QStringLiteral("%1%2.%3")
        .arg(fen < 0 ? QStringLiteral("-") : QString())
        .arg(size / 100)
        .arg(size % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

void showArrears(QWidget *page, Connection &connection, const QString &operatorName)
{
    auto *dialog = new ReportDialog(connection, QStringLiteral("欠费名单"), QStringLiteral("欠费名单"), operatorName,
                                    {{QStringLiteral("姓名"), 70},
                                     {QStringLiteral("工号"), 80},
                                     {QStringLiteral("房间"), 70},
                                     {QStringLiteral("部门"), 80},
                                     {QStringLiteral("房租交至"), 80},
                                     {QStringLiteral("起算日期"), 80},
                                     {QStringLiteral("欠费月数"), 70},
                                     {QStringLiteral("应交房租"), 80}},
                                    page);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("arrearsDialog"));
    auto *day = new QDateEdit(QDate::currentDate());
    day->setObjectName(QStringLiteral("dayEdit"));
    day->setCalendarPopup(true);
    day->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dialog->addField(QStringLiteral("截至(&T)："), day);
    auto fill = [dialog, day, &connection] {
        const ops::ArrearsList owed = ops::arrears(connection, day->date());
        ReportList *list = dialog->list();
        list->clearRows();
        std::int64_t total = 0;
        for (const ops::Arrear &arrear : owed.residents) {
            list->appendRow({arrear.name, arrear.staffNo, arrear.room, arrear.department, arrear.paidUpTo,
                             arrear.rentsFrom, QString::number(arrear.months),
                             owed.rent ? QString::number(arrear.amount) : QString()});
            total += arrear.amount;
        }
        list->publishRows();
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        dialog->setSummary(owed.rent ? QStringLiteral("%1 人欠交房租，按现行标准每人每月 %2 元，共 %3 元。")
                                           .arg(chinese.toString(owed.residents.size()))
                                           .arg(*owed.rent)
                                           .arg(chinese.toString(static_cast<qlonglong>(total)))
                                     : QStringLiteral("%1 人欠交房租。还没有设置费用标准，无法算出金额。")
                                           .arg(chinese.toString(owed.residents.size())));
    };
    dialog->addFindButton(QStringLiteral("列出(&F)"), QStringLiteral("findButton"), fill);
    dialog->show();
    dialog->findChild<QPushButton *>(QStringLiteral("findButton"))->click();
}

void showBillShares(QWidget *page, Connection &connection, const QString &room, const QString &date,
                    const QString &operatorName)
{
    auto *dialog = new ReportDialog(connection, QStringLiteral("分摊账单"), QStringLiteral("分摊账单"), operatorName,
                                    {{QStringLiteral("工号"), 80},
                                     {QStringLiteral("姓名"), 70},
                                     {QStringLiteral("从"), 80},
                                     {QStringLiteral("到"), 80},
                                     {QStringLiteral("天数"), 50},
                                     {QStringLiteral("应分摊(元)"), 80}},
                                    page);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("billSharesDialog"));
    const ops::BillShares bill = ops::shareBill(connection, room, date);
    for (const ops::BillShare &share : bill.shares)
        dialog->list()->appendRow({share.staffNo, share.name, dateText(share.from), dateText(share.to),
                                   QString::number(share.days), yuan(share.fen)});
    dialog->list()->publishRows();
    dialog->setSummary(
        bill.none.isEmpty()
            ? QStringLiteral("房间“%1”%2 结算的账单 %3 元，自 %4 至 %5，按住宿天数分摊。")
                  .arg(room, date, yuan(bill.totalFen), dateText(bill.periodFrom), dateText(bill.periodTo))
            : bill.none);
    dialog->show();
}

} // namespace orv
