#include "reckondialogs.h"

#include "data/texts.h"
#include "kit/bills.h"
#include "kit/form.h"
#include "kit/listprint.h"
#include "kit/reportdialog.h"
#include "operations/arrears.h"
#include "operations/billshares.h"

#include <QDateEdit>
#include <QLocale>
#include <QPushButton>

#include <memory>

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
    QDateEdit *day = dateField(QStringLiteral("dayEdit"), QDate::currentDate());
    dialog->addField(QStringLiteral("截至(&T)："), day);
    // What the list shows, for the reminders printed from it.
    auto shown = std::make_shared<ops::ArrearsList>();
    auto fill = [dialog, day, shown, &connection] {
        *shown = ops::arrears(connection, day->date());
        const ops::ArrearsList &owed = *shown;
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
    dialog->addAction(QStringLiteral("打印催缴单(&P)…"), QStringLiteral("printRemindersButton"), [dialog, day, shown] {
        QList<Slip> slips;
        for (const ops::Arrear &arrear : shown->residents) {
            Slip slip{QStringLiteral("房租催缴单"),
                      {{QStringLiteral("姓名："), arrear.name},
                       {QStringLiteral("工号："), arrear.staffNo},
                       {QStringLiteral("房间号码："), arrear.room},
                       {QStringLiteral("房租交至："), arrear.paidUpTo.isEmpty()
                                                          ? QStringLiteral("未结算过（%1 入住）").arg(arrear.rentsFrom)
                                                          : arrear.paidUpTo},
                       {QStringLiteral("截至日期："), dateText(day->date())},
                       {QStringLiteral("欠费月数："), QString::number(arrear.months)}},
                      {},
                      {},
                      QStringLiteral("请尽快到宿舍管理办公室交纳房租。")};
            if (shown->rent) {
                slip.totalLabel = QStringLiteral("应交房租：");
                slip.total = QStringLiteral("%1 元").arg(arrear.amount);
            }
            slips.append(slip);
        }
        printWithPreview(dialog, QStringLiteral("房租催缴单"), slipsDocument(slips));
    });
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
    if (!bill.shares.isEmpty()) {
        dialog->addAction(QStringLiteral("打印分摊单(&P)…"), QStringLiteral("printSharesButton"), [dialog, bill] {
            QList<Slip> slips;
            for (const ops::BillShare &share : bill.shares)
                slips.append(
                    {QStringLiteral("水电费分摊单"),
                     {{QStringLiteral("姓名："), share.name},
                      {QStringLiteral("工号："), share.staffNo},
                      {QStringLiteral("房间号码："), bill.room},
                      {QStringLiteral("账单："), QStringLiteral("%1 结算，%2 元").arg(bill.date, yuan(bill.totalFen))},
                      {QStringLiteral("账单期间："),
                       QStringLiteral("%1 至 %2").arg(dateText(bill.periodFrom), dateText(bill.periodTo))},
                      {QStringLiteral("住宿期间："), QStringLiteral("%1 至 %2，%3 天")
                                                         .arg(dateText(share.from), dateText(share.to))
                                                         .arg(share.days)}},
                     QStringLiteral("应分摊："),
                     QStringLiteral("%1 元").arg(yuan(share.fen)),
                     QStringLiteral("账单按 %1 人在账单期间的住宿天数分摊，各人金额合计等于账单金额。")
                         .arg(bill.shares.size())});
            printWithPreview(dialog, QStringLiteral("水电费分摊单"), slipsDocument(slips));
        });
    }
    dialog->show();
}

} // namespace orv
