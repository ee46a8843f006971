#include "queriespage.h"

#include "data/columns.h"
#include "data/listpages.h"
#include "historydialogs.h"
#include "kit/form.h"
#include "kit/listactions.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"
#include "operations/queries.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace orv {

namespace {

namespace rooms = db::floorinfo;
namespace people = db::personinfo;
// Labels sit left of their field, on the field's text line.
constexpr LabelLine kLabelLine{2, 3, 10};

const QString kChooseFirst = QStringLiteral("请你选择：");
const QString kChooseAgain = QStringLiteral("请您选择：");

// 工号 and 部门 show under the headers "学号" and "班级". The residents of ten years are many: the
// list reads them as they are shown.
ops::Listing personRows(ReportList *list)
{
    return {[list] { list->clearRows(); },
            {},
            [list](std::unique_ptr<store::ListPages> pages) {
                list->showPages(std::move(pages), {people::name, people::sex, people::room, people::staffNo,
                                                   people::dept, people::mobile, people::date});
            }};
}

ops::Listing roomRows(ReportList *list)
{
    return {[list] { list->clearRows(); },
            [list](const Recordset &set) {
                list->appendRecord(set, {rooms::roomNo, rooms::phone, rooms::phonePort, rooms::netPort, rooms::capacity,
                                         rooms::waterBase, rooms::powerBase});
            }};
}

} // namespace

