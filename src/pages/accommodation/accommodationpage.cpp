#include "accommodationpage.h"

#include "data/columns.h"
#include "data/storeerror.h"
#include "kit/form.h"
#include "kit/listactions.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"
#include "operations/rooms.h"

#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

namespace orv {
namespace {

namespace rooms = db::floorinfo;

// Labels sit left of their field, on the field's text line.
constexpr LabelLine kLabelLine{3, 3, 10};

} // namespace

AccommodationPage::AccommodationPage(Connection &connection, QWidget *parent)
    : Page(connection, parent), m_strName(QStringLiteral("李明")), m_strDept(QStringLiteral("计算机系")),
      m_strStaffNo(QStringLiteral("2004101")), m_strMobile(QStringLiteral("13912345678")),
      m_strRoom(QStringLiteral("6-8-518"))
{
    setObjectName(QStringLiteral("AccommodationPage"));
    setMinimumSize(dialogUnits(0, 0, 491, 292).size());

    addGroup(this, QStringLiteral("办理入住"), dialogUnits(312, 7, 150, 241));
    m_editName = addEdit(this, QStringLiteral("nameEdit"), dialogUnits(370, 31, 60, 14));
    addFieldLabel(m_editName, QStringLiteral("姓名："), {370, 31}, 30, kLabelLine);

    m_cbSex = new QComboBox(this);
    m_cbSex->setObjectName(QStringLiteral("sexCombo"));
    m_cbSex->setGeometry(dialogUnits(370, 58, 62, 14));
    m_cbSex->setEditable(true);
    // Typed text is taken as it stands; it never joins the list.
    m_cbSex->setInsertPolicy(QComboBox::NoInsert);
    m_cbSex->setValidator(new Cp936LimitValidator(-1, false, m_cbSex));
    // Already in code-page-936 order, which is how the list is sorted.
    m_cbSex->addItems({QStringLiteral("男"), QStringLiteral("女")});
    m_cbSex->setCurrentIndex(-1);
    m_cbSex->setEditText(QString());
    addFieldLabel(m_cbSex, QStringLiteral("性别："), {370, 58}, 30, kLabelLine);

    m_editDept = addEdit(this, QStringLiteral("deptEdit"), dialogUnits(370, 83, 60, 14));
    addFieldLabel(m_editDept, QStringLiteral("班级："), {370, 83}, 30, kLabelLine);
    m_editStaffNo = addEdit(this, QStringLiteral("staffNoEdit"), dialogUnits(370, 110, 60, 14));
    m_editStaffNo->setValidator(new Cp936LimitValidator(ops::kStaffNoBytes, false, m_editStaffNo));
    addFieldLabel(m_editStaffNo, QStringLiteral("学号："), {370, 110}, 30, kLabelLine);
    m_editMobile = addEdit(this, QStringLiteral("mobileEdit"), dialogUnits(370, 137, 60, 14));
    addFieldLabel(m_editMobile, QStringLiteral("手机："), {370, 137}, 30, kLabelLine);

    m_dtCheckIn = addDatePicker(this, QStringLiteral("checkInDate"), dialogUnits(370, 164, 63, 15));
    addFieldLabel(m_dtCheckIn, QStringLiteral("日期："), {370, 164}, 30, kLabelLine);

    m_editRoom = addEdit(this, QStringLiteral("roomEdit"), dialogUnits(370, 191, 60, 14));
    addFieldLabel(m_editRoom, QStringLiteral("房间："), {370, 191}, 30, kLabelLine);
    auto *checkInButton =
        addButton(this, QStringLiteral("入     住"), QStringLiteral("checkInButton"), dialogUnits(369, 221, 60, 14));

    addGroup(this, QStringLiteral("办理迁出"), dialogUnits(13, 183, 267, 65));
    m_editOutStaffNo = addEdit(this, QStringLiteral("outStaffNoEdit"), dialogUnits(75, 199, 59, 14));
    addFieldLabel(m_editOutStaffNo, QStringLiteral("学  号："), {75, 199}, 36, kLabelLine);
    m_editOutRoom = addEdit(this, QStringLiteral("outRoomEdit"), dialogUnits(199, 199, 58, 14));
    addFieldLabel(m_editOutRoom, QStringLiteral("房   间："), {199, 199}, 40, kLabelLine);
    auto *checkOutButton =
        addButton(this, QStringLiteral("迁     出"), QStringLiteral("checkOutButton"), dialogUnits(75, 226, 59, 14));

    // Made after the forms, so that Tab reaches it after them.
    m_listRooms = addList(this, QStringLiteral("roomList"), QStringLiteral("房间列表"), dialogUnits(6, 10, 286, 146),
                          {{QStringLiteral("房间号码"), 68, Qt::AlignRight},
                           {QStringLiteral("入住性别"), 68, Qt::AlignLeft},
                           {QStringLiteral("电话号码"), 68, Qt::AlignLeft},
                           {QStringLiteral("可住人数"), 68, Qt::AlignLeft},
                           {QStringLiteral("入住人数"), 68, Qt::AlignLeft},
                           {QStringLiteral("空缺人数"), 68, Qt::AlignLeft}},
                          19);
    installListActions(m_listRooms, QStringLiteral("住宿房间列表"), QStringLiteral("住宿管理"));

    // Closer together than the template has them, to leave room for the list's own button.
    auto *freeButton =
        addButton(this, QStringLiteral("查询空房间"), QStringLiteral("freeRoomsButton"), dialogUnits(6, 163, 58, 16));
    auto *fullButton =
        addButton(this, QStringLiteral("查询满房间"), QStringLiteral("fullRoomsButton"), dialogUnits(70, 163, 58, 16));
    auto *clearButton =
        addButton(this, QStringLiteral("清除信息"), QStringLiteral("clearListButton"), dialogUnits(134, 163, 58, 16));
    auto *listMenuButton =
        addListMenuButton(m_listRooms, QStringLiteral("roomListMenuButton"), dialogUnits(234, 163, 58, 16));

    m_firstStartHint = addLabel(this, QString(), dialogUnits(6, 256, 456, 10));
    m_firstStartHint->setObjectName(QStringLiteral("firstStartHint"));
    m_firstStartHint->hide();

    // Tab order follows the forms top to bottom, check-in first, each form ending at its button;
    // then the list and its buttons.
    setTabChain({m_editName, m_cbSex, m_editDept, m_editStaffNo, m_editMobile, m_dtCheckIn, m_editRoom, checkInButton,
                 m_editOutStaffNo, m_editOutRoom, checkOutButton, m_listRooms, listMenuButton, freeButton, fullButton,
                 clearButton});
    setFirstField(m_editName);
    setEnterButton({m_editName, m_cbSex, m_editDept, m_editStaffNo, m_editMobile, m_dtCheckIn, m_editRoom},
                   checkInButton);
    setEnterButton({m_editOutStaffNo, m_editOutRoom}, checkOutButton);
    setButtonShortcut(checkInButton, QKeySequence(Qt::ALT | Qt::Key_I));
    setButtonShortcut(checkOutButton, QKeySequence(Qt::ALT | Qt::Key_O));
    setButtonShortcut(freeButton, QKeySequence(Qt::ALT | Qt::Key_F));
    setButtonShortcut(fullButton, QKeySequence(Qt::ALT | Qt::Key_U));
    setButtonShortcut(clearButton, QKeySequence(Qt::ALT | Qt::Key_C));
    setButtonShortcut(listMenuButton, QKeySequence(Qt::ALT | Qt::Key_1));

    // The list takes the room the page gains; the check-in form keeps to the right of it, the
    // list's buttons and the check-out form below it.
    setGrowth(m_listRooms, {0, 0, 1, 1});
    setGrowth(listMenuButton, {1, 1, 0, 0});
    setGrowth(m_firstStartHint, {0, 1, 1, 0});
    setGrowth(dialogUnits(300, 0, 191, 251), {1, 0, 0, 0});
    setGrowth(dialogUnits(0, 158, 300, 93), {0, 1, 0, 0});

    DoDataExchange(false);

    onClick(freeButton, [this] { OnFreeRooms(); });
    onClick(fullButton, [this] { OnFullRooms(); });
    onClick(clearButton, [this] { OnClearList(); });
    onClick(checkInButton, [this] { OnCheckIn(); });
    onClick(checkOutButton, [this] { OnCheckOut(); });
}

AccommodationPage::~AccommodationPage() = default;

void AccommodationPage::setFirstStartHint(const QString &feesTab, const QString &roomsTab)
{
    m_firstStartHint->setText(QStringLiteral("尚无房间：请先在%1页设置费用标准，再在%2页添加房间，然后即可办理入住。")
                                  .arg(feesTab, roomsTab));
    updateFirstStartHint();
}

void AccommodationPage::updateFirstStartHint()
{
    if (m_firstStartHint->text().isEmpty())
        return;
    bool empty = false;
    try {
        empty = !ops::hasRooms(m_connection);
    } catch (const StoreError &) {
        // A store that cannot be read says nothing about where to begin; its fault shows on use.
    }
    m_firstStartHint->setVisible(empty);
}

void AccommodationPage::showEvent(QShowEvent *event)
{
    Page::showEvent(event);
    updateFirstStartHint();
}

bool AccommodationPage::event(QEvent *event)
{
    // Rooms come from the room page and from the data menu's restore; coming back to the window
    // after either shows the page as it now stands.
    if (event->type() == QEvent::WindowActivate && isVisible())
        updateFirstStartHint();
    return Page::event(event);
}

void AccommodationPage::DoDataExchange(bool bSaveAndValidate)
{
    const std::pair<QLineEdit *, QString *> fields[] = {
        {m_editOutStaffNo, &m_strOutStaffNo},
        {m_editOutRoom, &m_strOutRoom},
        {m_editName, &m_strName},
        {m_editDept, &m_strDept},
        {m_editStaffNo, &m_strStaffNo},
        {m_editMobile, &m_strMobile},
        {m_editRoom, &m_strRoom},
    };
    for (const auto &[edit, member] : fields) {
        if (bSaveAndValidate)
            *member = edit->text();
        else
            edit->setText(*member);
    }
}

void AccommodationPage::OnFreeRooms()
{
    listRooms(true);
}

void AccommodationPage::OnFullRooms()
{
    listRooms(false);
}

void AccommodationPage::listRooms(bool freeRooms)
{
    m_listRooms->clearRows();
    (freeRooms ? ops::freeRooms : ops::fullRooms)(m_connection, [this](Recordset &room) {
        m_listRooms->appendRecord(
            room, {rooms::roomNo, rooms::sex, rooms::phone, rooms::capacity, rooms::occupants, rooms::vacant});
    });
}

void AccommodationPage::OnClearList()
{
    m_listRooms->clearRows();
}

ops::CheckInForm AccommodationPage::checkInForm()
{
    ops::CheckInForm form;
    form.date = m_dtCheckIn->date();
    form.sex = m_cbSex->currentText();
    DoDataExchange(true);
    form.name = m_strName;
    form.department = m_strDept;
    form.staffNo = m_strStaffNo;
    form.mobile = m_strMobile;
    form.room = m_strRoom;
    return form;
}

void AccommodationPage::OnCheckIn()
{
    const ops::CheckInForm form = checkInForm();
    const ops::Outcome outcome = ops::checkIn(m_connection, form);
    if (!outcome.done) {
        // The form helper tells an over-long staff number the way it tells any over-long field,
        // with the cursor put in the field.
        if (outcome.message == ops::staffNoTooLong())
            exchange::readText(m_editStaffNo, m_strStaffNo, ops::kStaffNoBytes);
        else
            showMessage(this, outcome.message);
        return;
    }
    record(outcome.log);
    OnFreeRooms();
    announce(QStringLiteral("已为 %1 办理入住 %2").arg(form.name, form.room));
}

void AccommodationPage::OnCheckOut()
{
    DoDataExchange(true);
    QString name;
    const ops::Outcome outcome =
        ops::checkOut(m_connection, {m_strOutStaffNo, m_strOutRoom}, [&name](const QString &left) { name = left; });
    if (!outcome.done) {
        showMessage(this, outcome.message);
        return;
    }
    record(outcome.log);
    OnFreeRooms();
    announce(QStringLiteral("已为 %1 办理迁出").arg(name));
    reportSuccess(outcome.message);
}

} // namespace orv
