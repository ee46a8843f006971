#include "historydialogs.h"

#include "data/listpages.h"
#include "kit/form.h"
#include "kit/reportdialog.h"
#include "kit/reportlist.h"
#include "operations/history.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

namespace orv {

namespace {

ReportDialog *stayDialog(QWidget *page, Connection &connection, const QString &title, const QString &listName,
                         const QString &operatorName)
{
    auto *dialog = new ReportDialog(connection, title, listName, operatorName,
                                    {{QStringLiteral("工号"), 80},
                                     {QStringLiteral("姓名"), 70},
                                     {QStringLiteral("部门"), 80},
                                     {QStringLiteral("房间"), 70},
                                     {QStringLiteral("入住日期"), 80},
                                     {QStringLiteral("迁出日期"), 80},
                                     {QStringLiteral("办理入住"), 70},
                                     {QStringLiteral("办理迁出"), 70},
                                     {QStringLiteral("备注"), 110}},
                                    page);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}

// The history of ten years is long: the list reads what it shows.
void fill(ReportList *list, std::unique_ptr<store::ListPages> pages)
{
    list->clearRows();
    if (pages)
        list->showPages(std::move(pages), ops::stayColumns());
}

QLineEdit *lineEdit(const QString &objectName)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(objectName);
    return edit;
}

} // namespace

void showStays(QWidget *page, Connection &connection, const QString &operatorName)
{
    ReportDialog *dialog =
        stayDialog(page, connection, QStringLiteral("住宿记录"), QStringLiteral("住宿记录"), operatorName);
    dialog->setObjectName(QStringLiteral("staysDialog"));
    QLineEdit *staffNo = lineEdit(QStringLiteral("staffNoEdit"));
    QLineEdit *name = lineEdit(QStringLiteral("nameEdit"));
    QLineEdit *room = lineEdit(QStringLiteral("roomEdit"));
    dialog->addField(QStringLiteral("工号(&S)："), staffNo);
    dialog->addField(QStringLiteral("姓名(&N)："), name);
    dialog->addField(QStringLiteral("房间(&R)："), room);
    dialog->addFindButton(QStringLiteral("查找(&F)"), QStringLiteral("findButton"), [=, &connection] {
        fill(dialog->list(), ops::stayPages(connection, {staffNo->text(), name->text(), room->text()}));
    });
    dialog->show();
}

void showLivingOn(QWidget *page, Connection &connection, const QString &operatorName)
{
    ReportDialog *dialog =
        stayDialog(page, connection, QStringLiteral("某日住户"), QStringLiteral("某日住户"), operatorName);
    dialog->setObjectName(QStringLiteral("livingOnDialog"));
    QLineEdit *room = lineEdit(QStringLiteral("roomEdit"));
    room->setPlaceholderText(QStringLiteral("全部房间"));
    QDateEdit *day = dateField(QStringLiteral("dayEdit"), QDate::currentDate());
    dialog->addField(QStringLiteral("房间(&R)："), room);
    dialog->addField(QStringLiteral("日期(&T)："), day);
    dialog->addFindButton(QStringLiteral("查找(&F)"), QStringLiteral("findButton"), [=, &connection] {
        fill(dialog->list(), ops::livingOnPages(connection, room->text(), day->date()));
    });
    dialog->show();
}

} // namespace orv