QueriesPage::QueriesPage(Connection &connection, QWidget *parent) : Page(connection, parent)
{
    setObjectName(QStringLiteral("QueriesPage"));
    setMinimumSize(dialogUnits(0, 0, 482, 266).size());

    auto *personGroup = addGroup(this, QStringLiteral("人物查询"), dialogUnits(2, 7, 475, 121));
    auto *listAllButton =
        addButton(this, QStringLiteral("整体查询"), QStringLiteral("listAllButton"), dialogUnits(60, 22, 62, 14));
    m_editName = addEdit(this, QStringLiteral("nameEdit"), dialogUnits(59, 44, 63, 14));
    addFieldLabel(m_editName, QStringLiteral("姓名："), {59, 44}, 32, kLabelLine);
    m_editSex = addEdit(this, QStringLiteral("sexEdit"), dialogUnits(59, 66, 63, 14));
    addFieldLabel(m_editSex, QStringLiteral("性别："), {59, 66}, 32, kLabelLine);
    m_editRoom = addEdit(this, QStringLiteral("roomEdit"), dialogUnits(59, 88, 63, 14));
    addFieldLabel(m_editRoom, QStringLiteral("房间："), {59, 88}, 32, kLabelLine);
    auto *queryPersonsButton =
        addButton(this, QStringLiteral("查    询"), QStringLiteral("queryPersonsButton"), dialogUnits(59, 110, 63, 14));
    // Shorter than the template's, to leave room below it for the list's own button.
    m_listPersons =
        addList(this, QStringLiteral("personList"), QStringLiteral("人物查询"), dialogUnits(158, 23, 311, 84),
                {{QStringLiteral("姓名"), 70, Qt::AlignRight},
                 {QStringLiteral("性别"), 70},
                 {QStringLiteral("房间"), 70},
                 {QStringLiteral("学号"), 70},
                 {QStringLiteral("班级"), 70},
                 {QStringLiteral("手机号码"), 100},
                 {QStringLiteral("入住日期"), 100}},
                19);

    addGroup(this, QStringLiteral("房间查询"), dialogUnits(4, 138, 140, 114));
    m_lbQueryField = new QListWidget(this);
    m_lbQueryField->setObjectName(QStringLiteral("queryFieldList"));
    // A little wider than the template's 47 units, so the field names are not cut off in the
    // larger Linux dialog font.
    m_lbQueryField->setGeometry(dialogUnits(79, 153, 60, 60));
    m_lbQueryField->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    addLabel(this, QStringLiteral("选择查询方式—>"), dialogUnits(15, 164, 62, 10), m_lbQueryField);
    auto *chooseFieldButton =
        addButton(this, QStringLiteral("选     择"), QStringLiteral("chooseFieldButton"), dialogUnits(15, 191, 58, 14));
    m_editQueryValue = addEdit(this, QStringLiteral("queryValueEdit"), dialogUnits(77, 231, 54, 14));
    // The static text names the adopted field, so it is the value edit's label.
    m_staticChosenField = addLabel(this, kChooseFirst, dialogUnits(13, 235, 62, 10), m_editQueryValue);
    m_staticChosenField->setObjectName(QStringLiteral("chosenFieldLabel"));
    auto *queryRoomsButton =
        addButton(this, QStringLiteral("房间查询"), QStringLiteral("queryRoomsButton"), dialogUnits(271, 236, 68, 14));
    m_listRoomResult =
        addList(this, QStringLiteral("roomResultList"), QStringLiteral("房间查询"), dialogUnits(158, 143, 313, 86),
                {{QStringLiteral("房间号码"), 70, Qt::AlignRight},
                 {QStringLiteral("电话号码"), 70},
                 {QStringLiteral("电话端口"), 70},
                 {QStringLiteral("网线端口"), 70},
                 {QStringLiteral("可住人数"), 70},
                 {QStringLiteral("水表数"), 70},
                 {QStringLiteral("电表数"), 70}},
                19);
    installListActions(m_listPersons, QStringLiteral("人员查询结果"), QStringLiteral("信息查询"));
    installListActions(m_listRoomResult, QStringLiteral("房间查询结果"), QStringLiteral("信息查询"));
    auto *personMenuButton =
        addListMenuButton(m_listPersons, QStringLiteral("personListMenuButton"), dialogUnits(397, 110, 72, 14));
    auto *roomMenuButton =
        addListMenuButton(m_listRoomResult, QStringLiteral("roomResultListMenuButton"), dialogUnits(399, 236, 72, 14));
    // The residence history, below the resident list: who lived where, and who lived there when.
    auto *staysButton =
        addButton(this, QStringLiteral("住宿记录…"), QStringLiteral("staysButton"), dialogUnits(158, 110, 62, 14));
    auto *livingOnButton =
        addButton(this, QStringLiteral("某日住户…"), QStringLiteral("livingOnButton"), dialogUnits(224, 110, 62, 14));
    connect(staysButton, &QPushButton::clicked, this, [this] { showStays(this, m_connection, operatorName()); });
    connect(livingOnButton, &QPushButton::clicked, this, [this] { showLivingOn(this, m_connection, operatorName()); });

    m_lbQueryField->addItems({QStringLiteral("  房间号码"), QString(), QStringLiteral("  电话号码"), QString(),
                              QStringLiteral("  电话端口"), QString(), QStringLiteral("  网线端口")});

    for (QLineEdit *edit : {m_editName, m_editSex, m_editRoom})
        edit->installEventFilter(this);

    onClick(listAllButton, [this] { OnListAllPersons(); });
    onClick(queryPersonsButton, [this] { OnQueryPersons(); });
    onClick(chooseFieldButton, [this] { OnChooseField(); });
    onClick(queryRoomsButton, [this] { OnQueryRooms(); });

    // Each form ends at its button, before the lists.
    setTabChain({m_editName, m_editSex, m_editRoom, queryPersonsButton, listAllButton, m_lbQueryField,
                 chooseFieldButton, m_editQueryValue, queryRoomsButton, m_listPersons, staysButton, livingOnButton,
                 personMenuButton, m_listRoomResult, roomMenuButton});
    setFirstField(m_editName);
    setEnterButton({m_editName, m_editSex, m_editRoom}, queryPersonsButton);
    setEnterButton({m_lbQueryField}, chooseFieldButton);
    setEnterButton({m_editQueryValue}, queryRoomsButton);
    setButtonShortcut(listAllButton, QKeySequence(Qt::ALT | Qt::Key_L));
    setButtonShortcut(queryPersonsButton, QKeySequence(Qt::ALT | Qt::Key_Q));
    setButtonShortcut(chooseFieldButton, QKeySequence(Qt::ALT | Qt::Key_S));
    setButtonShortcut(queryRoomsButton, QKeySequence(Qt::ALT | Qt::Key_R));
    setButtonShortcut(personMenuButton, QKeySequence(Qt::ALT | Qt::Key_1));
    setButtonShortcut(roomMenuButton, QKeySequence(Qt::ALT | Qt::Key_2));
    setButtonShortcut(staysButton, QKeySequence(Qt::ALT | Qt::Key_H));
    setButtonShortcut(livingOnButton, QKeySequence(Qt::ALT | Qt::Key_T));

    // The two lists share the room the page gains, the resident list above; the forms keep their
    // places beside them, the room query form following the lower list down.
    setGrowth(m_listPersons, {0, 0, 1, 0.5});
    setGrowth(personMenuButton, {1, 0.5, 0, 0});
    setGrowth(staysButton, {0, 0.5, 0, 0});
    setGrowth(livingOnButton, {0, 0.5, 0, 0});
    setGrowth(m_listRoomResult, {0, 0.5, 1, 0.5});
    setGrowth(roomMenuButton, {1, 1, 0, 0});
    setGrowth(queryRoomsButton, {0, 1, 0, 0});
    setGrowth(personGroup, {0, 0, 1, 0.5});
    setGrowth(dialogUnits(0, 134, 150, 126), {0, 0.5, 0, 0});
}

QueriesPage::~QueriesPage() = default;

bool QueriesPage::eventFilter(QObject *watched, QEvent *event)
{
    // The focus rule disables the other criteria, which Tab would then pass by: the criterion is
    // left as if the focus had already gone, and the rule holds again in the next one.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            if (watched == m_editName)
                OnKillFocusName();
            else if (watched == m_editSex)
                OnKillFocusSex();
            else if (watched == m_editRoom)
                OnKillFocusRoom();
        }
    }
    const bool gained = event->type() == QEvent::FocusIn;
    if (gained || event->type() == QEvent::FocusOut) {
        if (watched == m_editName)
            gained ? OnSetFocusName() : OnKillFocusName();
        else if (watched == m_editSex)
            gained ? OnSetFocusSex() : OnKillFocusSex();
        else if (watched == m_editRoom)
            gained ? OnSetFocusRoom() : OnKillFocusRoom();
    }
    return Page::eventFilter(watched, event);
}

void QueriesPage::OnSetFocusName()
{
    m_editSex->setEnabled(false);
    m_editRoom->setEnabled(false);
}

void QueriesPage::OnKillFocusName()
{
    m_editSex->setEnabled(true);
    m_editRoom->setEnabled(true);
}

void QueriesPage::OnSetFocusSex()
{
    m_editName->setEnabled(false);
    m_editRoom->setEnabled(false);
}

void QueriesPage::OnKillFocusSex()
{
    m_editName->setEnabled(true);
    m_editRoom->setEnabled(true);
}

void QueriesPage::OnSetFocusRoom()
{
    m_editName->setEnabled(false);
    m_editSex->setEnabled(false);
}

void QueriesPage::OnKillFocusRoom()
{
    m_editName->setEnabled(true);
    m_editSex->setEnabled(true);
}

void QueriesPage::DoDataExchange()
{
    m_strName = m_editName->text();
    m_strSex = m_editSex->text();
    m_strRoom = m_editRoom->text();
    m_strQueryValue = m_editQueryValue->text();
}

void QueriesPage::OnListAllPersons()
{
    const ops::Outcome outcome = ops::listAllPersons(m_connection, personRows(m_listPersons));
    if (!outcome.done)
        showMessage(this, outcome.message);
}

void QueriesPage::OnQueryPersons()
{
    m_strName = m_editName->text();
    m_strSex = m_editSex->text();
    m_strRoom = m_editRoom->text();
    // Every criterion typed is used up by this query, whichever one decides it.
    for (QLineEdit *edit : {m_editName, m_editSex, m_editRoom}) {
        if (!edit->text().isEmpty())
            edit->clear();
    }

    const ops::Outcome outcome =
        ops::queryPersons(m_connection, {m_strName, m_strSex, m_strRoom}, personRows(m_listPersons));
    if (!outcome.done)
        showMessage(this, outcome.message);
}

void QueriesPage::OnChooseField()
{
    const QList<QListWidgetItem *> selected = m_lbQueryField->selectedItems();
    const QString text = selected.isEmpty() ? QString() : selected.first()->text();
    if (!text.isEmpty()) {
        m_strQueryField = text;
        m_staticChosenField->setText(text + QStringLiteral("："));
    } else {
        m_strQueryField.clear();
        m_staticChosenField->setText(kChooseAgain);
    }
}

void QueriesPage::OnQueryRooms()
{
    DoDataExchange();
    const ops::Outcome outcome =
        ops::queryRooms(m_connection, {m_strQueryField, m_strQueryValue}, roomRows(m_listRoomResult));
    if (!outcome.done)
        showMessage(this, outcome.message);
}

} // namespace orv
